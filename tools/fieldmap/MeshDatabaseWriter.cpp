#include "MeshDatabaseWriter.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include "FieldArrayNames.h"

namespace {

// The writer hands one call's bytes to the database as a 32-bit count, so large meshes go in
// slices well below 2 GiB.
constexpr int kNodesPerCall = 1 << 22;
constexpr int kElementsPerCall = 1 << 22;

}  // namespace

MeshDatabaseWriter::MeshDatabaseWriter(ZORMtkSimWriter& writer) : writer_(writer) {}

ZORSimDynamicID MeshDatabaseWriter::WriteMesh(const AssembledMesh& mesh) {
  const ZORSimDynamicID id = writer_.AddMesh();
  const int components = mesh.coordinateComponents;
  // The writer's pointers are not const, but it only reads through them.
  double* coordinates = const_cast<double*>(mesh.coordinates.data());
  for (int first = 0; first < mesh.NodeCount(); first += kNodesPerCall) {
    const int count = std::min(kNodesPerCall, mesh.NodeCount() - first);
    writer_.AddMeshNodes(id, count, components,
                         coordinates + static_cast<std::size_t>(first) * components);
  }
  ZORSimArray<ZORSimCSetID> sets;
  cow_List<cow_String> types;
  for (const ElementBlock& block : mesh.blocks) {
    const int perElement = block.nodesPerElement;
    int* nodes = const_cast<int*>(block.connectivity.data());
    for (int first = 0; first < block.ElementCount(); first += kElementsPerCall) {
      const int count = std::min(kElementsPerCall, block.ElementCount() - first);
      sets.Append(writer_.AddMeshElements(id, count, block.elementType, perElement,
                                          nodes + static_cast<std::size_t>(first) * perElement));
      types.Append(block.elementType);
    }
  }
  writer_.ConnectMeshEltypes(id, sets, types);
  return id;
}

ZORSimDynamicID MeshDatabaseWriter::WriteNodeField(const ZORSimDynamicID& mesh,
                                                   const std::string& fieldType, int components,
                                                   const std::vector<double>& values,
                                                   const std::string& arrayName) {
  const ZORSimDynamicID field = writer_.AddSimpleNodeField(mesh, fieldType, components);
  const int nodeCount = static_cast<int>(values.size() / static_cast<std::size_t>(components));
  std::vector<int> members(static_cast<std::size_t>(nodeCount));
  std::iota(members.begin(), members.end(), 0);
  cow_List<int> points(std::move(members));
  std::vector<double> copy(values);
  writer_.WriteSimpleNodeField(field, mesh, 1, 1, components, points, copy.data());
  if (arrayName != fieldType) FieldArrayNames::Set(writer_.GetRootPosition(), field, arrayName);
  return field;
}
