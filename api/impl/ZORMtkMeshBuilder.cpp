#include "api/impl/ZORMtkMeshBuilder.h"

#include <algorithm>
#include <cmath>

#include "api/ZORMtkVtkCells.h"
#include "element/ZORMtkShp.h"
#include "writer/ZORMtkSimWriter.h"

namespace {

// The writer hands one call's bytes to the database as a 32-bit count, so large meshes go in
// slices well below 2 GiB.
constexpr int kNodesPerCall = 1 << 22;
constexpr int kElementsPerCall = 1 << 22;
const char* const kAxisNames[] = {"x", "y", "z"};

std::string Text(double value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%g", value);
  return text;
}

}  // namespace

ZORMtkMeshBuilder::ZORMtkMeshBuilder(const ZORMtkMeshArrays& mesh, std::string role)
    : mesh_(mesh), role_(std::move(role)) {}

ZORMtkArrayStatus ZORMtkMeshBuilder::Check() {
  ZORMtkArrayStatus status = CheckNodes();
  if (!status) return status;
  const bool hasCells = mesh_.cellCount > 0;
  if (hasCells && !mesh_.blocks.empty())
    return ZORMtkArrayStatus::Invalid(role_ +
                                      ": give cells either as VTK cells or as blocks, not both");
  return hasCells ? CheckVtkCells() : CheckBlocks();
}

ZORMtkArrayStatus ZORMtkMeshBuilder::CheckNodes() const {
  if (mesh_.dimension != 2 && mesh_.dimension != 3)
    return ZORMtkArrayStatus::Invalid(role_ + ": coordinates have 2 or 3 components, not " +
                                      std::to_string(mesh_.dimension));
  if (mesh_.nodeCount <= 0 || mesh_.coordinates == nullptr)
    return ZORMtkArrayStatus::Invalid(role_ + " has no nodes");
  const long long values = static_cast<long long>(mesh_.nodeCount) * mesh_.dimension;
  for (long long i = 0; i < values; ++i) {
    if (std::isfinite(mesh_.coordinates[i])) continue;
    return ZORMtkArrayStatus::Invalid(role_ + ": node " + std::to_string(i / mesh_.dimension) +
                                      " has " + kAxisNames[i % mesh_.dimension] + " = " +
                                      Text(mesh_.coordinates[i]) +
                                      "; coordinates must be finite numbers");
  }
  return ZORMtkArrayStatus::Ok();
}

ZORMtkArrayStatus ZORMtkMeshBuilder::CheckNodeIndex(long long index, long long entry,
                                                    const std::string& where) const {
  if (index >= 0 && index < mesh_.nodeCount) return ZORMtkArrayStatus::Ok();
  return ZORMtkArrayStatus::Invalid(
      role_ + ": " + where + " refers to node " + std::to_string(index) + " (connectivity entry " +
      std::to_string(entry) + "), but the mesh has " + std::to_string(mesh_.nodeCount) + " nodes");
}

ZORMtkArrayStatus ZORMtkMeshBuilder::CheckVtkCells() {
  if (mesh_.types == nullptr || mesh_.offsets == nullptr || mesh_.connectivity == nullptr)
    return ZORMtkArrayStatus::Invalid(role_ + ": VTK cells need connectivity, offsets and types");
  if (mesh_.offsets[0] != 0)
    return ZORMtkArrayStatus::Invalid(role_ + ": offsets start at 0, not " +
                                      std::to_string(mesh_.offsets[0]));
  for (int c = 0; c < mesh_.cellCount; ++c) {
    const std::string cell = "cell " + std::to_string(c);
    const ZORMtkVtkCell* type = ZORMtkVtkCells::Find(mesh_.types[c]);
    if (type == nullptr)
      return ZORMtkArrayStatus::Invalid(
          role_ + ": " + cell + " has VTK cell type " + std::to_string(mesh_.types[c]) +
          ", which is not supported (supported: " + ZORMtkVtkCells::SupportedTypes() + ")");
    const std::int64_t first = mesh_.offsets[c];
    const std::int64_t nodes = mesh_.offsets[c + 1] - first;
    if (nodes != type->nodes)
      return ZORMtkArrayStatus::Invalid(role_ + ": " + cell + " has " + std::to_string(nodes) +
                                        " nodes (offsets " + std::to_string(first) + " to " +
                                        std::to_string(mesh_.offsets[c + 1]) + "); VTK cell type " +
                                        std::to_string(type->vtkType) + " needs " +
                                        std::to_string(type->nodes));
    for (std::int64_t k = first; k < first + nodes; ++k) {
      ZORMtkArrayStatus status = CheckNodeIndex(mesh_.connectivity[k], k, cell);
      if (!status) return status;
    }
  }
  plane_ = ChoosePlane();
  GroupVtkCells(plane_);
  return ZORMtkArrayStatus::Ok();
}

ZORMtkArrayStatus ZORMtkMeshBuilder::CheckBlocks() {
  int element = 0;
  for (std::size_t b = 0; b < mesh_.blocks.size(); ++b) {
    const ZORMtkElementBlockArrays& block = mesh_.blocks[b];
    const std::string where = "block " + std::to_string(b) + " (" + block.elementType + ")";
    const int row = ZORMtkShp::GetBaseShape(block.elementType);
    if (row == ZORMtkShp::kUnknownRow)
      return ZORMtkArrayStatus::Invalid(role_ + ": " + where + ": the element type is unknown");
    const int nodes = ZORMtkShp::GetRow(row).nodes;
    if (block.nodesPerElement != nodes)
      return ZORMtkArrayStatus::Invalid(
          role_ + ": " + where + " has " + std::to_string(block.nodesPerElement) +
          " nodes per element; the type needs " + std::to_string(nodes));
    if (block.elementCount < 0 || (block.elementCount > 0 && block.connectivity == nullptr))
      return ZORMtkArrayStatus::Invalid(role_ + ": " + where + " has no connectivity");
    const long long entries = static_cast<long long>(block.elementCount) * nodes;
    for (long long k = 0; k < entries; ++k) {
      ZORMtkArrayStatus status =
          CheckNodeIndex(block.connectivity[k], k, where + " element " + std::to_string(k / nodes));
      if (!status) return status;
    }
    blocks_.push_back(Block{block.elementType, nodes, block.connectivity, {}, block.elementCount});
    for (int e = 0; e < block.elementCount; ++e) cellOfElement_.push_back(element++);
  }
  plane_ = mesh_.dimension == 2;
  return ZORMtkArrayStatus::Ok();
}

// Plane when no cell is a solid and every node lies in z = 0. A flat mesh elsewhere keeps its z
// and is taken as shells, so that its points are searched where they are.
bool ZORMtkMeshBuilder::ChoosePlane() const {
  if (mesh_.dimension == 2) return true;
  for (int c = 0; c < mesh_.cellCount; ++c)
    if (ZORMtkVtkCells::Find(mesh_.types[c])->dimension == 3) return false;
  for (int i = 0; i < mesh_.nodeCount; ++i)
    if (mesh_.coordinates[3 * static_cast<std::size_t>(i) + 2] != 0.0) return false;
  return true;
}

// A mesh of one cell type in the library's node order keeps the host's connectivity.
void ZORMtkMeshBuilder::GroupVtkCells(bool plane) {
  const int firstType = mesh_.types[0];
  const bool oneType = std::all_of(mesh_.types, mesh_.types + mesh_.cellCount,
                                   [&](std::uint8_t type) { return type == firstType; });
  const ZORMtkVtkCell& first = *ZORMtkVtkCells::Find(firstType);
  if (oneType && first.order.empty()) {
    blocks_.push_back(Block{plane ? first.planeElement : first.solidOrShellElement,
                            first.nodes,
                            mesh_.connectivity,
                            {},
                            mesh_.cellCount});
    cellOfElement_.resize(static_cast<std::size_t>(mesh_.cellCount));
    for (int c = 0; c < mesh_.cellCount; ++c) cellOfElement_[static_cast<std::size_t>(c)] = c;
    return;
  }
  std::vector<std::vector<int>> cellsOfBlock;
  for (int c = 0; c < mesh_.cellCount; ++c) {
    const ZORMtkVtkCell& cell = *ZORMtkVtkCells::Find(mesh_.types[c]);
    const std::string type = plane ? cell.planeElement : cell.solidOrShellElement;
    std::size_t b = 0;
    while (b < blocks_.size() && blocks_[b].elementType != type) ++b;
    if (b == blocks_.size()) {
      blocks_.push_back(Block{type, cell.nodes, nullptr, {}, 0});
      cellsOfBlock.emplace_back();
    }
    Block& block = blocks_[b];
    const int* nodes = mesh_.connectivity + mesh_.offsets[c];
    if (cell.order.empty())
      block.owned.insert(block.owned.end(), nodes, nodes + cell.nodes);
    else
      for (const int k : cell.order) block.owned.push_back(nodes[k]);
    ++block.elementCount;
    cellsOfBlock[b].push_back(c);
  }
  for (const std::vector<int>& cells : cellsOfBlock)
    cellOfElement_.insert(cellOfElement_.end(), cells.begin(), cells.end());
}

ZORMtkShapeCounts ZORMtkMeshBuilder::CountShapes() const {
  ZORMtkShapeCounts counts;
  for (const Block& block : blocks_) {
    const ZORMtkElementShapeCheck check =
        ZORMtkElementShapeCheck::ForType(block.elementType.c_str(), plane_);
    const int* nodes = block.connectivity ? block.connectivity : block.owned.data();
    for (int e = 0; e < block.elementCount; ++e)
      counts.Add(check.CheckNodes(
          mesh_.coordinates, mesh_.dimension,
          nodes + static_cast<std::size_t>(e) * static_cast<std::size_t>(block.nodesPerElement)));
  }
  return counts;
}

ZORSimDynamicID ZORMtkMeshBuilder::Write(ZORMtkSimWriter& writer) const {
  const ZORSimDynamicID id = writer.AddMesh();
  const int components = plane_ ? 2 : mesh_.dimension;
  std::vector<double> plane;
  // The writer's pointers are not const, but it only reads through them.
  double* coordinates = const_cast<double*>(mesh_.coordinates);
  if (components != mesh_.dimension) {
    plane.resize(static_cast<std::size_t>(mesh_.nodeCount) * 2);
    for (std::size_t i = 0; i < static_cast<std::size_t>(mesh_.nodeCount); ++i) {
      plane[2 * i] = mesh_.coordinates[3 * i];
      plane[2 * i + 1] = mesh_.coordinates[3 * i + 1];
    }
    coordinates = plane.data();
  }
  for (int first = 0; first < mesh_.nodeCount; first += kNodesPerCall)
    writer.AddMeshNodes(id, std::min(kNodesPerCall, mesh_.nodeCount - first), components,
                        coordinates + static_cast<std::size_t>(first) * components);
  ZORSimArray<ZORSimCSetID> sets;
  cow_List<cow_String> types;
  for (const Block& block : blocks_) {
    int* nodes = const_cast<int*>(block.connectivity ? block.connectivity : block.owned.data());
    for (int first = 0; first < block.elementCount; first += kElementsPerCall) {
      const int count = std::min(kElementsPerCall, block.elementCount - first);
      sets.Append(
          writer.AddMeshElements(id, count, block.elementType, block.nodesPerElement,
                                 nodes + static_cast<std::size_t>(first) * block.nodesPerElement));
      types.Append(block.elementType);
    }
  }
  if (sets.Size() > 0) writer.ConnectMeshEltypes(id, sets, types);
  return id;
}
