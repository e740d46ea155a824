#include "search/impl/ZORPointVisitOrder.h"

#include <algorithm>
#include <vector>

#include "platform/impl/ZORHugePages.h"
#include "platform/impl/ZORParallelFor.h"
#include "search/impl/ZORPointBox.h"

namespace {

// The cell index along one axis of a coordinate x: floor((x - lower) scale) held to 0 .. cells - 1
// (top is cells - 1/2); a NaN, or a point of an infinite box, lands in cell 0. No branches: which
// way a point falls is as good as random.
int CellOf(double x, double lower, double scale, double top) {
  return static_cast<int>(std::min(std::max(0.0, (x - lower) * scale), top));
}

}  // namespace

int ZORPointVisitOrder::Level(int count, int axes) {
  int level = 0;
  while (axes > 0 && level < kMaxLevel && (1LL << (axes * level)) * kPointsPerCell < count) ++level;
  return level;
}

// A counting sort on the cells' keys, by ranges of points on all threads: each range counts its
// points per key; the counts' running sums, key by key and within a key range by range, give each
// range its first slot in each key; then each range puts its points, in list order, into their
// key's next slot. A cell's points stay in list order, the same at any thread count. The keys
// are found again rather than kept: an array of them would cost more to touch than they cost to
// find. An axis the points do not spread along (a flat target) has one cell, so that the others
// divide the points finely enough.
ZORPointVisitOrder::ZORPointVisitOrder(const double* coords, int count, const ZORPointBox& box,
                                       int threads)
    : count_(count) {
  if (!box.bounded) return;
  int axes = 0;
  for (int a = 0; a < 3; ++a) axes += box.upper[a] > box.lower[a] ? 1 : 0;
  const int level = Level(count, axes);
  if (level == 0) return;
  const int cells = 1 << level;
  const double top = cells - 0.5;
  double scale[3];
  for (int a = 0; a < 3; ++a) {
    const double extent = box.upper[a] - box.lower[a];
    scale[a] = extent > 0.0 ? cells / extent : 0.0;
  }
  const auto keyOf = [&](int n) {
    const double* p = coords + 3 * static_cast<std::size_t>(n);
    return Key(CellOf(p[0], box.lower[0], scale[0], top), CellOf(p[1], box.lower[1], scale[1], top),
               CellOf(p[2], box.lower[2], scale[2], top));
  };
  const std::size_t keys = std::size_t{1} << (3 * level);
  const int parts = ZORParallelFor::Parts(count, threads);
  std::vector<std::vector<int>> next(static_cast<std::size_t>(parts), std::vector<int>(keys, 0));
  ZORParallelFor::Ranges(count, threads, [&](int part, long long begin, long long end) {
    std::vector<int>& counts = next[static_cast<std::size_t>(part)];
    for (long long n = begin; n < end; ++n) ++counts[keyOf(static_cast<int>(n))];
  });
  int first = 0;
  for (std::size_t key = 0; key < keys; ++key)
    for (std::vector<int>& slots : next) {
      const int partCount = slots[key];
      slots[key] = first;
      first += partCount;
    }
  ZORHugePages::Resize(order_, static_cast<std::size_t>(count));
  ZORParallelFor::Ranges(count, threads, [&](int part, long long begin, long long end) {
    std::vector<int>& slots = next[static_cast<std::size_t>(part)];
    for (long long n = begin; n < end; ++n)
      order_[static_cast<std::size_t>(slots[keyOf(static_cast<int>(n))]++)] = static_cast<int>(n);
  });
}
