#include "writer/ZORMtkSimWriter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "platform/ZORSimSchemaKeys.h"
#include "tests/writer/WriterTestSupport.h"

// the writer object, the database CreateSim makes, AcceptSim, SaveContext and closing.

namespace {

using namespace writertest;

// What CreateSim leaves beyond the data dictionary, checked on any root position of such a
// database (the one just created, or the same file opened again).
void ExpectCreatedLayout(const ZORSrvPosition& root) {
  const ZORSimSchema schema(root.Context());
  const ZORSimDynamicID history = History(root);
  ASSERT_FALSE(history.IsEmpty());
  EXPECT_EQ(Object(root, history).type, ZORSimKeys::kHistoryRecord);
  EXPECT_EQ(root.FollowList(ZORSimKeys::kHistory, 1).Size(), 1);

  // One step, reached by int key 0 and by the name "StaticStep".
  const ZORSimDynamicID step = At(root, history).FollowIntKey(ZORSimKeys::kHistorySteps, 1, 0);
  ASSERT_FALSE(step.IsEmpty());
  EXPECT_EQ(At(root, history).FollowStringKey(ZORSimKeys::kHistoryStepNames, 1, "StaticStep"),
            step);
  EXPECT_EQ(At(root, history).FollowList(ZORSimKeys::kHistorySteps, 1).Size(), 1);
  EXPECT_EQ(At(root, history).FollowList(ZORSimKeys::kHistoryStepNames, 1).Size(), 1);
  EXPECT_EQ(Object(root, step).type, ZORSimKeys::kStepRecord);
  EXPECT_TRUE(schema.IsA(step, schema.TypeID(ZORSimKeys::kIncrementBearingStep)));
  EXPECT_FALSE(schema.IsA(step, schema.TypeID(ZORSimKeys::kStaticStep)));

  // The step increment set: the empty set of the increment collection.
  EXPECT_EQ(At(root, step).FollowList(ZORSimKeys::kStepIncrements, 1).Size(), 1);
  const ZORSimCSetID increments = StepIncrementSet(root, step);
  ASSERT_FALSE(increments.collection.IsEmpty());
  EXPECT_EQ(increments.Size(), 0);
  EXPECT_EQ(Object(root, increments.collection.id).type, ZORSimKeys::kIncrementCollectionType);
  EXPECT_EQ(ZORSimCollection(root.Context(), increments.collection).Space(), 0);

  // The increment distribution: grid [increments], value type 3, one drawer chunked by 100,
  // extendable along the increments, over the empty set, without values.
  const auto distributions =
      ObjectsOf(root, ZORSimObjectKind::kDistribution, ZORSimKeys::kIncrementDistributionType);
  ASSERT_EQ(distributions.size(), 1u);
  const ZORSimObject& distribution = Object(root, distributions[0]);
  ASSERT_EQ(distribution.grid.size(), 1u);
  EXPECT_EQ(root.Context().Database().Handle(distribution.grid[0]), increments.collection.id);
  EXPECT_EQ(distribution.valueType, 3);
  const auto drawers =
      ZORSimDistribution(root.Context(), ZORSimDistributionID(distributions[0])).QueryDrawers();
  ASSERT_EQ(drawers.size(), 1u);
  const ZORSimObject& drawer = Object(root, drawers[0].id.id);
  EXPECT_EQ(drawer.chunk, std::vector<int>{100});
  EXPECT_EQ(drawer.extendableDim, 0);
  ASSERT_EQ(drawers[0].dimensions.size(), 1u);
  EXPECT_EQ(drawers[0].dimensions[0].collection, increments.collection);
  EXPECT_EQ(drawers[0].dimensions[0].Size(), 0);
  EXPECT_EQ(drawer.values->valueCount, 0);
}

TEST(ZORMtkSimWriterLifeTest, ConstructionAndDestructionTouchNoDatabase) {
  ZORMtkSimWriter writer;
  EXPECT_FALSE(writer.GetRootPosition().Context().IsOpen());
  EXPECT_TRUE(writer.GetRootPosition().ID().IsEmpty());
}

class ZORMtkSimWriterCreateTest : public WriterTest {};

TEST_F(ZORMtkSimWriterCreateTest, RootPositionIsTheFocusOfTheNewDatabase) {
  ASSERT_TRUE(root_.IsValid());
  EXPECT_EQ(Object(root_, root_.ID()).tag, "Focus");
  // The data dictionary is the initial content: the global collections are reachable.
  EXPECT_EQ(ZORSimCollection(root_.Context(), FollowCollection(root_, 11, 43, 0)).Space(), 38);
  EXPECT_FALSE(FollowCollection(root_, 11, 44, 0).IsEmpty());
  EXPECT_FALSE(FollowCollection(root_, 19, 29, 0).IsEmpty());
  EXPECT_FALSE(FollowCollection(root_, 21, 28, 1).IsEmpty());
  EXPECT_FALSE(root_.Follow(ZORSimKeys::kModel, 0).IsEmpty());
}

TEST_F(ZORMtkSimWriterCreateTest, LeavesOneHistoryOneStepAnEmptyIncrementSetAndItsDistribution) {
  ExpectCreatedLayout(root_);
  EXPECT_FALSE(root_.Context().Database().InTransaction());
}

TEST_F(ZORMtkSimWriterCreateTest, NothingIsOnDiskBeforeSaveContext) {
  EXPECT_FALSE(FileExists(file_));
  writer_.SaveContext();
  EXPECT_TRUE(FileExists(file_));
}

TEST_F(ZORMtkSimWriterCreateTest, LayoutSurvivesSaveAndOpen) {
  writer_.SaveContext();
  const ZORSrvPosition reopened = Open();
  ExpectCreatedLayout(reopened);
}

TEST(ZORMtkSimWriterLifeTest, CreateSimOverAnExistingFileKeepsItUntilTheFirstSave) {
  const std::string file = ScratchFile("existing.db");
  RemoveDatabaseFile(file);
  {
    std::ofstream old(file, std::ios::binary);
    old << "the old content";
  }
  {
    ZORMtkSimWriter writer;
    writer.CreateSim(file);
    writer.AddMesh();
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the old content");
    writer.SaveContext();
  }
  ZORSrvSimAccess access;
  const ZORSrvPosition reopened = access.Open(file);
  ExpectCreatedLayout(reopened);
  RemoveDatabaseFile(file);
}

TEST(ZORMtkSimWriterLifeTest, ACreatingWriterClosesItsDatabaseAnAcceptingOneDoesNot) {
  const std::string file = ScratchFile("close.db");
  ZORSrvPosition root;
  {
    ZORMtkSimWriter creator;
    creator.CreateSim(file);
    root = creator.GetRootPosition();
    {
      ZORMtkSimWriter acceptor;
      acceptor.AcceptSim(root);
      EXPECT_EQ(acceptor.GetRootPosition().ID(), root.ID());
      EXPECT_TRUE(acceptor.GetRootPosition().Context() == root.Context());
    }
    EXPECT_TRUE(root.Context().IsOpen());
  }
  EXPECT_FALSE(root.Context().IsOpen());
  RemoveDatabaseFile(file);
}

TEST(ZORMtkSimWriterLifeTest, ACreatingWriterThatAcceptsAnotherPositionClosesThatOne) {
  const std::string first = ScratchFile("first.db");
  const std::string second = ScratchFile("second.db");
  ZORMtkSimWriter owner;
  owner.CreateSim(first);
  const ZORSrvPosition firstRoot = owner.GetRootPosition();
  ZORSrvPosition secondRoot;
  {
    ZORMtkSimWriter writer;
    writer.CreateSim(second);
    secondRoot = writer.GetRootPosition();
    writer.AcceptSim(firstRoot);
  }
  // The created flag stays set, so the destructor closed the accepted database.
  EXPECT_FALSE(firstRoot.Context().IsOpen());
  EXPECT_TRUE(secondRoot.Context().IsOpen());
}

TEST(ZORMtkSimWriterLifeTest, AnAcceptingWriterWritesIntoTheHostsDatabase) {
  const std::string file = ScratchFile("accept.db");
  RemoveDatabaseFile(file);
  ZORMtkSimWriter creator;
  creator.CreateSim(file);
  ZORMtkSimWriter writer;
  writer.AcceptSim(creator.GetRootPosition());
  const ZORSimDynamicID mesh = writer.AddMesh();
  const ZORSrvPosition root = creator.GetRootPosition();
  EXPECT_EQ(At(root, root.Follow(ZORSimKeys::kModel, 0)).Follow(ZORSimKeys::kModelMesh, 1), mesh);
  writer.SaveContext();
  ZORSrvSimAccess access;
  const ZORSrvPosition reopened = access.Open(file);
  EXPECT_EQ(At(reopened, reopened.Follow(ZORSimKeys::kModel, 0))
                .FollowList(ZORSimKeys::kModelMesh, 1)
                .Size(),
            1);
  RemoveDatabaseFile(file);
}

TEST(ZORMtkSimWriterLifeTest, SaveContextOfAnUnattachedWriterFailsInTheDatabaseInterface) {
  ZORMtkSimWriter writer;
  EXPECT_THROW(writer.SaveContext(), ZORSimError);
  EXPECT_THROW(writer.AddMesh(), ZORSimError);
}

}  // namespace
