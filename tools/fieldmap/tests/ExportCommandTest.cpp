#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "MeshDatabaseWriter.h"
#include "MeshFileReader.h"
#include "ProgramRun.h"
#include "TempDirectory.h"

namespace {

// A field with values in three increments (0, as info lists it, among them) on one quadratic
// line: one file per increment and the collection listing them, each file holding its own
// increment's values; --increment picks one, 0 included.
// The line's middle node, second in the library's order (see ZORMtkGeom::IncludedInLine), is
// written last, where VTK's quadratic edge has it.
TEST(ExportCommand, SeveralIncrementsGiveOneFileEachAndLinesTakeVtksNodeOrder) {
  TempDirectory directory;
  const std::string base = directory.Path("steps");
  {
    ZORMtkSimWriter writer;
    writer.CreateSim(base + ".zdb");
    AssembledMesh line;
    line.coordinates = {0, 0, 0, 0.5, 0, 0, 1, 0, 0};
    line.blocks = {{"B32", 3, {0, 1, 2}}};
    const ZORSimDynamicID mesh = MeshDatabaseWriter(writer).WriteMesh(line);
    const ZORSimDynamicID field = writer.AddSimpleNodeField(mesh, "NT", 1);
    cow_List<int> nodes = {0, 1, 2};
    for (int increment : {0, 1, 2}) {
      std::vector<double> values(3, 10.0 * increment);
      ASSERT_TRUE(writer.WriteSimpleNodeField(field, mesh, 1, increment, 1, nodes, values.data()));
    }
    writer.SaveContext();
  }
  ASSERT_EQ(ProgramRun::InProcess({"export", base + ".zdb", "--vtu", base}).status, 0);
  for (int increment : {0, 1, 2}) {
    const RawMesh written =
        MeshFileReader::Read(base + "_s1_i" + std::to_string(increment) + ".vtu");
    EXPECT_EQ(written.pointArrays.at(0).values, std::vector<double>(3, 10.0 * increment));
    EXPECT_EQ(written.cellTypes, std::vector<int>{21});
    EXPECT_EQ(written.connectivity, (std::vector<int>{0, 2, 1}));
  }
  EXPECT_TRUE(std::filesystem::exists(base + ".pvd"));
  // One increment asked for, the last, the initial one or none there is.
  for (const auto& [increment, status, value] :
       {std::tuple{"2", 0, 20.0}, std::tuple{"0", 0, 0.0}, std::tuple{"-1", 1, 0.0}}) {
    const ProgramRun run =
        ProgramRun::InProcess({"export", base + ".zdb", "--vtu", base, "--increment", increment});
    ASSERT_EQ(run.status, status) << increment;
    if (status == 0) {
      EXPECT_EQ(MeshFileReader::Read(base + ".vtu").pointArrays.at(0).values,
                std::vector<double>(3, value))
          << increment;
    }
  }
}

// Meshes a host wrote with one, two or four coordinates per node export three per point: their
// first three, and 0 on the axes they lack.
TEST(ExportCommand, PointsTakeThreeCoordinatesWhateverTheMeshKeeps) {
  TempDirectory directory;
  for (const int axes : {1, 2, 4}) {
    const std::string base = directory.Path("axes" + std::to_string(axes));
    std::vector<double> coordinates, expected;
    for (int node = 0; node < 2; ++node)
      for (int axis = 0; axis < std::max(axes, 3); ++axis) {
        const double value = 10.0 * node + axis + 1.0;
        if (axis < axes) coordinates.push_back(value);
        if (axis < 3) expected.push_back(axis < axes ? value : 0.0);
      }
    {
      ZORMtkSimWriter writer;
      writer.CreateSim(base + ".zdb");
      const ZORSimDynamicID mesh = writer.AddMesh();
      writer.AddMeshNodes(mesh, 2, axes, coordinates.data());
      std::vector<int> connectivity = {0, 1};
      ZORSimArray<ZORSimCSetID> blocks{
          writer.AddMeshElements(mesh, 1, "T3D2", 2, connectivity.data())};
      cow_List<cow_String> types{"T3D2"};
      writer.ConnectMeshEltypes(mesh, blocks, types);
      writer.SaveContext();
    }
    ASSERT_EQ(ProgramRun::InProcess({"export", base + ".zdb", "--vtu", base}).status, 0) << axes;
    EXPECT_EQ(MeshFileReader::Read(base + ".vtu").points, expected) << axes << " axes";
  }
}

}  // namespace
