#include "mapper/impl/ZORMtkPointKernels.h"
#include "support/ZORTestSentinel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

// Extrapolation to nodes and interpolation at points are checked through whole mappings
// (EndToEndMappingTest), which carry linear fields exactly; these are the edges they miss.

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
  std::fill(out, out + 9, kUnwritten);
  ZORMtkPointKernels::GatherRows(table, 3, rows, 3, out);
  EXPECT_EQ(std::vector<double>(out, out + 9),
            (std::vector<double>{2.0, 2.1, 2.2, 0.0, 0.0, 0.0, 0.0, 0.1, 0.2}));
}
