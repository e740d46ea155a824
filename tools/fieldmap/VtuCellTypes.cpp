#include "VtuCellTypes.h"

#include <numeric>

#include "ZORGfmApi.h"

namespace {

constexpr int kLineFamily = 0;
constexpr VtuCellTypes::CellType kQuadraticEdge{21, 3, {0, 2, 1}};

}  // namespace

std::optional<VtuCellTypes::CellType> VtuCellTypes::ForClass(const std::string& elementClass) {
  const ZORMtkShpRow& row = ZORMtkShp::GetRow(ZORMtkShp::GetBaseShape(elementClass));
  if (row.family == kLineFamily && row.nodes == kQuadraticEdge.nodes) return kQuadraticEdge;
  const ZORMtkVtkCell* cell = ZORMtkVtkCells::ForElementType(elementClass);
  if (!cell || cell->nodes > kMaxNodes) return std::nullopt;
  CellType type{static_cast<std::uint8_t>(cell->vtkType), cell->nodes, {}};
  std::iota(type.order, type.order + cell->nodes, 0);
  return type;
}
