#include "MeshAssembler.h"

#include <map>

#include "CellCatalog.h"
#include "ElementShapeCheck.h"
#include "FieldmapError.h"

namespace {

constexpr std::size_t kCellsPerReport = 1 << 16;

}  // namespace

MeshAssembler::MeshAssembler(std::string fileName, std::function<void(double)> progress)
    : fileName_(std::move(fileName)), progress_(std::move(progress)) {}

void MeshAssembler::CheckCells(const RawMesh& raw) const {
  if (raw.CellCount() == 0) throw FieldmapError::Input(fileName_, "", "the mesh has no cells");
  for (std::int64_t c = 0; c < raw.CellCount(); ++c) {
    const std::size_t cell = static_cast<std::size_t>(c);
    const CellCatalog::VtkCell* type = CellCatalog::FindVtk(raw.cellTypes[cell]);
    const std::string where = "cell " + std::to_string(c);
    if (!type)
      throw FieldmapError::Input(fileName_, where,
                                 "VTK cell type " + std::to_string(raw.cellTypes[cell]) +
                                     " is not supported (supported: 3, 5, 9, 10, 12, 13, 22, "
                                     "23, 24, 25, 26)");
    const std::int64_t points = raw.offsets[cell + 1] - raw.offsets[cell];
    if (points != type->nodes)
      throw FieldmapError::Input(fileName_, where,
                                 "has " + std::to_string(points) + " points; VTK cell type " +
                                     std::to_string(type->vtkType) + " needs " +
                                     std::to_string(type->nodes));
  }
}

bool MeshAssembler::IsPlane(const RawMesh& raw) const {
  for (int type : raw.cellTypes)
    if (CellCatalog::FindVtk(type)->dimension == 3) return false;
  for (std::size_t i = 5; i < raw.points.size(); i += 3)
    if (raw.points[i] != raw.points[2]) return false;
  return true;
}

AssembledMesh MeshAssembler::Assemble(RawMesh raw) const {
  CheckCells(raw);
  AssembledMesh mesh;
  const bool plane = IsPlane(raw);
  mesh.coordinateComponents = plane ? 2 : 3;
  mesh.coordinates.reserve(static_cast<std::size_t>(raw.PointCount() * mesh.coordinateComponents));
  for (std::size_t p = 0; p < raw.points.size(); p += 3)
    mesh.coordinates.insert(mesh.coordinates.end(), raw.points.begin() + static_cast<long>(p),
                            raw.points.begin() + static_cast<long>(p) + mesh.coordinateComponents);

  std::map<std::string, std::size_t> blockOf;
  std::vector<double> xyz;
  for (std::size_t c = 0; c < raw.cellTypes.size(); ++c) {
    const CellCatalog::VtkCell& type = *CellCatalog::FindVtk(raw.cellTypes[c]);
    const std::string element = plane ? type.planeElement : type.solidOrShellElement;
    const auto [found, added] = blockOf.emplace(element, mesh.blocks.size());
    if (added) mesh.blocks.push_back(ElementBlock{element, type.nodes, {}});
    ElementBlock& block = mesh.blocks[found->second];
    xyz.clear();
    for (std::int64_t i = raw.offsets[c]; i < raw.offsets[c + 1]; ++i) {
      const int node = raw.connectivity[static_cast<std::size_t>(i)];
      block.connectivity.push_back(node);
      xyz.insert(xyz.end(), raw.points.begin() + 3L * node, raw.points.begin() + 3L * node + 3);
    }
    const ElementShapeCheck::Verdict verdict =
        ElementShapeCheck::Check(type.nodes, type.dimension, plane, xyz.data());
    mesh.zeroVolumeElements += verdict == ElementShapeCheck::Verdict::kZeroVolume;
    mesh.invertedElements += verdict == ElementShapeCheck::Verdict::kInverted;
    if (progress_ && c % kCellsPerReport == 0)
      progress_(static_cast<double>(c) / static_cast<double>(raw.cellTypes.size()));
  }
  mesh.pointArrays = std::move(raw.pointArrays);
  mesh.notes = std::move(raw.notes);
  return mesh;
}
