#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/ZORSimSchemaKeys.h"
#include "tests/writer/WriterTestSupport.h"
#include "writer/ZORMtkSimWriter.h"
#include "writer/impl/ZORFieldTypeCodes.h"

// field-type codes, and the records, distributions and drawers that AddSimpleNodeField
// and AddSimpleElementField leave.

namespace {

using namespace writertest;

TEST(FieldTypeCodesTest, TheTableOfPart44) {
  const std::vector<std::pair<const char*, int>> table = {
      {"U_D", 621},    {"U_R", 622},     {"V_D", 645},    {"V_R", 646},       {"A_D", 29},
      {"A_R", 30},     {"PRESS", 417},   {"PPRESS", 416}, {"NT", 373},        {"HFLA", 286},
      {"CNORMF", 134}, {"CSHEARF", 156}, {"RF_D", 459},   {"RI", 461},        {"RF_R", 460},
      {"COORD", 138},  {"CF_D", 109},    {"CF_R", 110},   {"UNDEFINED", 620}, {"CFF", 101},
      {"EPOT", 244},   {"CECUR", 83},    {"RFL", 457},    {"CMASS", 120}};
  for (const auto& [name, code] : table) {
    EXPECT_EQ(ZORFieldTypeCodes::Find(name), code) << name;
    EXPECT_STREQ(ZORFieldTypeCodes::Symbol(code), name);
  }
}

TEST(FieldTypeCodesTest, ExactCaseSensitiveWholeNames) {
  EXPECT_EQ(ZORFieldTypeCodes::Find("u_d"), -1);
  EXPECT_EQ(ZORFieldTypeCodes::Find("U_D "), -1);
  EXPECT_EQ(ZORFieldTypeCodes::Find("U_"), -1);
  EXPECT_EQ(ZORFieldTypeCodes::Find(""), -1);
  EXPECT_EQ(ZORFieldTypeCodes::Find(std::string("U_D\0X", 5)), -1);
  EXPECT_EQ(ZORFieldTypeCodes::Find("ACTEMP"), 0);
  EXPECT_EQ(ZORFieldTypeCodes::Find("XT"), 653);
  EXPECT_EQ(ZORFieldTypeCodes::Symbol(-1), nullptr);
  EXPECT_EQ(ZORFieldTypeCodes::Symbol(654), nullptr);
}

class WriterFieldDefinitionTest : public WriterTest {
 protected:
  // A 10 x 10 node mesh with a block of 10 "CPE4" and one of 5 "S3R" elements.
  ZORSimDynamicID PlaneMesh() {
    const ZORSimDynamicID mesh = writer_.AddMesh();
    std::vector<double> xyz = PlaneNodes(10, 10);
    writer_.AddMeshNodes(mesh, 100, 3, xyz.data());
    std::vector<int> quads, triangles;
    for (int e = 0; e < 10; ++e) quads.insert(quads.end(), {e, e + 1, e + 11, e + 10});
    for (int e = 0; e < 5; ++e) triangles.insert(triangles.end(), {e + 50, e + 51, e + 61});
    ZORSimArray<ZORSimCSetID> blocks;
    blocks.Append(writer_.AddMeshElements(mesh, 10, "CPE4", 4, quads.data()));
    blocks.Append(writer_.AddMeshElements(mesh, 5, "S3R", 3, triangles.data()));
    cow_List<cow_String> names = {"CPE4", "S3R"};
    writer_.ConnectMeshEltypes(mesh, blocks, names);
    return mesh;
  }
  std::string SymbolOf(ZORSimDynamicID field) const {
    return At(root_, At(root_, field).Follow(ZORSimKeys::kFieldFieldType, 1)).GetSymbolName();
  }
  ZORSimCollectionID IncrementCollection() const {
    return StepIncrementSet(root_, Step(root_, 0)).collection;
  }
};

TEST_F(WriterFieldDefinitionTest, EveryFieldTypeSymbolIsNumberedAsTheDatabaseNumbersIt) {
  const ZORSimSchema schema(root_.Context());
  const ZORSimTypeID type = schema.TypeID(ZORSimKeys::kFieldTypeSymbol);
  const ZORSimCollectionID fieldTypes = FollowCollection(root_, 11, 44, 0);
  const ZORSimSymbols symbols(root_.Context());
  for (int code = 0; code < ZORFieldTypeCodes::kCount; ++code) {
    const std::string symbol = ZORFieldTypeCodes::Symbol(code);
    ASSERT_EQ(schema.SymbolName(type, code), symbol) << code;
    EXPECT_EQ(ZORFieldTypeCodes::Find(symbol), code);
    const ZORSimDynamicID record = symbols.Get(type, code, fieldTypes);
    ASSERT_FALSE(record.IsEmpty()) << symbol;
    EXPECT_EQ(At(root_, record).GetSymbolName(), symbol);
  }
  EXPECT_EQ(schema.SymbolName(type, ZORFieldTypeCodes::kCount), "");
}

TEST_F(WriterFieldDefinitionTest, ANodalFieldHasItsRecordsAndOneEmptyDrawerOverAllNodes) {
  const ZORSimDynamicID mesh = PlaneMesh();
  const ZORSimDynamicID field = writer_.AddSimpleNodeField(mesh, "U_D", 3);
  const ZORSimSchema schema(root_.Context());
  EXPECT_EQ(Object(root_, field).type, ZORSimKeys::kNodalFieldType);
  EXPECT_TRUE(schema.IsA(field, schema.TypeID(ZORSimKeys::kFieldRecord)));
  EXPECT_EQ(SymbolOf(field), "U_D");
  EXPECT_EQ(Object(root_, At(root_, field).Follow(ZORSimKeys::kFieldFieldType, 1)).type,
            ZORSimKeys::kFieldTypeSymbol);
  EXPECT_EQ(At(root_, field).Follow(ZORSimKeys::kStepFields, 1), Step(root_, 0));
  EXPECT_EQ(At(root_, Step(root_, 0)).FollowList(ZORSimKeys::kStepFields, 0).Items(),
            std::vector<ZORSimDynamicID>{field});

  const auto outputs = At(root_, field).FollowList(ZORSimKeys::kFieldOutputs, 1).Items();
  ASSERT_EQ(outputs.size(), 1u);
  EXPECT_EQ(Object(root_, outputs[0]).type, ZORSimKeys::kFieldOutputRecord);
  const auto values = At(root_, outputs[0]).FollowList(ZORSimKeys::kOutputValues, 0).Items();
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(Object(root_, values[0]).type, ZORSimKeys::kFieldValuesRecord);

  const auto drawers = FieldDrawers(root_, field);
  ASSERT_EQ(drawers.size(), 1u);
  const ZORSimObject& drawer = Object(root_, drawers[0].id);
  EXPECT_EQ(drawer.chunk, (std::vector<int>{10, 100, 3}));
  EXPECT_EQ(drawer.extendableDim, 0);
  EXPECT_EQ(drawer.values->valueCount, 0);
  const ZORSimDistributionID distribution = DistributionOf(root_, drawers[0]);
  EXPECT_EQ(Object(root_, distribution.id).type, 0);  // untyped
  EXPECT_EQ(Object(root_, distribution.id).valueType, 2);
  const ZORSimCollectionID nodes = FollowCollection(At(root_, mesh), 19, 43, 1);
  const ZORSimCollectionID components = FollowCollection(root_, 11, 43, 0);
  EXPECT_EQ(ZORSimDistribution(root_.Context(), distribution).Grid(),
            (std::vector<ZORSimCollectionID>{IncrementCollection(), nodes, components}));
  const auto dims = DrawerDims(root_, drawers[0]);
  ASSERT_EQ(dims.size(), 3u);
  EXPECT_EQ(dims[0].collection, IncrementCollection());
  EXPECT_EQ(dims[0].Size(), 0);
  EXPECT_EQ(dims[1].collection, nodes);
  EXPECT_EQ(Members(dims[1]), Range(0, 100));
  EXPECT_EQ(dims[2].collection, components);
  EXPECT_EQ(Members(dims[2]), Range(0, 3));
}

TEST_F(WriterFieldDefinitionTest, FiftyComponentsExtendTheComponentCollectionFirst) {
  const ZORSimDynamicID mesh = PlaneMesh();
  const ZORSimCollection components(root_.Context(), FollowCollection(root_, 11, 43, 0));
  EXPECT_EQ(components.Space(), 38);
  const ZORSimDynamicID field = writer_.AddSimpleNodeField(mesh, "SDEG", 50);
  EXPECT_EQ(components.Space(), 50);
  const auto drawers = FieldDrawers(root_, field);
  ASSERT_EQ(drawers.size(), 1u);
  EXPECT_EQ(Object(root_, drawers[0].id).chunk, (std::vector<int>{10, 100, 50}));
  EXPECT_EQ(Members(DrawerDims(root_, drawers[0])[2]), Range(0, 50));
}

TEST_F(WriterFieldDefinitionTest, AnyFieldTypeSymbolOfTheDataDictionaryCanBeDefined) {
  const ZORSimDynamicID mesh = PlaneMesh();
  for (const char* name : {"MISES", "ACTEMP", "XT", "S0", "CMASS"})
    EXPECT_EQ(SymbolOf(writer_.AddSimpleNodeField(mesh, name, 1)), name);
}

TEST_F(WriterFieldDefinitionTest, AnUnknownNameIsDefinedAsUndefinedWithOneNote) {
  const ZORSimDynamicID mesh = PlaneMesh();
  CaptureCerr cerr;
  const ZORSimDynamicID field = writer_.AddSimpleNodeField(mesh, "u_d", 3);
  EXPECT_EQ(SymbolOf(field), "UNDEFINED");
  const std::string text = cerr.Text();
  EXPECT_NE(text.find("\"u_d\""), std::string::npos) << text;
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.find('\n'), text.size() - 1) << "one line: " << text;
}

TEST_F(WriterFieldDefinitionTest, TwoFieldsShareOnlyTheMeshTheStepAndTheGlobalCollections) {
  const ZORSimDynamicID mesh = PlaneMesh();
  const ZORSimDynamicID first = writer_.AddSimpleNodeField(mesh, "U_D", 3);
  const ZORSimDynamicID second = writer_.AddSimpleNodeField(mesh, "U_D", 3);
  EXPECT_NE(first, second);
  EXPECT_EQ(At(root_, Step(root_, 0)).FollowList(ZORSimKeys::kStepFields, 0).Items(),
            (std::vector<ZORSimDynamicID>{first, second}));
  EXPECT_NE(At(root_, first).Follow(ZORSimKeys::kFieldOutputs, 1),
            At(root_, second).Follow(ZORSimKeys::kFieldOutputs, 1));
  const auto a = FieldDrawers(root_, first);
  const auto b = FieldDrawers(root_, second);
  ASSERT_EQ(a.size(), 1u);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_NE(a[0], b[0]);
  EXPECT_NE(DistributionOf(root_, a[0]), DistributionOf(root_, b[0]));
  // The same field-type symbol record.
  EXPECT_EQ(At(root_, first).Follow(ZORSimKeys::kFieldFieldType, 1),
            At(root_, second).Follow(ZORSimKeys::kFieldFieldType, 1));
}

TEST_F(WriterFieldDefinitionTest, AnIntegrationPointFieldHasOneDrawerPerClassInNameOrder) {
  const ZORSimDynamicID mesh = PlaneMesh();
  const ZORSimDynamicID field = writer_.AddSimpleElementField(mesh, "S0", 2);
  EXPECT_EQ(Object(root_, field).type, ZORSimKeys::kIntPtFieldType);
  EXPECT_EQ(SymbolOf(field), "S0");
  EXPECT_EQ(At(root_, field).Follow(ZORSimKeys::kStepFields, 1), Step(root_, 0));
  const auto outputs = At(root_, field).FollowList(ZORSimKeys::kFieldOutputs, 1).Items();
  ASSERT_EQ(outputs.size(), 1u);
  EXPECT_EQ(At(root_, outputs[0]).FollowList(ZORSimKeys::kOutputValues, 0).Size(), 2);

  const auto drawers = FieldDrawers(root_, field);
  ASSERT_EQ(drawers.size(), 2u);
  const ZORSimCollectionID elements = FollowCollection(At(root_, mesh), 19, 38, 0);
  const ZORSimCollectionID intPoints = FollowCollection(root_, 21, 27, 1);
  const ZORSimCollectionID components = FollowCollection(root_, 11, 43, 0);
  EXPECT_GE(ZORSimCollection(root_.Context(), intPoints).Space(), 4);
  // Both drawers belong to the one field distribution.
  EXPECT_EQ(DistributionOf(root_, drawers[0]), DistributionOf(root_, drawers[1]));
  EXPECT_EQ(
      ZORSimDistribution(root_.Context(), DistributionOf(root_, drawers[0])).Grid(),
      (std::vector<ZORSimCollectionID>{IncrementCollection(), elements, intPoints, components}));
  // "CPE4" < "S3R": 10 elements with 4 points, then 5 with 1 point.
  EXPECT_EQ(Object(root_, drawers[0].id).chunk, (std::vector<int>{10, 10, 4, 2}));
  EXPECT_EQ(Object(root_, drawers[1].id).chunk, (std::vector<int>{10, 5, 1, 2}));
  const auto first = DrawerDims(root_, drawers[0]);
  const auto second = DrawerDims(root_, drawers[1]);
  ASSERT_EQ(first.size(), 4u);
  ASSERT_EQ(second.size(), 4u);
  EXPECT_EQ(first[0].Size(), 0);
  EXPECT_EQ(first[0].collection, IncrementCollection());
  EXPECT_EQ(Members(first[1]), Range(0, 10));
  EXPECT_EQ(Members(first[2]), Range(0, 4));
  EXPECT_EQ(Members(first[3]), Range(0, 2));
  EXPECT_EQ(Members(second[1]), Range(10, 5));
  EXPECT_EQ(Members(second[2]), Range(0, 1));
  EXPECT_EQ(Members(second[3]), Range(0, 2));
  EXPECT_EQ(Object(root_, drawers[0].id).values->valueCount, 0);
}

TEST_F(WriterFieldDefinitionTest, ClassesWithoutIntegrationPointDataGetNoDrawer) {
  const ZORSimDynamicID mesh = writer_.AddMesh();
  std::vector<double> xyz = PlaneNodes(4, 4);
  writer_.AddMeshNodes(mesh, 16, 3, xyz.data());
  std::vector<int> hex = {0, 1, 5, 4, 2, 3, 7, 6};
  std::vector<int> shell = {8, 9, 13, 12};
  ZORSimArray<ZORSimCSetID> blocks;
  blocks.Append(writer_.AddMeshElements(mesh, 1, "C3D8", 8, hex.data()));
  blocks.Append(writer_.AddMeshElements(mesh, 1, "S4R", 4, shell.data()));
  cow_List<cow_String> names = {"C3D8", "S4R"};
  writer_.ConnectMeshEltypes(mesh, blocks, names);
  const ZORSimDynamicID field = writer_.AddSimpleElementField(mesh, "S0", 6);
  const auto drawers = FieldDrawers(root_, field);
  ASSERT_EQ(drawers.size(), 1u);
  EXPECT_EQ(Members(DrawerDims(root_, drawers[0])[1]), std::vector<int>{1});
  EXPECT_EQ(Object(root_, drawers[0].id).chunk, (std::vector<int>{10, 1, 1, 6}));
}

TEST_F(WriterFieldDefinitionTest, FieldsSurviveSaveAndOpen) {
  const ZORSimDynamicID mesh = PlaneMesh();
  const ZORSimDynamicID nodal = writer_.AddSimpleNodeField(mesh, "U_D", 3);
  const ZORSimDynamicID element = writer_.AddSimpleElementField(mesh, "S0", 2);
  writer_.SaveContext();
  const ZORSrvPosition reopened = Open();
  const ZORSimDynamicID step = Step(reopened, 0);
  const auto fields = At(reopened, step).FollowList(ZORSimKeys::kStepFields, 0).Items();
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields[0].object, nodal.object);
  EXPECT_EQ(fields[1].object, element.object);
  EXPECT_EQ(FieldDrawers(reopened, fields[0]).size(), 1u);
  EXPECT_EQ(FieldDrawers(reopened, fields[1]).size(), 2u);
  EXPECT_EQ(
      At(reopened, At(reopened, fields[0]).Follow(ZORSimKeys::kFieldFieldType, 1)).GetSymbolName(),
      "U_D");
}

}  // namespace
