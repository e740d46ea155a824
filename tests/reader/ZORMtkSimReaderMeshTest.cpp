#include <gtest/gtest.h>

#include <vector>

#include "reader/ZORMtkSimReader.h"
#include "reader/ZORReaderTestMeshes.h"

// Mesh access hands the region to the search: every array must follow the region's order.

namespace {

constexpr double kUntouched = -777.0;

class ZORMtkSimReaderMeshTest : public ::testing::Test {
 protected:
  ZORTestSourceDatabase db;
  ZORMixedMesh mixed = ZORMixedMesh::Build(db);
  ZORMtkSimReader reader;

  void Scope(const cow_List<int>& elements) {
    reader.SetElsetRegion(db.Root(), mixed.mesh, elements);
  }
};

TEST_F(ZORMtkSimReaderMeshTest, GetNodesAcceptsLargerArraysAndWritesOnlyRegionNodes) {
  Scope({3, 1});
  std::vector<int> nodes(12, -1);
  EXPECT_FALSE(reader.GetNodes(8, nodes.data()));
  EXPECT_EQ(nodes[0], -1);
  ASSERT_TRUE(reader.GetNodes(12, nodes.data()));
  EXPECT_EQ(nodes, (std::vector<int>{1, 2, 4, 5, 7, 8, 10, 11, 12, -1, -1, -1}));
}

TEST_F(ZORMtkSimReaderMeshTest, FillCoordinatesNeedsExactSizeAndFollowsNodeList) {
  Scope({3, 1});
  std::vector<double> coords(9 * 3 + 1, kUntouched);
  EXPECT_FALSE(reader.FillCoordinates(28, coords.data()));
  EXPECT_FALSE(reader.FillCoordinates(26, coords.data()));
  EXPECT_EQ(coords[0], kUntouched);
  ASSERT_TRUE(reader.FillCoordinates(27, coords.data()));
  const std::vector<double> all = ZORMixedMesh::Coordinates();
  for (int i = 0; i < reader.numNodes; ++i)
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(coords[static_cast<std::size_t>(i * 3 + c)],
                all[static_cast<std::size_t>(reader.nodeList[i] * 3 + c)])
          << "node position " << i << " component " << c;
  EXPECT_EQ(coords[24], 10.0);  // node 12, the last of the region
  EXPECT_EQ(coords[27], kUntouched);
}

TEST_F(ZORMtkSimReaderMeshTest, ClassNamesAppendInAscendingOrder) {
  Scope({});
  cow_List<cow_String> names{"already"};
  reader.GetElementClassNames(names);
  EXPECT_EQ(names, (cow_List<cow_String>{"already", "C3D4", "C3D8", "CPE3"}));
}

TEST_F(ZORMtkSimReaderMeshTest, ClassCountAndMembersOfPresentAndAbsentClasses) {
  Scope({4, 2});
  EXPECT_EQ(reader.GetElementClassCount("C3D4"), 1);
  EXPECT_EQ(reader.GetElementClassCount("C3D8"), 0);
  int member = -1;
  EXPECT_FALSE(reader.GetElementClassMembers("C3D8", 0, &member));
  std::vector<int> two(2, -1);
  EXPECT_FALSE(reader.GetElementClassMembers("C3D4", 2, two.data()));
  EXPECT_EQ(two[0], -1);
  ASSERT_TRUE(reader.GetElementClassMembers("C3D4", 1, &member));
  EXPECT_EQ(member, 2);
}

TEST_F(ZORMtkSimReaderMeshTest, ConnectivityComesElementByElementInStoredNodeOrder) {
  Scope({});
  std::vector<int> hexes(17, -1);
  EXPECT_FALSE(reader.GetElementClassConnectivity("C3D8", 15, hexes.data()));
  EXPECT_EQ(hexes[0], -1);
  ASSERT_TRUE(reader.GetElementClassConnectivity("C3D8", 17, hexes.data()));
  EXPECT_EQ(hexes, (std::vector<int>{0, 1, 4, 3, 6, 7, 10, 9, 1, 2, 5, 4, 7, 8, 11, 10, -1}));
  EXPECT_FALSE(reader.GetElementClassConnectivity("C3D20", 100, hexes.data()));
}

TEST_F(ZORMtkSimReaderMeshTest, ConnectivityOfPartialClassReadsOnlyRegionElements) {
  Scope({3, 4});
  std::vector<int> tets(4, -1);
  ASSERT_TRUE(reader.GetElementClassConnectivity("C3D4", 4, tets.data()));
  EXPECT_EQ(tets, (std::vector<int>{12, 5, 11, 8}));
}

TEST_F(ZORMtkSimReaderMeshTest, NodeRegionHasNoClasses) {
  reader.SetNodesetRegion(db.Root(), mixed.mesh, {0, 1});
  cow_List<cow_String> names;
  reader.GetElementClassNames(names);
  EXPECT_EQ(names.Size(), 0);
  std::vector<int> buffer(8, -1);
  EXPECT_FALSE(reader.GetElementClassMembers("C3D8", 2, buffer.data()));
  EXPECT_FALSE(reader.GetElementClassConnectivity("C3D8", 8, buffer.data()));
}

struct Boxes {
  std::vector<int> elements;
  std::vector<double> low, high;
  double average = kUntouched;
  double overallLow[3] = {kUntouched, kUntouched, kUntouched};
  double overallHigh[3] = {kUntouched, kUntouched, kUntouched};

  explicit Boxes(const ZORMtkSimReader& reader)
      : elements(static_cast<std::size_t>(reader.numElements), -1),
        low(static_cast<std::size_t>(reader.numElements * reader.numCoordComponents), kUntouched),
        high(low) {
    EXPECT_TRUE(reader.GetElementBoxes(elements.data(), low.data(), high.data(), average,
                                       overallLow, overallHigh));
  }
};

TEST_F(ZORMtkSimReaderMeshTest, BoxesFollowAscendingElementsAndIgnoreUnusedNodes) {
  Scope({});
  const Boxes boxes(reader);
  EXPECT_EQ(boxes.elements, (std::vector<int>{0, 1, 2, 3, 4}));
  // Element 2, the tetrahedron (2, 12, 5, 8), reaches out to node 12 at x = 10.
  EXPECT_EQ(std::vector<double>(boxes.low.begin() + 6, boxes.low.begin() + 9),
            (std::vector<double>{4, 0, 0}));
  EXPECT_EQ(std::vector<double>(boxes.high.begin() + 6, boxes.high.begin() + 9),
            (std::vector<double>{10, 3, 5}));
  // Element 4, the triangle (0, 3, 9), is flat in x.
  EXPECT_EQ(boxes.low[12], 0.0);
  EXPECT_EQ(boxes.high[12], 0.0);
  EXPECT_EQ(boxes.high[13], 3.0);
  // Largest extents 5, 5, 6, 6, 5.
  EXPECT_DOUBLE_EQ(boxes.average, 27.0 / 5.0);
  EXPECT_EQ(boxes.overallLow[0], 0.0);
  EXPECT_EQ(boxes.overallHigh[0], 10.0);  // node 13 at x = 20 belongs to no element
  EXPECT_EQ(boxes.overallHigh[1], 3.0);
  EXPECT_EQ(boxes.overallHigh[2], 5.0);
}

TEST_F(ZORMtkSimReaderMeshTest, BoxesOfPartialRegionArePackedByRegionPosition) {
  Scope({3, 1});
  const Boxes boxes(reader);
  EXPECT_EQ(boxes.elements, (std::vector<int>{1, 3}));
  EXPECT_EQ(std::vector<double>(boxes.low.begin(), boxes.low.begin() + 3),
            (std::vector<double>{2, 0, 0}));
  EXPECT_EQ(std::vector<double>(boxes.high.begin() + 3, boxes.high.end()),
            (std::vector<double>{10, 3, 5}));
}

TEST(ZORMtkSimReaderBoxes, FlatRegionGetsThinSlabAcrossItsPlane) {
  ZORTestSourceDatabase db;
  const ZORSimDynamicID mesh = db.AddMesh();
  db.AddNodes(mesh, 3, {0, 0, 7, 2, 0, 7, 2, 1, 7, 0, 1, 7, 4, 0, 7, 4, 1, 7});
  db.AddElements(mesh, "CPE4", 4, {0, 1, 2, 3, 1, 4, 5, 2});
  ZORMtkSimReader reader;
  reader.SetElsetRegion(db.Root(), mesh, {});
  const Boxes boxes(reader);
  EXPECT_DOUBLE_EQ(boxes.average, 2.0);
  EXPECT_DOUBLE_EQ(boxes.overallLow[2], 7.0 - 0.02);
  EXPECT_DOUBLE_EQ(boxes.overallHigh[2], 7.0 + 0.02);
  EXPECT_EQ(boxes.overallLow[0], 0.0);
  EXPECT_EQ(boxes.overallHigh[0], 4.0);
}

TEST(ZORMtkSimReaderBoxes, PlaneMeshBoxesHaveStrideTwoAndLeaveZAlone) {
  ZORTestSourceDatabase db;
  const ZORSimDynamicID mesh = db.AddMesh();
  db.AddNodes(mesh, 2, {0, 0, 2, 0, 2, 1, 0, 1, 5, 0, 5, 3});
  db.AddElements(mesh, "CPE4", 4, {0, 1, 2, 3});
  db.AddElements(mesh, "CPE3", 3, {1, 4, 5});
  ZORMtkSimReader reader;
  reader.SetElsetRegion(db.Root(), mesh, {});
  const Boxes boxes(reader);
  EXPECT_EQ(boxes.low, (std::vector<double>{0, 0, 2, 0}));
  EXPECT_EQ(boxes.high, (std::vector<double>{2, 1, 5, 3}));
  EXPECT_DOUBLE_EQ(boxes.average, (2.0 + 3.0) / 2.0);
  EXPECT_EQ(boxes.overallHigh[1], 3.0);
  EXPECT_EQ(boxes.overallLow[2], kUntouched);
  EXPECT_EQ(boxes.overallHigh[2], kUntouched);
}

TEST_F(ZORMtkSimReaderMeshTest, RegionWithoutElementsHasZeroSizeAndNoBoxes) {
  reader.SetElsetRegion(db.Root(), DRUUnicodeString("NO-SUCH-SET"));
  double low = kUntouched, high = kUntouched, average = kUntouched;
  double overallLow[3] = {kUntouched, kUntouched, kUntouched};
  double overallHigh[3] = {kUntouched, kUntouched, kUntouched};
  int element = -1;
  EXPECT_TRUE(reader.GetElementBoxes(&element, &low, &high, average, overallLow, overallHigh));
  EXPECT_EQ(reader.numElements, 0);
  EXPECT_EQ(average, 0.0);
  EXPECT_EQ(low, kUntouched);
  EXPECT_EQ(element, -1);
  EXPECT_EQ(overallLow[0], kUntouched);
}

}  // namespace
