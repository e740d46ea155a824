#include "mapper/impl/ZORMtkSourceElementValues.h"

#include <algorithm>
#include <cstddef>

#include "element/ZORMtkElementData.h"
#include "mapper/impl/ZORMtkPointKernels.h"
#include "mapper/impl/ZORMtkRowMajor.h"
#include "mapper/impl/ZORMtkTransferFrame.h"
#include "reader/ZORMtkSimReader.h"

using ZORMtkRowMajor::Product;

namespace {

// The extrapolation tables of an element type can have more rows than the element has nodes
// (a 3-node shell uses the 6-node triangle's tables); no table has more than this.
constexpr int kMaxTableNodes = 8;

}  // namespace

ZORMtkSourceElementValues::ZORMtkSourceElementValues(const ZORMtkSimReader* source,
                                                     const double* values,
                                                     const ZORMtkTransferFrame* frame,
                                                     int components)
    : source_(source), nodeValues_(values), frame_(frame), components_(components) {}

ZORMtkSourceElementValues ZORMtkSourceElementValues::FromNodes(const ZORMtkSimReader& source,
                                                               const double* values,
                                                               int components) {
  return ZORMtkSourceElementValues(&source, values, nullptr, components);
}

ZORMtkSourceElementValues ZORMtkSourceElementValues::FromPoints(const ZORMtkTransferFrame& frame,
                                                                int components) {
  return ZORMtkSourceElementValues(nullptr, nullptr, &frame, components);
}

bool ZORMtkSourceElementValues::PrepareClass(const ZORMtkSimReader& reader, const cow_String& name,
                                             const std::vector<int>& members, int nodesPerElement) {
  nodesPerElement_ = nodesPerElement;
  if (frame_ == nullptr) {
    nodeRows_.resize(static_cast<std::size_t>(nodesPerElement));
    return true;
  }
  points_ = ZORMtkTransferFrame::PointsOrSkip(name);
  if (points_ < 0) return false;
  extrapolation_.assign(Product(std::max(nodesPerElement, kMaxTableNodes), points_), 0.0);
  ZORMtkElementData::GetIntPtExtrapolation(name, extrapolation_.data());
  pointValues_ = frame_->ReadSourcePoints(reader, members, points_, components_);
  return true;
}

void ZORMtkSourceElementValues::Compute(int position, const int* connectivity, double* nodal) {
  if (frame_ == nullptr) {
    ZORMtkTransferFrame::NodeRows(*source_, connectivity, nodesPerElement_, nodeRows_.data());
    ZORMtkPointKernels::GatherRows(nodeValues_, components_, nodeRows_.data(), nodesPerElement_,
                                   nodal);
    return;
  }
  const double* values = pointValues_.data() + Product(position, points_) * Product(1, components_);
  ZORMtkPointKernels::ExtrapolateToNodes(extrapolation_.data(), nodesPerElement_, points_, values,
                                         components_, nodal);
}
