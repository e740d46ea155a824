#include "writer/ZORMtkSimWriter.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/writer/WriterTestSupport.h"

// The writer object: the database CreateSim makes, AcceptSim, SaveContext and closing.

namespace {

using namespace writertest;
using namespace ZORSimKeys;

// What CreateSim leaves beyond the data dictionary, on the database just made or reopened: one
// history with one increment-bearing step (int key 0 and "StaticStep") and its empty increment
// set, and the increment distribution with one empty drawer along the increments.
void ExpectCreatedLayout(const ZORSrvPosition& root) {
  const ZORSimSchema schema(root.Context());
  const ZORSrvPosition history = At(root, root.Follow(kHistory, 1));
  const ZORSimDynamicID step = Step(root, 0);
  EXPECT_EQ(history.FollowStringKey(kHistoryStepNames, 1, "StaticStep"), step);
  for (int key : {kHistorySteps, kHistoryStepNames})
    EXPECT_EQ(history.FollowList(key, 1).Size(), 1);
  EXPECT_TRUE(schema.IsA(step, schema.TypeID(kIncrementBearingStep)));
  EXPECT_FALSE(schema.IsA(step, schema.TypeID(kStaticStep)));
  const ZORSimCSetID increments = StepIncrementSet(root, step);
  EXPECT_EQ(ZORSimCollection(root.Context(), increments.collection).Space(), 0);
  ZORSimDatabase& db = root.Context().Database();
  std::vector<ZORSimDrawerDescriptor> drawers;
  for (std::int64_t i = 1; i < db.ObjectCount(); ++i)
    if (db.Object(i).type == kIncrementDistributionType)
      for (const auto& drawer :
           ZORSimDistribution(root.Context(), ZORSimDistributionID(db.Handle(i))).QueryDrawers())
        drawers.push_back(drawer);
  ASSERT_EQ(drawers.size(), 1u);
  EXPECT_EQ(Object(root, drawers[0].id.id).chunk, std::vector<int>{100});
  EXPECT_EQ(drawers[0].dimensions.at(0).collection, increments.collection);
}

class ZORMtkSimWriterCreateTest : public WriterTest {};

TEST_F(ZORMtkSimWriterCreateTest, TheNewDatabaseHoldsTheDataDictionaryAndOneStepUntilSaved) {
  ASSERT_TRUE(root_.IsValid());
  ExpectCreatedLayout(root_);
  EXPECT_FALSE(Database().InTransaction());
  EXPECT_FALSE(std::ifstream(file_).good());
  writer_.SaveContext();
  ExpectCreatedLayout(Open());
}

// A writer closes the database of its root position when it created one, also after accepting
// another position; a writer that only accepted closes nothing and writes into the host's.
TEST(ZORMtkSimWriterLifeTest, OnlyACreatingWriterClosesAndAnAcceptingOneWritesIntoTheHosts) {
  ZORMtkSimWriter owner;
  owner.CreateSim(ScratchFile("first.db"));
  const ZORSrvPosition first = owner.GetRootPosition();
  ZORSrvPosition second;
  {
    ZORMtkSimWriter acceptor;
    acceptor.AcceptSim(first);
    const ZORSimDynamicID mesh = acceptor.AddMesh();
    EXPECT_EQ(At(first, first.Follow(kModel, 0)).Follow(kModelMesh, 1), mesh);
  }
  EXPECT_TRUE(first.Context().IsOpen());
  {
    ZORMtkSimWriter writer;
    writer.CreateSim(ScratchFile("second.db"));
    second = writer.GetRootPosition();
    writer.AcceptSim(first);
  }
  EXPECT_FALSE(first.Context().IsOpen());
  EXPECT_TRUE(second.Context().IsOpen());
  ZORMtkSimWriter unattached;
  EXPECT_THROW(unattached.SaveContext(), ZORSimError);
  EXPECT_THROW(unattached.AddMesh(), ZORSimError);
}

}  // namespace
