#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "platform/ZORSimAPI.h"
#include "platform/ZORSimSchemaKeys.h"
#include "tests/platform/PlatformTestDatabase.h"

namespace {

class ZORSimTransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = CreateDatabase(ScratchFile("transfer.db"));
    drawer_ = MakeNodalDrawer(root_, 6, 3);
    nodes_ = ZORSimCollection(root_.Context(), drawer_.nodes);
  }
  ZORSimCSetID Nodes(std::vector<int> members) const {
    return nodes_.CreateTempOrderedCSet(members.data(), static_cast<int>(members.size()));
  }
  ZORSrvPosition root_;
  NodalDrawer drawer_;
  ZORSimCollection nodes_{ZORSimContext(), ZORSimCollectionID()};
};

// Writes through random strided ranges and shuffled member lists land where a plain array that
// takes the same writes has them, and read back through the same view.
TEST_F(ZORSimTransferTest, RandomStridedAndShuffledViewsMatchAPlainArray) {
  nodes_.ExtendSpace(6);
  std::vector<double> reference(18, 0.0);
  std::mt19937 random(8);
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<int> members;
    if (trial % 2 == 0) {
      const int stride = 1 + static_cast<int>(random() % 3);
      const int start = static_cast<int>(random() % 6);
      for (int m = start; m < 6 && random() % 4 != 0; m += stride) members.push_back(m);
    } else {
      members = {0, 1, 2, 3, 4, 5};
      std::shuffle(members.begin(), members.end(), random);
      members.resize(1 + random() % 6);
    }
    if (members.empty()) continue;
    const bool strided = trial % 2 == 0;
    const int stride = members.size() > 1 ? members[1] - members[0] : 1;
    const ZORSimCSetID set = strided ? nodes_.CreateTempCSetStrided(
                                           members[0], static_cast<int>(members.size()), stride, 1)
                                     : Nodes(members);
    std::vector<double> values(members.size() * 3);
    for (double& v : values) v = static_cast<double>(random() % 1000);
    WriteValues(root_, drawer_, set, values);
    for (std::size_t i = 0; i < members.size(); ++i)
      for (std::size_t c = 0; c < 3; ++c)
        reference[static_cast<std::size_t>(members[i]) * 3 + c] = values[i * 3 + c];
    ASSERT_EQ(ReadValues(root_, drawer_, nodes_.BiggestCSetID()), reference) << "trial " << trial;
    ASSERT_EQ(ReadValues(root_, drawer_, set), values) << "trial " << trial;
  }
}

TEST_F(ZORSimTransferTest, ComponentSubsetInReverseOrderPicksTheRightColumns) {
  WriteValues(root_, drawer_, nodes_.BiggestCSetID(),
              {0, 1, 2, 10, 11, 12, 20, 21, 22, 30, 31, 32, 40, 41, 42, 50, 51, 52});
  const ZORSimCollection components(root_.Context(), ComponentCollection(root_));
  const int reversed[] = {2, 0};
  NodalDrawer view = drawer_;
  view.componentSet = components.CreateTempOrderedCSet(reversed, 2);
  EXPECT_EQ(ReadValues(root_, view, Nodes({3, 1})), (std::vector<double>{32, 30, 12, 10}));
}

TEST_F(ZORSimTransferTest, AutoExtendAppendsNewMembersAlongTheFirstDimension) {
  nodes_.ExtendSpace(9);
  WriteValues(root_, drawer_, Nodes({8, 6}), {80, 81, 82, 60, 61, 62}, true);
  const auto drawers = ZORSimDistribution(root_.Context(), drawer_.distribution).QueryDrawers();
  ASSERT_EQ(drawers.size(), 1U);
  ASSERT_EQ(drawers[0].dimensions[0].Size(), 8);
  EXPECT_EQ(ZORSimCSet(drawers[0].dimensions[0])[6], 8);
  EXPECT_EQ(ZORSimCSet(drawers[0].dimensions[0])[7], 6);
  EXPECT_EQ(ReadValues(root_, drawer_, Nodes({6, 8, 0})),
            (std::vector<double>{60, 61, 62, 80, 81, 82, 0, 0, 0}));
}

// Each of these is refused before any value moves.
TEST_F(ZORSimTransferTest, ViewsThatDoNotFitTheDrawerOrTheBufferAreRefused) {
  nodes_.ExtendSpace(9);
  const ZORSimCollection components(root_.Context(), ComponentCollection(root_));
  std::vector<double> buffer(6);
  const auto transfer = [&](const ZORSimCSetID& first, int bufferType, std::int64_t bytes) {
    ZORSimTransfer write(root_.Context(), drawer_.distribution);
    write.SetWrite();
    write.SetBufferType(bufferType);
    write.SetDrawer(drawer_.drawer);
    write.SetDim(0, first);
    write.SetDim(1, drawer_.componentSet);
    write.SetBuffer(0, buffer.data(), bytes);
    write.ExecWrite();
  };
  const std::vector<std::pair<const char*, std::function<void()>>> cases = {
      {"member outside the drawer",
       [&] {
         WriteValues(root_, drawer_, Nodes({7}), {1, 2, 3});
       }},
      {"read outside the drawer", [&] { ReadValues(root_, drawer_, Nodes({7})); }},
      {"buffer too short",
       [&] {
         transfer(Nodes({0, 1}), 2, 5 * 8);
       }},
      {"ints into doubles",
       [&] {
         transfer(Nodes({0, 1}), 1, 6 * 4);
       }},
      {"set of another collection",
       [&] { transfer(components.CreateCSetStrided(0, 2, 1, 1), 2, 48); }},
      {"member beyond the space", [&] { nodes_.CreateCSetStrided(8, 3, 1, 1); }},
      {"dimension missing", [&] {
         ZORSimTransfer missing(root_.Context(), drawer_.distribution);
         missing.SetDim(0, Nodes({0}));
         missing.CheckView();
       }}};
  for (const auto& [what, refused] : cases) EXPECT_THROW(refused(), ZORSimError) << what;
}

TEST_F(ZORSimTransferTest, RelationalValuesMustLieInTheirTargetCollection) {
  const ZORSimCollectionID elements =
      root_.CreateTypedCollection(0, ZORSimKeys::kElementCollectionType);
  ZORSimCollection elementCollection(root_.Context(), elements);
  elementCollection.ExtendSpace(2);
  const ZORSimCollectionID points =
      ZORSrvPosition(root_, root_.Follow(ZORSimKeys::kPointCollection, 1)).GetCollection();
  const ZORSimDistributionID connectivity =
      root_.CreateTypedDistribution({elements, points}, ZORSimKeys::kConnectivityDistributionType,
                                    ZORSimRangeType(5, drawer_.nodes));
  const ZORSimCSetID pointSet =
      ZORSimCollection(root_.Context(), points).CreateCSetStrided(0, 2, 1, 1);
  ZORSimTransfer make(root_.Context(), connectivity);
  make.SetMakeNewDrawerChunked({2, 2});
  make.SetDim(0, elementCollection.BiggestCSetID());
  make.SetDim(1, pointSet);
  make.ExecMake();
  const int good[] = {0, 5, 1, 2};
  const int bad[] = {0, 6, 1, 2};  // node 6 does not exist
  ZORSimTransfer write(root_.Context(), connectivity);
  write.SetWrite();
  write.SetDrawer(make.DrawerID());
  write.SetDims({elementCollection.BiggestCSetID(), pointSet});
  write.SetBuffer(0, bad, sizeof bad);
  EXPECT_THROW(write.ExecWrite(), ZORSimError);
  write.SetBuffer(0, good, sizeof good);
  EXPECT_NO_THROW(write.ExecWrite());
  int read[4] = {};
  ZORSimTransfer reader(root_.Context(), connectivity);
  reader.SetRead();
  reader.SetDrawer(make.DrawerID());
  reader.SetDims({elementCollection.BiggestCSetID(), pointSet});
  reader.SetBuffer(0, read, sizeof read);
  reader.ExecRead();
  EXPECT_EQ(std::vector<int>(read, read + 4), std::vector<int>(good, good + 4));
}

TEST_F(ZORSimTransferTest, ValuesSpanningManyBlocksSurviveAnOrderedRoundTrip) {
  const int count = 300'000;  // 7.2 MB of doubles: several storage blocks
  NodalDrawer big = MakeNodalDrawer(root_, count, 3);
  ZORSimCollection bigNodes(root_.Context(), big.nodes);
  std::vector<int> order(count);
  for (int i = 0; i < count; ++i)
    order[i] = static_cast<int>((std::int64_t{i} * 7919) % count);  // a permutation
  std::vector<double> values(static_cast<std::size_t>(count) * 3);
  for (int i = 0; i < count; ++i)
    for (int c = 0; c < 3; ++c) values[i * 3 + c] = order[i] * 10.0 + c;
  WriteValues(root_, big, bigNodes.CreateTempOrderedCSet(order.data(), count), values);
  const std::vector<double> ascending = ReadValues(root_, big, bigNodes.BiggestCSetID());
  for (int n = 0; n < count; n += 4999)
    ASSERT_EQ(ascending[n * 3 + 2], n * 10.0 + 2) << "node " << n;
}

}  // namespace
