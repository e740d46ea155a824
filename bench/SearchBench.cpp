#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "mapper/ZORMtkMapper.h"
#include "mapper/impl/ZORMtkMappingContext.h"
#include "reader/ZORMtkSimReader.h"
#include "search/ZORMtkMeshElemB.h"
#include "search/impl/ZORMtkElementWeights.h"
#include "search/impl/ZORMtkNodalWeights.h"
#include "search/impl/ZORMtkPointLocator.h"
#include "search/impl/ZORMtkSourceElements.h"
#include "search/impl/ZORReaderPoints.h"
#include "writer/ZORMtkSimWriter.h"

// The searches at the sizes users wait for, each run once from a fresh mapper through the weight
// store (grid, source read, search):
// - nodal weights, shape interpolation: 1,000,000 target nodes (a 100^3 node lattice, the nodes
//   of a tetrahedral mesh) inside a 100^3 hex8 source (1,000,000 elements) whose interior nodes
//   are perturbed; the same target inside a tet10 source of 998,250 elements (55^3 cells of six);
// - nearest node: the 100^3 target nodes to the 101^3 source nodes;
// - integration-point weights: 250,000 "CPE4" targets (500^2) in a perturbed 500^2 "CPE4" source.
// Counters, in CPU microseconds per target point: us_per_point for the whole request, and for
// its parts grid_us (of which boxes_us is the reader's element boxes), read_us (source and
// target arrays), hull_index_us (the locator's index over hexahedra) and locate_us (the
// per-point search alone); candidates_per_point, the mean bucket length;
// weight_bytes_per_point; peak_rss_MB of the process, databases included.

namespace {

// Thread CPU time: the machine the figures come from is shared, and wall time there measures
// the neighbours as much as the search.
double CpuNow() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

double Seconds(double since) { return CpuNow() - since; }

// Nodes of an n^3 lattice of spacing h from origin o, interior ones moved by up to jitter * h.
std::vector<double> Lattice(int n, double h, double o, double jitter, int dimension,
                            unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> move(-jitter * h, jitter * h);
  std::vector<double> coords;
  const int layers = dimension == 3 ? n : 1;
  coords.reserve(static_cast<std::size_t>(n) * n * layers * dimension);
  for (int k = 0; k < layers; ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) {
        const bool inner =
            i > 0 && i < n - 1 && j > 0 && j < n - 1 && (dimension == 2 || (k > 0 && k < n - 1));
        const int index[3] = {i, j, k};
        for (int a = 0; a < dimension; ++a)
          coords.push_back(o + h * index[a] + (inner && jitter > 0 ? move(rng) : 0.0));
      }
  return coords;
}

std::vector<int> HexConnectivity(int cells) {
  const int n = cells + 1;
  const auto node = [n](int i, int j, int k) { return i + n * (j + n * k); };
  std::vector<int> c;
  c.reserve(static_cast<std::size_t>(cells) * cells * cells * 8);
  for (int k = 0; k < cells; ++k)
    for (int j = 0; j < cells; ++j)
      for (int i = 0; i < cells; ++i)
        c.insert(c.end(), {node(i, j, k), node(i + 1, j, k), node(i + 1, j + 1, k),
                           node(i, j + 1, k), node(i, j, k + 1), node(i + 1, j, k + 1),
                           node(i + 1, j + 1, k + 1), node(i, j + 1, k + 1)});
  return c;
}

// Six tet10 per cell on a lattice of half-cell spacing (Kuhn split, conforming).
std::vector<int> Tet10Connectivity(int cells) {
  const int n = 2 * cells + 1;
  const auto node = [n](const int* c) { return c[0] + n * (c[1] + n * c[2]); };
  const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  const int edges[6][2] = {{0, 1}, {1, 2}, {2, 0}, {0, 3}, {1, 3}, {2, 3}};
  std::vector<int> c;
  c.reserve(static_cast<std::size_t>(cells) * cells * cells * 60);
  for (int k = 0; k < cells; ++k)
    for (int j = 0; j < cells; ++j)
      for (int i = 0; i < cells; ++i)
        for (const auto& order : orders) {
          int v[4][3] = {{2 * i, 2 * j, 2 * k}};
          for (int s = 0; s < 3; ++s) {
            for (int a = 0; a < 3; ++a) v[s + 1][a] = v[s][a];
            v[s + 1][order[s]] += 2;
          }
          const bool odd = (order[0] == 0 && order[1] == 2) || (order[0] == 1 && order[1] == 0) ||
                           (order[0] == 2 && order[1] == 1);
          if (odd)
            for (int a = 0; a < 3; ++a) std::swap(v[1][a], v[2][a]);
          for (const auto& corner : v) c.push_back(node(corner));
          for (const auto& e : edges) {
            int mid[3];
            for (int a = 0; a < 3; ++a) mid[a] = (v[e[0]][a] + v[e[1]][a]) / 2;
            c.push_back(node(mid));
          }
        }
  return c;
}

std::vector<int> QuadConnectivity(int cells) {
  const int n = cells + 1;
  std::vector<int> c;
  for (int j = 0; j < cells; ++j)
    for (int i = 0; i < cells; ++i)
      c.insert(c.end(), {i + n * j, i + 1 + n * j, i + 1 + n * (j + 1), i + n * (j + 1)});
  return c;
}

// One database with every mesh of the benchmarks.
struct Meshes {
  ZORMtkSimWriter writer;
  ZORSimDynamicID hex8, tet10, quadSource, quadTarget, targetNodes;

  ZORSimDynamicID AddElements(std::vector<double> coords, int dimension, const char* type,
                              int nodesPerElement, std::vector<int> connectivity) {
    const ZORSimDynamicID mesh = writer.AddMesh();
    writer.AddMeshNodes(mesh, static_cast<int>(coords.size()) / dimension, dimension,
                        coords.data());
    ZORSimArray<ZORSimCSetID> blocks{
        writer.AddMeshElements(mesh, static_cast<int>(connectivity.size()) / nodesPerElement, type,
                               nodesPerElement, connectivity.data())};
    cow_List<cow_String> types{type};
    writer.ConnectMeshEltypes(mesh, blocks, types);
    return mesh;
  }

  Meshes() {
    writer.CreateSim("/tmp/zor_search_bench.zsd");
    hex8 = AddElements(Lattice(101, 1.0, 0.0, 0.2, 3, 1), 3, "C3D8", 8, HexConnectivity(100));
    tet10 = AddElements(Lattice(111, 100.0 / 110, 0.0, 0.1, 3, 2), 3, "C3D10", 10,
                        Tet10Connectivity(55));
    quadSource =
        AddElements(Lattice(501, 1.0, 0.0, 0.2, 2, 3), 2, "CPE4", 4, QuadConnectivity(500));
    quadTarget =
        AddElements(Lattice(501, 0.998, 0.3, 0.0, 2, 4), 2, "CPE4", 4, QuadConnectivity(500));
    targetNodes = writer.AddMesh();
    std::vector<double> nodes = Lattice(100, 0.994, 0.3, 0.0, 3, 5);
    writer.AddMeshNodes(targetNodes, 1000000, 3, nodes.data());
  }
};

Meshes& AllMeshes() {
  static Meshes meshes;
  return meshes;
}

struct Readers {
  ZORMtkSimReader hex8, tet10, quadSource, quadTarget, targetNodes;
  Readers() {
    Meshes& m = AllMeshes();
    const ZORSrvPosition root = m.writer.GetRootPosition();
    hex8.SetElsetRegion(root, m.hex8, {});
    tet10.SetElsetRegion(root, m.tet10, {});
    quadSource.SetElsetRegion(root, m.quadSource, {});
    quadTarget.SetElsetRegion(root, m.quadTarget, {});
    targetNodes.SetNodesetRegion(root, m.targetNodes, {});
  }
};

Readers& AllReaders() {
  static Readers readers;
  return readers;
}

void ReportPeakMemory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The parts of a shape-interpolation request, timed apart: grid, source and target arrays, and
// the per-point search over every target point.
void ReportParts(benchmark::State& state, ZORMtkSimReader& source, ZORMtkSimReader& target) {
  ZORMtkMapper mapper;
  mapper.SetReader(&source);
  std::vector<int> elements(static_cast<std::size_t>(source.numElements));
  std::vector<double> low(elements.size() * 3), high(elements.size() * 3);
  double average = 0.0, overallLow[3], overallHigh[3];
  double start = CpuNow();
  source.GetElementBoxes(elements.data(), low.data(), high.data(), average, overallLow,
                         overallHigh);
  const double boxes = Seconds(start);
  start = CpuNow();
  ZORMtkMeshElemB* grid = mapper.Context().cache.ElementGrid(mapper.Context(), source.meshID);
  const double gridSeconds = Seconds(start);
  start = CpuNow();
  const ZORMtkSourceElements mesh(source, *grid);
  const ZORReaderPoints points = ZORReaderPoints::Read(target);
  const double read = Seconds(start);
  const ZORSearchTolerances tolerances{0.3, 0.5};
  start = CpuNow();
  const ZORMtkPointLocator locator(mesh, *grid, tolerances, {true});
  const double index = Seconds(start);
  ZORMtkPointLocator::Scratch scratch;
  ZORPointMatch match;
  int placed = 0;
  start = CpuNow();
  for (int n = 0; n < points.Count(); ++n)
    placed += locator.Locate(points.At(n), scratch, match, nullptr);
  const double locate = Seconds(start);
  const double count = points.Count();
  double candidates = 0.0;
  for (int n = 0; n < points.Count(); ++n) {
    int size = 0;
    grid->Bucket(points.At(n), size);
    candidates += size;
  }
  state.counters["boxes_us"] = boxes / count * 1e6;
  state.counters["candidates_per_point"] = candidates / count;
  state.counters["grid_us"] = gridSeconds / count * 1e6;
  state.counters["hull_index_us"] = index / count * 1e6;
  state.counters["read_us"] = read / count * 1e6;
  state.counters["locate_us"] = locate / count * 1e6;
  state.counters["unplaced"] = count - placed;
  state.counters["largest_bucket"] = grid->LargestBucket();
}

void NodalCase(benchmark::State& state, ZORMtkSimReader& source, int method) {
  ZORMtkSimReader& target = AllReaders().targetNodes;
  double total = 0.0;
  long long bytes = 0;
  for (auto _ : state) {
    ZORMtkMapper mapper;
    mapper.SetReader(&source);
    mapper.SetReader(&target);
    const double start = CpuNow();
    const ZORMtkNodalWeights* weights = mapper.Context().cache.NodalWeights(
        mapper.Context(), method, source.meshID, target.meshID, false, false);
    total += Seconds(start);
    bytes = weights->StorageBytes();
    state.counters["unplaced_or_misaligned"] =
        mapper.Diagnostics().FailedPoints().Size() + mapper.Diagnostics().MisalignedPoints().Size();
  }
  const double points = target.numNodes;
  state.counters["us_per_point"] = total / state.iterations() / points * 1e6;
  state.counters["weight_bytes_per_point"] = static_cast<double>(bytes) / points;
  if (method == 0) ReportParts(state, source, target);
  ReportPeakMemory(state);
}

void BM_NodalShapeHex8(benchmark::State& state) { NodalCase(state, AllReaders().hex8, 0); }
void BM_NodalShapeTet10(benchmark::State& state) { NodalCase(state, AllReaders().tet10, 0); }
void BM_NearestNode(benchmark::State& state) { NodalCase(state, AllReaders().hex8, 1); }

void BM_IntPtCpe4(benchmark::State& state) {
  Readers& r = AllReaders();
  double total = 0.0;
  long long bytes = 0;
  for (auto _ : state) {
    ZORMtkMapper mapper;
    mapper.SetReader(&r.quadSource);
    mapper.SetReader(&r.quadTarget);
    const double start = CpuNow();
    const ZORMtkElementWeights* weights = mapper.Context().cache.ElementWeights(
        mapper.Context(), r.quadSource.meshID, r.quadTarget.meshID);
    total += Seconds(start);
    bytes = weights->StorageBytes();
    state.counters["unplaced_elements"] = mapper.Diagnostics().FailedElements().Size();
  }
  const double points = 4.0 * r.quadTarget.numElements;
  state.counters["us_per_point"] = total / state.iterations() / points * 1e6;
  state.counters["weight_bytes_per_point"] = static_cast<double>(bytes) / points;
  ReportPeakMemory(state);
}

}  // namespace

BENCHMARK(BM_NodalShapeHex8)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_NodalShapeTet10)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_NearestNode)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_IntPtCpe4)->Unit(benchmark::kSecond)->Iterations(1);
