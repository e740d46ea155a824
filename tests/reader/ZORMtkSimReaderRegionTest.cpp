#include <gtest/gtest.h>

#include <vector>

#include "reader/ZORMtkSimReader.h"
#include "reader/ZORReaderTestMeshes.h"

// Regions decide every later read: which nodes, in which order, and which element classes.

namespace {

std::vector<int> Members(const cow_List<int>& list) { return list.Items(); }

std::vector<int> Members(const ZORSimCSetID& set) {
  std::vector<int> out(static_cast<std::size_t>(set.Size()));
  ZORSimCSet(set).OrderedMembers(out.data());
  return out;
}

class ZORMtkSimReaderRegionTest : public ::testing::Test {
 protected:
  ZORTestSourceDatabase db;
  ZORMixedMesh mixed = ZORMixedMesh::Build(db);
  ZORMtkSimReader reader;
};

TEST_F(ZORMtkSimReaderRegionTest, EmptyListTakesWholeMeshWithUnusedNodes) {
  reader.SetScope(db.Root(), ScopeElementRegion, mixed.mesh, {});
  EXPECT_EQ(reader.meshID, mixed.mesh);
  EXPECT_EQ(reader.numElements, 5);
  EXPECT_EQ(reader.numNodes, 14);
  EXPECT_EQ(reader.numCoordComponents, 3);
  EXPECT_EQ(Members(reader.nodeList),
            (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
  EXPECT_EQ(Members(reader.nodeRegion), Members(reader.nodeList));
  EXPECT_EQ(Members(reader.elementRegion), (std::vector<int>{0, 1, 2, 3, 4}));
  ASSERT_EQ(reader.elementClasses.Size(), 3);
  EXPECT_EQ(Members(*reader.elementClasses.Find("C3D8")), (std::vector<int>{0, 1}));
  EXPECT_EQ(Members(*reader.elementClasses.Find("C3D4")), (std::vector<int>{2, 3}));
  EXPECT_EQ(Members(*reader.elementClasses.Find("CPE3")), (std::vector<int>{4}));
  EXPECT_EQ(*reader.nodesPerElementByClass.Find("C3D8"), 8);
  EXPECT_EQ(*reader.nodesPerElementByClass.Find("C3D4"), 4);
  EXPECT_EQ(*reader.nodesPerElementByClass.Find("CPE3"), 3);
}

TEST_F(ZORMtkSimReaderRegionTest, ListingEveryElementAlsoKeepsUnusedNodes) {
  reader.SetElsetRegion(db.Root(), mixed.mesh, {4, 3, 2, 1, 0});
  EXPECT_EQ(reader.numNodes, 14);
  EXPECT_EQ(reader.nodeList[13], 13);
}

TEST_F(ZORMtkSimReaderRegionTest, PartialRegionListsOnlyUsedNodesAscending) {
  reader.SetElsetRegion(db.Root(), mixed.mesh, {3, 1});
  EXPECT_EQ(reader.numElements, 2);
  EXPECT_EQ(Members(reader.elementRegion), (std::vector<int>{1, 3}));
  EXPECT_EQ(Members(reader.nodeList), (std::vector<int>{1, 2, 4, 5, 7, 8, 10, 11, 12}));
  EXPECT_EQ(reader.numNodes, 9);
  EXPECT_EQ(Members(reader.nodeRegion), Members(reader.nodeList));
  EXPECT_EQ(reader.elementClasses.Size(), 2);
  EXPECT_FALSE(reader.elementClasses.Contains("CPE3"));
  EXPECT_FALSE(reader.nodesPerElementByClass.Contains("CPE3"));
  EXPECT_EQ(Members(*reader.elementClasses.Find("C3D4")), (std::vector<int>{3}));
}

TEST_F(ZORMtkSimReaderRegionTest, AlternativeElementScopeBehavesLikeElementScope) {
  ZORMtkSimReader other;
  reader.SetScope(db.Root(), ScopeElementRegion, mixed.mesh, {4, 0});
  other.SetScope(db.Root(), ScopeElementRegionAlt, mixed.mesh, {4, 0});
  EXPECT_EQ(other.meshID, reader.meshID);
  EXPECT_EQ(other.numElements, reader.numElements);
  EXPECT_EQ(Members(other.nodeList), Members(reader.nodeList));
  EXPECT_EQ(other.elementClasses.Size(), reader.elementClasses.Size());
  EXPECT_EQ(Members(other.nodeList), (std::vector<int>{0, 1, 3, 4, 6, 7, 9, 10}));
}

TEST_F(ZORMtkSimReaderRegionTest, UnknownScopeValueLeavesReaderUntouched) {
  reader.SetScope(db.Root(), static_cast<ZORMtkScope>(3), mixed.mesh, {});
  EXPECT_TRUE(reader.meshID.IsEmpty());
  EXPECT_EQ(reader.numNodes, 0);
  EXPECT_EQ(reader.numElements, 0);
}

TEST_F(ZORMtkSimReaderRegionTest, NodeRegionSortsListAndLeavesElementDataEmpty) {
  reader.SetScope(db.Root(), ScopeNodeRegion, mixed.mesh, {9, 2, 13, 4});
  EXPECT_EQ(Members(reader.nodeList), (std::vector<int>{2, 4, 9, 13}));
  EXPECT_EQ(Members(reader.nodeRegion), (std::vector<int>{2, 4, 9, 13}));
  EXPECT_EQ(reader.numNodes, 4);
  EXPECT_EQ(reader.numCoordComponents, 3);
  EXPECT_EQ(reader.numElements, 0);
  EXPECT_EQ(reader.elementClasses.Size(), 0);
  EXPECT_TRUE(reader.elementRegion.IsEmpty());

  reader.SetNodesetRegion(db.Root(), mixed.mesh, {});
  EXPECT_EQ(reader.numNodes, 14);
  EXPECT_EQ(reader.nodeList[13], 13);
}

TEST_F(ZORMtkSimReaderRegionTest, EmptyMeshIdSelectsDefaultMesh) {
  const ZORSimDynamicID second = db.AddHexBox(1, 1, 1, 1.0);
  reader.SetElsetRegion(db.Root(), ZORSimDynamicID{}, {});
  EXPECT_EQ(reader.meshID, mixed.mesh);
  EXPECT_EQ(reader.numElements, 5);

  ZORMtkSimReader onSecond;
  onSecond.SetElsetRegion(db.Root(), second, {});
  EXPECT_EQ(onSecond.meshID, second);
  EXPECT_EQ(onSecond.numElements, 1);
  EXPECT_EQ(onSecond.numNodes, 8);
}

TEST_F(ZORMtkSimReaderRegionTest, NamedSetOnNewReaderKeepsEmptyMeshButResolvesRegion) {
  db.NameElementSet("PART-1_LEFT", db.Set(db.ElementCollection(mixed.mesh), {4, 0}));
  reader.SetElsetRegion(db.Root(), DRUUnicodeString("PART-1_LEFT"));
  EXPECT_TRUE(reader.meshID.IsEmpty());
  EXPECT_EQ(reader.numElements, 2);
  EXPECT_EQ(Members(reader.elementRegion), (std::vector<int>{0, 4}));
  EXPECT_EQ(Members(reader.nodeList), (std::vector<int>{0, 1, 3, 4, 6, 7, 9, 10}));
  EXPECT_EQ(reader.numCoordComponents, 3);
  EXPECT_EQ(reader.elementClasses.Size(), 2);
}

TEST_F(ZORMtkSimReaderRegionTest, SecondScopeReplacesFirst) {
  reader.SetElsetRegion(db.Root(), mixed.mesh, {0, 1, 2, 3, 4});
  reader.SetElsetRegion(db.Root(), mixed.mesh, {4});
  EXPECT_EQ(reader.numElements, 1);
  EXPECT_EQ(Members(reader.nodeList), (std::vector<int>{0, 3, 9}));
  EXPECT_EQ(reader.elementClasses.Size(), 1);
  EXPECT_EQ(reader.nodesPerElementByClass.Size(), 1);

  reader.SetNodesetRegion(db.Root(), mixed.mesh, {7});
  EXPECT_EQ(reader.numElements, 0);
  EXPECT_EQ(reader.elementClasses.Size(), 0);
  EXPECT_EQ(Members(reader.nodeList), (std::vector<int>{7}));
}

}  // namespace
