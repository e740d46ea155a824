#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "search/impl/ZORMtkElementWeights.h"
#include "search/impl/ZORMtkNodalWeights.h"

// The two weight objects the transfers read: their lookups, and the rearrangements the reverse
// mode and the element transfers rely on.

namespace {

ZORMtkNodalWeights Links(
    const std::vector<std::pair<int, std::vector<std::pair<int, double>>>>& rows) {
  ZORMtkNodalWeights weights;
  for (const auto& [key, links] : rows) {
    std::vector<int> partners;
    std::vector<double> values;
    for (const auto& [p, w] : links) partners.push_back(p), values.push_back(w);
    weights.AddKey(key, partners.data(), values.data(), static_cast<int>(partners.size()));
  }
  return weights;
}

std::vector<std::pair<int, double>> Row(const ZORMtkNodalWeights& weights, int key) {
  std::vector<std::pair<int, double>> row;
  const int index = weights.FindKey(key);
  for (int p = 0; index >= 0 && p < weights.PartnerCount(index); ++p)
    row.emplace_back(weights.Partners(index)[p], weights.Weights(index)[p]);
  return row;
}

using RowList = std::vector<std::pair<int, double>>;

// Keys 4 and 6 both link to partners 1 and 3, in different orders: the new keys list the old
// keys ascending, whatever the order within the old lists.
TEST(ZORMtkNodalWeights, TransposeListsOldKeysAscendingUnderEachPartner) {
  ZORMtkNodalWeights weights =
      Links({{4, {{3, 0.25}, {1, 0.75}}}, {6, {{1, 0.5}, {3, 0.2}, {9, 0.3}}}});
  weights.TransposeWeights();
  ASSERT_EQ(weights.KeyCount(), 3);
  EXPECT_EQ(weights.Key(0), 1);
  EXPECT_EQ(weights.LinkCount(), 5);
  EXPECT_EQ(weights.FindKey(4), -1);
  EXPECT_EQ(Row(weights, 1), (RowList{{4, 0.75}, {6, 0.5}}));
  EXPECT_EQ(Row(weights, 3), (RowList{{4, 0.25}, {6, 0.2}}));
  EXPECT_EQ(Row(weights, 9), (RowList{{6, 0.3}}));
}

// Coverage counts distinct partners of non-negligible weight (10 and 11, not 12); normalizing
// scales each key's weights to sum to one but leaves a key whose sum is zero.
TEST(ZORMtkNodalWeights, UncoveredCountsWeightyPartnersAndNormalizeLeavesZeroSums) {
  ZORMtkNodalWeights weights =
      Links({{0, {{10, 1.0}, {11, 3.0}}}, {1, {{11, 1e-13}, {12, -1e-13}}}});
  EXPECT_FALSE(weights.HasUncoveredNodes(2));
  EXPECT_TRUE(weights.HasUncoveredNodes(3));
  weights.NormalizeWeights();
  EXPECT_EQ(Row(weights, 0), (RowList{{10, 0.25}, {11, 0.75}}));
  EXPECT_EQ(Row(weights, 1), (RowList{{11, 1e-13}, {12, -1e-13}}));
}

// Links staged position by position in a shuffled order, some positions without links and some
// with as many as the stride allows, after two keys already held: packed, they are what adding
// the same keys in order gives, element by element and link by link.
TEST(ZORMtkNodalWeights, StagedLinksPackIntoWhatAddingThemInOrderGives) {
  const int positions = 200, stride = 4;
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> links(0, stride);
  std::vector<int> members(positions), visits(positions);
  for (int p = 0; p < positions; ++p) members[static_cast<std::size_t>(p)] = 10 + 3 * p;
  std::iota(visits.begin(), visits.end(), 0);
  std::shuffle(visits.begin(), visits.end(), rng);
  ZORMtkNodalWeights staged = Links({{1, {{7, 0.5}}}, {4, {{8, 0.25}, {9, 0.75}}}});
  ZORMtkNodalWeights added = Links({{1, {{7, 0.5}}}, {4, {{8, 0.25}, {9, 0.75}}}});
  std::vector<std::vector<int>> partners(positions);
  std::vector<std::vector<double>> values(positions);
  const ZORMtkNodalWeights::StagedLinks slots = staged.Stage(positions, stride);
  for (const int p : visits) {
    const std::size_t at = static_cast<std::size_t>(p);
    const int count = links(rng);
    for (int k = 0; k < count; ++k) {
      partners[at].push_back(1000 * p + k);
      values[at].push_back(p + 0.125 * k);
    }
    slots.counts[at] = count;
    slots.elements[at] = 50 + p;
    std::copy(partners[at].begin(), partners[at].end(), slots.partners + at * stride);
    std::copy(values[at].begin(), values[at].end(), slots.weights + at * stride);
  }
  for (int p = 0; p < positions; ++p) {
    const std::size_t at = static_cast<std::size_t>(p);
    if (!partners[at].empty())
      added.AddKey(members[at], partners[at].data(), values[at].data(),
                   static_cast<int>(partners[at].size()), 50 + p);
  }
  staged.KeepStaged(slots, members.data());
  ASSERT_EQ(staged.KeyCount(), added.KeyCount());
  ASSERT_EQ(staged.LinkCount(), added.LinkCount());
  for (int k = 0; k < added.KeyCount(); ++k) {
    ASSERT_EQ(staged.Key(k), added.Key(k));
    EXPECT_EQ(staged.SourceElement(k), added.SourceElement(k));
    ASSERT_EQ(staged.LinkBegin(k), added.LinkBegin(k));
  }
  for (int k = 0; k < added.KeyCount(); ++k)
    EXPECT_EQ(Row(staged, staged.Key(k)), Row(added, added.Key(k))) << "key " << added.Key(k);
}

// Elements added out of member order, with an unplaced point in the middle of one: the points
// stay in order, the unplaced one marked, and every source element lists its target elements
// once per point.
TEST(ZORMtkElementWeights, KeepsPointsInOrderAndListsTargetElementsPerSourceElement) {
  ZORMtkElementWeights weights;
  const double a[3] = {0.2, 0.3, 0.5}, b[4] = {0.1, 0.2, 0.3, 0.4}, c[3] = {1, 0, 0};
  weights.BeginElement(12);
  weights.AddPoint(5, a, 3);
  weights.AddUnplacedPoint();
  weights.AddPoint(7, b, 4);
  weights.BeginElement(3);
  weights.AddPoint(7, c, 3);
  weights.AddPoint(5, a, 3);
  weights.Finish();
  ASSERT_EQ(weights.ElementCount(), 2);
  EXPECT_EQ(weights.ElementMember(0), 3);
  const int twelve = weights.FindElement(12);
  ASSERT_EQ(twelve, 1);
  EXPECT_EQ(weights.FindElement(4), -1);
  ASSERT_EQ(weights.PointCount(twelve), 3);
  std::vector<std::pair<int, int>> sourceAndCount;  // the unplaced point has neither
  for (int q = 0; q < 3; ++q)
    sourceAndCount.emplace_back(weights.PointSource(twelve, q),
                                weights.PointWeightCount(twelve, q));
  EXPECT_EQ(sourceAndCount, (std::vector<std::pair<int, int>>{{5, 3}, {-1, 0}, {7, 4}}));
  EXPECT_EQ(weights.PointWeights(twelve, 2)[3], 0.4);
  EXPECT_EQ(weights.PointWeights(0, 1)[2], 0.5);
  ASSERT_EQ(weights.SourceElementCount(), 2);
  ASSERT_EQ(weights.FindSourceElement(7), 1);
  EXPECT_EQ(weights.FindSourceElement(-1), -1);
  for (int source = 0; source < 2; ++source)
    EXPECT_EQ(std::vector<int>(weights.Targets(source),
                               weights.Targets(source) + weights.TargetCount(source)),
              (std::vector<int>{3, 12}));
}

}  // namespace
