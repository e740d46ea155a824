#include <gtest/gtest.h>

#include <vector>

#include "reader/ZORMtkSimReader.h"
#include "reader/ZORReaderTestMeshes.h"
#include "support/ZORTestSentinel.h"

// Mesh access: the array sizes each operation accepts, and element boxes where the random round
// trips through the writer do not reach (nodes beyond the elements, flat and empty regions).

namespace {

class ZORMtkSimReaderMeshTest : public ::testing::Test {
 protected:
  ZORTestSourceDatabase db;
  ZORMixedMesh mixed = ZORMixedMesh::Build(db);
  ZORMtkSimReader reader;
};

struct Boxes {
  std::vector<int> elements;
  std::vector<double> low, high;
  double average = kUnwritten;
  double overallLow[3] = {kUnwritten, kUnwritten, kUnwritten};
  double overallHigh[3] = {kUnwritten, kUnwritten, kUnwritten};

  explicit Boxes(const ZORMtkSimReader& reader)
      : elements(static_cast<std::size_t>(reader.numElements), -1),
        low(static_cast<std::size_t>(reader.numElements * reader.numCoordComponents), kUnwritten),
        high(low) {
    EXPECT_TRUE(reader.GetElementBoxes(elements.data(), low.data(), high.data(), average,
                                       overallLow, overallHigh));
  }
};

// Too small (or, for coordinates and members, any other size than the exact one) gives false
// and leaves the array untouched; larger node and connectivity arrays keep their tail.
TEST_F(ZORMtkSimReaderMeshTest, ArraysOfTheWrongSizeAreRefusedUntouched) {
  reader.SetElsetRegion(db.Root(), mixed.mesh, {3, 1});  // nodes 1 2 4 5 7 8 10 11 12
  std::vector<int> ints(20, -1);
  std::vector<double> doubles(28, kUnwritten);
  EXPECT_FALSE(reader.GetNodes(8, ints.data()));
  EXPECT_FALSE(reader.FillCoordinates(26, doubles.data()));
  EXPECT_FALSE(reader.FillCoordinates(28, doubles.data()));
  EXPECT_FALSE(reader.GetElementClassMembers("C3D4", 2, ints.data()));
  EXPECT_FALSE(reader.GetElementClassMembers("CPE3", 0, ints.data()));
  EXPECT_FALSE(reader.GetElementClassConnectivity("C3D8", 7, ints.data()));
  EXPECT_FALSE(reader.GetElementClassConnectivity("C3D20", 100, ints.data()));
  EXPECT_EQ(ints, std::vector<int>(20, -1));
  EXPECT_EQ(doubles, std::vector<double>(28, kUnwritten));
  EXPECT_EQ(reader.GetElementClassCount("CPE3"), 0);
  ASSERT_TRUE(reader.GetNodes(12, ints.data()));
  EXPECT_EQ(ints[8], 12);
  EXPECT_EQ(ints[9], -1);
  ASSERT_TRUE(reader.GetElementClassConnectivity("C3D4", 5, ints.data()));
  EXPECT_EQ(std::vector<int>(ints.begin(), ints.begin() + 5), (std::vector<int>{12, 5, 11, 8, 7}));
  ASSERT_TRUE(reader.FillCoordinates(27, doubles.data()));
  EXPECT_EQ(doubles[24], 10.0);  // node 12, the last of the region
  EXPECT_EQ(doubles[27], kUnwritten);
  cow_List<cow_String> names{"already"};
  reader.GetElementClassNames(names);
  EXPECT_EQ(names, (cow_List<cow_String>{"already", "C3D4", "C3D8"}));
}

// A flat region in space gets a thin slab across its plane; a plane mesh (two coordinates per
// node) leaves the third overall coordinate alone.
TEST(ZORMtkSimReaderBoxes, FlatRegionsGetASlabAndPlaneMeshesNoThirdCoordinate) {
  ZORTestSourceDatabase db;
  const ZORSimDynamicID flat = db.AddMesh(), plane = db.AddMesh();
  db.AddNodes(flat, 3, {0, 0, 7, 2, 0, 7, 2, 1, 7, 0, 1, 7, 4, 0, 7, 4, 1, 7});
  db.AddElements(flat, "CPE4", 4, {0, 1, 2, 3, 1, 4, 5, 2});
  db.AddNodes(plane, 2, {0, 0, 2, 0, 2, 1, 0, 1});
  db.AddElements(plane, "CPE4", 4, {0, 1, 2, 3});
  ZORMtkSimReader reader;
  reader.SetElsetRegion(db.Root(), flat, {});
  const Boxes slab(reader);
  EXPECT_DOUBLE_EQ(slab.average, 2.0);
  EXPECT_EQ(std::vector<double>(slab.overallLow, slab.overallLow + 3),
            (std::vector<double>{0.0, 0.0, 7.0 - 0.02}));
  EXPECT_EQ(std::vector<double>(slab.overallHigh, slab.overallHigh + 3),
            (std::vector<double>{4.0, 1.0, 7.0 + 0.02}));
  reader.SetElsetRegion(db.Root(), plane, {});
  const Boxes boxes(reader);
  EXPECT_EQ(boxes.high, (std::vector<double>{2, 1}));
  EXPECT_EQ(boxes.overallLow[2], kUnwritten);
  EXPECT_EQ(boxes.overallHigh[2], kUnwritten);
}

TEST_F(ZORMtkSimReaderMeshTest, ARegionWithoutElementsHasZeroSizeAndNoBoxes) {
  reader.SetElsetRegion(db.Root(), DRUUnicodeString("NO-SUCH-SET"));
  double low = kUnwritten, high = kUnwritten, average = kUnwritten;
  double overallLow[3] = {kUnwritten, kUnwritten, kUnwritten}, overallHigh[3] = {};
  int element = -1;
  EXPECT_TRUE(reader.GetElementBoxes(&element, &low, &high, average, overallLow, overallHigh));
  EXPECT_EQ(reader.numElements, 0);
  EXPECT_EQ(average, 0.0);
  EXPECT_EQ(low, kUnwritten);
  EXPECT_EQ(element, -1);
  EXPECT_EQ(overallLow[0], kUnwritten);
}

}  // namespace
