#include "platform/ZORSimMemberSet.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/ZORSimHandles.h"

TEST(ZORSimMemberSet, RangeSeeksByArithmetic) {
  const auto set = ZORSimMemberSet::Range(10, 5, 3);  // 10 13 16 19 22
  EXPECT_EQ(set->Seek(10), 0);
  EXPECT_EQ(set->Seek(22), 4);
  EXPECT_EQ(set->Seek(25), -1);  // one stride past the end
  EXPECT_EQ(set->Seek(11), -1);  // between members
  EXPECT_EQ(set->Seek(7), -1);   // before the start
  EXPECT_EQ(set->MaxMember(), 22);
  EXPECT_TRUE(set->IsAscending());
}

TEST(ZORSimMemberSet, ExplicitSetKeepsCallerOrderAndFindsPositions) {
  const auto set = ZORSimMemberSet::Explicit({9, 2, 5, 0});
  EXPECT_EQ(set->Ordered(), (std::vector<int>{9, 2, 5, 0}));
  EXPECT_EQ(set->Seek(5), 2);
  EXPECT_EQ(set->Seek(9), 0);
  EXPECT_EQ(set->Seek(3), -1);
  std::vector<int> ascending(4);
  set->CopyAscending(ascending.data());
  EXPECT_EQ(ascending, (std::vector<int>{0, 2, 5, 9}));
  EXPECT_EQ(set->Ascending()->Ordered(), ascending);
  EXPECT_EQ(set->MinMember(), 0);
  EXPECT_EQ(set->MaxMember(), 9);
}

TEST(ZORSimMemberSet, IntersectionKeepsTheOrderOfTheFirstSet) {
  const auto first = ZORSimMemberSet::Explicit({7, 1, 4, 3});
  const auto second = ZORSimMemberSet::Range(2, 6, 1);  // 2..7
  EXPECT_EQ(first->IntersectWith(*second)->Ordered(), (std::vector<int>{7, 4, 3}));
  EXPECT_EQ(second->IntersectWith(*first)->Ordered(), (std::vector<int>{3, 4, 7}));
}

TEST(ZORSimMemberSet, RangeIntersectionStaysARange) {
  const auto a = ZORSimMemberSet::Range(0, 10, 1);
  const auto b = ZORSimMemberSet::Range(5, 10, 1);
  const auto both = a->IntersectWith(*b);
  EXPECT_TRUE(both->IsRange());
  EXPECT_EQ(both->Ordered(), (std::vector<int>{5, 6, 7, 8, 9}));
  EXPECT_EQ(a->IntersectWith(*ZORSimMemberSet::Range(20, 3, 1))->Size(), 0);
}

TEST(ZORSimMemberSet, DuplicatesAreDetectedInEitherOrder) {
  EXPECT_TRUE(ZORSimMemberSet::Explicit({1, 2, 2})->HasDuplicates());
  EXPECT_TRUE(ZORSimMemberSet::Explicit({3, 1, 3})->HasDuplicates());
  EXPECT_FALSE(ZORSimMemberSet::Explicit({3, 1, 2})->HasDuplicates());
}

TEST(ZORSimMemberSet, AppendingToARangeContinuesIt) {
  const auto grown = ZORSimMemberSet::Range(0, 3, 1)->Appended({3, 4});
  EXPECT_TRUE(grown->IsRange());
  EXPECT_EQ(grown->Size(), 5);
  const auto broken = ZORSimMemberSet::Range(0, 3, 1)->Appended({7});
  EXPECT_EQ(broken->Ordered(), (std::vector<int>{0, 1, 2, 7}));
  EXPECT_EQ(broken->Seek(7), 3);
  EXPECT_EQ(ZORSimMemberSet::Range(0, 0, 1)->Appended({4, 5})->Ordered(), (std::vector<int>{4, 5}));
}

TEST(ZORSimMemberSet, InvalidInputIsRefused) {
  EXPECT_THROW(ZORSimMemberSet::Range(0, -1, 1), ZORSimError);
  EXPECT_THROW(ZORSimMemberSet::Range(0, 2, 0), ZORSimError);
  EXPECT_THROW(ZORSimMemberSet::Range(2147483000, 1000, 1), ZORSimError);
  EXPECT_THROW(ZORSimMemberSet::Explicit({1, -4}), ZORSimError);
}

TEST(ZORSimMemberSet, ShuffledSetMatchesBruteForcePositions) {
  std::mt19937 random(7);
  std::vector<int> members(5000);
  for (int i = 0; i < 5000; ++i) members[i] = 3 * i + 1;
  std::shuffle(members.begin(), members.end(), random);
  const auto set = ZORSimMemberSet::Explicit(members);
  for (int probe = 0; probe < 15003; probe += 7) {
    const auto it = std::find(members.begin(), members.end(), probe);
    const int expected = it == members.end() ? -1 : static_cast<int>(it - members.begin());
    ASSERT_EQ(set->Seek(probe), expected) << "member " << probe;
  }
}

TEST(ZORSimMemberSet, TenMillionMembersSeekWithoutScanning) {
  std::vector<int> members(10'000'000);
  for (int i = 0; i < 10'000'000; ++i) members[i] = 10'000'000 - 1 - i;  // descending
  const auto set = ZORSimMemberSet::Explicit(std::move(members));
  long long sum = 0;
  for (int m = 0; m < 10'000'000; m += 997) sum += set->Seek(m);
  EXPECT_EQ(set->Seek(0), 9'999'999);
  EXPECT_GT(sum, 0);
}
