#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ZORSimSchemaKeys.h"
#include "tests/writer/WriterTestSupport.h"
#include "writer/ZORMtkSimWriter.h"

// WriteSimpleNodeField (by handle and by name) and WriteSimpleElementClassField: the
// rejected steps with their texts, the growing step increment set, the dimension sets and value
// order of a write, and that a refused write commits nothing.

namespace {

using namespace writertest;

const char kBeyondLast[] = " ZORMtkSimReader::WriteSimpleNodeField: stepNo > numTasks \n";
const char kBelowOne[] = " ZORMtkSimReader::WriteSimpleNodeField: stepNo < 1 \n";
const char kStatic[] = " ZORMtkSimReader::WriteSimpleNodeField: static event mishandling \n";

class WriterFieldWritingTest : public WriterTest {
 protected:
  void SetUp() override {
    WriterTest::SetUp();
    mesh_ = writer_.AddMesh();
    std::vector<double> xyz = PlaneNodes(10, 10);
    writer_.AddMeshNodes(mesh_, 100, 3, xyz.data());
    std::vector<int> quads, triangles;
    for (int e = 0; e < 10; ++e) quads.insert(quads.end(), {e, e + 1, e + 11, e + 10});
    for (int e = 0; e < 5; ++e) triangles.insert(triangles.end(), {e + 50, e + 51, e + 61});
    ZORSimArray<ZORSimCSetID> blocks;
    blocks.Append(writer_.AddMeshElements(mesh_, 10, "CPE4", 4, quads.data()));
    blocks.Append(writer_.AddMeshElements(mesh_, 5, "S3R", 3, triangles.data()));
    cow_List<cow_String> names = {"CPE4", "S3R"};
    writer_.ConnectMeshEltypes(mesh_, blocks, names);
    field_ = writer_.AddSimpleNodeField(mesh_, "U_D", 3);
  }

  ZORSimDrawerID Drawer(ZORSimDynamicID field, int i = 0) const {
    return FieldDrawers(root_, field).at(static_cast<std::size_t>(i));
  }
  std::int64_t ValueCount(ZORSimDrawerID drawer) const {
    return Object(root_, drawer.id).values->valueCount;
  }
  ZORSimCSetID IncrementSet() const { return StepIncrementSet(root_, Step(root_, 0)); }
  // A second step, of the static type, under int key 1.
  ZORSimDynamicID AddStaticStep() {
    const ZORSimDynamicID step = root_.CreateDataRecord(ZORSimKeys::kStaticStep);
    At(root_, History(root_)).Associate(ZORSimKeys::kHistorySteps, 1, step, 1);
    return step;
  }
  // Node n's values, 3 per node: n + 0.1, n + 0.2, n + 0.3 (plus an offset per increment).
  static std::vector<double> NodeValues(const std::vector<int>& nodes, double offset = 0.0) {
    std::vector<double> values;
    for (int n : nodes)
      for (int c = 1; c <= 3; ++c) values.push_back(offset + n + 0.1 * c);
    return values;
  }

  ZORSimDynamicID mesh_;
  ZORSimDynamicID field_;
};

TEST_F(WriterFieldWritingTest, AStepBeyondTheLastIsRejectedWithTheExactText) {
  cow_List<int> nodes = {0, 1};
  std::vector<double> values = NodeValues({0, 1});
  CaptureCerr cerr;
  EXPECT_FALSE(writer_.WriteSimpleNodeField(field_, mesh_, 2, 1, 3, nodes, values.data()));
  EXPECT_EQ(cerr.Text(), kBeyondLast);
  EXPECT_FALSE(writer_.WriteSimpleNodeField(mesh_, "U_D", 2, 1, 3, nodes, values.data()));
  EXPECT_EQ(cerr.Text(), std::string(kBeyondLast) + kBeyondLast);
  // Nothing was written, not even the increment set.
  EXPECT_EQ(ValueCount(Drawer(field_)), 0);
  EXPECT_EQ(IncrementSet().Size(), 0);
  EXPECT_EQ(ZORSimCollection(root_.Context(), IncrementSet().collection).Space(), 0);
  EXPECT_FALSE(root_.Context().Database().InTransaction());
}

TEST_F(WriterFieldWritingTest, AStepBelowOneIsRejectedLikeAStepBeyondTheLast) {
  cow_List<int> nodes = {0};
  std::vector<double> values = NodeValues({0});
  CaptureCerr cerr;
  EXPECT_FALSE(writer_.WriteSimpleNodeField(field_, mesh_, 0, 1, 3, nodes, values.data()));
  EXPECT_FALSE(writer_.WriteSimpleNodeField(mesh_, "U_D", -3, 1, 3, nodes, values.data()));
  EXPECT_EQ(cerr.Text(), std::string(kBelowOne) + kBelowOne);
  EXPECT_EQ(ValueCount(Drawer(field_)), 0);
  EXPECT_EQ(IncrementSet().Size(), 0);
}

TEST_F(WriterFieldWritingTest, TheIntegrationPointWriteRejectsStepsSilently) {
  const ZORSimDynamicID field = writer_.AddSimpleElementField(mesh_, "S0", 1);
  cow_List<int> elements = {10};
  std::vector<double> values = {1.0};
  CaptureCerr cerr;
  EXPECT_FALSE(
      writer_.WriteSimpleElementClassField(field, mesh_, 2, 1, 1, 1, elements, values.data()));
  EXPECT_FALSE(
      writer_.WriteSimpleElementClassField(field, mesh_, 0, 1, 1, 1, elements, values.data()));
  AddStaticStep();
  EXPECT_FALSE(
      writer_.WriteSimpleElementClassField(field, mesh_, 2, 2, 1, 1, elements, values.data()));
  EXPECT_EQ(cerr.Text(), "");
  EXPECT_EQ(ValueCount(Drawer(field, 1)), 0);
}

TEST_F(WriterFieldWritingTest, AStaticStepAcceptsOnlyIncrementOne) {
  AddStaticStep();
  cow_List<int> nodes = {0};
  std::vector<double> values = NodeValues({0});
  CaptureCerr cerr;
  EXPECT_FALSE(writer_.WriteSimpleNodeField(field_, mesh_, 2, 2, 3, nodes, values.data()));
  EXPECT_FALSE(writer_.WriteSimpleNodeField(mesh_, "U_D", 2, 0, 3, nodes, values.data()));
  EXPECT_EQ(cerr.Text(), std::string(kStatic) + kStatic);
  // Increment 1 passes; the step has no field of that name, so nothing is written.
  EXPECT_TRUE(writer_.WriteSimpleNodeField(mesh_, "U_D", 2, 1, 3, nodes, values.data()));
  EXPECT_EQ(ValueCount(Drawer(field_)), 0);
}

TEST_F(WriterFieldWritingTest, IncrementOneExtendsTheIncrementSetToZeroAndOne) {
  cow_List<int> nodes = {3};
  std::vector<double> values = NodeValues({3});
  ASSERT_TRUE(writer_.WriteSimpleNodeField(field_, mesh_, 1, 1, 3, nodes, values.data()));
  EXPECT_EQ(ZORSimCollection(root_.Context(), IncrementSet().collection).Space(), 2);
  EXPECT_EQ(Members(IncrementSet()), Range(0, 2));
  const ZORSimDynamicID stored = At(root_, Step(root_, 0)).Follow(ZORSimKeys::kStepIncrements, 1);
  EXPECT_EQ(At(root_, Step(root_, 0)).FollowList(ZORSimKeys::kStepIncrements, 1).Size(), 1);

  ASSERT_TRUE(writer_.WriteSimpleNodeField(field_, mesh_, 1, 1, 3, nodes, values.data()));
  EXPECT_EQ(ZORSimCollection(root_.Context(), IncrementSet().collection).Space(), 2);
  EXPECT_EQ(At(root_, Step(root_, 0)).Follow(ZORSimKeys::kStepIncrements, 1), stored);
  EXPECT_EQ(At(root_, Step(root_, 0)).FollowList(ZORSimKeys::kStepIncrements, 1).Size(), 1);
}

TEST_F(WriterFieldWritingTest, NodesAreWrittenInTheCallersOrderComponentsFastest) {
  cow_List<int> nodes = {5, 2, 9};
  const std::vector<double> values = {5.1, 5.2, 5.3, 2.1, 2.2, 2.3, 9.1, 9.2, 9.3};
  std::vector<double> buffer = values;
  ASSERT_TRUE(writer_.WriteSimpleNodeField(field_, mesh_, 1, 1, 3, nodes, buffer.data()));
  EXPECT_EQ(buffer, values);  // the caller's array is read, not changed

  const auto dims = DrawerDims(root_, Drawer(field_));
  EXPECT_EQ(Members(dims[0]), std::vector<int>{1});
  const std::vector<double> all = ReadIncrement(root_, Drawer(field_), 1);
  ASSERT_EQ(all.size(), 300u);
  for (int n = 0; n < 100; ++n)
    for (int c = 0; c < 3; ++c) {
      const double expected = (n == 5 || n == 2 || n == 9) ? n + 0.1 * (c + 1) : 0.0;
      EXPECT_DOUBLE_EQ(all[static_cast<std::size_t>(3 * n + c)], expected) << n << " " << c;
    }
}

TEST_F(WriterFieldWritingTest, EachIncrementHasItsOwnValuesAndTheDrawerGrowsInWriteOrder) {
  std::vector<int> members = Range(0, 100);
  cow_List<int> nodes(members);
  std::vector<double> third = NodeValues(members, 3000.0);
  std::vector<double> first = NodeValues(members, 1000.0);
  ASSERT_TRUE(writer_.WriteSimpleNodeField(field_, mesh_, 1, 3, 3, nodes, third.data()));
  EXPECT_EQ(Members(IncrementSet()), Range(0, 4));
  ASSERT_TRUE(writer_.WriteSimpleNodeField(field_, mesh_, 1, 1, 3, nodes, first.data()));
  EXPECT_EQ(Members(IncrementSet()), Range(0, 4));
  EXPECT_EQ(Members(DrawerDims(root_, Drawer(field_))[0]), (std::vector<int>{3, 1}));
  EXPECT_EQ(ReadIncrement(root_, Drawer(field_), 3), third);
  EXPECT_EQ(ReadIncrement(root_, Drawer(field_), 1), first);

  // Overwriting a subset leaves the other values of the increment as they are.
  cow_List<int> one = {7};
  std::vector<double> seven = {-1, -2, -3};
  ASSERT_TRUE(writer_.WriteSimpleNodeField(field_, mesh_, 1, 1, 3, one, seven.data()));
  std::vector<double> expected = first;
  for (int c = 0; c < 3; ++c) expected[static_cast<std::size_t>(21 + c)] = seven[c];
  EXPECT_EQ(ReadIncrement(root_, Drawer(field_), 1), expected);
  EXPECT_EQ(ReadIncrement(root_, Drawer(field_), 3), third);
}

TEST_F(WriterFieldWritingTest, ByNameWritesEveryFieldOfTheStepWithThatName) {
  const ZORSimDynamicID twin = writer_.AddSimpleNodeField(mesh_, "U_D", 3);
  const ZORSimDynamicID other = writer_.AddSimpleNodeField(mesh_, "V_D", 3);
  cow_List<int> nodes = {4};
  std::vector<double> values = NodeValues({4});
  ASSERT_TRUE(writer_.WriteSimpleNodeField(mesh_, "U_D", 1, 1, 3, nodes, values.data()));
  for (ZORSimDynamicID field : {field_, twin}) {
    const auto all = ReadIncrement(root_, Drawer(field), 1);
    EXPECT_EQ(std::vector<double>(all.begin() + 12, all.begin() + 15), values);
  }
  EXPECT_EQ(ValueCount(Drawer(other)), 0);
}

TEST_F(WriterFieldWritingTest, ANameNoFieldHasWritesNothingAndReturnsTrue) {
  cow_List<int> nodes = {4};
  std::vector<double> values = NodeValues({4});
  EXPECT_TRUE(writer_.WriteSimpleNodeField(mesh_, "PRESS", 1, 1, 3, nodes, values.data()));
  EXPECT_TRUE(writer_.WriteSimpleNodeField(mesh_, "u_d", 1, 1, 3, nodes, values.data()));
  EXPECT_EQ(ValueCount(Drawer(field_)), 0);
}

TEST_F(WriterFieldWritingTest, CountsThatDoNotMatchTheDrawerAreRefusedAndNothingIsCommitted) {
  cow_List<int> nodes = {1, 2};
  std::vector<double> values(6, 1.0);
  EXPECT_THROW(writer_.WriteSimpleNodeField(field_, mesh_, 1, 1, 2, nodes, values.data()),
               ZORSimError);
  EXPECT_THROW(writer_.WriteSimpleNodeField(field_, mesh_, 1, 1, 4, nodes, values.data()),
               ZORSimError);
  // The increment set had been extended inside the refused write: rolled back with it.
  EXPECT_EQ(IncrementSet().Size(), 0);
  EXPECT_EQ(ZORSimCollection(root_.Context(), IncrementSet().collection).Space(), 0);
  EXPECT_EQ(ValueCount(Drawer(field_)), 0);
  EXPECT_FALSE(root_.Context().Database().InTransaction());
}

TEST_F(WriterFieldWritingTest, ANodeOutsideTheMeshOrANegativeIncrementIsRefused) {
  cow_List<int> nodes = {1, 100};
  std::vector<double> values(6, 1.0);
  EXPECT_THROW(writer_.WriteSimpleNodeField(field_, mesh_, 1, 1, 3, nodes, values.data()),
               ZORSimError);
  cow_List<int> one = {1};
  EXPECT_THROW(writer_.WriteSimpleNodeField(field_, mesh_, 1, -1, 3, one, values.data()),
               ZORSimError);
  EXPECT_EQ(IncrementSet().Size(), 0);
  EXPECT_EQ(ValueCount(Drawer(field_)), 0);
}

TEST_F(WriterFieldWritingTest, ByNameSkipsTheSameNamedFieldOfAnotherMesh) {
  const ZORSimDynamicID mesh = writer_.AddMesh();
  std::vector<double> xyz = PlaneNodes(2, 2);
  writer_.AddMeshNodes(mesh, 4, 3, xyz.data());
  const ZORSimDynamicID field = writer_.AddSimpleNodeField(mesh, "U_D", 3);
  cow_List<int> nodes = {3};
  std::vector<double> values = NodeValues({3});
  ASSERT_TRUE(writer_.WriteSimpleNodeField(mesh, "U_D", 1, 1, 3, nodes, values.data()));
  EXPECT_EQ(ReadIncrement(root_, Drawer(field), 1),
            (std::vector<double>{0, 0, 0, 0, 0, 0, 0, 0, 0, 3.1, 3.2, 3.3}));
  EXPECT_EQ(ValueCount(Drawer(field_)), 0);
}

TEST_F(WriterFieldWritingTest, IntegrationPointValuesGoElementByPointByComponent) {
  const ZORSimDynamicID field = writer_.AddSimpleElementField(mesh_, "S0", 2);
  const ZORSimDrawerID quads = Drawer(field, 0);
  const ZORSimDrawerID triangles = Drawer(field, 1);
  cow_List<int> elements = {3, 1};
  std::vector<double> values;
  for (int e : {3, 1})
    for (int p = 0; p < 4; ++p)
      for (int c = 0; c < 2; ++c) values.push_back(100 * e + 10 * p + c);
  ASSERT_TRUE(
      writer_.WriteSimpleElementClassField(field, mesh_, 1, 1, 4, 2, elements, values.data()));
  EXPECT_EQ(ValueCount(triangles), 0);
  EXPECT_EQ(Members(IncrementSet()), Range(0, 2));
  const std::vector<double> all = ReadIncrement(root_, quads, 1);
  ASSERT_EQ(all.size(), 10u * 4 * 2);
  for (int e = 0; e < 10; ++e)
    for (int p = 0; p < 4; ++p)
      for (int c = 0; c < 2; ++c) {
        const double expected = (e == 3 || e == 1) ? 100 * e + 10 * p + c : 0.0;
        EXPECT_EQ(all[static_cast<std::size_t>((e * 4 + p) * 2 + c)], expected);
      }

  cow_List<int> triangle = {12};
  std::vector<double> pair = {7.5, 8.5};
  ASSERT_TRUE(
      writer_.WriteSimpleElementClassField(field, mesh_, 1, 1, 1, 2, triangle, pair.data()));
  const std::vector<double> tri = ReadIncrement(root_, triangles, 1);
  EXPECT_EQ(tri, (std::vector<double>{0, 0, 0, 0, 7.5, 8.5, 0, 0, 0, 0}));
}

TEST_F(WriterFieldWritingTest, ElementsOfTwoClassesMatchNoDrawerAndWriteNothing) {
  const ZORSimDynamicID field = writer_.AddSimpleElementField(mesh_, "S0", 1);
  cow_List<int> elements = {0, 12};
  std::vector<double> values(8, 1.0);
  EXPECT_TRUE(
      writer_.WriteSimpleElementClassField(field, mesh_, 1, 1, 4, 1, elements, values.data()));
  EXPECT_EQ(ValueCount(Drawer(field, 0)), 0);
  EXPECT_EQ(ValueCount(Drawer(field, 1)), 0);
}

TEST_F(WriterFieldWritingTest, IntegrationPointCountsThatDoNotMatchAreRefused) {
  const ZORSimDynamicID field = writer_.AddSimpleElementField(mesh_, "S0", 1);
  cow_List<int> elements = {0};
  std::vector<double> values(4, 1.0);
  EXPECT_THROW(
      writer_.WriteSimpleElementClassField(field, mesh_, 1, 1, 3, 1, elements, values.data()),
      ZORSimError);
  EXPECT_EQ(ValueCount(Drawer(field, 0)), 0);
  EXPECT_EQ(IncrementSet().Size(), 0);
}

TEST_F(WriterFieldWritingTest, ValuesSurviveSaveAndTheSecondSaveWritesOnlyTheNewIncrement) {
  std::vector<int> members = Range(0, 100);
  cow_List<int> nodes(members);
  std::vector<double> first = NodeValues(members, 1000.0);
  std::vector<double> second = NodeValues(members, 2000.0);
  ASSERT_TRUE(writer_.WriteSimpleNodeField(field_, mesh_, 1, 1, 3, nodes, first.data()));
  writer_.SaveContext();
  const std::int64_t firstSave = root_.Context().Database().LastSaveBytes();
  ASSERT_TRUE(writer_.WriteSimpleNodeField(field_, mesh_, 1, 2, 3, nodes, second.data()));
  writer_.SaveContext();
  const std::int64_t secondSave = root_.Context().Database().LastSaveBytes();
  EXPECT_LT(secondSave, firstSave / 10) << firstSave << " then " << secondSave;

  const ZORSrvPosition reopened = Open();
  const ZORSimDynamicID field = reopened.Context().Database().Handle(field_.object);
  const auto drawers = FieldDrawers(reopened, field);
  ASSERT_EQ(drawers.size(), 1u);
  EXPECT_EQ(ReadIncrement(reopened, drawers[0], 1), first);
  EXPECT_EQ(ReadIncrement(reopened, drawers[0], 2), second);
  EXPECT_EQ(Members(StepIncrementSet(reopened, Step(reopened, 0))), Range(0, 3));
}

}  // namespace
