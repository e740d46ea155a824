#include <gtest/gtest.h>

#include <tuple>

#include "platform/ZORSimAPI.h"
#include "platform/ZORSimSchemaKeys.h"
#include "tests/platform/PlatformTestDatabase.h"

namespace {

using namespace ZORSimKeys;

class ZORSrvPositionTest : public ::testing::Test {
 protected:
  void SetUp() override { root_ = CreateDatabase(ScratchFile("position.db")); }
  ZORSrvPosition At(ZORSimDynamicID id) const { return ZORSrvPosition(root_, id); }
  ZORSimDynamicID NewRecord(int fragment, int index) const {
    return root_.CreateDataRecord(ZORSimKeys::Key(fragment, index));
  }
  ZORSimCollectionID CollectionAt(int key, int side) const {
    return At(root_.Follow(key, side)).GetCollection();
  }
  ZORSrvPosition root_;
};

// The reader follows the writer's field -> output -> values links from either end (its tests
// cover that); steps are found by int key, by string key or in insertion order.
TEST_F(ZORSrvPositionTest, AssociationsAreFoundByKeyAndInInsertionOrder) {
  const ZORSimDynamicID history = NewRecord(22, 17), first = NewRecord(6, 30);
  const ZORSimDynamicID second = NewRecord(6, 30);
  At(history).Associate(kHistorySteps, 1, first, 0);
  At(history).Associate(kHistorySteps, 1, second, 1);
  At(history).Associate(kHistoryStepNames, 1, second, std::string("Loading"));
  EXPECT_EQ(At(history).FollowIntKey(kHistorySteps, 1, 1), second);
  EXPECT_EQ(At(history).FollowIntKey(kHistorySteps, 1, 0), first);
  EXPECT_TRUE(At(history).FollowIntKey(kHistorySteps, 1, -1).IsEmpty());
  EXPECT_EQ(At(history).FollowStringKey(kHistoryStepNames, 1, "Loading"), second);
  EXPECT_TRUE(At(history).FollowStringKey(kHistoryStepNames, 1, "loading").IsEmpty());
  EXPECT_EQ(At(history).FollowList(kHistorySteps, 1).Items(),
            (std::vector<ZORSimDynamicID>{first, second}));
  EXPECT_TRUE(At(first).Follow(kHistorySteps, 1).IsEmpty());
  EXPECT_EQ(At(first).Follow(kHistorySteps, 0), history);
}

// The focus links the loader keys reach the dictionary's collections, sized as loaded (the point
// collection by its largest node set); the symbols, numbered by their byte order, map both ways.
TEST_F(ZORSrvPositionTest, DataDictionaryCollectionsAreReachedAndSizedAsLoaded) {
  for (const auto& [key, side, space] : {std::tuple{kComponentCollection, 0, 38},
                                         {kPointCollection, 1, 40},
                                         {kFieldTypeCollection, 0, 654},
                                         {kElementTypeCollection, 0, 669}})
    EXPECT_EQ(ZORSimCollection(root_.Context(), CollectionAt(key, side)).Space(), space) << key;
  for (const int key : {kModel, kThirdAuxiliary}) EXPECT_FALSE(root_.Follow(key, 0).IsEmpty());
  for (const int key : {kIntegrationPoints, kSecondAuxiliary})
    EXPECT_FALSE(root_.Follow(key, 1).IsEmpty());
  const ZORSimSymbols symbols(root_.Context());
  const ZORSimTypeID symbolType(kFieldTypeSymbol);
  const ZORSimDynamicID uD = symbols.Get(symbolType, 621, CollectionAt(kFieldTypeCollection, 0));
  EXPECT_EQ(symbols.Get(uD), 621);
  EXPECT_TRUE(symbols.Get(symbolType, 654, CollectionAt(kFieldTypeCollection, 0)).IsEmpty());
}

// Handles of another or of a closed database are refused; an empty position leads nowhere.
TEST_F(ZORSrvPositionTest, ForeignAndClosedHandlesAreRefusedAndEmptyOnesFollowToNothing) {
  const ZORSrvPosition empty(root_, ZORSimDynamicID{});
  EXPECT_TRUE(empty.Follow(kMeshNodes, 1).IsEmpty());
  EXPECT_EQ(empty.FollowList(kStepFields, 0).Size(), 0);
  EXPECT_EQ(ZORSimCollection(root_.Context(), empty.GetCollection()).Space(), 0);
  const ZORSrvPosition other = CreateDatabase(ScratchFile("other.db"));
  EXPECT_NE(other.ID().leading, root_.ID().leading);
  const ZORSimDynamicID foreign = other.CreateDataRecord(kFieldRecord);
  EXPECT_THROW(root_.Associate(kFieldOutputs, 1, foreign), ZORSimError);
  EXPECT_THROW(At(foreign).Follow(kFieldOutputs, 1), ZORSimError);
  const ZORSimDynamicID record = NewRecord(11, 62);
  ZORSrvSimAccess().Close(root_);
  EXPECT_THROW(At(record).Follow(kFieldOutputs, 1), ZORSimError);
  EXPECT_THROW(root_.CreateDataRecord(kFieldRecord), ZORSimError);
}

}  // namespace
