#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "CellCatalog.h"
#include "DatabaseProbe.h"
#include "ProgramRun.h"
#include "TempDirectory.h"
#include "TestMeshes.h"
#include "VtuTestWriter.h"
#include "ZORGfmApi.h"

namespace {

ProgramRun Fieldmap(const std::vector<std::string>& arguments) {
  return ProgramRun::InProcess(arguments);
}

// The class the database stores for an imported element type.
std::string StoredClass(const std::string& elementType) {
  return ZORMtkShp::GetRow(ZORMtkShp::GetBaseShape(elementType)).elementName;
}

// What the import must store: per element class, the file's connectivity of its cells.
std::map<std::string, std::vector<int>> ExpectedClasses(const RawMesh& mesh, bool plane) {
  std::map<std::string, std::vector<int>> classes;
  for (std::size_t c = 0; c < mesh.cellTypes.size(); ++c) {
    const CellCatalog::VtkCell& cell = *CellCatalog::FindVtk(mesh.cellTypes[c]);
    std::vector<int>& nodes =
        classes[StoredClass(plane ? cell.planeElement : cell.solidOrShellElement)];
    nodes.insert(nodes.end(), mesh.connectivity.begin() + mesh.offsets[c],
                 mesh.connectivity.begin() + mesh.offsets[c + 1]);
  }
  return classes;
}

class ImportRoundTrip : public ::testing::Test {
 protected:
  void ExpectImported(const RawMesh& mesh, const std::string& file, bool plane) {
    const std::string db = directory_.Path("imported.zdb");
    const ProgramRun run = Fieldmap(
        {"import", file, "--out", db, "--field", "temperature=NT", "--field", "velocity=V_D"});
    ASSERT_EQ(run.status, 0) << run.err;
    const DatabaseProbe probe(db);
    ASSERT_EQ(probe.NodeCount(), mesh.PointCount());
    ASSERT_EQ(probe.CoordinateComponents(), plane ? 2 : 3);
    const std::vector<double> xyz = probe.Coordinates();
    for (int p = 0; p < probe.NodeCount(); ++p)
      for (int axis = 0; axis < probe.CoordinateComponents(); ++axis)
        ASSERT_EQ(xyz[static_cast<std::size_t>(p * probe.CoordinateComponents() + axis)],
                  mesh.points[static_cast<std::size_t>(3 * p + axis)]);
    EXPECT_EQ(probe.Connectivity(), ExpectedClasses(mesh, plane));
    EXPECT_EQ(probe.NodeField("NT"), mesh.pointArrays[0].values);
    EXPECT_EQ(probe.NodeField("V_D"), mesh.pointArrays[1].values);
    // The array already named after a field type needs no --field.
    EXPECT_EQ(probe.NodeField("U_D"), mesh.pointArrays[2].values);
  }
  TempDirectory directory_;
};

TEST_F(ImportRoundTrip, EveryCellTypeAndEncodingArrivesInTheDatabaseUnchanged) {
  const RawMesh mesh = TestMeshes::AllCellTypes();
  for (auto encoding :
       {VtuTestWriter::Encoding::kAscii, VtuTestWriter::Encoding::kInlineBase64,
        VtuTestWriter::Encoding::kAppendedRaw, VtuTestWriter::Encoding::kAppendedBase64}) {
    for (bool compressed : {false, true}) {
      SCOPED_TRACE(static_cast<int>(encoding) * 2 + compressed);
      VtuTestWriter::Options options;
      options.encoding = encoding;
      options.compressed = compressed;
      const std::string file = directory_.Path("mesh.vtu");
      VtuTestWriter::Write(file, mesh, options);
      ExpectImported(mesh, file, false);
    }
  }
}

TEST_F(ImportRoundTrip, FlatSurfaceMeshesArriveAsPlaneElements) {
  const RawMesh mesh = TestMeshes::CellsOfTypes({5, 9, 22, 23}, 0.0);
  const std::string file = directory_.Path("plate.vtu");
  VtuTestWriter::Write(file, mesh, {});
  ExpectImported(mesh, file, true);
}

TEST_F(ImportRoundTrip, GmshMeshesArriveInTheLibrarysNodeOrder) {
  const std::vector<int> types = {10, 24, 13, 26, 12, 25};
  const std::string file = directory_.Path("solid.msh");
  std::ofstream(file) << TestMeshes::GmshText(types);
  const std::string db = directory_.Path("solid.zdb");
  const ProgramRun run = Fieldmap({"import", file, "--out", db, "--field", "temperature=NT"});
  ASSERT_EQ(run.status, 0) << run.err;
  const RawMesh mesh = TestMeshes::CellsOfTypes(types);
  const DatabaseProbe probe(db);
  EXPECT_EQ(probe.Connectivity(), ExpectedClasses(mesh, false));
  EXPECT_EQ(probe.NodeField("NT"), mesh.pointArrays[0].values);
}

TEST_F(ImportRoundTrip, ArraysWithoutAFieldTypeAreListedAndSkipped) {
  const std::string file = directory_.Path("mesh.vtu");
  VtuTestWriter::Write(file, TestMeshes::CellsOfTypes({12}), {});
  const std::string db = directory_.Path("mesh.zdb");
  const ProgramRun run = Fieldmap({"import", file, "--out", db});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("point array 'temperature' skipped"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("point array 'velocity' skipped"), std::string::npos);
  EXPECT_NE(run.out.find("field U_D (3 components) from 'U_D'"), std::string::npos);
  EXPECT_TRUE(DatabaseProbe(db).NodeField("NT").empty());
}

TEST_F(ImportRoundTrip, FieldOptionMistakesAreReportedBeforeAnythingIsWritten) {
  const std::string file = directory_.Path("mesh.vtu");
  VtuTestWriter::Write(file, TestMeshes::CellsOfTypes({12}), {});
  const std::string db = directory_.Path("mesh.zdb");
  const ProgramRun unknownType =
      Fieldmap({"import", file, "--out", db, "--field", "temperature=HEAT"});
  EXPECT_EQ(unknownType.status, 1);
  EXPECT_NE(unknownType.err.find("'HEAT' is not a field type"), std::string::npos);
  const ProgramRun missingArray =
      Fieldmap({"import", file, "--out", db, "--field", "pressure=PRESS"});
  EXPECT_EQ(missingArray.status, 2);
  EXPECT_NE(missingArray.err.find("has no point array 'pressure'"), std::string::npos);
  const ProgramRun twice = Fieldmap({"import", file, "--out", db, "--field", "temperature=U_D"});
  EXPECT_EQ(twice.status, 1);
  EXPECT_FALSE(std::filesystem::exists(db));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory_.Root()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(ImportRoundTrip, InvertedElementsAreReportedAsWarnings) {
  RawMesh mesh = TestMeshes::CellsOfTypes({10, 10});
  std::swap(mesh.connectivity[1], mesh.connectivity[2]);
  const std::string file = directory_.Path("inverted.vtu");
  VtuTestWriter::Write(file, mesh, {});
  const ProgramRun run = Fieldmap({"import", file, "--out", directory_.Path("inverted.zdb")});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.err.find("1 elements are inverted"), std::string::npos) << run.err;
}

// Files written by VTK itself, when python3 with VTK is present.
TEST_F(ImportRoundTrip, FilesWrittenByVtkInEveryDataModeImportAlike) {
  const char* python = std::getenv("FIELDMAP_PYTHON");
  const std::string script = std::string(FIELDMAP_TEST_SOURCE_DIR) + "/write_mesh_cases.py";
  if (!python || std::system((std::string(python) + " -c 'import vtk' 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "python3 with VTK (Debian python3-vtk9) is not installed";
  ASSERT_EQ(
      std::system((std::string(python) + " " + script + " " + directory_.Root().string()).c_str()),
      0);
  std::vector<double> reference;
  for (const char* name : {"ascii", "binary", "binary-zlib", "appended", "appended-zlib",
                           "appended-base64-zlib", "appended-zlib-uint64"}) {
    SCOPED_TRACE(name);
    const std::string db = directory_.Path(std::string(name) + ".zdb");
    const ProgramRun run = Fieldmap({"import", directory_.Path(std::string(name) + ".vtu"), "--out",
                                     db, "--field", "temperature=NT", "--field", "velocity=V_D"});
    ASSERT_EQ(run.status, 0) << run.err;
    // VTK's own parametric layout of every cell is a good element for the library.
    EXPECT_EQ(run.err.find("warning"), std::string::npos) << run.err;
    const DatabaseProbe probe(db);
    const std::map<std::string, std::vector<int>> classes = probe.Connectivity();
    EXPECT_EQ(classes.size(), 11u);
    const std::vector<double> xyz = probe.Coordinates();
    const std::vector<double> temperature = probe.NodeField("NT");
    ASSERT_EQ(temperature.size(), static_cast<std::size_t>(probe.NodeCount()));
    for (int p = 0; p < probe.NodeCount(); ++p)
      EXPECT_DOUBLE_EQ(temperature[p], xyz[3 * p] + 2 * xyz[3 * p + 1] + 3 * xyz[3 * p + 2]);
    if (reference.empty()) reference = xyz;
    EXPECT_EQ(xyz, reference);
    EXPECT_EQ(probe.NodeField("V_D").size(), 3 * temperature.size());
  }
}

}  // namespace
