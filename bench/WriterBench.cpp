// Figures of the target database writer (issue 4): a hex8 mesh of 100 x 100 x 100 = 1,000,000
// elements on 101^3 = 1,030,301 nodes written and saved, then one nodal 3-component field
// written for 10 increments and saved again (the second save writes only the new values).
//
// One iteration per run: peak resident memory is a property of the process, so the phases are
// timed inside the one iteration and reported as counters:
//   mesh_s        CreateSim, AddMesh, AddMeshNodes, AddMeshElements, ConnectMeshEltypes,
//                 AddSimpleNodeField
//   save1_s       the first SaveContext (the whole file)
//   increments_s  10 x WriteSimpleNodeField over all nodes
//   save2_s       the second SaveContext
//   save1_MB, save2_MB  bytes each save wrote
//   peak_RSS_MB   getrusage ru_maxrss at the end (the process's peak resident set)
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/impl/ZORSimDatabase.h"
#include "writer/ZORMtkSimWriter.h"

namespace {

constexpr int kCells = 100;  // elements per edge
constexpr int kNodesPerEdge = kCells + 1;
constexpr int kIncrements = 10;

std::string BenchFile() {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir ? dir : "/tmp") + "/zorwriter-bench-" + std::to_string(::getpid()) + ".db";
}

void Remove(const std::string& file) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((file + suffix).c_str());
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in kilobytes on Linux
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

int NodeOf(int i, int j, int k) { return (k * kNodesPerEdge + j) * kNodesPerEdge + i; }

void BM_WriteHexMeshAndTenIncrements(benchmark::State& state) {
  const int numNodes = kNodesPerEdge * kNodesPerEdge * kNodesPerEdge;
  const int numElements = kCells * kCells * kCells;
  std::vector<double> coordinates;
  coordinates.reserve(static_cast<std::size_t>(numNodes) * 3);
  for (int k = 0; k < kNodesPerEdge; ++k)
    for (int j = 0; j < kNodesPerEdge; ++j)
      for (int i = 0; i < kNodesPerEdge; ++i)
        coordinates.insert(coordinates.end(), {i * 1.0, j * 1.0, k * 1.0});
  std::vector<int> connectivity;
  connectivity.reserve(static_cast<std::size_t>(numElements) * 8);
  for (int k = 0; k < kCells; ++k)
    for (int j = 0; j < kCells; ++j)
      for (int i = 0; i < kCells; ++i)
        connectivity.insert(connectivity.end(),
                            {NodeOf(i, j, k), NodeOf(i + 1, j, k), NodeOf(i + 1, j + 1, k),
                             NodeOf(i, j + 1, k), NodeOf(i, j, k + 1), NodeOf(i + 1, j, k + 1),
                             NodeOf(i + 1, j + 1, k + 1), NodeOf(i, j + 1, k + 1)});
  std::vector<int> allNodes(static_cast<std::size_t>(numNodes));
  for (int n = 0; n < numNodes; ++n) allNodes[static_cast<std::size_t>(n)] = n;
  cow_List<int> points(std::move(allNodes));
  std::vector<double> values(static_cast<std::size_t>(numNodes) * 3);

  const std::string file = BenchFile();
  double meshSeconds = 0, save1Seconds = 0, incrementSeconds = 0, save2Seconds = 0;
  double save1Bytes = 0, save2Bytes = 0;
  for (auto _ : state) {
    Remove(file);
    {
      ZORMtkSimWriter writer;
      auto start = std::chrono::steady_clock::now();
      writer.CreateSim(file);
      const ZORSimDynamicID mesh = writer.AddMesh();
      writer.AddMeshNodes(mesh, numNodes, 3, coordinates.data());
      ZORSimArray<ZORSimCSetID> blocks;
      blocks.Append(writer.AddMeshElements(mesh, numElements, "C3D8", 8, connectivity.data()));
      cow_List<cow_String> types = {"C3D8"};
      writer.ConnectMeshEltypes(mesh, blocks, types);
      const ZORSimDynamicID field = writer.AddSimpleNodeField(mesh, "U_D", 3);
      meshSeconds = Seconds(start);

      start = std::chrono::steady_clock::now();
      writer.SaveContext();
      save1Seconds = Seconds(start);
      save1Bytes =
          static_cast<double>(writer.GetRootPosition().Context().Database().LastSaveBytes());

      start = std::chrono::steady_clock::now();
      for (int increment = 1; increment <= kIncrements; ++increment) {
        state.PauseTiming();
        for (std::size_t v = 0; v < values.size(); ++v)
          values[v] = increment + 1e-6 * static_cast<double>(v);
        state.ResumeTiming();
        const auto before = std::chrono::steady_clock::now();
        if (!writer.WriteSimpleNodeField(field, mesh, 1, increment, 3, points, values.data()))
          state.SkipWithError("a write was rejected");
        incrementSeconds += Seconds(before);
      }

      start = std::chrono::steady_clock::now();
      writer.SaveContext();
      save2Seconds = Seconds(start);
      save2Bytes =
          static_cast<double>(writer.GetRootPosition().Context().Database().LastSaveBytes());
    }
    Remove(file);
  }
  state.counters["nodes"] = numNodes;
  state.counters["elements"] = numElements;
  state.counters["mesh_s"] = meshSeconds;
  state.counters["save1_s"] = save1Seconds;
  state.counters["increments_s"] = incrementSeconds;
  state.counters["save2_s"] = save2Seconds;
  state.counters["save1_MB"] = save1Bytes / (1024.0 * 1024.0);
  state.counters["save2_MB"] = save2Bytes / (1024.0 * 1024.0);
  state.counters["peak_RSS_MB"] = PeakMegabytes();
}
BENCHMARK(BM_WriteHexMeshAndTenIncrements)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
