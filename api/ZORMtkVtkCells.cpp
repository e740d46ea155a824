#include "api/ZORMtkVtkCells.h"

#include "element/ZORMtkShp.h"

namespace {

const ZORMtkVtkCell kVtkCells[] = {
    {3, 2, 1, "B31", "B21", {}},                           // line
    {5, 3, 2, "S3", "CPE3", {}},                           // triangle
    {9, 4, 2, "S4", "CPE4", {}},                           // quadrilateral
    {22, 6, 2, "STRI65", "CPE6", {}},                      // quadratic triangle
    {23, 8, 2, "S8R", "CPE8", {}},                         // quadratic quadrilateral
    {10, 4, 3, "C3D4", "C3D4", {}},                        // tetrahedron
    {24, 10, 3, "C3D10", "C3D10", {}},                     // quadratic tetrahedron
    {13, 6, 3, "C3D6", "C3D6", {}},                        // wedge
    {26, 15, 3, "C3D15", "C3D15", {}},                     // quadratic wedge
    {12, 8, 3, "C3D8", "C3D8", {}},                        // hexahedron
    {25, 20, 3, "C3D20", "C3D20", {}},                     // quadratic hexahedron
    {8, 4, 2, "S4", "CPE4", {0, 1, 3, 2}},                 // pixel
    {11, 8, 3, "C3D8", "C3D8", {0, 1, 3, 2, 4, 5, 7, 6}},  // voxel
};

const ZORMtkShpRow& ShapeOf(const std::string& elementType) {
  return ZORMtkShp::GetRow(ZORMtkShp::GetBaseShape(elementType));
}

}  // namespace

const ZORMtkVtkCell* ZORMtkVtkCells::Find(int vtkType) {
  for (const ZORMtkVtkCell& cell : kVtkCells)
    if (cell.vtkType == vtkType) return &cell;
  return nullptr;
}

const ZORMtkVtkCell* ZORMtkVtkCells::ForElementType(const std::string& elementType) {
  const ZORMtkShpRow& wanted = ShapeOf(elementType);
  for (const ZORMtkVtkCell& cell : kVtkCells) {
    const ZORMtkShpRow& row = ShapeOf(cell.solidOrShellElement);
    if (cell.order.empty() && row.family == wanted.family && row.nodes == wanted.nodes)
      return &cell;
  }
  return nullptr;
}

std::string ZORMtkVtkCells::SupportedTypes() {
  constexpr int kLargestVtkType = 255;
  std::string list;
  for (int type = 0; type <= kLargestVtkType; ++type)
    if (Find(type) != nullptr) list += (list.empty() ? "" : ", ") + std::to_string(type);
  return list;
}
