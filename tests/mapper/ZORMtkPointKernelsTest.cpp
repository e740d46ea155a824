#include "mapper/impl/ZORMtkPointKernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr double kGarbage = -777.0;

}  // namespace

TEST(ZORMtkPointKernels, ExtrapolationMultipliesNodeRowsByPointValuesPerComponent) {
  // Two nodes, three points, two components.
  const double extrapolation[2 * 3] = {1.0, 0.0, 0.0, 0.5, 0.25, 0.25};
  const double points[3 * 2] = {1.0, 10.0, 2.0, 20.0, 4.0, 40.0};
  double nodal[2 * 2] = {kGarbage, kGarbage, kGarbage, kGarbage};
  ZORMtkPointKernels::ExtrapolateToNodes(extrapolation, 2, 3, points, 2, nodal);
  EXPECT_EQ(nodal[0], 1.0);
  EXPECT_EQ(nodal[1], 10.0);
  EXPECT_EQ(nodal[2], 0.5 + 0.5 + 1.0);
  EXPECT_EQ(nodal[3], 5.0 + 5.0 + 10.0);
}

TEST(ZORMtkPointKernels, PointsTakeValuesOnlyFromTheElementThatHoldsThemAndItsNodes) {
  // One target element of two points (slots 0 and 1) whose points lie in source elements 4
  // and 6; slot 2 belongs to an element whose point was not placed. Weights beyond the source
  // element's three nodes are ignored.
  ZORMtkPointLinks links;
  const double inFour[4] = {0.25, 0.5, 0.25, 1000.0};
  const double inSix[2] = {1.0, 0.0};
  links.AddPoint(4, 0, inFour, 4);
  links.AddPoint(6, 1, inSix, 2);
  links.Finish();
  std::vector<double> values(3 * 2, 0.0);
  const double nodalOfFour[3 * 2] = {1.0, 100.0, 3.0, 300.0, 99.0, 99.0};

  ZORMtkPointKernels::InterpolateAtPoints(links, 4, nodalOfFour, 3, 2, values.data());

  EXPECT_EQ(values,
            (std::vector<double>{0.25 + 1.5 + 24.75, 25.0 + 150.0 + 24.75, 0.0, 0.0, 0.0, 0.0}));
}

TEST(ZORMtkPointKernels, SharedNodesGetTheMeanAndUnvisitedNodesStayZero) {
  // Two line elements 0-1 and 1-2 over four node rows; row 3 belongs to no element, and a node
  // outside the region (row -1) is passed over.
  std::vector<double> sums(4 * 2, 0.0);
  std::vector<int> visits(4, 0);
  const double first[2 * 2] = {1.0, 10.0, 3.0, 30.0};
  const double second[3 * 2] = {5.0, 50.0, 7.0, 70.0, 8.0, 80.0};
  const int firstRows[2] = {0, 1};
  const int secondRows[3] = {1, 2, -1};
  ZORMtkPointKernels::AddToNodes(first, firstRows, 2, 2, sums.data(), visits.data());
  ZORMtkPointKernels::AddToNodes(second, secondRows, 3, 2, sums.data(), visits.data());
  ZORMtkPointKernels::AverageByVisits(sums.data(), visits.data(), 4, 2);

  EXPECT_EQ(visits, (std::vector<int>{1, 2, 1, 0}));
  EXPECT_EQ(sums, (std::vector<double>{1.0, 10.0, 4.0, 40.0, 7.0, 70.0, 0.0, 0.0}));
}

TEST(ZORMtkPointKernels, GatherRowsCopiesWholeRowsAndZeroesNodesOutsideTheTable) {
  const double table[3 * 3] = {0.0, 0.1, 0.2, 1.0, 1.1, 1.2, 2.0, 2.1, 2.2};
  const int rows[3] = {2, -1, 0};
  double out[3 * 3];
  std::fill(out, out + 9, kGarbage);
  ZORMtkPointKernels::GatherRows(table, 3, rows, 3, out);
  EXPECT_EQ(std::vector<double>(out, out + 9),
            (std::vector<double>{2.0, 2.1, 2.2, 0.0, 0.0, 0.0, 0.0, 0.1, 0.2}));
}
