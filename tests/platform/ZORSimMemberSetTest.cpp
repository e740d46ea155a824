#include "platform/ZORSimMemberSet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/ZORSimHandles.h"

namespace {

// Position of member in the list, -1 when absent: what Seek must answer.
int BruteSeek(const std::vector<int>& list, int member) {
  const auto it = std::find(list.begin(), list.end(), member);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

// Random ranges (any stride), shuffled explicit lists, with and without repeated members, and
// lists of consecutive members answer every query as a plain list of their members does.
TEST(ZORSimMemberSet, RandomSetsAnswerAsTheirPlainListDoes) {
  std::mt19937 random(7);
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  for (int trial = 0; trial < 400; ++trial) {
    std::vector<int> list;
    ZORSimMemberSetPtr set;
    if (trial % 2 == 0) {
      const int start = pick(20), count = pick(12), stride = 1 + pick(4);
      for (int i = 0; i < count; ++i) list.push_back(start + i * stride);
      set = ZORSimMemberSet::Range(start, count, stride);
    } else if (trial % 8 == 7) {
      for (int i = pick(12), member = pick(20); i > 0; --i) list.push_back(member++);
      set = ZORSimMemberSet::Explicit(list);
    } else {
      for (int i = pick(12); i > 0; --i) list.push_back(pick(trial % 4 == 1 ? 60 : 8));
      set = ZORSimMemberSet::Explicit(list);
    }
    std::vector<int> ascending = list;
    std::sort(ascending.begin(), ascending.end());
    ASSERT_EQ(set->Ordered(), list);
    ASSERT_EQ(set->HasDuplicates(),
              std::adjacent_find(ascending.begin(), ascending.end()) != ascending.end());
    ASSERT_EQ(set->MaxMember(), list.empty() ? -1 : ascending.back());
    std::vector<int> distinct = ascending;
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    ASSERT_EQ(set->Ascending()->Ordered(), distinct);
    if (!set->HasDuplicates()) {
      for (int member = -1; member < 70; ++member)
        ASSERT_EQ(set->Seek(member), BruteSeek(list, member)) << "trial " << trial;
      // The batch answers as Seek member by member, and its flag is whether all were found.
      std::vector<int> queries(static_cast<std::size_t>(pick(6)));
      for (int& member : queries)
        member = pick(3) == 0   ? pick(70) - 1
                 : list.empty() ? 0
                                : list[pick(static_cast<int>(list.size()))];
      std::vector<int> positions(queries.size(), -2);
      bool every = true;
      for (int member : queries) every = every && BruteSeek(list, member) >= 0;
      ASSERT_EQ(set->SeekEach(queries.data(), static_cast<int>(queries.size()), positions.data()),
                every);
      for (std::size_t i = 0; i < queries.size(); ++i)
        ASSERT_EQ(positions[i], BruteSeek(list, queries[i])) << "trial " << trial;
    }
    const int otherStart = pick(20), otherCount = pick(20), otherStride = 1 + pick(3);
    const auto other = ZORSimMemberSet::Range(otherStart, otherCount, otherStride);
    std::vector<int> otherList;
    for (int i = 0; i < otherCount; ++i) otherList.push_back(otherStart + i * otherStride);
    std::vector<int> common;
    for (int member : list)
      if (BruteSeek(otherList, member) >= 0) common.push_back(member);
    ASSERT_EQ(set->IntersectWith(*other)->Ordered(), common) << "trial " << trial;
    const int next = list.empty() ? 0 : ascending.back() + 1 + pick(2);
    std::vector<int> grown = list;
    grown.push_back(next);
    ASSERT_EQ(set->Appended({next})->Ordered(), grown);
  }
}

TEST(ZORSimMemberSet, RangesStayRangesWhenIntersectedOrContinuedAndConsecutiveListsBecomeOne) {
  const auto a = ZORSimMemberSet::Range(0, 10, 1);
  EXPECT_TRUE(ZORSimMemberSet::Explicit({4, 5, 6})->IsRange());
  EXPECT_TRUE(ZORSimMemberSet::Explicit({INT32_MAX - 1, INT32_MAX})->IsRange());
  for (const std::vector<int>& list : {std::vector<int>{4, 6}, {5, 4}, {4, 4}, {}})
    EXPECT_FALSE(ZORSimMemberSet::Explicit(list)->IsRange()) << list.size();
  EXPECT_TRUE(a->IntersectWith(*ZORSimMemberSet::Range(5, 10, 1))->IsRange());
  EXPECT_TRUE(ZORSimMemberSet::Range(0, 3, 1)->Appended({3, 4})->IsRange());
}

// A range may end at the largest member an int holds, not one beyond it.
TEST(ZORSimMemberSet, InvalidInputIsRefused) {
  EXPECT_THROW(ZORSimMemberSet::Range(0, -1, 1), ZORSimError);
  EXPECT_THROW(ZORSimMemberSet::Range(0, 2, 0), ZORSimError);
  EXPECT_THROW(ZORSimMemberSet::Range(INT32_MAX - 9, 11, 1), ZORSimError);
  EXPECT_EQ(ZORSimMemberSet::Range(INT32_MAX - 9, 10, 1)->MaxMember(), INT32_MAX);
  EXPECT_THROW(ZORSimMemberSet::Explicit({1, -4}), ZORSimError);
}

}  // namespace
