#include <gtest/gtest.h>

#include "platform/ZORSimAPI.h"
#include "platform/ZORSimSchemaKeys.h"
#include "tests/platform/PlatformTestDatabase.h"

namespace {

TEST(ZORSimTransaction, DestroyingAnUncommittedTransactionUndoesEverything) {
  const ZORSrvPosition root = CreateDatabase(ScratchFile("rollback.db"));
  NodalDrawer drawer = MakeNodalDrawer(root, 4, 2);
  ZORSimCollection nodes(root.Context(), drawer.nodes);
  WriteValues(root, drawer, nodes.BiggestCSetID(), {1, 2, 3, 4, 5, 6, 7, 8});
  const std::int64_t objectsBefore = root.Context().Database().ObjectCount();
  {
    ZORSimTransaction transaction(root.Context());
    const ZORSimDynamicID record = root.CreateDataRecord(ZORSimKeys::kFieldRecord);
    root.Associate(ZORSimKeys::kHistory, 1, record);
    nodes.ExtendSpace(6);
    const int extra[] = {5, 4};
    WriteValues(root, drawer, nodes.CreateTempOrderedCSet(extra, 2), {50, 51, 40, 41}, true);
    WriteValues(root, drawer, nodes.CreateCSetStrided(0, 1, 1, 1), {-1, -2});
  }
  EXPECT_EQ(root.Context().Database().ObjectCount(), objectsBefore);
  EXPECT_TRUE(root.Follow(ZORSimKeys::kHistory, 1).IsEmpty());
  EXPECT_EQ(nodes.Space(), 4);
  const auto drawers = ZORSimDistribution(root.Context(), drawer.distribution).QueryDrawers();
  EXPECT_EQ(drawers[0].dimensions[0].Size(), 4);
  EXPECT_EQ(ReadValues(root, drawer, nodes.BiggestCSetID()),
            (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(ZORSimTransaction, CommitKeepsChangesAndAllowsTheNextTransaction) {
  const ZORSrvPosition root = CreateDatabase(ScratchFile("commit.db"));
  ZORSimDynamicID record;
  {
    ZORSimTransaction transaction(root.Context());
    record = root.CreateDataRecord(ZORSimKeys::kHistoryRecord);
    root.Associate(ZORSimKeys::kHistory, 1, record);
    transaction.Commit();
    EXPECT_THROW(transaction.Commit(), ZORSimError);
  }
  EXPECT_EQ(root.Follow(ZORSimKeys::kHistory, 1), record);
  ZORSimTransaction next(root.Context());
  EXPECT_THROW(ZORSimTransaction(root.Context()), ZORSimError);  // one at a time
}

TEST(ZORSimTransaction, ExceptionInsideAnOperationLeavesNothingCommitted) {
  const ZORSrvPosition root = CreateDatabase(ScratchFile("throwing.db"));
  NodalDrawer drawer = MakeNodalDrawer(root, 2, 1);
  ZORSimCollection nodes(root.Context(), drawer.nodes);
  const int removedAssociations = root.FollowList(ZORSimKeys::kComponentCollection, 0).Size();
  try {
    ZORSimTransaction transaction(root.Context());
    WriteValues(root, drawer, nodes.BiggestCSetID(), {7, 8});
    root.Remove(ZORSimKeys::kComponentCollection, 0,
                root.Follow(ZORSimKeys::kComponentCollection, 0));
    WriteValues(root, drawer, nodes.BiggestCSetID(), {1});  // wrong length: throws
    transaction.Commit();
  } catch (const ZORSimError&) {
  }
  EXPECT_EQ(root.FollowList(ZORSimKeys::kComponentCollection, 0).Size(), removedAssociations);
  EXPECT_EQ(ReadValues(root, drawer, nodes.BiggestCSetID()), (std::vector<double>{0, 0}));
}

TEST(ZORSimTransaction, SaveIsRefusedWhileATransactionIsOpen) {
  const std::string file = ScratchFile("saveintransaction.db");
  const ZORSrvPosition root = CreateDatabase(file);
  ZORSimTransaction transaction(root.Context());
  EXPECT_THROW(root.Context().Save(), ZORSimError);
}

}  // namespace
