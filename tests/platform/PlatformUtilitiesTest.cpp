#include <gtest/gtest.h>

#include <sstream>

#include "platform/ZORBitVector.h"
#include "platform/ZORContainers.h"
#include "platform/ZORPlatformModules.h"
#include "platform/ZORStream.h"
#include "platform/impl/ZORFormat.h"

TEST(ZORFormat, ExponentsHaveTwoDigits) {
  EXPECT_EQ(ZORFormat("%4.2E", 1234.5), "1.23E+03");
  EXPECT_EQ(ZORFormat("%4.2E", 0.00012), "1.20E-04");
  EXPECT_EQ(ZORFormat("%14.5E", -2.5), "  -2.50000E+00");
  EXPECT_EQ(ZORFormat("%i %s", 7, "x"), "7 x");
  EXPECT_EQ(ZORFormat("%s", ""), "");
}

TEST(cow_List, KeepsInsertionOrderAndRefusesOutsideAccess) {
  cow_List<int> list;
  list.Append(3);
  list.Append(1);
  list.Append(2);
  EXPECT_EQ(list.Size(), 3);
  EXPECT_EQ(list[0], 3);
  EXPECT_EQ(list[2], 2);
  EXPECT_THROW(list[3], std::out_of_range);
  EXPECT_THROW(list[-1], std::out_of_range);
  cow_List<int> copy = list;
  copy.Append(9);
  EXPECT_EQ(list.Size(), 3);
}

TEST(cow_Map, IteratesInAscendingKeyOrderAndInsertReplaces) {
  cow_Map<cow_String, int> map;
  map.Insert("b", 1);
  map.Insert("a", 2);
  map.Insert("b", 3);
  std::string keys;
  for (const auto& entry : map) keys += entry.first.Str();
  EXPECT_EQ(keys, "ab");
  ASSERT_NE(map.Find("b"), nullptr);
  EXPECT_EQ(*map.Find("b"), 3);
  EXPECT_EQ(map.Find("c"), nullptr);
}

TEST(cow_2DArray, RefusesIndicesOutsideEitherDimension) {
  cow_2DArray<double> array(2, 3);
  array(1, 2) = 5.0;
  EXPECT_EQ(array(1, 2), 5.0);
  EXPECT_THROW(array(2, 0), std::out_of_range);
  EXPECT_THROW(array(0, 3), std::out_of_range);
}

TEST(omi_BlkBitVect, TraversesSetBitsInAscendingOrderAcrossWords) {
  omi_BlkBitVect bits(10);
  for (int b : {200, 3, 64, 63, 0}) bits.Set(b);
  std::vector<int> seen;
  for (int b = bits.First(); b >= 0; b = bits.Next(b + 1)) seen.push_back(b);
  EXPECT_EQ(seen, (std::vector<int>{0, 3, 63, 64, 200}));
  EXPECT_EQ(bits.Count(), 5);
  EXPECT_FALSE(bits.IsSet(199));
  EXPECT_EQ(omi_BlkBitVect(0).First(), -1);
}

TEST(aio_Stream, RedirectsAndRestores) {
  std::ostringstream captured;
  aio_cerr.SetTarget(&captured);
  aio_cerr << " Note: " << 0.1 << '\n';
  aio_cerr.flush();
  aio_cerr.SetTarget(nullptr);
  EXPECT_EQ(captured.str(), " Note: 0.1\n");
}

TEST(PlatformModules, UseCountAddsOnFirstInitializeAndSubtractsOnLastFinalize) {
  int status = 0;
  ZORSimAPI_initialize(status);
  ZORSimAPI_initialize(status);
  EXPECT_EQ(status, 1);
  ZORSimAPI_finalize(status);
  EXPECT_EQ(status, 1);
  ZORSimAPI_finalize(status);
  EXPECT_EQ(status, 0);
  ZORSimAPI_finalize(status);  // one finalize too many changes nothing
  EXPECT_EQ(status, 0);
}
