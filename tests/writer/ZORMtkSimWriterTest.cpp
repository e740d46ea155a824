#include "writer/ZORMtkSimWriter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/writer/WriterTestSupport.h"

// The writer object: the database CreateSim makes, AcceptSim, SaveContext and closing.

namespace {

using namespace writertest;
using namespace ZORSimKeys;

// What CreateSim leaves beyond the data dictionary, on the database just made or reopened: one
// history, one increment-bearing step (int key 0 and "StaticStep"), its empty increment set and
// the increment distribution with one empty drawer chunked by 100 along the increments.
void ExpectCreatedLayout(const ZORSrvPosition& root) {
  const ZORSimSchema schema(root.Context());
  const ZORSrvPosition history = At(root, root.Follow(kHistory, 1));
  EXPECT_EQ(Object(root, history.ID()).type, kHistoryRecord);
  const ZORSimDynamicID step = Step(root, 0);
  EXPECT_EQ(history.FollowStringKey(kHistoryStepNames, 1, "StaticStep"), step);
  for (int key : {kHistorySteps, kHistoryStepNames})
    EXPECT_EQ(history.FollowList(key, 1).Size(), 1);
  EXPECT_EQ(Object(root, step).type, kStepRecord);
  EXPECT_TRUE(schema.IsA(step, schema.TypeID(kIncrementBearingStep)));
  EXPECT_FALSE(schema.IsA(step, schema.TypeID(kStaticStep)));
  const ZORSimCSetID increments = StepIncrementSet(root, step);
  EXPECT_EQ(increments.Size(), 0);
  EXPECT_EQ(Object(root, increments.collection.id).type, kIncrementCollectionType);
  EXPECT_EQ(ZORSimCollection(root.Context(), increments.collection).Space(), 0);
  ZORSimDatabase& db = root.Context().Database();
  std::vector<ZORSimDynamicID> distributions;
  for (std::int64_t i = 1; i < db.ObjectCount(); ++i)
    if (db.Object(i).type == kIncrementDistributionType) distributions.push_back(db.Handle(i));
  ASSERT_EQ(distributions.size(), 1u);
  EXPECT_EQ(Object(root, distributions[0]).valueType, 3);
  const auto drawers =
      ZORSimDistribution(root.Context(), ZORSimDistributionID(distributions[0])).QueryDrawers();
  ASSERT_EQ(drawers.size(), 1u);
  const ZORSimObject& drawer = Object(root, drawers[0].id.id);
  EXPECT_EQ(drawer.chunk, std::vector<int>{100});
  EXPECT_EQ(drawer.extendableDim, 0);
  EXPECT_EQ(drawer.values->valueCount, 0);
  ASSERT_EQ(drawers[0].dimensions.size(), 1u);
  EXPECT_EQ(drawers[0].dimensions[0].collection, increments.collection);
}

class ZORMtkSimWriterCreateTest : public WriterTest {};

TEST_F(ZORMtkSimWriterCreateTest, TheNewDatabaseHoldsTheDataDictionaryAndOneStepUntilSaved) {
  ASSERT_TRUE(root_.IsValid());
  EXPECT_EQ(Object(root_, root_.ID()).tag, "Focus");
  EXPECT_EQ(ZORSimCollection(root_.Context(), Collection(root_, kComponentCollection, 0)).Space(),
            38);
  EXPECT_FALSE(root_.Follow(kModel, 0).IsEmpty());
  ExpectCreatedLayout(root_);
  EXPECT_FALSE(Database().InTransaction());
  EXPECT_FALSE(std::ifstream(file_).good());
  writer_.SaveContext();
  ExpectCreatedLayout(Open());
}

TEST(ZORMtkSimWriterLifeTest, CreateSimOverAnExistingFileKeepsItUntilTheFirstSave) {
  const std::string file = ScratchFile("existing.db");
  RemoveDatabaseFile(file);
  std::ofstream(file, std::ios::binary) << "the old content";
  {
    ZORMtkSimWriter writer;
    EXPECT_FALSE(writer.GetRootPosition().Context().IsOpen());
    writer.CreateSim(file);
    writer.AddMesh();
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the old content");
    writer.SaveContext();
  }
  ExpectCreatedLayout(ZORSrvSimAccess().Open(file));
  RemoveDatabaseFile(file);
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
