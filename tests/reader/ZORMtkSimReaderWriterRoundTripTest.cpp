#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "reader/ZORMtkSimReader.h"
#include "writer/ZORMtkSimWriter.h"

// What the writer stores the reader must find again: meshes, element classes, nodal fields by
// handle and by name, integration-point fields per class, and increments the writes add.

namespace {

constexpr double kUntouched = -777.0;

class ZORMtkSimReaderWriterRoundTripTest : public ::testing::Test {
 protected:
  ZORMtkSimWriter writer;
  ZORSimDynamicID mesh;
  ZORSimCSetID hexes;
  ZORSimCSetID tets;
  ZORMtkSimReader reader;

  // Two hexahedra side by side (elements 0, 1) and one tetrahedron (element 2); node 12 unused.
  void SetUp() override {
    writer.CreateSim(::testing::TempDir() + "zor_reader_round_trip.zsd");
    mesh = writer.AddMesh();
    std::vector<double> coords;
    for (int k = 0; k < 2; ++k)
      for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 3; ++i) coords.insert(coords.end(), {1.0 * i, 2.0 * j, 3.0 * k});
    coords.insert(coords.end(), {9.0, 9.0, 9.0});
    writer.AddMeshNodes(mesh, 8, 3, coords.data());
    writer.AddMeshNodes(mesh, 5, 3, coords.data() + 24);
    std::vector<int> hexNodes = {0, 1, 4, 3, 6, 7, 10, 9, 1, 2, 5, 4, 7, 8, 11, 10};
    hexes = writer.AddMeshElements(mesh, 2, "C3D8", 8, hexNodes.data());
    std::vector<int> tetNodes = {2, 5, 8, 11};
    tets = writer.AddMeshElements(mesh, 1, "C3D4", 4, tetNodes.data());
    ZORSimArray<ZORSimCSetID> blocks{hexes, tets};
    cow_List<cow_String> types{"C3D8", "C3D4"};
    writer.ConnectMeshEltypes(mesh, blocks, types);
  }

  void ScopeAll() { reader.SetElsetRegion(writer.GetRootPosition(), mesh, {}); }
};

TEST_F(ZORMtkSimReaderWriterRoundTripTest, MeshComesBackWithClassesAndCoordinates) {
  ScopeAll();
  EXPECT_EQ(reader.meshID, mesh);
  EXPECT_EQ(reader.numElements, 3);
  EXPECT_EQ(reader.numNodes, 13);
  EXPECT_EQ(reader.numCoordComponents, 3);
  cow_List<cow_String> names;
  reader.GetElementClassNames(names);
  EXPECT_EQ(names, (cow_List<cow_String>{"C3D4", "C3D8"}));
  std::vector<int> tetNodes(4, -1);
  ASSERT_TRUE(reader.GetElementClassConnectivity("C3D4", 4, tetNodes.data()));
  EXPECT_EQ(tetNodes, (std::vector<int>{2, 5, 8, 11}));
  std::vector<double> coords(39, kUntouched);
  ASSERT_TRUE(reader.FillCoordinates(39, coords.data()));
  EXPECT_EQ(coords[11 * 3 + 2], 3.0);
  EXPECT_EQ(coords[12 * 3], 9.0);
}

TEST_F(ZORMtkSimReaderWriterRoundTripTest, PartialRegionOfWrittenMesh) {
  reader.SetElsetRegion(writer.GetRootPosition(), mesh, {2});
  EXPECT_EQ(reader.nodeList, (cow_List<int>{2, 5, 8, 11}));
  EXPECT_EQ(reader.elementClasses.Size(), 1);
}

TEST_F(ZORMtkSimReaderWriterRoundTripTest, NodalFieldByHandleAndByName) {
  const ZORSimDynamicID field = writer.AddSimpleNodeField(mesh, "U_D", 3);
  cow_List<int> nodes{5, 2, 9};
  std::vector<double> written = {5.0, 5.1, 5.2, 2.0, 2.1, 2.2, 9.0, 9.1, 9.2};
  ASSERT_TRUE(writer.WriteSimpleNodeField(field, mesh, 1, 1, 3, nodes, written.data()));
  cow_List<int> more{12};
  std::vector<double> late = {12.0, 12.1, 12.2};
  ASSERT_TRUE(writer.WriteSimpleNodeField(mesh, "U_D", 1, 1, 3, more, late.data()));
  ScopeAll();
  EXPECT_EQ(reader.GetFieldID("U_D", 1), field);
  EXPECT_EQ(reader.GetSimpleFieldSize(field, 1, 1), 3);
  std::vector<double> values(39, kUntouched);
  ASSERT_TRUE(reader.GetSimpleNodeField("U_D", 1, 1, 39, values.data()));
  EXPECT_EQ(values[2 * 3 + 1], 2.1);
  EXPECT_EQ(values[5 * 3 + 0], 5.0);
  EXPECT_EQ(values[9 * 3 + 2], 9.2);
  EXPECT_EQ(values[12 * 3 + 1], 12.1);
}

TEST_F(ZORMtkSimReaderWriterRoundTripTest, IncrementsAddedByWritesAreReadAndInterpolated) {
  const ZORSimDynamicID field = writer.AddSimpleNodeField(mesh, "NT", 1);
  cow_List<int> nodes{0, 1};
  std::vector<double> first = {1.0, 2.0};
  std::vector<double> third = {5.0, 10.0};
  ASSERT_TRUE(writer.WriteSimpleNodeField(field, mesh, 1, 1, 1, nodes, first.data()));
  ASSERT_TRUE(writer.WriteSimpleNodeField(field, mesh, 1, 3, 1, nodes, third.data()));
  ScopeAll();
  std::vector<double> values(13, kUntouched);
  ASSERT_TRUE(reader.GetSimpleNodeField(field, 1, 3, 13, values.data()));
  EXPECT_EQ(values[1], 10.0);
  ASSERT_TRUE(
      reader.GetInterpolatedSimpleNodeField(field, 1, 1, 0.0, 3, 1.0, 0.25, 13, values.data()));
  EXPECT_EQ(values[0], 2.0);
  EXPECT_EQ(values[1], 4.0);
  EXPECT_EQ(values[2], 0.0);
  EXPECT_FALSE(reader.GetSimpleNodeField(field, 1, 4, 13, values.data()));
  EXPECT_FALSE(reader.GetSimpleNodeField(field, 2, 1, 13, values.data()));
}

// Integration-point fields carry drawers only for classes with integration-point data, so this
// case builds a second mesh of plane quadrilaterals (4 points) and shell triangles (1 point).
TEST_F(ZORMtkSimReaderWriterRoundTripTest, IntegrationPointFieldPerClass) {
  const ZORSimDynamicID plane = writer.AddMesh();
  std::vector<double> coords = {0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 1, 0, 1, 1, 0, 2, 1, 0};
  writer.AddMeshNodes(plane, 6, 3, coords.data());
  std::vector<int> quads = {0, 1, 4, 3, 1, 2, 5, 4};
  std::vector<int> triangle = {0, 1, 3};
  ZORSimArray<ZORSimCSetID> blocks{writer.AddMeshElements(plane, 2, "CPE4", 4, quads.data()),
                                   writer.AddMeshElements(plane, 1, "S3R", 3, triangle.data())};
  cow_List<cow_String> types{"CPE4", "S3R"};
  writer.ConnectMeshEltypes(plane, blocks, types);
  const ZORSimDynamicID field = writer.AddSimpleElementField(plane, "PRESS", 2);
  cow_List<int> quadList{1, 0};
  std::vector<double> quadValues;
  for (int e : {1, 0})
    for (int p = 0; p < 4; ++p)
      for (int c = 0; c < 2; ++c) quadValues.push_back(100.0 * e + 10.0 * p + c);
  ASSERT_TRUE(
      writer.WriteSimpleElementClassField(field, plane, 1, 1, 4, 2, quadList, quadValues.data()));
  cow_List<int> triangleList{2};
  std::vector<double> triangleValues = {7.0, 8.0};
  ASSERT_TRUE(writer.WriteSimpleElementClassField(field, plane, 1, 1, 1, 2, triangleList,
                                                  triangleValues.data()));

  reader.SetElsetRegion(writer.GetRootPosition(), plane, {});
  EXPECT_EQ(reader.GetSimpleFieldSize(field, 1, 1), 2);
  std::vector<int> order = {0, 1};
  std::vector<double> values(17, kUntouched);
  ASSERT_TRUE(
      reader.GetSimpleElementClassField(field, 1, 1, order.data(), 2, 4, 16, values.data()));
  EXPECT_EQ(values[0], 0.0);
  EXPECT_EQ(values[3 * 2 + 1], 31.0);
  EXPECT_EQ(values[8 + 2 * 2], 120.0);
  EXPECT_EQ(values[16], kUntouched);
  int element = 2;
  ASSERT_TRUE(reader.GetSimpleElementClassField(field, 1, 1, &element, 1, 1, 2, values.data()));
  EXPECT_EQ(values[0], 7.0);
  EXPECT_EQ(values[1], 8.0);
}

TEST_F(ZORMtkSimReaderWriterRoundTripTest, VtkOutputOfWrittenMeshNamesItsField) {
  const ZORSimDynamicID field = writer.AddSimpleNodeField(mesh, "NT", 1);
  cow_List<int> nodes{4};
  double value = 42.5;
  ASSERT_TRUE(writer.WriteSimpleNodeField(field, mesh, 1, 1, 1, nodes, &value));
  ScopeAll();
  const std::string base = ::testing::TempDir() + "zor_reader_round_trip";
  cow_List<cow_String> names{"NT"};
  cow_List<int> skip{0};
  reader.VtkOutput(base.c_str(), names, skip, 1);
  std::FILE* file = std::fopen((base + ".vtu").c_str(), "r");
  ASSERT_NE(file, nullptr);
  std::string text;
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
    text.push_back(static_cast<char>(c));
  std::fclose(file);
  std::remove((base + ".vtu").c_str());
  EXPECT_NE(text.find("Name=\"NT\" NumberOfComponents=\"1\""), std::string::npos);
  EXPECT_NE(text.find("   4.25000E+01 \n"), std::string::npos);
  EXPECT_NE(text.find("\n          9 23 23 "), std::string::npos) << "tet first, then hexes";
}

}  // namespace
