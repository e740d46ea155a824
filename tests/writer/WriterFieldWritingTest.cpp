#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/writer/WriterTestSupport.h"
#include "writer/ZORMtkSimWriter.h"

// Field writes beyond what the random round trips through the reader check: rejected steps and
// their texts, how the step increment set grows, writes by name, refused writes that commit
// nothing, and saving only what changed.

namespace {

using namespace writertest;
using namespace ZORSimKeys;

class WriterFieldWritingTest : public WriterTest {
 protected:
  void SetUp() override {
    WriterTest::SetUp();
    mesh_ = PlaneMesh();
    field_ = writer_.AddSimpleNodeField(mesh_, "U_D", 3);
    points_ = writer_.AddSimpleElementField(mesh_, "S0", 1);
  }
  // Writes node values n + 0.1 c (c = 1 to 3) by handle, by name, or (points) one value per
  // point into the integration-point field.
  bool Write(const std::string& how, int step, int increment, std::vector<int> nodes,
             int components = 3) {
    std::vector<double> values;
    for (int n : nodes)
      for (int c = 1; c <= components * (how == "points" ? 4 : 1); ++c)
        values.push_back(n + 0.1 * c);
    cow_List<int> list(nodes);
    if (how == "points")
      return writer_.WriteSimpleElementClassField(points_, mesh_, step, increment, 4, components,
                                                  list, values.data());
    if (how == "name")
      return writer_.WriteSimpleNodeField(mesh_, "U_D", step, increment, components, list,
                                          values.data());
    return writer_.WriteSimpleNodeField(field_, mesh_, step, increment, components, list,
                                        values.data());
  }
  std::int64_t ValueCount(ZORSimDynamicID field) const {
    return Object(root_, FieldDrawers(root_, field).at(0).id).values->valueCount;
  }
  ZORSimCSetID Increments() const { return StepIncrementSet(root_, Step(root_, 0)); }
  void ExpectNothingWritten() const {
    EXPECT_EQ(ValueCount(field_), 0);
    EXPECT_EQ(ValueCount(points_), 0);
    EXPECT_EQ(Increments().Size(), 0);
    EXPECT_EQ(ZORSimCollection(root_.Context(), Increments().collection).Space(), 0);
    EXPECT_FALSE(Database().InTransaction());
  }

  ZORSimDynamicID mesh_, field_, points_;
};

// Step 2 is a static step added by hand; the integration-point write rejects without a text.
TEST_F(WriterFieldWritingTest, RejectedStepsPrintTheirTextForNodalWritesAndCommitNothing) {
  const ZORSimDynamicID staticStep = root_.CreateDataRecord(kStaticStep);
  At(root_, root_.Follow(kHistory, 1)).Associate(kHistorySteps, 1, staticStep, 1);
  const std::string beyond = " ZORMtkSimReader::WriteSimpleNodeField: stepNo > numTasks \n";
  const std::string below = " ZORMtkSimReader::WriteSimpleNodeField: stepNo < 1 \n";
  const std::string mishandled =
      " ZORMtkSimReader::WriteSimpleNodeField: static event mishandling \n";
  const struct {
    int step, increment;
    std::string text;
  } cases[] = {
      {3, 1, beyond}, {0, 1, below}, {-3, 1, below}, {2, 2, mishandled}, {2, 0, mishandled}};
  for (const auto& c : cases) {
    for (const char* how : {"handle", "name", "points"}) {
      CapturedStream cerr(aio_cerr);
      EXPECT_FALSE(Write(how, c.step, c.increment, {0, 1}, 1 + 2 * (how[0] != 'p')));
      EXPECT_EQ(cerr.Text(), how[0] == 'p' ? "" : c.text) << how << " step " << c.step;
    }
  }
  ExpectNothingWritten();
  // Increment 1 of the static step passes; that step has no field, so nothing is written.
  EXPECT_TRUE(Write("name", 2, 1, {0}));
  ExpectNothingWritten();
}

// The random round trips write increments 1 to 3; here a write that needs no growth keeps the
// step's increment set, and one that grows it leaves one set associated.
TEST_F(WriterFieldWritingTest, TheStepIncrementSetGrowsToCoverTheIncrementWritten) {
  ASSERT_TRUE(Write("handle", 1, 1, {3}));
  const ZORSimDynamicID stored = At(root_, Step(root_, 0)).Follow(kStepIncrements, 1);
  ASSERT_TRUE(Write("points", 1, 1, {2}, 1));
  EXPECT_EQ(At(root_, Step(root_, 0)).Follow(kStepIncrements, 1), stored);
  ASSERT_TRUE(Write("handle", 1, 3, {3}));
  EXPECT_EQ(Members(Increments()), Range(0, 4));
  EXPECT_EQ(At(root_, Step(root_, 0)).FollowList(kStepIncrements, 1).Size(), 1);
}

// By name: every field of the step with that name over this mesh's nodes, none of another mesh.
TEST_F(WriterFieldWritingTest, ByNameWritesEveryFieldOfThatNameOnTheMesh) {
  const ZORSimDynamicID twin = writer_.AddSimpleNodeField(mesh_, "U_D", 3);
  const ZORSimDynamicID other = writer_.AddSimpleNodeField(mesh_, "V_D", 3);
  const ZORSimDynamicID elsewhere = writer_.AddSimpleNodeField(PlaneMesh(), "U_D", 3);
  ASSERT_TRUE(Write("name", 1, 1, {4}));
  for (ZORSimDynamicID field : {field_, twin}) {
    const std::vector<double> all = ReadDrawer(root_, FieldDrawers(root_, field)[0], 1);
    EXPECT_EQ(std::vector<double>(all.begin() + 12, all.begin() + 15),
              (std::vector<double>{4.1, 4.2, 4.3}));
  }
  EXPECT_EQ(ValueCount(other), 0);
  EXPECT_EQ(ValueCount(elsewhere), 0);
  cow_List<int> nodes = {4};
  std::vector<double> values(3, 1.0);
  EXPECT_TRUE(writer_.WriteSimpleNodeField(mesh_, "PRESS", 1, 1, 3, nodes, values.data()));
  EXPECT_TRUE(writer_.WriteSimpleNodeField(mesh_, "u_d", 1, 1, 3, nodes, values.data()));
  EXPECT_EQ(ValueCount(other), 0);
}

// Counts that do not match the drawer, a node outside the mesh, a negative increment: the
// database refuses, and the increment set extended on the way rolls back with the write.
TEST_F(WriterFieldWritingTest, RefusedWritesCommitNothing) {
  EXPECT_THROW(Write("handle", 1, 1, {1, 2}, 2), ZORSimError);
  EXPECT_THROW(Write("handle", 1, 1, {1, 2}, 4), ZORSimError);
  EXPECT_THROW(Write("handle", 1, 1, {1, 100}), ZORSimError);
  EXPECT_THROW(Write("handle", 1, -1, {1}), ZORSimError);
  EXPECT_THROW(Write("points", 1, 1, {0}, 2), ZORSimError);
  ExpectNothingWritten();
}

TEST_F(WriterFieldWritingTest, ValuesSurviveSaveAndTheSecondSaveWritesOnlyTheNewIncrement) {
  ASSERT_TRUE(Write("handle", 1, 1, Range(0, 100)));
  writer_.SaveContext();
  const std::int64_t firstSave = Database().LastSaveBytes();
  ASSERT_TRUE(Write("handle", 1, 2, Range(0, 100)));
  writer_.SaveContext();
  EXPECT_LT(Database().LastSaveBytes(), firstSave / 10);
  const ZORSrvPosition reopened = Open();
  const auto drawers = FieldDrawers(reopened, reopened.Context().Database().Handle(field_.object));
  ASSERT_EQ(drawers.size(), 1u);
  EXPECT_EQ(ReadDrawer(reopened, drawers[0], 2),
            ReadDrawer(root_, FieldDrawers(root_, field_)[0], 2));
  EXPECT_EQ(Members(StepIncrementSet(reopened, Step(reopened, 0))), Range(0, 3));
}

}  // namespace
