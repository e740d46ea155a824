#include <gtest/gtest.h>

#include <vector>

#include "reader/ZORMtkSimReader.h"
#include "reader/ZORReaderTestMeshes.h"

// Field lookup: step and increment resolution, field names, component counts.

namespace {

std::vector<double> Ramp(int count) {
  std::vector<double> values;
  for (int i = 0; i < count; ++i) values.push_back(i + 0.5);
  return values;
}

class ZORMtkSimReaderFieldLookupTest : public ::testing::Test {
 protected:
  ZORTestSourceDatabase db;
  ZORMixedMesh mixed = ZORMixedMesh::Build(db);
  ZORMtkSimReader reader;
  ZORSimDynamicID staticStep = db.AddStaticStep();
  ZORSimDynamicID incrementStep = db.AddIncrementStep({1, 2});
  ZORSimDynamicID displacement;
  ZORSimDynamicID pressure;

  void SetUp() override {
    reader.SetElsetRegion(db.Root(), mixed.mesh, {});
    displacement = db.AddField(staticStep, "U_D");
    db.AddNodalDrawer(displacement, mixed.mesh, {0, 1, 2}, 3, Ramp(9));
    pressure = db.AddField(staticStep, "PRESS", ZORTestSourceDatabase::kPointFieldRecord);
    db.AddDrawer(pressure,
                 {mixed.hexes, db.Range(db.PointCollection(), 0, 8),
                  db.Range(db.ComponentCollection(), 0, 6)},
                 Ramp(2 * 8 * 6));
  }
};

TEST_F(ZORMtkSimReaderFieldLookupTest, FieldIdByNameIsFirstRecordOfThatName) {
  const ZORSimDynamicID again = db.AddField(staticStep, "U_D");
  EXPECT_EQ(reader.GetFieldID("U_D", 1), displacement);
  EXPECT_NE(again, displacement);
  EXPECT_EQ(reader.GetFieldID("PRESS", 1), pressure);
}

TEST_F(ZORMtkSimReaderFieldLookupTest, FieldIdFailsOnUnknownStepNameOrCase) {
  EXPECT_TRUE(reader.GetFieldID("u_d", 1).IsEmpty());
  EXPECT_TRUE(reader.GetFieldID("U_R", 1).IsEmpty());
  EXPECT_TRUE(reader.GetFieldID("U_D", 2).IsEmpty());  // step 2 holds no fields
  EXPECT_TRUE(reader.GetFieldID("U_D", 3).IsEmpty());
  EXPECT_TRUE(reader.GetFieldID("U_D", 0).IsEmpty());
  EXPECT_TRUE(reader.GetFieldID("U_D", -4).IsEmpty());
}

TEST_F(ZORMtkSimReaderFieldLookupTest, LastStepIsValidAndNextOneIsNot) {
  const ZORSimDynamicID late = db.AddField(incrementStep, "V_D");
  db.AddNodalDrawer(late, mixed.mesh, {4}, 2, {1, 2});
  EXPECT_EQ(reader.GetFieldID("V_D", 2), late);
  EXPECT_EQ(reader.GetSimpleFieldSize(late, 2, 2), 2);
  EXPECT_EQ(reader.GetSimpleFieldSize(late, 3, 1), 0);
}

TEST_F(ZORMtkSimReaderFieldLookupTest, ComponentCountOfNodalAndElementFields) {
  EXPECT_EQ(reader.GetSimpleFieldSize(displacement, 1, 1), 3);
  EXPECT_EQ(reader.GetSimpleFieldSize(pressure, 1, 1), 6);
  int size = -1;
  ASSERT_TRUE(reader.GetSimpleNodeFieldSize("PRESS", 1, 1, size));
  EXPECT_EQ(size, 6);
}

TEST_F(ZORMtkSimReaderFieldLookupTest, StaticStepAcceptsOnlyIncrementOne) {
  EXPECT_EQ(reader.GetSimpleFieldSize(displacement, 1, 2), 0);
  int size = -1;
  EXPECT_FALSE(reader.GetSimpleNodeFieldSize("U_D", 1, 2, size));
  EXPECT_EQ(size, -1);
}

TEST_F(ZORMtkSimReaderFieldLookupTest, IncrementBearingStepAcceptsOnlyItsIncrements) {
  const ZORSimDynamicID velocity = db.AddField(incrementStep, "V_D");
  db.AddNodalDrawer(velocity, mixed.mesh, {4}, 2, {1, 2});
  EXPECT_EQ(reader.GetSimpleFieldSize(velocity, 2, 1), 2);
  EXPECT_EQ(reader.GetSimpleFieldSize(velocity, 2, 2), 2);
  EXPECT_EQ(reader.GetSimpleFieldSize(velocity, 2, 0), 0);
  EXPECT_EQ(reader.GetSimpleFieldSize(velocity, 2, 3), 0);
}

TEST_F(ZORMtkSimReaderFieldLookupTest, FieldOfAnotherStepHasNoSize) {
  EXPECT_EQ(reader.GetSimpleFieldSize(displacement, 2, 1), 0);
}

TEST_F(ZORMtkSimReaderFieldLookupTest, DrawersWithoutMeshOrComponentDimensionArePassedOver) {
  const ZORSimDynamicID temperature = db.AddField(staticStep, "NT");
  db.AddDrawer(temperature, {db.Range(db.ComponentCollection(), 0, 5)}, Ramp(5));
  db.AddDrawer(temperature, {db.Set(db.NodeCollection(mixed.mesh), {0})}, Ramp(1));
  db.AddNodalDrawer(temperature, mixed.mesh, {1}, 4, Ramp(4));
  EXPECT_EQ(reader.GetSimpleFieldSize(temperature, 1, 1), 4);
}

TEST_F(ZORMtkSimReaderFieldLookupTest, SizeByNameGoesOnToNextRecordOfThatName) {
  const ZORSimDynamicID empty = db.AddField(staticStep, "RF_D");
  db.AddDrawer(empty, {db.Range(db.ComponentCollection(), 0, 5)}, Ramp(5));
  const ZORSimDynamicID second = db.AddField(staticStep, "RF_D");
  db.AddNodalDrawer(second, mixed.mesh, {3}, 2, Ramp(2));
  int size = -1;
  ASSERT_TRUE(reader.GetSimpleNodeFieldSize("RF_D", 1, 1, size));
  EXPECT_EQ(size, 2);
  EXPECT_FALSE(reader.GetSimpleNodeFieldSize("RF_R", 1, 1, size));
  EXPECT_FALSE(reader.GetSimpleNodeFieldSize("RF_D", 9, 1, size));
  EXPECT_EQ(size, 2);
}

TEST_F(ZORMtkSimReaderFieldLookupTest, RecordThatIsNotAFieldIsFoundByNameButHasNoSize) {
  const ZORSimDynamicID notAField = db.AddField(staticStep, "CF_D", ZORSimKeys::kFieldOutputRecord);
  EXPECT_EQ(reader.GetFieldID("CF_D", 1), notAField);
  EXPECT_EQ(reader.GetSimpleFieldSize(notAField, 1, 1), 0);
}

}  // namespace
