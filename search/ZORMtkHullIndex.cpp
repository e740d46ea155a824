#include "search/impl/ZORMtkHullIndex.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/ZORFreshArray.h"
#include "platform/impl/ZORHugePages.h"
#include "platform/impl/ZORParallelFor.h"
#include "search/impl/ZORMtkSourceElements.h"

namespace {

// What one range of elements contributes to the placement of the cells: the union of its hulls
// and how many there are.
struct HullUnion {
  double lower[3] = {0.0, 0.0, 0.0};
  double upper[3] = {0.0, 0.0, 0.0};
  int hulls = 0;

  // Widens the union by a hull; the first hull sets it. Of equal bounds the earlier is kept, so
  // the unions of consecutive ranges joined in order give the union of all hulls in one pass.
  void Add(const double* lowerOf, const double* upperOf) {
    for (int a = 0; a < 3; ++a) {
      lower[a] = hulls == 0 ? lowerOf[a] : std::min(lower[a], lowerOf[a]);
      upper[a] = hulls == 0 ? upperOf[a] : std::max(upper[a], upperOf[a]);
    }
    ++hulls;
  }
  void Join(const HullUnion& next) {
    if (next.hulls == 0) return;
    const int before = hulls;
    Add(next.lower, next.upper);
    hulls = before + next.hulls;
  }
};

}  // namespace

ZORMtkHullIndex::ZORMtkHullIndex(const ZORMtkSourceElements& mesh, double reach, int threads)
    : ZORMtkHullIndex(
          mesh.ElementCount(),
          [&mesh, reach](int element, double* hull) {
            Widen(mesh.Box(element), reach, hull);
            return true;
          },
          threads) {}

// Cells of 0.6 times the mean largest hull extent, over the union of the hulls. The hulls are
// computed twice, by ranges of elements on all threads: once for their union and extents, once,
// when the cells are placed, for each element's cell range; the cell lists are then filled by
// runs of cell rows.
ZORMtkHullIndex::ZORMtkHullIndex(int elementCount, const HullOf& hullOf, int threads) {
  // Per element its largest hull extent, or -1 for an element without a hull; the extents are
  // summed in element order, so that the cell size is the same at any thread count.
  ZORFreshArray<double> largest;
  ZORHugePages::Resize(largest, static_cast<std::size_t>(elementCount));
  std::vector<HullUnion> unions(
      static_cast<std::size_t>(ZORParallelFor::Parts(elementCount, threads)));
  ZORParallelFor::Ranges(elementCount, threads, [&](int part, long long begin, long long end) {
    double hull[6];
    for (long long e = begin; e < end; ++e) {
      largest[static_cast<std::size_t>(e)] = -1.0;
      if (!hullOf(static_cast<int>(e), hull)) continue;
      unions[static_cast<std::size_t>(part)].Add(hull, hull + 3);
      double extent = 0.0;
      for (int a = 0; a < 3; ++a) extent = std::max(extent, hull[3 + a] - hull[a]);
      largest[static_cast<std::size_t>(e)] = extent;
    }
  });
  HullUnion all;
  for (const HullUnion& part : unions) all.Join(part);
  double extent = 0.0;
  for (const double size : largest)
    if (size >= 0.0) extent += size;
  Place(all.lower, all.upper, all.hulls > 0 ? 0.6 * extent / all.hulls : 1.0, all.hulls);
  Fill(elementCount, hullOf, threads);
}

// Meshes of very uneven element sizes would get more cells than elements to fill them; the cells
// are then enlarged to about eight per element.
void ZORMtkHullIndex::Place(const double* lower, const double* upper, double h, int hulls) {
  if (!(h > 0.0)) h = 1.0;
  const auto cellCount = [&](double edge) {
    double cells = 1.0;
    for (int a = 0; a < 3; ++a) cells *= std::floor((upper[a] - lower[a]) / edge) + 1.0;
    return cells;
  };
  const double most = 8.0 * hulls + 1000.0;
  while (cellCount(h) > most) h *= std::cbrt(cellCount(h) / most) * 1.01;
  int counts[3];
  for (int a = 0; a < 3; ++a)
    counts[a] = static_cast<int>(std::floor((upper[a] - lower[a]) / h)) + 1;
  frame_.dimension = 3;
  frame_.Place(lower, h, counts);
}

// Each element's cell range is kept as six indices (first i, j, k, last i, j, k; first i 0 for
// an element without a hull), which every run of rows reads instead of the hull.
void ZORMtkHullIndex::Fill(int elementCount, const HullOf& hullOf, int threads) {
  ZORFreshArray<int> ranges;
  ZORHugePages::Resize(ranges, 6 * static_cast<std::size_t>(elementCount));
  ZORParallelFor::Ranges(elementCount, threads, [&](int /*part*/, long long begin, long long end) {
    double hull[6];
    for (long long e = begin; e < end; ++e) {
      int* range = ranges.data() + 6 * static_cast<std::size_t>(e);
      range[0] = 0;
      if (!hullOf(static_cast<int>(e), hull)) continue;
      for (int a = 0; a < 3; ++a) {
        range[a] = frame_.AxisIndex(hull[a], a);
        range[3 + a] = frame_.AxisIndex(hull[3 + a], a);
      }
    }
  });
  frame_.FillRanges(elementCount, threads, [&ranges](int element, int* first, int* last) {
    const int* range = ranges.data() + 6 * static_cast<std::size_t>(element);
    if (range[0] == 0) return false;
    std::copy(range, range + 3, first);
    std::copy(range + 3, range + 6, last);
    return true;
  });
}

const int* ZORMtkHullIndex::Cell(const double* point, int& count) const {
  count = 0;
  for (int a = 0; a < 3; ++a) {
    if (point[a] < frame_.origin[a] || point[a] > frame_.upper[a]) return nullptr;
  }
  const int cell = frame_.BucketOf(point);
  count = frame_.Size(cell);
  return frame_.Begin(cell);
}
