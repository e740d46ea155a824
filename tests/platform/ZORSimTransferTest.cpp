#include <gtest/gtest.h>

#include <algorithm>
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

// Writes through random strided ranges and shuffled member lists, each with a shuffled subset of
// the components, land where a plain array that takes the same writes has them, and read back
// through the same view.
TEST_F(ZORSimTransferTest, RandomStridedAndShuffledViewsMatchAPlainArray) {
  const ZORSimCollection components(root_.Context(), ComponentCollection(root_));
  std::vector<double> reference(18, 0.0);
  std::mt19937 random(8);
  for (int trial = 0; trial < 300; ++trial) {
    const int stride = 1 + static_cast<int>(random() % 3), start = static_cast<int>(random() % 6);
    std::vector<int> members = {start}, columns = {0, 1, 2};
    for (int m = start + stride; m < 6 && random() % 4 != 0; m += stride) members.push_back(m);
    if (trial % 2 == 1) {
      members = {0, 1, 2, 3, 4, 5};
      std::shuffle(members.begin(), members.end(), random);
      members.resize(1 + random() % 6);
    }
    std::shuffle(columns.begin(), columns.end(), random);
    columns.resize(1 + random() % 3);
    NodalDrawer view = drawer_;
    view.componentSet =
        components.CreateTempOrderedCSet(columns.data(), static_cast<int>(columns.size()));
    const ZORSimCSetID set =
        trial % 2 == 0
            ? nodes_.CreateTempCSetStrided(start, static_cast<int>(members.size()), stride, 1)
            : Nodes(members);
    std::vector<double> values(members.size() * columns.size());
    const std::size_t width = columns.size();
    for (std::size_t i = 0; i < values.size(); ++i) {
      values[i] = static_cast<double>(random() % 1000);
      reference[static_cast<std::size_t>(members[i / width] * 3 + columns[i % width])] = values[i];
    }
    WriteValues(root_, view, set, values);
    ASSERT_EQ(ReadValues(root_, drawer_, nodes_.BiggestCSetID()), reference) << "trial " << trial;
    ASSERT_EQ(ReadValues(root_, view, set), values) << "trial " << trial;
  }
}

// Members new to the drawer are appended along the first dimension in the order written.
TEST_F(ZORSimTransferTest, AutoExtendedMembersAreAppendedInTheOrderWritten) {
  nodes_.ExtendSpace(9);
  WriteValues(root_, drawer_, Nodes({8, 6}), {80, 81, 82, 60, 61, 62}, true);
  const auto drawers = ZORSimDistribution(root_.Context(), drawer_.distribution).QueryDrawers();
  ASSERT_EQ(drawers.size(), 1U);
  EXPECT_EQ(drawers[0].dimensions[0].members->Ordered(),
            (std::vector<int>{0, 1, 2, 3, 4, 5, 8, 6}));
  EXPECT_EQ(ReadValues(root_, drawer_, Nodes({6, 8, 0})),
            (std::vector<double>{60, 61, 62, 80, 81, 82, 0, 0, 0}));
}

// Each of these is refused before any value moves.
TEST_F(ZORSimTransferTest, ViewsThatDoNotFitTheDrawerOrTheBufferAreRefused) {
  nodes_.ExtendSpace(9);
  const ZORSimCollection components(root_.Context(), ComponentCollection(root_));
  std::vector<double> buffer(7);
  struct Case {
    const char* what;
    ZORSimCSetID first;
    int bufferType, bytes;
    bool read, extend;
  };
  for (const Case& c : {Case{"write outside the drawer", Nodes({7}), 2, 24, false, false},
                        Case{"read outside the drawer", Nodes({7}), 2, 24, true, false},
                        Case{"member appended twice", Nodes({7, 7}), 2, 48, false, true},
                        Case{"buffer too short", Nodes({0, 1}), 2, 40, false, false},
                        Case{"buffer too long", Nodes({0, 1}), 2, 56, false, false},
                        Case{"ints into doubles", Nodes({0, 1}), 1, 24, false, false},
                        Case{"set of another collection", components.CreateCSetStrided(0, 2, 1, 1),
                             2, 48, false, false}}) {
    ZORSimTransfer transfer(root_.Context(), drawer_.distribution);
    c.read ? transfer.SetRead() : transfer.SetWrite();
    transfer.SetBufferType(c.bufferType);
    transfer.SetAutoExtend(c.extend);
    transfer.SetDrawer(drawer_.drawer);
    transfer.SetDims({c.first, drawer_.componentSet});
    transfer.SetBuffer(0, buffer.data(), c.bytes);
    EXPECT_THROW(c.read ? transfer.ExecRead() : transfer.ExecWrite(), ZORSimError) << c.what;
  }
  EXPECT_THROW(nodes_.CreateCSetStrided(8, 3, 1, 1), ZORSimError);  // beyond the space
  ZORSimTransfer missing(root_.Context(), drawer_.distribution);
  missing.SetDim(0, Nodes({0}));
  EXPECT_THROW(missing.CheckView(), ZORSimError);
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
