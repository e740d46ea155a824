#include <gtest/gtest.h>

#include "platform/ZORSimAPI.h"
#include "platform/ZORSimSchemaKeys.h"
#include "tests/platform/PlatformTestDatabase.h"

namespace {

// Records, associations, a grown collection, auto-extended and overwritten values: a
// transaction left without Commit, by scope or by an exception, takes all of them back.
TEST(ZORSimTransaction, AnUncommittedTransactionUndoesEverythingInReverseOrder) {
  const RemovedAtEnd file(ScratchFile("rollback.db"));
  const ZORSrvPosition root = CreateDatabase(file.name);
  const NodalDrawer drawer = MakeNodalDrawer(root, 4, 2);
  ZORSimCollection nodes(root.Context(), drawer.nodes);
  const NodalDrawer big = MakeNodalDrawer(root, 1 << 17, 1);  // one full 1 MiB value block
  ZORSimCollection bigNodes(root.Context(), big.nodes);
  const std::vector<double> before = {1, 2, 3, 4, 5, 6, 7, 8};
  WriteValues(root, drawer, nodes.BiggestCSetID(), before);
  const std::int64_t objects = root.Context().Database().ObjectCount();
  const int components = root.FollowList(ZORSimKeys::kComponentCollection, 0).Size();
  for (const bool throwing : {false, true}) {
    try {
      ZORSimTransaction transaction(root.Context());
      root.Associate(ZORSimKeys::kHistory, 1, root.CreateDataRecord(ZORSimKeys::kFieldRecord));
      nodes.ExtendSpace(7);
      const int extra[] = {5, 4};
      WriteValues(root, drawer, nodes.CreateTempOrderedCSet(extra, 2), {50, 51, 40, 41}, true);
      const int more[] = {6};  // the drawer grows a second time
      WriteValues(root, drawer, nodes.CreateTempOrderedCSet(more, 1), {60, 61}, true);
      bigNodes.ExtendSpace((1 << 17) + 1);  // one member more opens a second block
      const int beyond[] = {1 << 17};
      WriteValues(root, big, bigNodes.CreateTempOrderedCSet(beyond, 1), {7}, true);
      WriteValues(root, drawer, nodes.CreateCSetStrided(0, 1, 1, 1), {-1, -2});
      WriteValues(root, drawer, nodes.CreateCSetStrided(0, 2, 1, 1), {-3, -4, -5, -6});  // over it
      root.Remove(ZORSimKeys::kComponentCollection, 0,
                  root.Follow(ZORSimKeys::kComponentCollection, 0));
      if (throwing) WriteValues(root, drawer, nodes.BiggestCSetID(), {1});  // wrong length
    } catch (const ZORSimError&) {
    }
    EXPECT_EQ(root.Context().Database().ObjectCount(), objects);
    EXPECT_TRUE(root.Follow(ZORSimKeys::kHistory, 1).IsEmpty());
    EXPECT_EQ(root.FollowList(ZORSimKeys::kComponentCollection, 0).Size(), components);
    EXPECT_EQ(nodes.Space(), 4);
    EXPECT_EQ(bigNodes.Space(), 1 << 17);
    const auto drawers = ZORSimDistribution(root.Context(), drawer.distribution).QueryDrawers();
    EXPECT_EQ(drawers[0].dimensions[0].Size(), 4);
    EXPECT_EQ(ReadValues(root, drawer, nodes.BiggestCSetID()), before);
  }
  // Saved and read back, the drawer that grew twice holds what it held before, and no more.
  root.Context().Save();
  const ZORSrvPosition reopened = ZORSrvSimAccess().Open(file.name);
  const NodalDrawer again = SameDrawerIn(reopened, drawer, 2);
  EXPECT_EQ(ReadValues(reopened, again,
                       ZORSimCollection(reopened.Context(), again.nodes).BiggestCSetID()),
            before);
}

// One transaction at a time, committed once; a save waits until none is open.
TEST(ZORSimTransaction, CommitKeepsChangesOnceAndSavesWaitForIt) {
  const ZORSrvPosition root = CreateDatabase(ScratchFile("commit.db"));
  ZORSimDynamicID record;
  {
    ZORSimTransaction transaction(root.Context());
    record = root.CreateDataRecord(ZORSimKeys::kHistoryRecord);
    root.Associate(ZORSimKeys::kHistory, 1, record);
    EXPECT_THROW(root.Context().Save(), ZORSimError);
    transaction.Commit();
    EXPECT_THROW(transaction.Commit(), ZORSimError);
  }
  EXPECT_EQ(root.Follow(ZORSimKeys::kHistory, 1), record);
  ZORSimTransaction next(root.Context());
  EXPECT_THROW(ZORSimTransaction(root.Context()), ZORSimError);
}

}  // namespace
