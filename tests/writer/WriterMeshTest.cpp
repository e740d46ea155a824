#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ZORSimSchemaKeys.h"
#include "tests/writer/WriterTestSupport.h"
#include "writer/ZORMtkSimWriter.h"

// AddMesh, AddMeshNodes, AddMeshElements and ConnectMeshEltypes, checked through the
// database interface (and after saving and opening the file again).

namespace {

using namespace writertest;

class WriterMeshTest : public WriterTest {
 protected:
  ZORSimCollectionID Nodes(ZORSimDynamicID mesh) const {
    return FollowCollection(At(root_, mesh), 19, 43, 1);
  }
  ZORSimCollectionID Elements(ZORSimDynamicID mesh) const {
    return FollowCollection(At(root_, mesh), 19, 38, 0);
  }
  ZORSimDistributionID Coordinates(const ZORSrvPosition& root, ZORSimDynamicID mesh) const {
    return At(root, At(root, mesh).Follow(ZORSimKeys::kMeshCoordinates, 0)).GetDistribution();
  }
  ZORSimDSetID ConnectivitySet(const ZORSrvPosition& root, ZORSimDynamicID mesh) const {
    return At(root, At(root, mesh).Follow(ZORSimKeys::kMeshConnectivity, 0)).GetDSet();
  }
  // Element-type symbol of every element of the mesh, through the element-type set.
  std::vector<std::string> ElementTypeNames(const ZORSrvPosition& root, ZORSimDynamicID mesh) {
    const ZORSrvPosition meshAt = At(root, mesh);
    const ZORSimCollectionID elements = FollowCollection(meshAt, 19, 38, 0);
    const ZORSimCollectionID types = FollowCollection(root, 19, 29, 0);
    const ZORSimDSet typeSet(root.Context(),
                             At(root, meshAt.Follow(ZORSimKeys::kMeshElementTypes, 0)).GetDSet());
    std::vector<std::string> names;
    for (int e = 0; e < ZORSimCollection(root.Context(), elements).Space(); ++e) {
      const ZORSimCSetID type = typeSet.Select(elements, e).Collect(types);
      if (type.Size() != 1) {
        names.push_back("?");
        continue;
      }
      names.push_back(
          At(root, root.Context().GetRecord(types, ZORSimCSet(type)[0])).GetSymbolName());
    }
    return names;
  }
};

TEST_F(WriterMeshTest, AddMeshCreatesTheMeshRecordItsCollectionsDistributionAndConnectivitySet) {
  const ZORSimDynamicID mesh = writer_.AddMesh();
  ASSERT_FALSE(mesh.IsEmpty());
  EXPECT_EQ(Object(root_, mesh).type, ZORSimKeys::kMeshRecord);
  const ZORSrvPosition model = At(root_, root_.Follow(ZORSimKeys::kModel, 0));
  EXPECT_EQ(model.Follow(ZORSimKeys::kModelMesh, 1), mesh);

  const ZORSimCollectionID nodes = Nodes(mesh);
  const ZORSimCollectionID elements = Elements(mesh);
  ASSERT_FALSE(nodes.IsEmpty());
  ASSERT_FALSE(elements.IsEmpty());
  EXPECT_EQ(Object(root_, nodes.id).type, ZORSimKeys::kNodeCollectionType);
  EXPECT_EQ(Object(root_, elements.id).type, ZORSimKeys::kElementCollectionType);
  EXPECT_EQ(ZORSimCollection(root_.Context(), nodes).Space(), 0);
  EXPECT_EQ(ZORSimCollection(root_.Context(), elements).Space(), 0);

  const ZORSimDistributionID coordinates = Coordinates(root_, mesh);
  ASSERT_FALSE(coordinates.IsEmpty());
  EXPECT_EQ(Object(root_, coordinates.id).type, ZORSimKeys::kCoordinateDistributionType);
  EXPECT_EQ(Object(root_, coordinates.id).valueType, 2);
  EXPECT_EQ(ZORSimDistribution(root_.Context(), coordinates).Grid(),
            (std::vector<ZORSimCollectionID>{nodes, FollowCollection(root_, 11, 43, 0)}));
  EXPECT_TRUE(ZORSimDistribution(root_.Context(), coordinates).QueryDrawers().empty());

  const ZORSimDSetID connectivity = ConnectivitySet(root_, mesh);
  ASSERT_FALSE(connectivity.IsEmpty());
  const ZORSimObject& set = Object(root_, connectivity.id);
  EXPECT_EQ(set.type, ZORSimKeys::kConnectivitySetType);
  ZORSimDatabase& db = root_.Context().Database();
  ASSERT_EQ(set.grid.size(), 3u);
  EXPECT_EQ(db.Handle(set.grid[0]), elements.id);
  EXPECT_EQ(db.Handle(set.grid[1]), FollowCollection(root_, 21, 28, 1).id);
  EXPECT_EQ(db.Handle(set.grid[2]), nodes.id);
  EXPECT_TRUE(ZORSimDSet(root_.Context(), connectivity).GetRelationalDistributionID().IsEmpty());
  EXPECT_TRUE(At(root_, mesh).Follow(ZORSimKeys::kMeshElementTypes, 0).IsEmpty());
}

TEST_F(WriterMeshTest, NodesAreAppendedAndTheFirstDrawerGrows) {
  const ZORSimDynamicID mesh = writer_.AddMesh();
  std::vector<double> first = PlaneNodes(4, 1);
  std::vector<double> second = PlaneNodes(6, 1);
  for (double& v : second) v += 100.0;
  writer_.AddMeshNodes(mesh, 4, 3, first.data());
  EXPECT_EQ(ZORSimCollection(root_.Context(), Nodes(mesh)).Space(), 4);
  writer_.AddMeshNodes(mesh, 6, 3, second.data());
  EXPECT_EQ(ZORSimCollection(root_.Context(), Nodes(mesh)).Space(), 10);

  const auto drawers = ZORSimDistribution(root_.Context(), Coordinates(root_, mesh)).QueryDrawers();
  ASSERT_EQ(drawers.size(), 1u);
  EXPECT_EQ(Object(root_, drawers[0].id.id).chunk, (std::vector<int>{4, 3}));
  EXPECT_EQ(Object(root_, drawers[0].id.id).extendableDim, 0);
  EXPECT_EQ(Members(drawers[0].dimensions[0]), Range(0, 10));
  EXPECT_EQ(Members(drawers[0].dimensions[1]), Range(0, 3));

  std::vector<double> expected = first;
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(ReadDrawer<double>(root_, drawers[0].id, drawers[0].dimensions), expected);
}

TEST_F(WriterMeshTest, TwoDimensionalCoordinatesUseTheFirstTwoComponents) {
  const ZORSimDynamicID mesh = writer_.AddMesh();
  std::vector<double> xy = {0, 0, 1, 0, 1, 1};
  writer_.AddMeshNodes(mesh, 3, 2, xy.data());
  const auto drawers = ZORSimDistribution(root_.Context(), Coordinates(root_, mesh)).QueryDrawers();
  ASSERT_EQ(drawers.size(), 1u);
  EXPECT_EQ(Members(drawers[0].dimensions[1]), Range(0, 2));
  EXPECT_EQ(ReadDrawer<double>(root_, drawers[0].id, drawers[0].dimensions), xy);
}

TEST_F(WriterMeshTest, ElementBlocksGetConsecutiveMembersAndADrawerEach) {
  const ZORSimDynamicID mesh = writer_.AddMesh();
  std::vector<double> xyz = PlaneNodes(10, 10);
  writer_.AddMeshNodes(mesh, 100, 3, xyz.data());
  std::vector<int> quads, triangles;
  for (int e = 0; e < 10; ++e) quads.insert(quads.end(), {e, e + 1, e + 11, e + 10});
  for (int e = 0; e < 5; ++e) triangles.insert(triangles.end(), {e + 50, e + 51, e + 61});

  const ZORSimCSetID first = writer_.AddMeshElements(mesh, 10, "CPE4", 4, quads.data());
  const ZORSimDSetID connectivity = ConnectivitySet(root_, mesh);
  const ZORSimDistributionID relational =
      ZORSimDSet(root_.Context(), connectivity).GetRelationalDistributionID();
  ASSERT_FALSE(relational.IsEmpty());
  const ZORSimCSetID second = writer_.AddMeshElements(mesh, 5, "S3R", 3, triangles.data());
  // The relational distribution is made by the first call only.
  EXPECT_EQ(ZORSimDSet(root_.Context(), connectivity).GetRelationalDistributionID(), relational);
  EXPECT_EQ(
      ObjectsOf(root_, ZORSimObjectKind::kDistribution, ZORSimKeys::kConnectivityDistributionType)
          .size(),
      1u);

  EXPECT_EQ(first.collection, Elements(mesh));
  EXPECT_EQ(Members(first), Range(0, 10));
  EXPECT_EQ(Members(second), Range(10, 5));
  EXPECT_EQ(ZORSimCollection(root_.Context(), Elements(mesh)).Space(), 15);

  const ZORSimObject& distribution = Object(root_, relational.id);
  EXPECT_EQ(distribution.type, ZORSimKeys::kConnectivityDistributionType);
  EXPECT_EQ(distribution.valueType, 5);
  EXPECT_EQ(root_.Context().Database().Handle(distribution.target), Nodes(mesh).id);
  EXPECT_EQ(ZORSimDistribution(root_.Context(), relational).Grid(),
            (std::vector<ZORSimCollectionID>{Elements(mesh), FollowCollection(root_, 21, 28, 1)}));

  const auto drawers = ZORSimDistribution(root_.Context(), relational).QueryDrawers();
  ASSERT_EQ(drawers.size(), 2u);
  EXPECT_EQ(Object(root_, drawers[0].id.id).chunk, (std::vector<int>{10, 4}));
  EXPECT_EQ(Object(root_, drawers[1].id.id).chunk, (std::vector<int>{5, 3}));
  EXPECT_EQ(drawers[0].dimensions[0], first);
  EXPECT_EQ(Members(drawers[0].dimensions[1]), Range(0, 4));
  EXPECT_EQ(drawers[1].dimensions[0], second);
  EXPECT_EQ(Members(drawers[1].dimensions[1]), Range(0, 3));
  EXPECT_EQ(ReadDrawer<int>(root_, drawers[0].id, drawers[0].dimensions), quads);
  EXPECT_EQ(ReadDrawer<int>(root_, drawers[1].id, drawers[1].dimensions), triangles);
}

TEST_F(WriterMeshTest, AConnectivityEntryOutsideTheNodesIsRefusedAndNothingIsCommitted) {
  const ZORSimDynamicID mesh = writer_.AddMesh();
  std::vector<double> xyz = PlaneNodes(3, 3);
  writer_.AddMeshNodes(mesh, 9, 3, xyz.data());
  const std::int64_t objectsBefore = root_.Context().Database().ObjectCount();
  std::vector<int> bad = {0, 1, 4, 3, 4, 5, 8, 9};  // node 9 does not exist
  EXPECT_THROW(writer_.AddMeshElements(mesh, 2, "CPE4", 4, bad.data()), ZORSimError);
  EXPECT_FALSE(root_.Context().Database().InTransaction());
  EXPECT_EQ(root_.Context().Database().ObjectCount(), objectsBefore);
  EXPECT_EQ(ZORSimCollection(root_.Context(), Elements(mesh)).Space(), 0);
  EXPECT_TRUE(ZORSimDSet(root_.Context(), ConnectivitySet(root_, mesh))
                  .GetRelationalDistributionID()
                  .IsEmpty());

  // The mesh is still whole: the corrected block goes in as block {0, 1}.
  bad[7] = 7;
  EXPECT_EQ(Members(writer_.AddMeshElements(mesh, 2, "CPE4", 4, bad.data())), Range(0, 2));
}

TEST_F(WriterMeshTest, ABlockBeforeAnyNodeIsRefused) {
  const ZORSimDynamicID mesh = writer_.AddMesh();
  std::vector<int> quad = {0, 1, 2, 3};
  EXPECT_THROW(writer_.AddMeshElements(mesh, 1, "CPE4", 4, quad.data()), ZORSimError);
  EXPECT_EQ(ZORSimCollection(root_.Context(), Elements(mesh)).Space(), 0);
}

TEST_F(WriterMeshTest, ElementTypesAreStoredByTheirShapeTableElementName) {
  const ZORSimDynamicID mesh = writer_.AddMesh();
  std::vector<double> xyz = PlaneNodes(10, 10);
  writer_.AddMeshNodes(mesh, 100, 3, xyz.data());
  const std::vector<std::string> given = {"S4R",   "CPE4", "CPS4",    "C3D10M",
                                          "C3D8R", "S3",   "UNKNOWN", "ZORMPF_V3D_HEX20"};
  const std::vector<std::string> stored = {"S4R",  "CPE4", "CPE4",  "C3D10",
                                           "C3D8", "S3",   "AC1D2", "C3D20"};
  ZORSimArray<ZORSimCSetID> blocks;
  cow_List<cow_String> names;
  std::vector<int> connectivity(20, 0);
  for (int i = 0; i < static_cast<int>(given.size()); ++i) {
    for (int k = 0; k < 20; ++k) connectivity[static_cast<std::size_t>(k)] = (i + k) % 100;
    blocks.Append(writer_.AddMeshElements(mesh, 2, given[static_cast<std::size_t>(i)], 4,
                                          connectivity.data()));
    names.Append(given[static_cast<std::size_t>(i)]);
  }
  writer_.ConnectMeshEltypes(mesh, blocks, names);

  const ZORSimDynamicID typeSetID = At(root_, mesh).Follow(ZORSimKeys::kMeshElementTypes, 0);
  ASSERT_FALSE(typeSetID.IsEmpty());
  const ZORSimObject& typeSet = Object(root_, typeSetID);
  EXPECT_EQ(typeSet.type, ZORSimKeys::kElementTypeSetType);
  ASSERT_EQ(typeSet.compartments.size(), given.size());
  const ZORSimCollectionID types = FollowCollection(root_, 19, 29, 0);
  for (std::size_t i = 0; i < given.size(); ++i) {
    const auto& compartment = typeSet.compartments[i];
    ASSERT_EQ(compartment.size(), 2u);
    EXPECT_TRUE(compartment[0].members->SameMembersInOrder(*blocks[static_cast<int>(i)].members));
    ASSERT_EQ(compartment[1].members->Size(), 1);
    const int number = compartment[1].members->At(0);
    EXPECT_EQ(At(root_, root_.Context().GetRecord(types, number)).GetSymbolName(), stored[i])
        << given[i];
  }
  // "UNKNOWN" is no element-type symbol: type number 0.
  EXPECT_EQ(typeSet.compartments[6][1].members->At(0), 0);

  std::vector<std::string> perElement;
  for (const std::string& name : stored) perElement.insert(perElement.end(), {name, name});
  EXPECT_EQ(ElementTypeNames(root_, mesh), perElement);
}

TEST_F(WriterMeshTest, NoBlocksCreateNothing) {
  const ZORSimDynamicID mesh = writer_.AddMesh();
  const std::int64_t objectsBefore = root_.Context().Database().ObjectCount();
  ZORSimArray<ZORSimCSetID> blocks;
  cow_List<cow_String> names = {"C3D8"};
  writer_.ConnectMeshEltypes(mesh, blocks, names);
  EXPECT_EQ(root_.Context().Database().ObjectCount(), objectsBefore);
  EXPECT_TRUE(At(root_, mesh).Follow(ZORSimKeys::kMeshElementTypes, 0).IsEmpty());
  EXPECT_FALSE(root_.Context().Database().InTransaction());
}

TEST_F(WriterMeshTest, AShortTypeListRaisesOutOfRangeAndCommitsNothing) {
  const ZORSimDynamicID mesh = writer_.AddMesh();
  std::vector<double> xyz = PlaneNodes(3, 3);
  writer_.AddMeshNodes(mesh, 9, 3, xyz.data());
  std::vector<int> quads = {0, 1, 4, 3, 1, 2, 5, 4};
  ZORSimArray<ZORSimCSetID> blocks;
  blocks.Append(writer_.AddMeshElements(mesh, 1, "CPE4", 4, quads.data()));
  blocks.Append(writer_.AddMeshElements(mesh, 1, "CPE4", 4, quads.data() + 4));
  cow_List<cow_String> names = {"CPE4"};
  const std::int64_t objectsBefore = root_.Context().Database().ObjectCount();
  EXPECT_THROW(writer_.ConnectMeshEltypes(mesh, blocks, names), std::out_of_range);
  EXPECT_EQ(root_.Context().Database().ObjectCount(), objectsBefore);
  EXPECT_TRUE(At(root_, mesh).Follow(ZORSimKeys::kMeshElementTypes, 0).IsEmpty());
  EXPECT_FALSE(root_.Context().Database().InTransaction());
}

TEST_F(WriterMeshTest, TheMeshSurvivesSaveAndOpen) {
  const ZORSimDynamicID mesh = writer_.AddMesh();
  std::vector<double> xyz = PlaneNodes(3, 3);
  writer_.AddMeshNodes(mesh, 9, 3, xyz.data());
  std::vector<int> quads = {0, 1, 4, 3, 1, 2, 5, 4, 3, 4, 7, 6};
  std::vector<int> triangles = {4, 5, 8, 4, 8, 7};
  ZORSimArray<ZORSimCSetID> blocks;
  blocks.Append(writer_.AddMeshElements(mesh, 3, "CPS4R", 4, quads.data()));
  blocks.Append(writer_.AddMeshElements(mesh, 2, "S3R", 3, triangles.data()));
  cow_List<cow_String> names = {"CPS4R", "S3R"};
  writer_.ConnectMeshEltypes(mesh, blocks, names);
  writer_.SaveContext();

  const ZORSrvPosition reopened = Open();
  const ZORSrvPosition model = At(reopened, reopened.Follow(ZORSimKeys::kModel, 0));
  const ZORSimDynamicID meshAgain = model.Follow(ZORSimKeys::kModelMesh, 1);
  ASSERT_EQ(meshAgain.object, mesh.object);
  const auto coordinateDrawers =
      ZORSimDistribution(reopened.Context(), Coordinates(reopened, meshAgain)).QueryDrawers();
  ASSERT_EQ(coordinateDrawers.size(), 1u);
  EXPECT_EQ(ReadDrawer<double>(reopened, coordinateDrawers[0].id, coordinateDrawers[0].dimensions),
            xyz);
  const ZORSimDistributionID relational =
      ZORSimDSet(reopened.Context(), ConnectivitySet(reopened, meshAgain))
          .GetRelationalDistributionID();
  const auto drawers = ZORSimDistribution(reopened.Context(), relational).QueryDrawers();
  ASSERT_EQ(drawers.size(), 2u);
  EXPECT_EQ(ReadDrawer<int>(reopened, drawers[0].id, drawers[0].dimensions), quads);
  EXPECT_EQ(ReadDrawer<int>(reopened, drawers[1].id, drawers[1].dimensions), triangles);
  EXPECT_EQ(ElementTypeNames(reopened, meshAgain),
            (std::vector<std::string>{"CPE4", "CPE4", "CPE4", "S3R", "S3R"}));
}

}  // namespace
