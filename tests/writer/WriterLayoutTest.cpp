#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tests/writer/WriterTestSupport.h"
#include "writer/ZORMtkSimWriter.h"
#include "writer/impl/ZORFieldTypeCodes.h"

// What meshes and field definitions leave in the database beyond what a reader sees (the random
// round trips through the reader check the values): records, types, chunks and the drawers
// made; and that a refused mesh operation commits nothing.

namespace {

using namespace writertest;
using namespace ZORSimKeys;

class WriterLayoutTest : public WriterTest {
 protected:
  std::string SymbolOf(ZORSimDynamicID field) const {
    return At(root_, At(root_, field).Follow(kFieldFieldType, 1)).GetSymbolName();
  }
  std::vector<int> Chunk(ZORSimDrawerID drawer) const { return Object(root_, drawer.id).chunk; }
};

// The reader finds the coordinates and the connectivity by these links and chunks.
TEST_F(WriterLayoutTest, AMeshHasItsCoordinateDrawerAndConnectivityDrawersPerBlock) {
  const ZORSimDynamicID mesh = PlaneMesh();
  const ZORSrvPosition meshAt = At(root_, mesh);
  EXPECT_EQ(At(root_, root_.Follow(kModel, 0)).Follow(kModelMesh, 1), mesh);
  const ZORSimDistributionID coordinates =
      At(root_, meshAt.Follow(kMeshCoordinates, 0)).GetDistribution();
  const auto coordinateDrawers = ZORSimDistribution(root_.Context(), coordinates).QueryDrawers();
  ASSERT_EQ(coordinateDrawers.size(), 1u);
  EXPECT_EQ(Chunk(coordinateDrawers[0].id), (std::vector<int>{100, 3}));
  const ZORSimDistributionID relational =
      ZORSimDSet(root_.Context(), At(root_, meshAt.Follow(kMeshConnectivity, 0)).GetDSet())
          .GetRelationalDistributionID();
  EXPECT_EQ(Database().Handle(Object(root_, relational.id).target),
            Collection(meshAt, kMeshNodes, 1).id);
  const auto drawers = ZORSimDistribution(root_.Context(), relational).QueryDrawers();
  ASSERT_EQ(drawers.size(), 2u);
  EXPECT_EQ(Chunk(drawers[0].id), (std::vector<int>{10, 4}));
  EXPECT_EQ(Chunk(drawers[1].id), (std::vector<int>{5, 3}));
  EXPECT_EQ(Members(drawers[1].dimensions[0]), Range(10, 5));
  EXPECT_EQ(ReadDrawer<int>(root_, drawers[1].id),
            (std::vector<int>{50, 51, 61, 51, 52, 62, 52, 53, 63, 53, 54, 64, 54, 55, 65}));
}

TEST_F(WriterLayoutTest, ElementTypesAreStoredByTheirShapeTableElementName) {
  const ZORSimDynamicID mesh = writer_.AddMesh();
  std::vector<double> xyz(30, 0.0);
  writer_.AddMeshNodes(mesh, 10, 3, xyz.data());
  const std::vector<std::string> given = {"S4R", "CPS4", "C3D10M", "UNKNOWN", "ZORMPF_V3D_HEX20"};
  const std::vector<std::string> stored = {"S4R", "CPE4", "C3D10", "AC1D2", "C3D20"};
  ZORSimArray<ZORSimCSetID> blocks;
  cow_List<cow_String> names;
  std::vector<int> connectivity = Range(0, 8);
  for (const std::string& name : given) {
    blocks.Append(writer_.AddMeshElements(mesh, 2, name, 4, connectivity.data()));
    names.Append(name);
  }
  writer_.ConnectMeshEltypes(mesh, blocks, names);
  const ZORSimObject& typeSet = Object(root_, At(root_, mesh).Follow(kMeshElementTypes, 0));
  ASSERT_EQ(typeSet.compartments.size(), given.size());
  const ZORSimCollectionID types = Collection(root_, kElementTypeCollection, 0);
  for (std::size_t i = 0; i < given.size(); ++i) {
    const auto& compartment = typeSet.compartments[i];
    EXPECT_TRUE(compartment[0].members->SameMembersInOrder(*blocks[static_cast<int>(i)].members));
    const int number = compartment[1].members->At(0);
    EXPECT_EQ(At(root_, root_.Context().GetRecord(types, number)).GetSymbolName(), stored[i]);
  }
  EXPECT_EQ(typeSet.compartments[3][1].members->At(0), 0);  // no symbol: type number 0
}

// Nothing half-made stays behind: the object count and the collections are as before.
TEST_F(WriterLayoutTest, RefusedMeshOperationsCommitNothing) {
  const ZORSimDynamicID mesh = writer_.AddMesh();
  std::vector<int> quads = {0, 1, 4, 3, 4, 5, 8, 9};
  EXPECT_THROW(writer_.AddMeshElements(mesh, 1, "CPE4", 4, quads.data()), ZORSimError);
  std::vector<double> xyz(27, 0.0);
  writer_.AddMeshNodes(mesh, 9, 3, xyz.data());
  const std::int64_t objects = Database().ObjectCount();
  EXPECT_THROW(writer_.AddMeshElements(mesh, 2, "CPE4", 4, quads.data()), ZORSimError);  // node 9
  ZORSimArray<ZORSimCSetID> blocks;
  cow_List<cow_String> names = {"CPE4"};
  writer_.ConnectMeshEltypes(mesh, blocks, names);  // no blocks: nothing to do
  EXPECT_EQ(Database().ObjectCount(), objects);
  quads[7] = 7;
  blocks.Append(writer_.AddMeshElements(mesh, 1, "CPE4", 4, quads.data()));
  EXPECT_EQ(Members(blocks[0]), Range(0, 1));
  blocks.Append(writer_.AddMeshElements(mesh, 1, "CPE4", 4, quads.data() + 4));
  const std::int64_t withBlocks = Database().ObjectCount();
  EXPECT_THROW(writer_.ConnectMeshEltypes(mesh, blocks, names), std::out_of_range);
  EXPECT_EQ(Database().ObjectCount(), withBlocks);
  EXPECT_TRUE(At(root_, mesh).Follow(kMeshElementTypes, 0).IsEmpty());
  EXPECT_FALSE(Database().InTransaction());
}

TEST_F(WriterLayoutTest, ANodalFieldHasOneEmptyDrawerOverIncrementsAllNodesAndComponents) {
  const ZORSimDynamicID mesh = PlaneMesh();
  const ZORSimCollection components(root_.Context(), Collection(root_, kComponentCollection, 0));
  const ZORSimDynamicID field = writer_.AddSimpleNodeField(mesh, "U_D", 3);
  const ZORSimDynamicID wide = writer_.AddSimpleNodeField(mesh, "SDEG", 39);
  EXPECT_EQ(Object(root_, field).type, kNodalFieldType);
  EXPECT_EQ(At(root_, Step(root_, 0)).FollowList(kStepFields, 0).Items(),
            (std::vector<ZORSimDynamicID>{field, wide}));
  const auto drawers = FieldDrawers(root_, field);
  ASSERT_EQ(drawers.size(), 1u);
  EXPECT_EQ(Chunk(drawers[0]), (std::vector<int>{10, 100, 3}));
  EXPECT_EQ(Object(root_, drawers[0].id).extendableDim, 0);
  EXPECT_EQ(Object(root_, drawers[0].id).values->valueCount, 0);
  const auto dims = DrawerDims(root_, drawers[0]);
  ASSERT_EQ(dims.size(), 3u);
  EXPECT_EQ(dims[0].collection, StepIncrementSet(root_, Step(root_, 0)).collection);
  EXPECT_EQ(dims[0].Size(), 0);
  EXPECT_EQ(Members(dims[1]), Range(0, 100));
  EXPECT_EQ(dims[2].collection, components.ID());
  // 39 components, one more than the component collection's 38 members, extend it first.
  EXPECT_EQ(components.Space(), 39);
  EXPECT_EQ(Chunk(FieldDrawers(root_, wide)[0]), (std::vector<int>{10, 100, 39}));
}

TEST_F(WriterLayoutTest, AnIntegrationPointFieldHasOneDrawerPerClassWithPointsInNameOrder) {
  const ZORSimDynamicID mesh = writer_.AddMesh();
  std::vector<double> xyz(3 * 8, 0.0);
  writer_.AddMeshNodes(mesh, 8, 3, xyz.data());
  std::vector<int> nodes = Range(0, 8);
  ZORSimArray<ZORSimCSetID> blocks;
  blocks.Append(writer_.AddMeshElements(mesh, 1, "C3D8", 8, nodes.data()));
  blocks.Append(writer_.AddMeshElements(mesh, 1, "S4R", 4, nodes.data()));
  cow_List<cow_String> names = {"C3D8", "S4R"};
  writer_.ConnectMeshEltypes(mesh, blocks, names);
  const auto shellOnly = FieldDrawers(root_, writer_.AddSimpleElementField(mesh, "S0", 6));
  ASSERT_EQ(shellOnly.size(), 1u);  // the solid has no integration-point data
  EXPECT_EQ(Chunk(shellOnly[0]), (std::vector<int>{10, 1, 1, 6}));
  const ZORSimDynamicID plane = PlaneMesh();
  const ZORSimDynamicID field = writer_.AddSimpleElementField(plane, "S0", 2);
  EXPECT_EQ(Object(root_, field).type, kIntPtFieldType);
  const auto drawers = FieldDrawers(root_, field);
  ASSERT_EQ(drawers.size(), 2u);
  EXPECT_EQ(At(root_, drawers[0].id).GetDistribution(), At(root_, drawers[1].id).GetDistribution());
  // "CPE4" < "S3R": 10 elements with 4 points, then 5 with 1 point (the random round trips through
  // the reader check the values of every class).
  EXPECT_EQ(Chunk(drawers[0]), (std::vector<int>{10, 10, 4, 2}));
  EXPECT_EQ(Chunk(drawers[1]), (std::vector<int>{10, 5, 1, 2}));
  EXPECT_EQ(Members(DrawerDims(root_, drawers[1])[1]), Range(10, 5));
}

// A field-type code is the symbol's position among the byte-sorted field-type symbols, the
// number the database gives it; any other name is defined as "UNDEFINED" with one note.
TEST_F(WriterLayoutTest, FieldTypesAreNumberedAsTheDatabaseNumbersTheirSymbols) {
  EXPECT_EQ(ZORFieldTypeCodes::Find("UNDEFINED"), 620);
  for (const char* name : {"u_d", "U_D ", "U_", ""}) EXPECT_EQ(ZORFieldTypeCodes::Find(name), -1);
  EXPECT_EQ(ZORFieldTypeCodes::Find(std::string("U_D\0X", 5)), -1);
  EXPECT_EQ(ZORFieldTypeCodes::Symbol(-1), nullptr);
  EXPECT_EQ(ZORFieldTypeCodes::Symbol(ZORFieldTypeCodes::kCount), nullptr);
  const ZORSimSchema schema(root_.Context());
  const ZORSimTypeID type = schema.TypeID(kFieldTypeSymbol);
  const ZORSimSymbols symbols(root_.Context());
  const ZORSimCollectionID fieldTypes = Collection(root_, kFieldTypeCollection, 0);
  for (int code = 0; code < ZORFieldTypeCodes::kCount; ++code) {
    const std::string symbol = ZORFieldTypeCodes::Symbol(code);
    ASSERT_EQ(schema.SymbolName(type, code), symbol) << code;
    EXPECT_EQ(ZORFieldTypeCodes::Find(symbol), code);
    EXPECT_EQ(At(root_, symbols.Get(type, code, fieldTypes)).GetSymbolName(), symbol);
  }
  const ZORSimDynamicID mesh = PlaneMesh();
  CapturedStream cerr(aio_cerr);
  // The first and the last code are names like any other.
  const std::string first = ZORFieldTypeCodes::Symbol(0);
  const std::string last = ZORFieldTypeCodes::Symbol(ZORFieldTypeCodes::kCount - 1);
  for (const auto& [name, symbol] : std::vector<std::pair<std::string, std::string>>{
           {"u_d", "UNDEFINED"}, {"XT", "XT"}, {first, first}, {last, last}})
    EXPECT_EQ(SymbolOf(writer_.AddSimpleNodeField(mesh, name.c_str(), 3)), symbol) << name;
  EXPECT_EQ(cerr.Text(), "");
}

}  // namespace
