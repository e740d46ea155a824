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
// store (grid, source read, search), at one and at two threads (the argument):
// - nodal weights, shape interpolation, per source family: 1,000,000 target nodes (a 100^3 node
//   lattice, the nodes of a tetrahedral mesh) inside a box of about 1e6 elements whose interior
//   nodes are perturbed: hex8 (100^3), tet4 and tet10 (55^3 cells of six), wedge6 (80^3 cells of
//   two) and hex20 (50^3, 125,000 elements: a million would need eight million nodes);
// - shells: 1,000,000 nodes 0.05 above a plane of 1000^2 perturbed "S4R" quadrilaterals;
// - nearest node: the 100^3 target nodes to the 101^3 source nodes;
// - integration-point weights: 250,000 "CPE4" targets (500^2) in a perturbed 500^2 "CPE4" source.
// Counters, in wall-clock microseconds per target point (threads are counted, so wall time is
// what a user waits for; on a shared machine it carries the neighbours' load too): us_per_point
// for the whole request; at one thread also its parts grid_us (the source mesh read and boxed,
// and the grid), read_us (the target points), hull_index_us (the locator's index over the
// solids) and locate_us (the per-point search alone), locate_containing_us (the same with the
// containing choice, which the comparison with VTK takes), and candidates_per_point, the mean
// bucket length; weight_bytes_per_point; peak_rss_MB of the process, databases included.

namespace {

// Thread CPU time: the machine the figures come from is shared, and wall time there measures
// the neighbours as much as the search.
double CpuNow() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

double Seconds(double since) { return CpuNow() - since; }

double WallNow() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

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

// Two wedges per hexahedral cell, split along the cell's x-y diagonal: triangles (0, 1, 3) and
// (1, 2, 3) of the cell's bottom face below their copies on the top face.
std::vector<int> WedgeConnectivity(int cells) {
  const std::vector<int> hexes = HexConnectivity(cells);
  std::vector<int> c;
  c.reserve(hexes.size() / 8 * 12);
  for (std::size_t h = 0; h < hexes.size(); h += 8) {
    const int* v = hexes.data() + h;
    c.insert(c.end(), {v[0], v[1], v[3], v[4], v[5], v[7], v[1], v[2], v[3], v[5], v[6], v[7]});
  }
  return c;
}

// The corner nodes of the tet10 mesh: the same lattice, mid-side nodes left unused.
std::vector<int> Tet4Connectivity(int cells) {
  const std::vector<int> tet10 = Tet10Connectivity(cells);
  std::vector<int> c;
  c.reserve(tet10.size() / 10 * 4);
  for (std::size_t e = 0; e < tet10.size(); e += 10) c.insert(c.end(), &tet10[e], &tet10[e + 4]);
  return c;
}

// Hex20 cells of edge two on a lattice of unit spacing: corners at even indices, edge middles
// where one index is odd (bottom edges, top edges, then the vertical ones).
std::vector<int> Hex20Connectivity(int cells) {
  const int n = 2 * cells + 1;
  const auto node = [n](int i, int j, int k) { return i + n * (j + n * k); };
  const int corner[8][3] = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0},
                            {0, 0, 2}, {2, 0, 2}, {2, 2, 2}, {0, 2, 2}};
  const int edges[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                            {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
  std::vector<int> c;
  c.reserve(static_cast<std::size_t>(cells) * cells * cells * 20);
  for (int k = 0; k < cells; ++k)
    for (int j = 0; j < cells; ++j)
      for (int i = 0; i < cells; ++i) {
        for (const auto& v : corner) c.push_back(node(2 * i + v[0], 2 * j + v[1], 2 * k + v[2]));
        for (const auto& e : edges) {
          const int* a = corner[e[0]];
          const int* b = corner[e[1]];
          c.push_back(node(2 * i + (a[0] + b[0]) / 2, 2 * j + (a[1] + b[1]) / 2,
                           2 * k + (a[2] + b[2]) / 2));
        }
      }
  return c;
}

// A plane lattice given three coordinates per node, at height z.
std::vector<double> Raised(const std::vector<double>& plane, double z) {
  std::vector<double> coords;
  coords.reserve(plane.size() / 2 * 3);
  for (std::size_t n = 0; n < plane.size(); n += 2)
    coords.insert(coords.end(), {plane[n], plane[n + 1], z});
  return coords;
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
  ZORSimDynamicID hex8, tet4, tet10, wedge6, hex20, shell, quadSource, quadTarget, targetNodes,
      shellTargetNodes;

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
    tet4 =
        AddElements(Lattice(111, 100.0 / 110, 0.0, 0.1, 3, 2), 3, "C3D4", 4, Tet4Connectivity(55));
    wedge6 = AddElements(Lattice(81, 1.25, 0.0, 0.2, 3, 6), 3, "C3D6", 6, WedgeConnectivity(80));
    hex20 = AddElements(Lattice(101, 1.0, 0.0, 0.1, 3, 7), 3, "C3D20", 20, Hex20Connectivity(50));
    shell = AddElements(Raised(Lattice(1001, 1.0, 0.0, 0.2, 2, 8), 0.0), 3, "S4R", 4,
                        QuadConnectivity(1000));
    quadSource =
        AddElements(Lattice(501, 1.0, 0.0, 0.2, 2, 3), 2, "CPE4", 4, QuadConnectivity(500));
    quadTarget =
        AddElements(Lattice(501, 0.998, 0.3, 0.0, 2, 4), 2, "CPE4", 4, QuadConnectivity(500));
    targetNodes = writer.AddMesh();
    std::vector<double> nodes = Lattice(100, 0.994, 0.3, 0.0, 3, 5);
    writer.AddMeshNodes(targetNodes, 1000000, 3, nodes.data());
    shellTargetNodes = writer.AddMesh();
    std::vector<double> above = Raised(Lattice(1000, 0.998, 0.3, 0.0, 2, 9), 0.05);
    writer.AddMeshNodes(shellTargetNodes, 1000000, 3, above.data());
  }
};

Meshes& AllMeshes() {
  static Meshes meshes;
  return meshes;
}

struct Readers {
  ZORMtkSimReader hex8, tet4, tet10, wedge6, hex20, shell, quadSource, quadTarget, targetNodes,
      shellTargetNodes;
  Readers() {
    Meshes& m = AllMeshes();
    const ZORSrvPosition root = m.writer.GetRootPosition();
    hex8.SetElsetRegion(root, m.hex8, {});
    tet4.SetElsetRegion(root, m.tet4, {});
    tet10.SetElsetRegion(root, m.tet10, {});
    wedge6.SetElsetRegion(root, m.wedge6, {});
    hex20.SetElsetRegion(root, m.hex20, {});
    shell.SetElsetRegion(root, m.shell, {});
    shellTargetNodes.SetNodesetRegion(root, m.shellTargetNodes, {});
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

// The parts of a shape-interpolation request, timed apart: the grid with the source mesh it
// reads, the target points, and the per-point search over every target point.
void ReportParts(benchmark::State& state, ZORMtkSimReader& source, ZORMtkSimReader& target) {
  ZORMtkMapper mapper;
  mapper.SetReader(&source);
  double start = CpuNow();
  ZORMtkMeshElemB* grid = mapper.Context().cache.ElementGrid(mapper.Context(), source.meshID);
  const double gridSeconds = Seconds(start);
  const std::unique_ptr<ZORMtkSourceElements> kept = grid->TakeMesh();
  const ZORMtkSourceElements& mesh = *kept;
  start = CpuNow();
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
  // The containing choice, which the comparison with VTK takes, walks the hulls differently.
  ZORMtkPointLocator::Settings containing{true};
  containing.containing = true;
  const ZORMtkPointLocator containingLocator(mesh, *grid, tolerances, containing);
  start = CpuNow();
  for (int n = 0; n < points.Count(); ++n)
    containingLocator.Locate(points.At(n), scratch, match, nullptr);
  state.counters["locate_containing_us"] = Seconds(start) / count * 1e6;
  double candidates = 0.0;
  for (int n = 0; n < points.Count(); ++n) {
    int size = 0;
    grid->Bucket(points.At(n), size);
    candidates += size;
  }
  state.counters["candidates_per_point"] = candidates / count;
  state.counters["grid_us"] = gridSeconds / count * 1e6;
  state.counters["hull_index_us"] = index / count * 1e6;
  state.counters["read_us"] = read / count * 1e6;
  state.counters["locate_us"] = locate / count * 1e6;
  state.counters["unplaced"] = count - placed;
  state.counters["largest_bucket"] = grid->LargestBucket();
}

void NodalCase(benchmark::State& state, ZORMtkSimReader& source, ZORMtkSimReader& target,
               int method) {
  const int threads = static_cast<int>(state.range(0));
  double total = 0.0;
  long long bytes = 0;
  for (auto _ : state) {
    ZORMtkMapper mapper;
    mapper.SetThreadCount(threads);
    mapper.SetReader(&source);
    mapper.SetReader(&target);
    const double start = WallNow();
    const ZORMtkNodalWeights* weights = mapper.Context().cache.NodalWeights(
        mapper.Context(), method, source.meshID, target.meshID, false, false);
    total += WallNow() - start;
    bytes = weights->StorageBytes();
    state.counters["unplaced_or_misaligned"] =
        mapper.Diagnostics().FailedPoints().Size() + mapper.Diagnostics().MisalignedPoints().Size();
  }
  const double points = target.numNodes;
  state.counters["us_per_point"] = total / state.iterations() / points * 1e6;
  state.counters["weight_bytes_per_point"] = static_cast<double>(bytes) / points;
  if (method == 0 && threads == 1) ReportParts(state, source, target);
  ReportPeakMemory(state);
}

void SolidCase(benchmark::State& state, ZORMtkSimReader& source) {
  NodalCase(state, source, AllReaders().targetNodes, 0);
}

void BM_NodalShapeHex8(benchmark::State& state) { SolidCase(state, AllReaders().hex8); }
void BM_NodalShapeTet4(benchmark::State& state) { SolidCase(state, AllReaders().tet4); }
void BM_NodalShapeTet10(benchmark::State& state) { SolidCase(state, AllReaders().tet10); }
void BM_NodalShapeWedge6(benchmark::State& state) { SolidCase(state, AllReaders().wedge6); }
void BM_NodalShapeHex20(benchmark::State& state) { SolidCase(state, AllReaders().hex20); }
void BM_NodalShapeShellQuad4(benchmark::State& state) {
  NodalCase(state, AllReaders().shell, AllReaders().shellTargetNodes, 0);
}
void BM_NearestNode(benchmark::State& state) {
  NodalCase(state, AllReaders().hex8, AllReaders().targetNodes, 1);
}

void BM_IntPtCpe4(benchmark::State& state) {
  Readers& r = AllReaders();
  double total = 0.0;
  long long bytes = 0;
  for (auto _ : state) {
    ZORMtkMapper mapper;
    mapper.SetThreadCount(static_cast<int>(state.range(0)));
    mapper.SetReader(&r.quadSource);
    mapper.SetReader(&r.quadTarget);
    const double start = WallNow();
    const ZORMtkElementWeights* weights = mapper.Context().cache.ElementWeights(
        mapper.Context(), r.quadSource.meshID, r.quadTarget.meshID);
    total += WallNow() - start;
    bytes = weights->StorageBytes();
    state.counters["unplaced_elements"] = mapper.Diagnostics().FailedElements().Size();
  }
  const double points = 4.0 * r.quadTarget.numElements;
  state.counters["us_per_point"] = total / state.iterations() / points * 1e6;
  state.counters["weight_bytes_per_point"] = static_cast<double>(bytes) / points;
  ReportPeakMemory(state);
}

}  // namespace

// The argument is the thread count.
BENCHMARK(BM_NodalShapeHex8)->Arg(1)->Arg(2)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_NodalShapeTet4)->Arg(1)->Arg(2)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_NodalShapeTet10)->Arg(1)->Arg(2)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_NodalShapeWedge6)->Arg(1)->Arg(2)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_NodalShapeHex20)->Arg(1)->Arg(2)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_NodalShapeShellQuad4)->Arg(1)->Arg(2)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_NearestNode)->Arg(1)->Arg(2)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_IntPtCpe4)->Arg(1)->Arg(2)->Unit(benchmark::kSecond)->Iterations(1);
