#include "mapper/impl/ZORMtkPointLinks.h"

#include <gtest/gtest.h>

#include <vector>

TEST(ZORMtkPointLinks, SourceElementsAreDistinctAndAscendingWhateverTheAddOrder) {
  ZORMtkPointLinks links;
  const double w[2] = {0.5, 0.5};
  links.AddPoint(9, 0, w, 2);
  links.AddPoint(3, 1, w, 2);
  links.AddPoint(9, 2, w, 2);
  links.AddPoint(5, 3, w, 2);
  links.Finish();
  EXPECT_EQ(links.SourceElements(), (std::vector<int>{3, 5, 9}));
  EXPECT_EQ(links.PointsEnd(9) - links.PointsBegin(9), 2);
  EXPECT_EQ(links.PointsBegin(9)->slot, 0);
  EXPECT_EQ(links.PointsEnd(4) - links.PointsBegin(4), 0);
}

TEST(ZORMtkPointLinks, EachPointKeepsItsOwnWeights) {
  ZORMtkPointLinks links;
  const double first[3] = {0.1, 0.2, 0.7};
  const double second[2] = {0.4, 0.6};
  links.AddPoint(7, 5, first, 3);
  links.AddPoint(2, 1, second, 2);
  links.Finish();
  const ZORMtkPointLinks::Entry& inTwo = *links.PointsBegin(2);
  const ZORMtkPointLinks::Entry& inSeven = *links.PointsBegin(7);
  EXPECT_EQ(inTwo.weightCount, 2);
  EXPECT_EQ(links.Weights(inTwo)[1], 0.6);
  EXPECT_EQ(inSeven.weightCount, 3);
  EXPECT_EQ(links.Weights(inSeven)[2], 0.7);
}
