#include "mapper/impl/ZORMtkTargetClassWalk.h"

#include <cstddef>

#include "mapper/ZORMtkMapSpecs.h"
#include "mapper/impl/ZORMtkMappingContext.h"
#include "mapper/impl/ZORMtkPointKernels.h"
#include "mapper/impl/ZORMtkRowMajor.h"
#include "mapper/impl/ZORMtkSourceElementValues.h"
#include "mapper/impl/ZORMtkTransferFrame.h"
#include "mapper/impl/ZORMtkWeightLinks.h"
#include "reader/ZORMtkSimReader.h"

using ZORMtkRowMajor::Product;

namespace {

// Every source element of the reader's classes hands its nodal values to the points it holds.
void VisitSourceElements(const ZORMtkSimReader& local, const ZORMtkPointLinks& links,
                         int components, ZORMtkSourceElementValues& source, double* values) {
  cow_List<cow_String> names;
  local.GetElementClassNames(names);
  for (const cow_String& name : names) {
    const std::vector<int> members = ZORMtkTransferFrame::ClassMembers(local, name);
    const int count = static_cast<int>(members.size());
    const int k = ZORMtkTransferFrame::NodesPerElement(local, name);
    if (count == 0 || k <= 0) continue;
    if (!source.PrepareClass(local, name, members, k)) continue;
    const std::vector<int> connectivity =
        ZORMtkTransferFrame::ClassConnectivity(local, name, count, k);
    std::vector<double> nodal(Product(k, components));
    for (int e = 0; e < count; ++e) {
      source.Compute(e, connectivity.data() + Product(e, k), nodal.data());
      ZORMtkPointKernels::InterpolateAtPoints(links, members[static_cast<std::size_t>(e)],
                                              nodal.data(), k, components, values);
    }
  }
}

}  // namespace

ZORMtkTargetClassWalk::ZORMtkTargetClassWalk(const cow_String& className) : className_(className) {}

bool ZORMtkTargetClassWalk::Fill(const ZORMtkTransferFrame& frame,
                                 const ZORMtkElementWeights* weights, int components,
                                 ZORMtkSourceElementValues& source) {
  points_ = ZORMtkTransferFrame::PointsOrSkip(className_);
  if (points_ < 0) return false;
  members_ = ZORMtkTransferFrame::ClassMembers(frame.Target(), className_);
  values_.assign(Product(static_cast<int>(members_.size()), points_) * Product(1, components), 0.0);
  const ZORMtkPointLinks links = ZORMtkWeightLinks::PointLinks(weights, members_, points_);
  ZORMtkPointKernels::FillUnplaced(links, static_cast<int>(members_.size()) * points_, components,
                                   frame.Context().options.unplacedFill, values_.data());
  // A class none of whose points was placed reads no source at all.
  if (links.IsEmpty()) return true;
  ZORMtkSimReader local;
  local.SetElsetRegion(frame.Source().position, frame.Request().sourceMeshIDs[0],
                       cow_List<int>(links.SourceElements()));
  VisitSourceElements(local, links, components, source, values_.data());
  return true;
}
