#include <gtest/gtest.h>

#include <filesystem>

#include "MeshDatabaseWriter.h"
#include "MeshFileReader.h"
#include "ProgramRun.h"
#include "TempDirectory.h"
#include "VtuCellTypes.h"
#include "ZORGfmApi.h"

namespace {

// The library's line interpolation is one at the node of its weight, so evaluating it at VTK's
// parametric points of the written order proves that order is VTK's: ends first, middle last.
TEST(VtuCellOrder, LinesAreWrittenWithTheirEndsFirstAsVtkNumbersThem) {
  for (const char* elementClass : {"B31", "B32"}) {
    const VtuCellTypes::CellType& cell = *VtuCellTypes::ForClass(elementClass);
    EXPECT_EQ(cell.vtkType, cell.nodes == 2 ? 3 : 21);
    double library[9] = {0, 0, 0, 0.5, 0, 0, 1, 0, 0};  // a middle node comes second here
    if (cell.nodes == 2) library[3] = 1.0;
    const double vtkPoints[3] = {0.0, 1.0, 0.5};
    for (int k = 0; k < cell.nodes; ++k) {
      double point[3] = {vtkPoints[k], 0, 0}, weights[3] = {};
      ASSERT_TRUE(ZORMtkGeom::IncludedInLine(weights, point, library, cell.nodes, 3));
      EXPECT_NEAR(weights[cell.order[k]], 1.0, 1e-12) << elementClass << " VTK node " << k;
    }
  }
}

// A field with values in two increments: one file per increment and the collection listing
// them, each file holding its own increment's values; --increment picks one.
TEST(ExportCommand, SeveralIncrementsGiveOneFileEachAndACollection) {
  TempDirectory directory;
  {
    ZORMtkSimWriter writer;
    writer.CreateSim(directory.Path("steps.zdb"));
    MeshDatabaseWriter database(writer);
    AssembledMesh triangle;
    triangle.coordinateComponents = 2;
    triangle.coordinates = {0, 0, 1, 0, 0, 1};
    triangle.blocks = {{"CPE3", 3, {0, 1, 2}}};
    const ZORSimDynamicID mesh = database.WriteMesh(triangle);
    const ZORSimDynamicID field = writer.AddSimpleNodeField(mesh, "NT", 1);
    cow_List<int> nodes = {0, 1, 2};
    for (int increment : {1, 2}) {
      std::vector<double> values(3, 10.0 * increment);
      ASSERT_TRUE(writer.WriteSimpleNodeField(field, mesh, 1, increment, 1, nodes, values.data()));
    }
    writer.SaveContext();
  }
  const std::string base = directory.Path("steps");
  ASSERT_EQ(ProgramRun::InProcess({"export", base + ".zdb", "--vtu", base}).status, 0);
  for (int increment : {1, 2}) {
    const RawMesh written =
        MeshFileReader::Read(base + "_s1_i" + std::to_string(increment) + ".vtu");
    EXPECT_EQ(written.pointArrays.at(0).values, std::vector<double>(3, 10.0 * increment));
  }
  EXPECT_TRUE(std::filesystem::exists(base + ".pvd"));
  ASSERT_EQ(
      ProgramRun::InProcess({"export", base + ".zdb", "--vtu", base + "-2", "--increment", "2"})
          .status,
      0);
  EXPECT_EQ(MeshFileReader::Read(base + "-2.vtu").pointArrays.at(0).values,
            std::vector<double>(3, 20.0));
}

}  // namespace
