#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "search/impl/ZORPointBox.h"
#include "search/impl/ZORPointVisitOrder.h"

// The order a search visits its points in: a permutation that goes cell by cell along the Morton
// curve and keeps each cell's points in list order.

namespace {

// The key of the visit cell of point n, found by brute force: the cell along each axis the
// points spread over, and the cells' bits interleaved one by one.
std::uint32_t CellKey(const std::vector<double>& coords, int n, const ZORPointBox& box, int level) {
  std::uint32_t key = 0;
  for (int a = 0; a < 3; ++a) {
    const double extent = box.upper[a] - box.lower[a];
    const double x = coords[static_cast<std::size_t>(3 * n + a)];
    int cell = 0;
    if (extent > 0.0 && x > box.lower[a])
      cell = std::min((1 << level) - 1,
                      static_cast<int>((x - box.lower[a]) * ((1 << level) / extent)));
    for (int b = 0; b < level; ++b)
      key |= static_cast<std::uint32_t>((cell >> b) & 1) << (3 * b + a);
  }
  return key;
}

// Each case: points in a box, flattened to a plane or a line where asked, with NaN and infinite
// coordinates among them; the order is a permutation, the cells' keys do not decrease along it,
// and within a cell the listed order is kept, by three threads as by one.
TEST(ZORPointVisitOrder, VisitsEveryPointOnceCellByCellInListOrderWithin) {
  struct Case {
    int count;
    int spreadAxes;  // the first ones vary; the others are 0
    int expectedLevel;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const Case c : {Case{40000, 3, 2}, Case{40000, 2, 3}, Case{9000, 1, 3}, Case{2048, 3, 0}}) {
    SCOPED_TRACE(::testing::Message() << c.count << " points over " << c.spreadAxes << " axes");
    std::mt19937 rng(static_cast<unsigned>(c.count + c.spreadAxes));
    std::uniform_real_distribution<double> coordinate(-3.0, 5.0);
    std::vector<double> coords(static_cast<std::size_t>(3 * c.count), 0.0);
    for (int n = 0; n < c.count; ++n)
      for (int a = 0; a < c.spreadAxes; ++a)
        coords[static_cast<std::size_t>(3 * n + a)] = coordinate(rng);
    coords[3] = nan;
    const ZORPointBox box = ZORPointBox::Of(coords.data(), c.count);
    const int level = ZORPointVisitOrder::Level(c.count, c.spreadAxes);
    ASSERT_EQ(level, c.expectedLevel);
    const ZORPointVisitOrder order(coords.data(), c.count, box, 3);
    const ZORPointVisitOrder alone(coords.data(), c.count, box, 1);
    ASSERT_EQ(order.Count(), c.count);
    std::vector<int> seen(static_cast<std::size_t>(c.count), 0);
    for (int visit = 0; visit < c.count; ++visit) {
      const int position = order.At(visit);
      ASSERT_EQ(alone.At(visit), position) << "visit " << visit;
      ASSERT_GE(position, 0);
      ASSERT_LT(position, c.count);
      ++seen[static_cast<std::size_t>(position)];
      if (visit == 0) continue;
      const int before = order.At(visit - 1);
      const std::uint32_t key = CellKey(coords, position, box, level);
      const std::uint32_t keyBefore = CellKey(coords, before, box, level);
      ASSERT_TRUE(keyBefore < key || (keyBefore == key && before < position)) << "visit " << visit;
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), c.count);
  }
}

// Points that do not spread keep their listed order; a point at infinity widens the box along
// its axis to no end, which leaves the other axes to order the points and the point itself in
// the first cell, visited like any other.
TEST(ZORPointVisitOrder, PointsThatDoNotSpreadOrLieAtInfinityAreVisitedOnce) {
  const int count = 20000;
  std::vector<double> same(3 * count, 1.5), spread(3 * count);
  for (int i = 0; i < 3 * count; ++i) spread[static_cast<std::size_t>(i)] = (i * 7919) % 1000;
  spread[5] = std::numeric_limits<double>::infinity();
  const ZORPointVisitOrder still(same.data(), count, ZORPointBox::Of(same.data(), count));
  for (int visit = 0; visit < count; ++visit) ASSERT_EQ(still.At(visit), visit);
  const ZORPointVisitOrder order(spread.data(), count, ZORPointBox::Of(spread.data(), count));
  std::vector<int> positions;
  for (int visit = 0; visit < count; ++visit) positions.push_back(order.At(visit));
  EXPECT_NE(positions[1], 1);
  std::sort(positions.begin(), positions.end());
  for (int n = 0; n < count; ++n) ASSERT_EQ(positions[static_cast<std::size_t>(n)], n);
}

}  // namespace
