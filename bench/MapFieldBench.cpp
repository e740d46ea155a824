#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "mapper/ZORMtkMapper.h"
#include "mapper/impl/ZORMtkMappingContext.h"
#include "mapper/impl/ZORMtkRowForm.h"
#include "platform/ZORSimAPI.h"
#include "reader/ZORMtkSimReader.h"
#include "search/impl/ZORMtkNodalWeights.h"
#include "tests/support/ZORTestMeshes.h"
#include "writer/ZORMtkSimWriter.h"

// MapField end to end (read the source field, search, combine, write the target field) from a
// hex8 source with perturbed interior nodes to a tetrahedral target of n^3 nodes, for a field of
// three components; then a second field between the same meshes, which reuses the weights and
// should cost little more than reading and writing its values.

namespace {

using zor_test_mesh::TestMesh;

ZORSimDynamicID WriteMesh(ZORMtkSimWriter& writer, const TestMesh& mesh) {
  const ZORSimDynamicID id = writer.AddMesh();
  std::vector<double> coordinates = mesh.coords;
  writer.AddMeshNodes(id, mesh.NodeCount(), mesh.dimension, coordinates.data());
  std::vector<int> connectivity = mesh.connectivity;
  ZORSimArray<ZORSimCSetID> blocks{writer.AddMeshElements(
      id, mesh.ElementCount(), mesh.type, mesh.nodesPerElement, connectivity.data())};
  cow_List<cow_String> types{mesh.type};
  writer.ConnectMeshEltypes(id, blocks, types);
  return id;
}

void WriteLinearField(ZORMtkSimWriter& writer, const ZORSimDynamicID& mesh, const TestMesh& nodes,
                      const char* name, double scale) {
  const ZORSimDynamicID field = writer.AddSimpleNodeField(mesh, name, 3);
  std::vector<double> values;
  cow_List<int> members;
  for (int i = 0; i < nodes.NodeCount(); ++i) {
    const double x = nodes.At(i, 0), y = nodes.At(i, 1), z = nodes.At(i, 2);
    values.insert(values.end(), {scale * (1 + x - y), scale * (2 * z - x), scale * (y + 0.5)});
    members.Append(i);
  }
  writer.WriteSimpleNodeField(field, mesh, 1, 1, 3, members, values.data());
}

double PeakResidentMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in kilobytes
}

// Wall-clock and processor seconds of one MapField; on a busy machine the second is the steadier
// figure.
struct Cost {
  double wall;
  double cpu;
};

Cost CostOf(ZORMtkMapper& mapper, const char* request) {
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpuStart = std::clock();
  mapper.MapField(request, 1, 1, 1, 1);
  const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), cpu};
}

// state.range(0): source cells per axis; state.range(1): target nodes per axis.
void BM_MapFieldHex8ToTet4(benchmark::State& state) {
  const int sourceCells = static_cast<int>(state.range(0));
  const int targetNodes = static_cast<int>(state.range(1));
  const std::string file = "/tmp/zor_mapfield_bench_" + std::to_string(::getpid()) + ".zsd";
  std::remove(file.c_str());
  const TestMesh sourceMesh = zor_test_mesh::HexBox(sourceCells, 0.0, 1.0, 0.15);
  ZORSimDynamicID writtenMesh;
  {
    ZORMtkSimWriter writer;
    writer.CreateSim(file);
    writtenMesh = WriteMesh(writer, sourceMesh);
    WriteLinearField(writer, writtenMesh, sourceMesh, "U_D", 1.0);
    WriteLinearField(writer, writtenMesh, sourceMesh, "A_D", 2.0);
    writer.SaveContext();
  }
  ZORSrvSimAccess access;
  const ZORSrvPosition root = access.Open(file);
  ZORSimDynamicID sourceMeshID;
  sourceMeshID.leading = root.ID().leading;
  sourceMeshID.object = writtenMesh.object;
  ZORMtkSimReader source;
  source.SetElsetRegion(root, sourceMeshID, {});

  ZORMtkSimWriter target;
  target.CreateSim(file + ".target");
  const ZORSimDynamicID targetMesh =
      WriteMesh(target, zor_test_mesh::TetBox(targetNodes - 1, 0.01, 0.99));
  const ZORSimDynamicID firstField = target.AddSimpleNodeField(targetMesh, "U_D", 3);
  const ZORSimDynamicID secondField = target.AddSimpleNodeField(targetMesh, "A_D", 3);
  ZORMtkSimReader targetReader;
  targetReader.SetElsetRegion(target.GetRootPosition(), targetMesh, {});

  // The set-up (meshes, source database, target mesh) has its own peak; the mapping's shows only
  // where the final peak exceeds it.
  state.counters["peak_rss_before_map_MB"] = PeakResidentMegabytes();
  for (auto _ : state) {
    ZORMtkMapper mapper;
    mapper.SetReader(&source);
    mapper.SetReader(&targetReader);
    mapper.SetWriter(&target);
    mapper.AddMapSpec("first", MapNodeToNode, MethodShapeInterpolation, ConserveNone, sourceMeshID,
                      targetMesh, source.GetFieldID("U_D", 1), firstField, false, false);
    mapper.AddMapSpec("second", MapNodeToNode, MethodShapeInterpolation, ConserveNone, sourceMeshID,
                      targetMesh, source.GetFieldID("A_D", 1), secondField, false, false);
    const Cost first = CostOf(mapper, "first");
    const Cost second = CostOf(mapper, "second");
    state.counters["first_field_s"] = first.wall;
    state.counters["first_field_cpu_s"] = first.cpu;
    state.counters["second_field_s"] = second.wall;
    state.counters["second_field_cpu_s"] = second.cpu;
    state.counters["target_nodes"] = targetReader.numNodes;
    // What the cache keeps per target node: the weights and the row form the transfers read
    // them through.
    const ZORMtkWeightCache& cache = mapper.Context().cache;
    const ZORMtkNodalWeights* weights = cache.NodalWeightsAt(0);
    const ZORMtkRowForm* form = cache.RowForm(weights);
    state.counters["weight_bytes_per_target"] =
        static_cast<double>(weights->StorageBytes() + (form ? form->StorageBytes() : 0)) /
        targetReader.numNodes;
  }
  state.counters["peak_rss_MB"] = PeakResidentMegabytes();
  access.Close(root);
  std::remove(file.c_str());
}

BENCHMARK(BM_MapFieldHex8ToTet4)
    ->Args({20, 21})
    ->Args({100, 100})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
