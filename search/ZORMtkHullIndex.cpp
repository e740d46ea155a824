#include "search/impl/ZORMtkHullIndex.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/ZORFreshArray.h"
#include "platform/impl/ZORHugePages.h"
#include "platform/impl/ZORParallelFor.h"
#include "search/impl/ZORGeomMath.h"
#include "search/impl/ZORMtkSourceElements.h"

namespace {

// A hull's six bounds, then its element's cell range, in the same slots.
constexpr int kRangeSize = ZORMtkBucketFrame::kRangeInts;
// The cell edge over the mean largest hull extent. Smaller cells list fewer elements a point must
// screen but enter each element in more of them; at 0.8 a hull covers 2 to 3 cells an axis, and
// instruction counts of the searches at 1e5 elements were least or near it for every family
// (against 0.6: rectilinear hexahedra 2% and prisms 1.5% fewer, tetrahedra and facets 0.3% more).
constexpr double kCellPerHull = 0.8;
// Hull extents are summed in blocks of this many elements, the blocks' sums then in block order:
// the same sum at any thread count, without a per-element array to sum afterwards.
constexpr int kExtentBlock = 4096;
// Kept as the lower x of an element without a hull: the bits of float +infinity, which FloatBelow
// never gives.
constexpr int kNoHull = 0x7f800000;

int FloatBits(float value) {
  int bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

float BitsFloat(int bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// What one range of elements contributes to the placement of the cells: the union of its hulls
// and how many there are.
struct HullUnion {
  double lower[3] = {0.0, 0.0, 0.0};
  double upper[3] = {0.0, 0.0, 0.0};
  int hulls = 0;
  double extent = 0.0;  // sum of the hulls' largest extents

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
    extent += next.extent;
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

// Cells of kCellPerHull times the mean largest hull extent, over the union of the hulls. The hulls
// are computed once, by blocks of elements on all threads, for their union and extents; each is
// kept in its element's six slots of the cell ranges, as floats rounded outwards, until the cells
// are placed and the slots take the cell ranges it covers, which can only list an element in more
// cells than its exact hull would. The cell lists are then filled by runs of cell rows.
ZORMtkHullIndex::ZORMtkHullIndex(int elementCount, const HullOf& hullOf, int threads,
                                 const ZORPointBox& within, double mostCellsPerHull) {
  ZORFreshArray<int> ranges;
  ZORHugePages::Resize(ranges, kRangeSize * static_cast<std::size_t>(elementCount));
  const int blockCount = (elementCount + kExtentBlock - 1) / kExtentBlock;
  std::vector<HullUnion> blocks(static_cast<std::size_t>(blockCount));
  ZORParallelFor::Ranges(blockCount, threads, [&](int /*part*/, long long begin, long long end) {
    double hull[kRangeSize];
    const ZORPointBox box = within;
    for (long long block = begin; block < end; ++block) {
      HullUnion& blockUnion = blocks[static_cast<std::size_t>(block)];
      const long long last = std::min<long long>((block + 1) * kExtentBlock, elementCount);
      for (long long e = block * kExtentBlock; e < last; ++e) {
        int* kept = ranges.data() + kRangeSize * static_cast<std::size_t>(e);
        if (!hullOf(static_cast<int>(e), hull) || !zor_geom::FiniteBox(hull, 3) ||
            !box.Meets(hull)) {
          kept[0] = kNoHull;
          continue;
        }
        blockUnion.Add(hull, hull + 3);
        double extent = 0.0;
        for (int a = 0; a < 3; ++a) extent = std::max(extent, hull[3 + a] - hull[a]);
        blockUnion.extent += extent;
        for (int a = 0; a < 3; ++a) {
          kept[a] = FloatBits(zor_geom::FloatBelow(hull[a]));
          kept[3 + a] = FloatBits(zor_geom::FloatAbove(hull[3 + a]));
        }
      }
    }
  });
  HullUnion all;
  for (const HullUnion& block : blocks) all.Join(block);
  hullCount_ = all.hulls;
  Place(all.lower, all.upper, all.hulls > 0 ? kCellPerHull * all.extent / all.hulls : 1.0,
        mostCellsPerHull * all.hulls + 1000.0);
  Fill(ranges, threads);
}

// Meshes of very uneven element sizes would get more cells than elements to fill them; the cells
// are then enlarged to about mostCells in all.
void ZORMtkHullIndex::Place(const double* lower, const double* upper, double h, double mostCells) {
  if (!(h > 0.0)) h = 1.0;
  const auto cellCount = [&](double edge) {
    double cells = 1.0;
    for (int a = 0; a < 3; ++a) cells *= std::floor((upper[a] - lower[a]) / edge) + 1.0;
    return cells;
  };
  while (cellCount(h) > mostCells) h *= std::cbrt(cellCount(h) / mostCells) * 1.01;
  int counts[3];
  for (int a = 0; a < 3; ++a) {
    // Not a number without hulls (an empty union) or once h outgrows the doubles: one cell.
    const double cells = std::floor((upper[a] - lower[a]) / h) + 1.0;
    counts[a] = cells >= 1.0 ? static_cast<int>(cells) : 1;
  }
  frame_.dimension = 3;
  frame_.Place(lower, h, counts);
}

// Each element's kept hull becomes its cell range, six indices (first i, j, k, last i, j, k;
// first i 0 for an element without a hull), which every run of rows reads.
void ZORMtkHullIndex::Fill(ZORFreshArray<int>& ranges, int threads) {
  const int elementCount = static_cast<int>(ranges.size() / kRangeSize);
  ZORParallelFor::Ranges(elementCount, threads, [&](int /*part*/, long long begin, long long end) {
    for (long long e = begin; e < end; ++e) {
      int* range = ranges.data() + kRangeSize * static_cast<std::size_t>(e);
      if (range[0] == kNoHull) {
        range[0] = 0;
        continue;
      }
      for (int a = 0; a < kRangeSize; ++a) range[a] = frame_.AxisIndex(BitsFloat(range[a]), a % 3);
    }
  });
  frame_.FillRanges(elementCount, threads, ranges.data());
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
