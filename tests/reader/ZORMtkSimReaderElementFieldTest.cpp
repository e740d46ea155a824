#include <gtest/gtest.h>

#include <vector>

#include "reader/ZORMtkSimReader.h"
#include "reader/ZORReaderTestMeshes.h"

// Integration-point reads: the result follows the caller's element order, and only a drawer
// that holds every requested element is read.

namespace {

constexpr double kUntouched = -777.0;

double Value(int element, int point, int component, int increment = 1) {
  return 1000.0 * increment + 100.0 * element + 10.0 * point + component;
}

std::vector<double> ElementValues(const std::vector<int>& elements, int points, int components,
                                  int increment = 1) {
  std::vector<double> values;
  for (int e : elements)
    for (int p = 0; p < points; ++p)
      for (int c = 0; c < components; ++c) values.push_back(Value(e, p, c, increment));
  return values;
}

class ZORMtkSimReaderElementFieldTest : public ::testing::Test {
 protected:
  ZORTestSourceDatabase db;
  ZORMixedMesh mixed = ZORMixedMesh::Build(db);
  ZORSimDynamicID staticStep = db.AddStaticStep();
  ZORSimDynamicID incrementStep = db.AddIncrementStep({1, 2});
  ZORSimDynamicID stress =
      db.AddField(staticStep, "PRESS", ZORTestSourceDatabase::kPointFieldRecord);
  ZORMtkSimReader reader;
  std::vector<double> values = std::vector<double>(40, kUntouched);

  void SetUp() override {
    db.AddDrawer(stress, {mixed.hexes, Points(8), Components(2)}, ElementValues({0, 1}, 8, 2));
    db.AddDrawer(stress, {mixed.tets, Points(1), Components(2)}, ElementValues({2, 3}, 1, 2));
    reader.SetElsetRegion(db.Root(), mixed.mesh, {});
  }
  ZORSimCSetID Points(int count) { return db.Range(db.PointCollection(), 0, count); }
  ZORSimCSetID Components(int count) { return db.Range(db.ComponentCollection(), 0, count); }
  bool Read(const ZORSimDynamicID& field, int step, int increment, std::vector<int> elements) {
    return reader.GetSimpleElementClassField(field, step, increment, elements.data(),
                                             static_cast<int>(elements.size()), 8, 40,
                                             values.data());
  }
};

TEST_F(ZORMtkSimReaderElementFieldTest, ValuesComeElementByElementPointByPoint) {
  ASSERT_TRUE(Read(stress, 1, 1, {0, 1}));
  EXPECT_EQ(std::vector<double>(values.begin(), values.begin() + 32), ElementValues({0, 1}, 8, 2));
  EXPECT_EQ(values[32], kUntouched);
}

TEST_F(ZORMtkSimReaderElementFieldTest, ReversedListGivesReversedElements) {
  ASSERT_TRUE(Read(stress, 1, 1, {1, 0}));
  EXPECT_EQ(std::vector<double>(values.begin(), values.begin() + 32), ElementValues({1, 0}, 8, 2));
}

TEST_F(ZORMtkSimReaderElementFieldTest, SubsetOfDrawerElementsIsRead) {
  ASSERT_TRUE(Read(stress, 1, 1, {3}));
  EXPECT_EQ(values[0], Value(3, 0, 0));
  EXPECT_EQ(values[1], Value(3, 0, 1));
  EXPECT_EQ(values[2], kUntouched);
}

TEST_F(ZORMtkSimReaderElementFieldTest, DrawerLackingOneElementOrRepeatedListReadsNothing) {
  EXPECT_TRUE(Read(stress, 1, 1, {0, 2}));
  EXPECT_TRUE(Read(stress, 1, 1, {0, 0}));
  EXPECT_TRUE(Read(stress, 1, 1, {4}));
  for (double v : values) EXPECT_EQ(v, kUntouched);
}

TEST_F(ZORMtkSimReaderElementFieldTest, FieldWithoutPointDimensionHasOnePointPerElement) {
  const ZORSimDynamicID energy =
      db.AddField(staticStep, "EPOT", ZORTestSourceDatabase::kPointFieldRecord);
  db.AddDrawer(energy, {mixed.hexes, Components(3)}, ElementValues({0, 1}, 1, 3));
  ASSERT_TRUE(Read(energy, 1, 1, {1, 0}));
  EXPECT_EQ(std::vector<double>(values.begin(), values.begin() + 6), ElementValues({1, 0}, 1, 3));
  EXPECT_EQ(values[6], kUntouched);
}

TEST_F(ZORMtkSimReaderElementFieldTest, StepFailuresAndForeignRecordsGiveFalse) {
  EXPECT_FALSE(Read(stress, 3, 1, {0}));
  EXPECT_FALSE(Read(stress, 1, 2, {0}));
  EXPECT_FALSE(Read(stress, 2, 1, {0}));  // the field belongs to step 1
  const ZORSimDynamicID notAField = db.AddField(staticStep, "CFF", ZORSimKeys::kFieldOutputRecord);
  db.AddDrawer(notAField, {mixed.hexes, Components(1)}, {1.0, 2.0});
  EXPECT_TRUE(Read(notAField, 1, 1, {0}));
  for (double v : values) EXPECT_EQ(v, kUntouched);
}

TEST_F(ZORMtkSimReaderElementFieldTest, HighestAuxiliaryIndicesWin) {
  const ZORSimCollectionID first = db.FirstAuxiliary(incrementStep, 2);
  const int nA = 2, nD = 3, nPts = 2, nComp = 1;
  const std::vector<int> elements = {3, 2};
  std::vector<double> stored;
  for (int a = 0; a < nA; ++a)
    for (int e : elements)
      for (int d = 0; d < nD; ++d)
        for (int p = 0; p < nPts; ++p) stored.push_back(1000.0 * a + 100.0 * e + 10.0 * d + p);
  const ZORSimDynamicID field =
      db.AddField(incrementStep, "PRESS", ZORTestSourceDatabase::kPointFieldRecord);
  db.AddDrawer(field,
               {db.Increments({2}), db.Range(first, 0, nA),
                db.Set(db.ElementCollection(mixed.mesh), elements),
                db.Range(db.ThirdAuxiliary(nD), 0, nD), Points(nPts), Components(nComp)},
               stored);
  ASSERT_TRUE(Read(field, 2, 2, {2, 3}));
  EXPECT_EQ(std::vector<double>(values.begin(), values.begin() + 4),
            (std::vector<double>{1220.0, 1221.0, 1320.0, 1321.0}));
  EXPECT_EQ(values[4], kUntouched);
}

TEST_F(ZORMtkSimReaderElementFieldTest, InterpolatesBetweenIncrementsInCallerOrder) {
  const ZORSimDynamicID field =
      db.AddField(incrementStep, "PRESS", ZORTestSourceDatabase::kPointFieldRecord);
  std::vector<double> stored = {1.0, 2.0, 3.0, 4.0};  // increment 1: elements 2, 3 at points 0, 1
  const std::vector<double> second = {5.0, 10.0, 15.0, 20.0};
  stored.insert(stored.end(), second.begin(), second.end());
  db.AddDrawer(field, {db.Increments({1, 2}), mixed.tets, Points(2), Components(1)}, stored);
  std::vector<int> elements = {3, 2};
  std::vector<double> out(5, kUntouched);
  ASSERT_TRUE(reader.GetInterpolatedSimpleElementClassField(field, 2, 1, 0.0, 2, 2.0, 0.5,
                                                            elements.data(), 2, 2, 4, out.data()));
  EXPECT_EQ(out, (std::vector<double>{3.0 + 0.25 * 12.0, 4.0 + 0.25 * 16.0, 1.0 + 0.25 * 4.0,
                                      2.0 + 0.25 * 8.0, kUntouched}));
  ASSERT_TRUE(reader.GetInterpolatedSimpleElementClassField(field, 2, 1, 2.0, 2, 2.0, 0.5,
                                                            elements.data(), 2, 2, 4, out.data()));
  EXPECT_EQ(out[0], 15.0);
}

}  // namespace
