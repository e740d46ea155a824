#include "reader/impl/ZORMtkFieldDrawer.h"

#include <utility>

namespace {

bool IsAuxiliary(ZORMtkDimensionKind kind) {
  return kind == ZORMtkDimensionKind::kFirstAuxiliary ||
         kind == ZORMtkDimensionKind::kSecondAuxiliary ||
         kind == ZORMtkDimensionKind::kThirdAuxiliary;
}

}  // namespace

ZORMtkFieldDrawer::ZORMtkFieldDrawer(ZORSimDistributionID distribution,
                                     ZORSimDrawerDescriptor drawer,
                                     const ZORMtkFieldCollections& collections)
    : distribution_(distribution), drawer_(std::move(drawer)) {
  for (const ZORSimCSetID& set : drawer_.dimensions)
    kinds_.push_back(collections.KindOf(set.collection));
}

int ZORMtkFieldDrawer::Find(ZORMtkDimensionKind kind) const {
  for (int d = static_cast<int>(kinds_.size()) - 1; d >= 0; --d)
    if (kinds_[static_cast<std::size_t>(d)] == kind) return d;
  return -1;
}

ZORSimCSetID ZORMtkFieldDrawer::SetOf(ZORMtkDimensionKind kind) const {
  const int d = Find(kind);
  return d < 0 ? ZORSimCSetID{} : drawer_.dimensions[static_cast<std::size_t>(d)];
}

int ZORMtkFieldDrawer::SizeOf(ZORMtkDimensionKind kind) const {
  const int d = Find(kind);
  return d < 0 ? 1 : drawer_.dimensions[static_cast<std::size_t>(d)].Size();
}

bool ZORMtkFieldDrawer::ViewOf(const ZORSimContext& context, ZORMtkDimensionKind entity,
                               const ZORSimCSetID& rows, const ZORSimCSetID& increment,
                               std::vector<ZORSimCSetID>& view) const {
  for (std::size_t d = 0; d < kinds_.size(); ++d) {
    const ZORMtkDimensionKind kind = kinds_[d];
    const ZORSimCSetID& own = drawer_.dimensions[d];
    if (kind == entity && static_cast<int>(d) == Find(entity)) {
      view.push_back(rows);
    } else if (kind == ZORMtkDimensionKind::kIncrement) {
      if (increment.IsEmpty() || !ZORSimCSet(own).IsMember(ZORSimCSet(increment)[0])) return false;
      view.push_back(increment);
    } else if (IsAuxiliary(kind) ||
               (kind == ZORMtkDimensionKind::kPoint && !PointsPerRow(entity))) {
      if (own.Size() == 0) return false;
      const int last = ZORSimCSet(own)[own.Size() - 1];
      view.push_back(
          ZORSimCollection(context, own.collection).CreateTempCSetStrided(last, 1, 1, 1));
    } else if (kind == ZORMtkDimensionKind::kComponent || kind == ZORMtkDimensionKind::kPoint) {
      view.push_back(own);
    } else {
      return false;
    }
  }
  return true;
}

bool ZORMtkFieldDrawer::Read(const ZORSimContext& context, ZORMtkDimensionKind entity,
                             const ZORSimCSetID& rows, const ZORSimCSetID& increment,
                             ZORMtkDrawerValues& out) const {
  std::vector<ZORSimCSetID> view;
  if (!ViewOf(context, entity, rows, increment, view)) return false;

  std::vector<std::int64_t> stride(view.size(), 1);
  for (std::size_t d = view.size(); d-- > 1;) stride[d - 1] = stride[d] * view[d].Size();
  const auto strideOf = [&](ZORMtkDimensionKind kind) {
    const int d = Find(kind);
    return d < 0 ? std::int64_t{0} : stride[static_cast<std::size_t>(d)];
  };
  out.points = PointsPerRow(entity) ? SizeOf(ZORMtkDimensionKind::kPoint) : 1;
  out.components = SizeOf(ZORMtkDimensionKind::kComponent);
  out.rowStride = strideOf(entity);
  out.pointStride = strideOf(ZORMtkDimensionKind::kPoint);
  out.componentStride = strideOf(ZORMtkDimensionKind::kComponent);
  out.values.assign(static_cast<std::size_t>(view.empty() ? 0 : stride[0] * view[0].Size()), 0.0);
  if (!out.values.empty()) Transfer(context, view, out.values.data(), out.values.size());
  return true;
}

// The view is laid out as the caller's rows when every dimension but the rows, the points and the
// components is a single member, and the rows come first, then the points, then the components.
bool ZORMtkFieldDrawer::ReadRows(const ZORSimContext& context, ZORMtkDimensionKind entity,
                                 const ZORSimCSetID& rows, const ZORSimCSetID& increment,
                                 double* values) const {
  std::vector<ZORSimCSetID> view;
  if (!ViewOf(context, entity, rows, increment, view)) return false;
  const int order[] = {Find(entity), Find(ZORMtkDimensionKind::kPoint),
                       Find(ZORMtkDimensionKind::kComponent)};
  int next = 0;
  std::size_t count = 1;
  for (int d = 0; d < static_cast<int>(view.size()); ++d) {
    const int size = view[static_cast<std::size_t>(d)].Size();
    count *= static_cast<std::size_t>(size);
    if (size == 1 && d != order[0]) continue;
    while (next < 3 && order[next] != d) ++next;
    if (next == 3) return false;
  }
  if (count > 0) Transfer(context, view, values, count);
  return true;
}

void ZORMtkFieldDrawer::Transfer(const ZORSimContext& context,
                                 const std::vector<ZORSimCSetID>& view, double* values,
                                 std::size_t count) const {
  ZORSimTransfer transfer(context, distribution_);
  transfer.SetRead();
  transfer.SetBufferType(2);
  transfer.SetDrawer(drawer_.id);
  transfer.SetDims(view);
  transfer.CheckView();
  transfer.SetBuffer(0, static_cast<void*>(values),
                     static_cast<std::int64_t>(count * sizeof(double)));
  transfer.ExecRead();
  transfer.RelinquishBuffers();
}
