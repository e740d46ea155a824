#include "mapper/impl/ZORMtkWeightLinks.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "mapper/impl/ZORMtkRowForm.h"

#include "search/impl/ZORMtkElementWeights.h"
#include "search/impl/ZORMtkNodalWeights.h"
#include "support/ZORTestSourceDatabase.h"

namespace {

// A partner region whose members are not its positions: members 10, 20, 30, 40 at rows 0 to 3.
class ZORMtkWeightLinksTest : public ::testing::Test {
 protected:
  ZORMtkWeightLinksTest() : mesh(database.AddHexBox(4, 4, 2, 1.0)) {}
  ZORSimCSetID Region(const std::vector<int>& members) const {
    return database.Set(database.NodeCollection(mesh), members);
  }

  ZORTestSourceDatabase database;
  ZORSimDynamicID mesh;
};

}  // namespace

// Partners outside the partner region (55) are dropped.
TEST_F(ZORMtkWeightLinksTest, KeysFollowTheKeyRowsAndPartnersBecomeRegionRows) {
  ZORMtkNodalWeights weights;
  const int partnersOf5[3] = {30, 55, 10};
  const double weightsOf5[3] = {0.25, 0.2, 0.75};
  const int partnersOf9[1] = {40};
  const double weightsOf9[1] = {1.0};
  weights.AddKey(5, partnersOf5, weightsOf5, 3);
  weights.AddKey(9, partnersOf9, weightsOf9, 1);

  // Key rows: 9 first, then a key without links, then 5.
  const ZORMtkNodeLinks links =
      ZORMtkWeightLinks::NodeLinks(&weights, {9, 7, 5}, Region({10, 20, 30, 40}));

  EXPECT_EQ(links.offsets, (ZORFreshArray<int>{0, 1, 1, 3}));
  EXPECT_EQ(links.partnerRows, (ZORFreshArray<int>{3, 2, 0}));
  EXPECT_EQ(links.weights, (ZORFreshArray<double>{1.0, 0.25, 0.75}));
}

// The row form reads the weights in place and must give every key the links NodeLinks copies out,
// in the same order: random weights on even keys 0..30 (some without links) with partners among
// members 5k, a key region 2..40 (so key 0's links are left out), and a partner region of the 5k
// in shuffled order, at 1 and 3 threads. Only the copy can leave out a weights key between two
// keys of the region or drop a partner outside the partner region; the form then says so.
TEST_F(ZORMtkWeightLinksTest, RowFormViewsTheSameLinksAsTheCopyOrSaysItCannot) {
  std::mt19937 random(7);
  ZORMtkNodalWeights weights;
  for (int key = 0; key <= 30; key += 2) {
    if (key % 7 == 3) continue;
    std::vector<int> partners;
    std::vector<double> values;
    for (int k = 0; k < 1 + key % 3; ++k) {
      partners.push_back(5 * static_cast<int>(random() % 12));
      values.push_back(std::uniform_real_distribution<double>(0.0, 1.0)(random));
    }
    weights.AddKey(key, partners.data(), values.data(), static_cast<int>(partners.size()));
  }
  std::vector<int> keyMembers;
  for (int key = 2; key <= 40; ++key) keyMembers.push_back(key);
  std::vector<int> partnerMembers;
  for (int k = 0; k < 12; ++k) partnerMembers.push_back(5 * k);
  std::shuffle(partnerMembers.begin(), partnerMembers.end(), random);
  const ZORSimCSetID keyRegion = Region(keyMembers);
  const ZORSimCSetID partnerRegion = Region(partnerMembers);
  const ZORMtkNodeLinks copied = ZORMtkWeightLinks::NodeLinks(&weights, keyMembers, partnerRegion);

  for (const int threads : {1, 3}) {
    const ZORMtkRowForm form(weights, keyRegion, partnerRegion, threads);
    ASSERT_TRUE(form.InPlace());
    EXPECT_TRUE(form.Fits(keyRegion, partnerRegion));
    EXPECT_FALSE(form.Fits(Region(keyMembers), partnerRegion));
    const ZORMtkNodeLinkView view = form.View(weights);
    ASSERT_EQ(view.KeyCount(), copied.KeyCount());
    for (int key = 0; key < view.KeyCount(); ++key) {
      ASSERT_EQ(view.LinkCount(key), copied.offsets[key + 1] - copied.offsets[key]) << key;
      for (int k = 0; k < view.LinkCount(key); ++k) {
        EXPECT_EQ(view.partnerRows[view.offsets[key] + k],
                  copied.partnerRows[copied.offsets[key] + k]);
        EXPECT_EQ(view.weights[view.offsets[key] + k], copied.weights[copied.offsets[key] + k]);
      }
    }
  }
  std::vector<int> oddKeys;
  for (int key = 1; key <= 31; key += 2) oddKeys.push_back(key);
  const std::vector<int> fewerPartners(partnerMembers.begin(), partnerMembers.end() - 1);
  for (const int threads : {1, 3}) {
    EXPECT_FALSE(ZORMtkRowForm(weights, Region(oddKeys), partnerRegion, threads).InPlace());
    EXPECT_FALSE(ZORMtkRowForm(weights, keyRegion, Region(fewerPartners), threads).InPlace());
  }
  // One weighted key left out, wherever the threads' ranges meet: only the two ends are harmless.
  std::vector<int> evenKeys;
  for (int key = 0; key <= 30; key += 2)
    if (weights.FindKey(key) >= 0) evenKeys.push_back(key);
  for (std::size_t gap = 0; gap < evenKeys.size(); ++gap) {
    std::vector<int> region = evenKeys;
    region.erase(region.begin() + static_cast<std::ptrdiff_t>(gap));
    const bool end = gap == 0 || gap + 1 == evenKeys.size();
    for (int threads = 1; threads <= 4; ++threads)
      EXPECT_EQ(ZORMtkRowForm(weights, Region(region), partnerRegion, threads).InPlace(), end)
          << "without " << evenKeys[gap] << " at " << threads << " threads";
  }
}

// Slots follow the target class's element order; the links list each source element once,
// ascending whatever the order points were added in, with its points by slot and their own weights.
// Points beyond the class count and elements without weights are ignored.
TEST_F(ZORMtkWeightLinksTest, PointSlotsFollowTheClassOrderAndSkipUnplacedPoints) {
  ZORMtkElementWeights weights;
  const double inSeven[3] = {0.1, 0.2, 0.7};
  const double inEight[4] = {0.4, 0.3, 0.2, 0.1};
  weights.BeginElement(12);
  weights.AddPoint(8, inEight, 4);
  weights.AddUnplacedPoint();
  weights.BeginElement(3);
  weights.AddPoint(7, inSeven, 3);
  weights.AddPoint(8, inSeven, 3);
  weights.AddPoint(9, inSeven, 3);  // beyond the class's two points
  weights.Finish();

  // The class lists element 6, which has no weights, then 12 before 3, two points each.
  const ZORMtkPointLinks links = ZORMtkWeightLinks::PointLinks(&weights, {6, 12, 3}, 2);

  EXPECT_EQ(links.SourceElements(), (std::vector<int>{7, 8}));
  EXPECT_EQ(links.PointsEnd(5) - links.PointsBegin(5), 0);
  ASSERT_EQ(links.PointsEnd(7) - links.PointsBegin(7), 1);
  EXPECT_EQ(links.PointsBegin(7)->slot, 4);
  ASSERT_EQ(links.PointsEnd(8) - links.PointsBegin(8), 2);
  const ZORMtkPointLinks::Entry& first = links.PointsBegin(8)[0];
  const ZORMtkPointLinks::Entry& second = links.PointsBegin(8)[1];
  EXPECT_EQ(first.slot, 2);
  EXPECT_EQ(first.weightCount, 4);
  EXPECT_EQ(links.Weights(first)[3], 0.1);
  EXPECT_EQ(second.slot, 5);
  EXPECT_EQ(second.weightCount, 3);
  EXPECT_EQ(links.Weights(second)[2], 0.7);
}
