#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <memory>
#include <string>
#include <vector>

#include "reader/ZORMtkSimReader.h"
#include "writer/ZORMtkSimWriter.h"

// The reader on a hex8 box of 100 x 100 x 100 nodes (1,000,000 nodes, 970,299 elements) with
// one three-component nodal field: scoping the whole mesh, then each bulk read the search and
// the transfers make. Figures are seconds per call; peak_rss_MB is the process's peak resident
// memory after the benchmark, database included.

namespace {

constexpr int kNodesPerEdge = 100;

struct BoxDatabase {
  ZORMtkSimWriter writer;
  ZORSimDynamicID mesh;
  ZORSimDynamicID field;

  BoxDatabase() {
    writer.CreateSim("/tmp/zor_reader_bench.zsd");
    mesh = writer.AddMesh();
    const int n = kNodesPerEdge;
    std::vector<double> coords;
    coords.reserve(static_cast<std::size_t>(n) * n * n * 3);
    for (int k = 0; k < n; ++k)
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) coords.insert(coords.end(), {0.1 * i, 0.1 * j, 0.1 * k});
    writer.AddMeshNodes(mesh, n * n * n, 3, coords.data());
    const auto node = [n](int i, int j, int k) { return i + n * (j + n * k); };
    std::vector<int> connectivity;
    const int cells = n - 1;
    connectivity.reserve(static_cast<std::size_t>(cells) * cells * cells * 8);
    for (int k = 0; k < cells; ++k)
      for (int j = 0; j < cells; ++j)
        for (int i = 0; i < cells; ++i)
          connectivity.insert(connectivity.end(),
                              {node(i, j, k), node(i + 1, j, k), node(i + 1, j + 1, k),
                               node(i, j + 1, k), node(i, j, k + 1), node(i + 1, j, k + 1),
                               node(i + 1, j + 1, k + 1), node(i, j + 1, k + 1)});
    ZORSimArray<ZORSimCSetID> blocks{
        writer.AddMeshElements(mesh, cells * cells * cells, "C3D8", 8, connectivity.data())};
    cow_List<cow_String> types{"C3D8"};
    writer.ConnectMeshEltypes(mesh, blocks, types);
    field = writer.AddSimpleNodeField(mesh, "U_D", 3);
    cow_List<int> all;
    all.Reserve(n * n * n);
    for (int m = 0; m < n * n * n; ++m) all.Append(m);
    writer.WriteSimpleNodeField(field, mesh, 1, 1, 3, all, coords.data());
  }
};

BoxDatabase& Box() {
  static BoxDatabase box;
  return box;
}

const ZORMtkSimReader& ScopedReader() {
  static const std::unique_ptr<ZORMtkSimReader> reader = [] {
    auto scoped = std::make_unique<ZORMtkSimReader>();
    scoped->SetElsetRegion(Box().writer.GetRootPosition(), Box().mesh, {});
    return scoped;
  }();
  return *reader;
}

void ReportPeakMemory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_ScopeWholeMesh(benchmark::State& state) {
  const ZORSrvPosition root = Box().writer.GetRootPosition();
  for (auto _ : state) {
    ZORMtkSimReader reader;
    reader.SetElsetRegion(root, Box().mesh, {});
    benchmark::DoNotOptimize(reader.numNodes);
    state.counters["nodes"] = reader.numNodes;
    state.counters["elements"] = reader.numElements;
  }
  ReportPeakMemory(state);
}

void BM_FillCoordinates(benchmark::State& state) {
  const ZORMtkSimReader& reader = ScopedReader();
  std::vector<double> coords(static_cast<std::size_t>(reader.numNodes) * 3);
  for (auto _ : state)
    benchmark::DoNotOptimize(
        reader.FillCoordinates(static_cast<int>(coords.size()), coords.data()));
  ReportPeakMemory(state);
}

void BM_Connectivity(benchmark::State& state) {
  const ZORMtkSimReader& reader = ScopedReader();
  std::vector<int> connectivity(static_cast<std::size_t>(reader.numElements) * 8);
  for (auto _ : state)
    benchmark::DoNotOptimize(reader.GetElementClassConnectivity(
        "C3D8", static_cast<int>(connectivity.size()), connectivity.data()));
  ReportPeakMemory(state);
}

void BM_ElementBoxes(benchmark::State& state) {
  const ZORMtkSimReader& reader = ScopedReader();
  std::vector<int> elements(static_cast<std::size_t>(reader.numElements));
  std::vector<double> low(elements.size() * 3), high(elements.size() * 3);
  double average = 0.0, overallLow[3], overallHigh[3];
  for (auto _ : state)
    benchmark::DoNotOptimize(reader.GetElementBoxes(elements.data(), low.data(), high.data(),
                                                    average, overallLow, overallHigh));
  ReportPeakMemory(state);
}

void BM_NodeField3(benchmark::State& state) {
  const ZORMtkSimReader& reader = ScopedReader();
  std::vector<double> values(static_cast<std::size_t>(reader.numNodes) * 3);
  for (auto _ : state)
    benchmark::DoNotOptimize(reader.GetSimpleNodeField(
        Box().field, 1, 1, static_cast<int>(values.size()), values.data()));
  ReportPeakMemory(state);
}

}  // namespace

BENCHMARK(BM_ScopeWholeMesh)->Unit(benchmark::kSecond)->Iterations(3);
BENCHMARK(BM_FillCoordinates)->Unit(benchmark::kSecond)->Iterations(3);
BENCHMARK(BM_Connectivity)->Unit(benchmark::kSecond)->Iterations(3);
BENCHMARK(BM_ElementBoxes)->Unit(benchmark::kSecond)->Iterations(3);
BENCHMARK(BM_NodeField3)->Unit(benchmark::kSecond)->Iterations(3);
