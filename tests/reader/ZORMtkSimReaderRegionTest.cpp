#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "reader/ZORMtkSimReader.h"
#include "reader/ZORReaderTestMeshes.h"

// Regions decide every later read: which nodes, in which order, and which element classes. The
// random round trips through the writer cover regions of other meshes; these cases pin the
// scopes, unused nodes and the region setters' odd inputs on the mixed mesh.

namespace {

std::vector<int> Members(const ZORSimCSetID& set) {
  std::vector<int> out(static_cast<std::size_t>(set.Size()));
  ZORSimCSet(set).OrderedMembers(out.data());
  return out;
}

std::vector<int> Upto(int n) {
  std::vector<int> v;
  for (int i = 0; i < n; ++i) v.push_back(i);
  return v;
}

struct RegionCase {
  const char* label;
  int scope;
  std::vector<int> list;
  std::vector<int> elements;
  std::vector<int> nodes;
  std::map<std::string, std::vector<int>> classes;
};

class ZORMtkSimReaderRegionTest : public ::testing::Test {
 protected:
  ZORTestSourceDatabase db;
  ZORMixedMesh mixed = ZORMixedMesh::Build(db);
  ZORMtkSimReader reader;

  void Expect(const ZORMtkSimReader& r, const RegionCase& c) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(r.numElements, static_cast<int>(c.elements.size()));
    EXPECT_EQ(r.elementRegion.IsEmpty() ? std::vector<int>{} : Members(r.elementRegion),
              c.elements);
    EXPECT_EQ(r.nodeList.Items(), c.nodes);
    EXPECT_EQ(r.numNodes, static_cast<int>(c.nodes.size()));
    EXPECT_EQ(c.nodes.empty() ? std::vector<int>{} : Members(r.nodeRegion), c.nodes);
    EXPECT_EQ(r.numCoordComponents, c.nodes.empty() ? 0 : 3);
    EXPECT_EQ(r.elementClasses.Size(), static_cast<int>(c.classes.size()));
    EXPECT_EQ(r.nodesPerElementByClass.Size(), static_cast<int>(c.classes.size()));
    const std::map<std::string, int> perElement = {{"C3D8", 8}, {"C3D4", 4}, {"CPE3", 3}};
    for (const auto& [name, members] : c.classes) {
      ASSERT_TRUE(r.elementClasses.Contains(name)) << name;
      EXPECT_EQ(r.elementClasses.Find(name)->Items(), members) << name;
      EXPECT_EQ(*r.nodesPerElementByClass.Find(name), perElement.at(name)) << name;
    }
  }
};

TEST_F(ZORMtkSimReaderRegionTest, ScopesSelectElementsNodesAndClasses) {
  const std::map<std::string, std::vector<int>> all = {
      {"C3D8", {0, 1}}, {"C3D4", {2, 3}}, {"CPE3", {4}}};
  // Element scopes on a part of the mesh are checked against brute force by the random round
  // trips through the writer; these are the cases they do not reach.
  const RegionCase cases[] = {
      {"empty list: the whole mesh with the unused node 13", 0, {}, Upto(5), Upto(14), all},
      {"the alternative element scope",
       1,
       {4, 0},
       {0, 4},
       {0, 1, 3, 4, 6, 7, 9, 10},
       {{"C3D8", {0}}, {"CPE3", {4}}}},
      {"repeats count once, though as many as the mesh's elements",
       0,
       {4, 0, 4, 0, 4},
       {0, 4},
       {0, 1, 3, 4, 6, 7, 9, 10},
       {{"C3D8", {0}}, {"CPE3", {4}}}},
      {"node scope: sorted, no elements", 2, {9, 2, 13, 4}, {}, {2, 4, 9, 13}, {}},
      {"node scope: repeats count once", 2, {9, 2, 9}, {}, {2, 9}, {}},
      {"node scope, empty list: every node", 2, {}, {}, Upto(14), {}},
      {"an unknown scope does nothing", 3, {}, {}, {}, {}}};
  for (const RegionCase& c : cases) {
    ZORMtkSimReader r;
    r.SetScope(db.Root(), static_cast<ZORMtkScope>(c.scope), mixed.mesh, cow_List<int>(c.list));
    EXPECT_EQ(r.meshID.IsEmpty(), c.scope == 3) << c.label;
    Expect(r, c);
  }
}

TEST_F(ZORMtkSimReaderRegionTest, EmptyMeshIdSelectsTheDefaultMesh) {
  const ZORSimDynamicID second = db.AddHexBox(1, 1, 1, 1.0);
  reader.SetElsetRegion(db.Root(), ZORSimDynamicID{}, {});
  EXPECT_EQ(reader.meshID, mixed.mesh);
  EXPECT_EQ(reader.numElements, 5);
  ZORMtkSimReader onSecond;
  onSecond.SetElsetRegion(db.Root(), second, {});
  EXPECT_EQ(onSecond.meshID, second);
  EXPECT_EQ(onSecond.numNodes, 8);
}

TEST_F(ZORMtkSimReaderRegionTest, NamedSetOnANewReaderKeepsTheEmptyMeshButResolvesTheRegion) {
  db.NameElementSet("PART-1_LEFT", db.Set(db.ElementCollection(mixed.mesh), {4, 0}));
  reader.SetElsetRegion(db.Root(), DRUUnicodeString("PART-1_LEFT"));
  EXPECT_TRUE(reader.meshID.IsEmpty());
  Expect(reader,
         {"named set", 0, {}, {0, 4}, {0, 1, 3, 4, 6, 7, 9, 10}, {{"C3D8", {0}}, {"CPE3", {4}}}});
}

TEST_F(ZORMtkSimReaderRegionTest, ASecondScopeReplacesTheFirst) {
  reader.SetElsetRegion(db.Root(), mixed.mesh, {0, 1, 2, 3, 4});
  reader.SetElsetRegion(db.Root(), mixed.mesh, {4});
  Expect(reader, {"second element region", 0, {}, {4}, {0, 3, 9}, {{"CPE3", {4}}}});
  reader.SetNodesetRegion(db.Root(), mixed.mesh, {7});
  Expect(reader, {"then a node region", 2, {}, {}, {7}, {}});
}

}  // namespace
