#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ZORStream.h"
#include "reader/ZORMtkSimReader.h"
#include "reader/ZORReaderTestMeshes.h"
#include "support/ZORTestCapture.h"
#include "tests/platform/PlatformTestDatabase.h"

// The .vtu text is compared byte for byte: viewers are strict about it, and the golden file
// shows at a glance what a host gets.

namespace {

// The folder of this file, where the real-reader script lives.
std::string ThisFolder() {
  const std::string file = __FILE__;
  return file.substr(0, file.find_last_of('/'));
}

std::string TestData() {
  const char* folder = std::getenv("ZORMTK_TEST_DATA");
  return folder ? folder : ThisFolder() + "/../data";
}

bool Exists(const std::string& name) { return std::ifstream(name).good(); }

std::string Between(const std::string& text, const std::string& from, const std::string& to) {
  const std::size_t start = text.find(from);
  if (start == std::string::npos) return "";
  const std::size_t end = text.find(to, start + from.size());
  return text.substr(start + from.size(), end - start - from.size());
}

class ZORMtkSimReaderVtkTest : public ::testing::Test {
 protected:
  ZORTestSourceDatabase db;
  ZORSimDynamicID step = db.AddStaticStep();
  ZORMtkSimReader reader;
  std::string base = ScratchFile(std::string("vtk_") +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());

  void TearDown() override {
    if (!std::getenv("ZOR_KEEP_VTU")) std::remove((base + ".vtu").c_str());
  }

  std::string Write(cow_List<cow_String> names = {}, cow_List<int> skip = {}, int increment = 1) {
    reader.VtkOutput(base.c_str(), names, skip, increment);
    return ReadFile(base + ".vtu");
  }
};

// The mixed mesh with a three-component and a scalar field; V_D is skipped and CF_D absent.
class ZORMtkSimReaderVtkMixedTest : public ZORMtkSimReaderVtkTest {
 protected:
  ZORMixedMesh mixed = ZORMixedMesh::Build(db);
  void SetUp() override {
    const ZORSimDynamicID displacement = db.AddField(step, "U_D");
    std::vector<double> u;
    for (int n = 0; n < 14; ++n) u.insert(u.end(), {0.5 * n, -1.25e-3 * (n + 1), 1.0e5 + n});
    db.AddNodalDrawer(displacement, mixed.mesh, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}, 3,
                      u);
    const ZORSimDynamicID temperature = db.AddField(step, "NT");
    db.AddNodalDrawer(temperature, mixed.mesh, {12, 5}, 1, {273.15, -40.0});
    const ZORSimDynamicID velocity = db.AddField(step, "V_D");
    db.AddNodalDrawer(velocity, mixed.mesh, {0}, 1, {1.0});
  }
};

TEST_F(ZORMtkSimReaderVtkMixedTest, WholeMeshMatchesGoldenFile) {
  reader.SetElsetRegion(db.Root(), mixed.mesh, {});
  const std::string text = Write({"U_D", "V_D", "CF_D", "NT"}, {0, 1, 0, 0});
  EXPECT_EQ(text, ReadFile(TestData() + "/reader_mixed_mesh.vtu"));
}

TEST_F(ZORMtkSimReaderVtkMixedTest, PartialRegionConnectivityUsesPointPositions) {
  reader.SetElsetRegion(db.Root(), mixed.mesh, {3});  // tet (12, 5, 11, 8): points 5 8 11 12
  const std::string text = Write();
  EXPECT_EQ(Between(text, "Name=\"connectivity\" Format=\"ascii\">", "\n        </DataArray>"),
            "\n          3 0 2 1 ");
  EXPECT_NE(text.find("<Piece NumberOfPoints=\"4\" NumberOfCells=\"1\">"), std::string::npos);
}

TEST_F(ZORMtkSimReaderVtkMixedTest, ShortSkipListThrowsBeforeFileExists) {
  reader.SetElsetRegion(db.Root(), mixed.mesh, {});
  cow_List<cow_String> names{"U_D", "NT"};
  cow_List<int> skip{0};
  EXPECT_THROW(reader.VtkOutput(base.c_str(), names, skip, 1), std::out_of_range);
  EXPECT_FALSE(Exists(base + ".vtu"));
}

TEST_F(ZORMtkSimReaderVtkMixedTest, UnopenableFileIsPassedOverSilently) {
  reader.SetElsetRegion(db.Root(), mixed.mesh, {});
  const CapturedStream errors(aio_cerr);
  const std::string missing = ::testing::TempDir() + "no_such_folder/out";
  cow_List<cow_String> names;
  cow_List<int> skip;
  reader.VtkOutput(missing.c_str(), names, skip, 1);
  reader.VtkOutput(nullptr, names, skip, 1);
  EXPECT_EQ(errors.Text(), "");
  EXPECT_FALSE(Exists(missing + ".vtu"));
}

TEST_F(ZORMtkSimReaderVtkTest, EmptyReaderCreatesNoFile) {
  Write();
  EXPECT_FALSE(Exists(base + ".vtu"));
}

// Two coordinates per node are padded with a zero; no elements leave the cell arrays empty.
TEST_F(ZORMtkSimReaderVtkTest, NodeRegionMatchesGoldenFile) {
  const ZORSimDynamicID mesh = db.AddMesh();
  db.AddNodes(mesh, 2, {1.5, -2.0, 3.0, 4.0});
  reader.SetNodesetRegion(db.Root(), mesh, {});
  EXPECT_EQ(Write(), ReadFile(TestData() + "/reader_node_region.vtu"));
}

// A point line shows a node's first three coordinates and zero on the axes its mesh lacks, and
// reads nothing of the next node's (or past the last one's) values.
TEST_F(ZORMtkSimReaderVtkTest, PointLinesPadOrCutEachNodesCoordinates) {
  for (const int components : {1, 2, 4}) {
    const ZORSimDynamicID mesh = db.AddMesh();
    std::vector<double> coords;
    std::string expected;
    for (int node = 0; node < 2; ++node) {
      double shown[3] = {0.0, 0.0, 0.0};
      for (int axis = 0; axis < components; ++axis) {
        coords.push_back(10.0 * node + axis + 1.0);
        if (axis < 3) shown[axis] = coords.back();
      }
      char line[64];
      std::snprintf(line, sizeof line, "          %14.5E %14.5E %14.5E\n", shown[0], shown[1],
                    shown[2]);
      expected += line;
    }
    db.AddNodes(mesh, components, coords);
    reader.SetNodesetRegion(db.Root(), mesh, {});
    EXPECT_EQ(
        Between(Write(), "NumberOfComponents=\"3\" Format=\"ascii\">\n", "        </DataArray>"),
        expected)
        << components << " coordinates per node";
  }
}

TEST_F(ZORMtkSimReaderVtkTest, OffsetsAndTypesBreakAfterThirteenValues) {
  const ZORSimDynamicID mesh = db.AddMesh();
  db.AddNodes(mesh, 2, {0, 0, 1, 0, 0, 1});
  std::vector<int> triangles;
  for (int e = 0; e < 27; ++e) triangles.insert(triangles.end(), {0, 1, 2});
  db.AddElements(mesh, "CPE3", 3, triangles);
  reader.SetElsetRegion(db.Root(), mesh, {});
  const std::string text = Write();
  EXPECT_EQ(Between(text, "Name=\"offsets\" Format=\"ascii\">", "\n        </DataArray>"),
            "\n          3 6 9 12 15 18 21 24 27 30 33 36 39 "
            "\n          42 45 48 51 54 57 60 63 66 69 72 75 78 "
            "\n          81 ");
  EXPECT_EQ(Between(text, "Name=\"types\" Format=\"ascii\">", "\n        </DataArray>"),
            "\n          5 5 5 5 5 5 5 5 5 5 5 5 5 \n          5 5 5 5 5 5 5 5 5 5 5 5 5 "
            "\n          5 ");
}

TEST_F(ZORMtkSimReaderVtkTest, CellTypesFollowNodesPerElement) {
  const ZORSimDynamicID mesh = db.AddMesh();
  std::vector<double> coords(20 * 3, 0.0);
  db.AddNodes(mesh, 3, coords);
  db.AddElements(mesh, "CPE4", 4, {0, 1, 2, 3});
  db.AddElements(mesh, "C3D6", 6, {0, 1, 2, 3, 4, 5});
  db.AddElements(mesh, "C3D10", 10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  db.AddElements(mesh, "CPE8", 8, {0, 1, 2, 3, 4, 5, 6, 7});
  reader.SetElsetRegion(db.Root(), mesh, {});
  // Classes in name order: C3D10, C3D6, CPE4, CPE8.
  EXPECT_EQ(Between(Write(), "Name=\"types\" Format=\"ascii\">", "\n        </DataArray>"),
            "\n          0 22 9 23 ");
}

// VTK keeps the arrays of only one point-data element per piece (the last one), so each field
// is checked in a file of its own writing besides the two-field file.
TEST_F(ZORMtkSimReaderVtkMixedTest, RealVtkReaderLoadsTheFile) {
  if (std::system("/usr/bin/python3 -c \"import vtk\" > /dev/null 2>&1") != 0)
    GTEST_SKIP() << "VTK for /usr/bin/python3 is missing (Debian package python3-vtk9); the "
                    "real-reader check of the .vtu file did not run";
  reader.SetElsetRegion(db.Root(), mixed.mesh, {});
  const std::string check =
      "/usr/bin/python3 " + ThisFolder() + "/check_vtu.py " + base + ".vtu 14 5 9,9,23,23,5 ";
  Write({"U_D", "NT"}, {0, 0});
  EXPECT_EQ(std::system((check + "NT 12 0 273.15").c_str()), 0) << check;
  Write({"U_D"}, {0});
  EXPECT_EQ(std::system((check + "U_D 13 2 100013").c_str()), 0) << check;
  EXPECT_NE(std::system((check + "U_D 13 2 100012 > /dev/null").c_str()), 0)
      << "the check script accepts a wrong value";
}

}  // namespace
