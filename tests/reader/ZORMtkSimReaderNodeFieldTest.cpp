#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/ZORStream.h"
#include "reader/ZORMtkSimReader.h"
#include "reader/ZORReaderTestMeshes.h"

// Nodal field reads: values land at the node's position in the region, later drawers and
// higher auxiliary indices win, and the three step problems are reported by name.

namespace {

constexpr double kUntouched = -777.0;

// Value of node n, component c, at increment i: distinct for every triple.
double Value(int node, int component, int increment = 1) {
  return 100.0 * increment + node + 0.1 * component;
}

std::vector<double> NodalValues(const std::vector<int>& nodes, int components, int increment = 1) {
  std::vector<double> values;
  for (int node : nodes)
    for (int c = 0; c < components; ++c) values.push_back(Value(node, c, increment));
  return values;
}

class ZORMtkSimReaderNodeFieldTest : public ::testing::Test {
 protected:
  ZORTestSourceDatabase db;
  ZORMixedMesh mixed = ZORMixedMesh::Build(db);
  ZORSimDynamicID staticStep = db.AddStaticStep();
  ZORSimDynamicID incrementStep = db.AddIncrementStep({1, 2, 4});
  ZORMtkSimReader reader;
  std::vector<double> values = std::vector<double>(14 * 3, kUntouched);

  void Scope(const cow_List<int>& elements) {
    reader.SetElsetRegion(db.Root(), mixed.mesh, elements);
  }
  // The value at region position `position`, component c.
  double At(int position, int c, int components = 3) const {
    return values[static_cast<std::size_t>(position * components + c)];
  }
};

TEST_F(ZORMtkSimReaderNodeFieldTest, ValuesFollowNodeListOfPartialRegion) {
  const ZORSimDynamicID field = db.AddField(staticStep, "U_D");
  const std::vector<int> all = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
  db.AddNodalDrawer(field, mixed.mesh, all, 3, NodalValues(all, 3));
  Scope({3, 1});
  ASSERT_TRUE(reader.GetSimpleNodeField(field, 1, 1, 27, values.data()));
  for (int i = 0; i < reader.numNodes; ++i)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(At(i, c), Value(reader.nodeList[i], c)) << i;
  EXPECT_EQ(values[27], kUntouched);
}

TEST_F(ZORMtkSimReaderNodeFieldTest, UnorderedDrawerCoveringPartOfRegionWritesOnlyItsNodes) {
  const ZORSimDynamicID field = db.AddField(staticStep, "U_D");
  db.AddNodalDrawer(field, mixed.mesh, {12, 2, 13}, 3, NodalValues({12, 2, 13}, 3));
  Scope({3, 1});  // nodes 1 2 4 5 7 8 10 11 12
  ASSERT_TRUE(reader.GetSimpleNodeField("U_D", 1, 1, 27, values.data()));
  EXPECT_EQ(At(0, 0), kUntouched);
  EXPECT_EQ(At(1, 0), Value(2, 0));
  EXPECT_EQ(At(1, 2), Value(2, 2));
  EXPECT_EQ(At(8, 1), Value(12, 1));
  for (int i = 2; i < 8; ++i) EXPECT_EQ(At(i, 0), kUntouched) << i;
}

TEST_F(ZORMtkSimReaderNodeFieldTest, LaterDrawerWinsWhereDrawersOverlap) {
  const ZORSimDynamicID field = db.AddField(staticStep, "NT");
  db.AddNodalDrawer(field, mixed.mesh, {0, 1}, 1, {1.0, 2.0});
  db.AddNodalDrawer(field, mixed.mesh, {1, 3}, 1, {20.0, 30.0});
  Scope({});
  ASSERT_TRUE(reader.GetSimpleNodeField(field, 1, 1, 14, values.data()));
  EXPECT_EQ(values[0], 1.0);
  EXPECT_EQ(values[1], 20.0);
  EXPECT_EQ(values[3], 30.0);
  EXPECT_EQ(values[2], kUntouched);
}

TEST_F(ZORMtkSimReaderNodeFieldTest, EveryRecordOfTheNameIsReadInListOrder) {
  const ZORSimDynamicID first = db.AddField(staticStep, "NT");
  db.AddNodalDrawer(first, mixed.mesh, {0, 1}, 1, {1.0, 2.0});
  const ZORSimDynamicID second = db.AddField(staticStep, "NT");
  db.AddNodalDrawer(second, mixed.mesh, {1}, 1, {5.0});
  Scope({});
  ASSERT_TRUE(reader.GetSimpleNodeField("NT", 1, 1, 14, values.data()));
  EXPECT_EQ(values[0], 1.0);
  EXPECT_EQ(values[1], 5.0);
}

TEST_F(ZORMtkSimReaderNodeFieldTest,
       DrawerOutsideRegionMissingNameNonFieldOrOtherStepWriteNothing) {
  const ZORSimDynamicID field = db.AddField(staticStep, "U_D");
  db.AddNodalDrawer(field, mixed.mesh, {13}, 3, NodalValues({13}, 3));
  const ZORSimDynamicID notAField = db.AddField(staticStep, "NT", ZORSimKeys::kFieldOutputRecord);
  db.AddNodalDrawer(notAField, mixed.mesh, {0}, 1, {9.0});
  Scope({4});
  EXPECT_TRUE(reader.GetSimpleNodeField(field, 1, 1, 9, values.data()));
  EXPECT_TRUE(reader.GetSimpleNodeField("V_D", 1, 1, 9, values.data()));
  EXPECT_TRUE(reader.GetSimpleNodeField(notAField, 1, 1, 9, values.data()));
  EXPECT_TRUE(reader.GetSimpleNodeField("NT", 1, 1, 9, values.data()));
  EXPECT_TRUE(reader.GetSimpleNodeField(field, 2, 1, 9, values.data()));  // a field of step 1
  for (double v : values) EXPECT_EQ(v, kUntouched);
}

TEST_F(ZORMtkSimReaderNodeFieldTest, IncrementDimensionSelectsTheRequestedIncrement) {
  const ZORSimDynamicID field = db.AddField(incrementStep, "U_D");
  std::vector<double> stored = NodalValues({5, 0}, 2, 1);
  const std::vector<double> fourth = NodalValues({5, 0}, 2, 4);
  stored.insert(stored.end(), fourth.begin(), fourth.end());
  db.AddDrawer(field,
               {db.Increments({1, 4}), db.Set(db.NodeCollection(mixed.mesh), {5, 0}),
                db.Range(db.ComponentCollection(), 0, 2)},
               stored);
  Scope({});
  ASSERT_TRUE(reader.GetSimpleNodeField(field, 2, 4, 28, values.data()));
  EXPECT_EQ(At(0, 1, 2), Value(0, 1, 4));
  EXPECT_EQ(At(5, 0, 2), Value(5, 0, 4));
  ASSERT_TRUE(reader.GetSimpleNodeField(field, 2, 1, 28, values.data()));
  EXPECT_EQ(At(0, 1, 2), Value(0, 1, 1));
  EXPECT_EQ(At(5, 0, 2), Value(5, 0, 1));
}

TEST_F(ZORMtkSimReaderNodeFieldTest, DrawerWithoutTheIncrementIsPassedOver) {
  const ZORSimDynamicID field = db.AddField(incrementStep, "U_D");
  db.AddDrawer(field,
               {db.Increments({1}), db.Set(db.NodeCollection(mixed.mesh), {0}),
                db.Range(db.ComponentCollection(), 0, 1)},
               {3.0});
  Scope({});
  EXPECT_TRUE(reader.GetSimpleNodeField(field, 2, 2, 14, values.data()));
  EXPECT_EQ(values[0], kUntouched);
}

// The stored value of a drawer over (increment, a, b, node, d, component) at the given indices.
double Stored(int a, int b, int node, int d, int c) {
  return 10000.0 * a + 1000.0 * b + 10.0 * node + d + 0.1 * c;
}

TEST_F(ZORMtkSimReaderNodeFieldTest, HighestAuxiliaryIndicesWin) {
  const ZORSimCollectionID first = db.FirstAuxiliary(incrementStep, 2);
  const std::vector<int> nodes = {7, 3, 11};
  const int nA = 2, nB = 3, nD = 2, nComp = 2;
  std::vector<double> stored;
  for (int a = 0; a < nA; ++a)
    for (int b = 0; b < nB; ++b)
      for (int node : nodes)
        for (int d = 0; d < nD; ++d)
          for (int c = 0; c < nComp; ++c) stored.push_back(Stored(a, b, node, d, c));
  const ZORSimDynamicID field = db.AddField(incrementStep, "U_D");
  db.AddDrawer(
      field,
      {db.Increments({2}), db.Range(first, 0, nA), db.Range(db.SecondAuxiliary(nB), 0, nB),
       db.Set(db.NodeCollection(mixed.mesh), nodes), db.Range(db.ThirdAuxiliary(nD), 0, nD),
       db.Range(db.ComponentCollection(), 0, nComp)},
      stored);
  Scope({});
  ASSERT_TRUE(reader.GetSimpleNodeField(field, 2, 2, 28, values.data()));
  // Written in the nesting a, b, node, d, c, every later entry overwriting an earlier one.
  std::vector<double> expected(28, kUntouched);
  for (int a = 0; a < nA; ++a)
    for (int b = 0; b < nB; ++b)
      for (int node : nodes)
        for (int d = 0; d < nD; ++d)
          for (int c = 0; c < nComp; ++c)
            expected[static_cast<std::size_t>(node * nComp + c)] = Stored(a, b, node, d, c);
  EXPECT_EQ(std::vector<double>(values.begin(), values.begin() + 28), expected);
  EXPECT_EQ(values[7 * 2 + 1], Stored(1, 2, 7, 1, 1));
}

class ZORMtkSimReaderNodeFieldMessageTest : public ZORMtkSimReaderNodeFieldTest {
 protected:
  std::ostringstream errors;
  void SetUp() override { aio_cerr.SetTarget(&errors); }
  void TearDown() override { aio_cerr.SetTarget(nullptr); }
};

TEST_F(ZORMtkSimReaderNodeFieldMessageTest, StepProblemsByNameAreReportedByExactText) {
  Scope({});
  EXPECT_FALSE(reader.GetSimpleNodeField("U_D", 3, 1, 42, values.data()));
  EXPECT_FALSE(reader.GetSimpleNodeField("U_D", 0, 1, 42, values.data()));
  EXPECT_FALSE(reader.GetSimpleNodeField("U_D", 1, 2, 42, values.data()));
  EXPECT_FALSE(reader.GetSimpleNodeField("U_D", 2, 3, 42, values.data()));
  EXPECT_EQ(errors.str(),
            " ZORMtkSimReader::GetSimpleNodeField: stepNo > numTasks \n"
            " ZORMtkSimReader::GetSimpleNodeField: stepNo > numTasks \n"
            " ZORMtkSimReader::GetSimpleNodeField: static task record problem \n"
            " ZORMtkSimReader::GetSimpleNodeField: incrementNo not found \n");
}

TEST_F(ZORMtkSimReaderNodeFieldMessageTest, StepProblemsByRecordAreSilent) {
  const ZORSimDynamicID field = db.AddField(staticStep, "U_D");
  Scope({});
  EXPECT_FALSE(reader.GetSimpleNodeField(field, 3, 1, 42, values.data()));
  EXPECT_FALSE(reader.GetSimpleNodeField(field, 1, 2, 42, values.data()));
  EXPECT_FALSE(reader.GetSimpleNodeField(field, 2, 3, 42, values.data()));
  EXPECT_EQ(errors.str(), "");
}

class ZORMtkSimReaderNodeFieldTimeTest : public ZORMtkSimReaderNodeFieldTest {
 protected:
  ZORSimDynamicID field;
  void SetUp() override {
    field = db.AddField(incrementStep, "NT");
    db.AddDrawer(field,
                 {db.Increments({1, 2}), db.Set(db.NodeCollection(mixed.mesh), {0, 1}),
                  db.Range(db.ComponentCollection(), 0, 1)},
                 {1.0, 10.0, 3.0, 30.0});
    Scope({});
  }
  std::vector<double> At(double time1, double time2, double time) {
    std::vector<double> out(14, kUntouched);
    EXPECT_TRUE(
        reader.GetInterpolatedSimpleNodeField(field, 2, 1, time1, 2, time2, time, 14, out.data()));
    return {out[0], out[1], out[2]};
  }
};

TEST_F(ZORMtkSimReaderNodeFieldTimeTest, InterpolatesAtEndsInsideAndOutside) {
  EXPECT_EQ(At(0.5, 1.5, 0.5), (std::vector<double>{1.0, 10.0, 0.0}));
  EXPECT_EQ(At(0.5, 1.5, 1.5), (std::vector<double>{3.0, 30.0, 0.0}));
  EXPECT_EQ(At(0.5, 1.5, 0.75), (std::vector<double>{1.5, 15.0, 0.0}));
  EXPECT_EQ(At(0.5, 1.5, 2.5), (std::vector<double>{5.0, 50.0, 0.0}));
  EXPECT_EQ(At(0.5, 1.5, 0.0), (std::vector<double>{0.0, 0.0, 0.0}));
}

TEST_F(ZORMtkSimReaderNodeFieldTimeTest, NoTimeSpanTakesSecondIncrement) {
  EXPECT_EQ(At(1.0, 1.0, 0.2), (std::vector<double>{3.0, 30.0, 0.0}));
  EXPECT_EQ(At(2.0, 1.0, 7.0), (std::vector<double>{3.0, 30.0, 0.0}));
}

TEST_F(ZORMtkSimReaderNodeFieldTest, SumCountsNodesWithoutValuesAsZero) {
  const ZORSimDynamicID field = db.AddField(staticStep, "U_D");
  db.AddNodalDrawer(field, mixed.mesh, {1, 12, 13}, 2, {1.0, 2.0, 10.0, 20.0, 100.0, 200.0});
  Scope({3, 1});  // node 13 is outside, node 12 inside, other region nodes have no values
  double sums[2] = {kUntouched, kUntouched};
  reader.SumSimpleNodeField(field, 1, 1, sums, 2);
  EXPECT_EQ(sums[0], 11.0);
  EXPECT_EQ(sums[1], 22.0);
  reader.SumSimpleNodeField(field, 5, 1, sums, 2);
  EXPECT_EQ(sums[0], 0.0);
}

}  // namespace
