#include "MeshAssembler.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "FieldmapError.h"

namespace {

constexpr std::size_t kCellsPerReport = 1 << 16;

std::string SupportedTypes() {
  std::string list;
  for (int type = 0; type < 100; ++type)
    if (CellCatalog::FindVtk(type)) list += (list.empty() ? "" : ", ") + std::to_string(type);
  return list;
}

}  // namespace

MeshAssembler::MeshAssembler(std::string fileName, std::function<void(double)> progress)
    : fileName_(std::move(fileName)), progress_(std::move(progress)) {}

MeshAssembler::CellTable MeshAssembler::CheckCells(const RawMesh& raw) const {
  if (raw.CellCount() == 0) throw FieldmapError::Input(fileName_, "", "the mesh has no cells");
  CellTable byType{};
  for (std::size_t type = 0; type < byType.size(); ++type)
    byType[type] = CellCatalog::FindVtk(static_cast<int>(type));
  for (std::size_t c = 0; c < raw.cellTypes.size(); ++c) {
    const int vtkType = raw.cellTypes[c];
    const CellCatalog::VtkCell* type =
        vtkType >= 0 && vtkType < 256 ? byType[static_cast<std::size_t>(vtkType)] : nullptr;
    if (!type)
      throw FieldmapError::Input(fileName_, "cell " + std::to_string(c),
                                 "VTK cell type " + std::to_string(vtkType) +
                                     " is not supported (supported: " + SupportedTypes() + ")");
    const std::int64_t points = raw.offsets[c + 1] - raw.offsets[c];
    if (points != type->nodes)
      throw FieldmapError::Input(fileName_, "cell " + std::to_string(c),
                                 "has " + std::to_string(points) + " points; VTK cell type " +
                                     std::to_string(vtkType) + " needs " +
                                     std::to_string(type->nodes));
  }
  return byType;
}

void MeshAssembler::CheckCoordinates(const RawMesh& raw) const {
  for (std::size_t i = 0; i < raw.points.size(); ++i)
    if (!std::isfinite(raw.points[i]))
      throw FieldmapError::Input(fileName_, "point " + std::to_string(i / 3),
                                 "coordinate " + std::to_string(i % 3) + " is " +
                                     std::to_string(raw.points[i]) + " (value " +
                                     std::to_string(i) + " of the point coordinates)");
}

// Blocks in the order their element types first appear; a mesh of one cell type that needs no
// reordering hands its connectivity over whole.
void MeshAssembler::FillBlocks(RawMesh& raw, const CellTable& cells, bool plane,
                               AssembledMesh& mesh) const {
  std::array<int, 256> blockOfType;
  blockOfType.fill(-1);
  std::vector<int> dimensions;
  std::vector<std::size_t> sizes;
  for (const int type : raw.cellTypes) {
    int& block = blockOfType[static_cast<std::size_t>(type)];
    const CellCatalog::VtkCell& cell = *cells[static_cast<std::size_t>(type)];
    if (block < 0) {
      const std::string element = plane ? cell.planeElement : cell.solidOrShellElement;
      block = 0;
      while (block < static_cast<int>(mesh.blocks.size()) &&
             mesh.blocks[static_cast<std::size_t>(block)].elementType != element)
        ++block;
      if (block == static_cast<int>(mesh.blocks.size())) {
        mesh.blocks.push_back(ElementBlock{element, cell.nodes, {}});
        dimensions.push_back(cell.dimension);
        sizes.push_back(0);
      }
    }
    sizes[static_cast<std::size_t>(block)] += static_cast<std::size_t>(cell.nodes);
  }
  const int firstType = raw.cellTypes.front();
  const bool oneType = std::all_of(raw.cellTypes.begin(), raw.cellTypes.end(),
                                   [&](int type) { return type == firstType; });
  if (oneType && cells[static_cast<std::size_t>(firstType)]->order.empty()) {
    mesh.blocks.front().connectivity = std::move(raw.connectivity);
  } else {
    for (std::size_t b = 0; b < mesh.blocks.size(); ++b)
      mesh.blocks[b].connectivity.reserve(sizes[b]);
    for (std::size_t c = 0; c < raw.cellTypes.size(); ++c) {
      const std::size_t type = static_cast<std::size_t>(raw.cellTypes[c]);
      std::vector<int>& target =
          mesh.blocks[static_cast<std::size_t>(blockOfType[type])].connectivity;
      const int* nodes = raw.connectivity.data() + raw.offsets[c];
      if (cells[type]->order.empty())
        target.insert(target.end(), nodes, nodes + cells[type]->nodes);
      else
        for (int k : cells[type]->order) target.push_back(nodes[k]);
    }
  }
  CheckShapes(raw, dimensions, plane, mesh);
}

void MeshAssembler::CheckShapes(const RawMesh& raw, const std::vector<int>& dimensions, bool plane,
                                AssembledMesh& mesh) const {
  std::size_t done = 0;
  for (std::size_t b = 0; b < mesh.blocks.size(); ++b) {
    const ElementBlock& block = mesh.blocks[b];
    const int nodes = block.nodesPerElement;
    const int* connectivity = block.connectivity.data();
    const ZORMtkElementShapeCheck check(nodes, dimensions[b], plane);
    for (int e = 0; e < block.ElementCount(); ++e, ++done) {
      const int* element =
          connectivity + static_cast<std::size_t>(e) * static_cast<std::size_t>(nodes);
      mesh.shapes.Add(check.CheckNodes(raw.points.data(), 3, element));
      if (progress_ && done % kCellsPerReport == 0)
        progress_(static_cast<double>(done) / static_cast<double>(raw.cellTypes.size()));
    }
  }
}

AssembledMesh MeshAssembler::Assemble(RawMesh raw) const {
  const CellTable cells = CheckCells(raw);
  CheckCoordinates(raw);
  bool plane = std::none_of(raw.cellTypes.begin(), raw.cellTypes.end(), [&](int type) {
    return cells[static_cast<std::size_t>(type)]->dimension == 3;
  });
  for (std::size_t i = 5; plane && i < raw.points.size(); i += 3)
    plane = raw.points[i] == raw.points[2];
  AssembledMesh mesh;
  mesh.coordinateComponents = plane ? 2 : 3;
  FillBlocks(raw, cells, plane, mesh);
  if (plane) {
    mesh.coordinates.resize(static_cast<std::size_t>(raw.PointCount()) * 2);
    for (std::size_t p = 0; p < static_cast<std::size_t>(raw.PointCount()); ++p) {
      mesh.coordinates[2 * p] = raw.points[3 * p];
      mesh.coordinates[2 * p + 1] = raw.points[3 * p + 1];
    }
  } else {
    mesh.coordinates = std::move(raw.points);
  }
  mesh.pointArrays = std::move(raw.pointArrays);
  mesh.notes = std::move(raw.notes);
  return mesh;
}
