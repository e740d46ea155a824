#include "VtuCellTypes.h"

#include "ZORGfmApi.h"

namespace {

constexpr int kIdentity[VtuCellTypes::kMaxNodes] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,
                                                    10, 11, 12, 13, 14, 15, 16, 17, 18, 19};

constexpr VtuCellTypes::CellType Same(std::uint8_t vtkType, int nodes) {
  VtuCellTypes::CellType cell{vtkType, nodes, {}};
  for (int k = 0; k < VtuCellTypes::kMaxNodes; ++k) cell.order[k] = kIdentity[k];
  return cell;
}

struct ShapeEntry {
  int family;  // as the shape table numbers families: 0 line ... 5 hexahedron
  VtuCellTypes::CellType cell;
};

constexpr ShapeEntry kShapes[] = {
    {0, Same(3, 2)},          // line
    {0, {21, 3, {0, 2, 1}}},  // quadratic line: ends first, then the middle node
    {1, Same(5, 3)},          // triangle
    {1, Same(22, 6)},         // quadratic triangle
    {2, Same(9, 4)},          // quadrilateral
    {2, Same(23, 8)},         // quadratic quadrilateral
    {3, Same(10, 4)},         // tetrahedron
    {3, Same(24, 10)},        // quadratic tetrahedron
    {4, Same(13, 6)},         // wedge
    {4, Same(26, 15)},        // quadratic wedge
    {5, Same(12, 8)},         // hexahedron
    {5, Same(25, 20)},        // quadratic hexahedron
};

}  // namespace

const VtuCellTypes::CellType* VtuCellTypes::ForClass(const std::string& elementClass) {
  const ZORMtkShpRow& row = ZORMtkShp::GetRow(ZORMtkShp::GetBaseShape(elementClass));
  for (const ShapeEntry& entry : kShapes)
    if (entry.family == row.family && entry.cell.nodes == row.nodes) return &entry.cell;
  return nullptr;
}
