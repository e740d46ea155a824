#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "DatabaseProbe.h"
#include "DemoModel.h"
#include "ProgramRun.h"
#include "TempDirectory.h"
#include "TestMeshes.h"
#include "VtuTestWriter.h"

namespace {

// One small demo run shared by the tests: its databases and .vtu files are the inputs of map.
class MapCommandOnDemoData : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    directory_ = new TempDirectory();
    demo_ = ProgramRun::InProcess({"demo", "--size", "6", "--out", directory_->Root().string()});
  }
  static void TearDownTestSuite() {
    delete directory_;
    directory_ = nullptr;
  }
  static std::string Path(const std::string& name) { return directory_->Path(name); }

  static TempDirectory* directory_;
  static ProgramRun demo_;
};

TempDirectory* MapCommandOnDemoData::directory_ = nullptr;
ProgramRun MapCommandOnDemoData::demo_;

TEST_F(MapCommandOnDemoData, DemoPlacesEveryPointAndReproducesTheLinearFields) {
  ASSERT_EQ(demo_.status, 0) << demo_.err << demo_.out;
  EXPECT_NE(demo_.out.find("diagnostics: none, every target point was placed"), std::string::npos);
  for (const char* file :
       {"demo-source.zdb", "demo-target.zdb", "demo-target-box.vtu", "demo-target-plate.vtu"})
    EXPECT_TRUE(std::filesystem::exists(Path(file))) << file;
}

TEST_F(MapCommandOnDemoData, MapIntoACopyOfATargetDatabaseLeavesTheTargetItselfUnchanged) {
  ASSERT_EQ(demo_.status, 0);
  // A quadratic tetrahedron in a corner of the unit box, imported without fields.
  RawMesh mesh = TestMeshes::CellsOfTypes({24});
  mesh.pointArrays.clear();
  VtuTestWriter::Write(Path("corner.vtu"), mesh, {});
  ASSERT_EQ(
      ProgramRun::InProcess({"import", Path("corner.vtu"), "--out", Path("corner.zdb")}).status, 0);
  const auto before = std::filesystem::file_size(Path("corner.zdb"));
  const ProgramRun run = ProgramRun::InProcess({"map", "--source", Path("demo-source.zdb"),
                                                "--target", Path("corner.zdb"), "--field", "NT",
                                                "--out", Path("corner-mapped.zdb")});
  ASSERT_EQ(run.status, 0) << run.err << run.out;
  EXPECT_EQ(std::filesystem::file_size(Path("corner.zdb")), before);
  EXPECT_TRUE(DatabaseProbe(Path("corner.zdb")).NodeField("NT").empty());
  const DatabaseProbe probe(Path("corner-mapped.zdb"));
  const std::vector<double> xyz = probe.Coordinates();
  const std::vector<double> t = probe.NodeField("NT");
  ASSERT_EQ(t.size(), 10u);
  for (int n = 0; n < 10; ++n)
    EXPECT_NEAR(t[n], DemoModel::Temperature(xyz[3 * n], xyz[3 * n + 1], xyz[3 * n + 2]), 1e-4)
        << "node " << n;
}

// Between meshes that do not match, the nearest-node notes are expected, not problems.
TEST_F(MapCommandOnDemoData, NearestNodeBetweenMeshesOfDifferentSizesPrintsNotesAndExitsWithZero) {
  ASSERT_EQ(demo_.status, 0);
  const ProgramRun run = ProgramRun::InProcess(
      {"map", "--source", Path("demo-source.zdb"), "--target", Path("demo-target-box.vtu"),
       "--field", "NT", "--method", "nearest", "--out", Path("nearest.zdb")});
  EXPECT_EQ(run.status, 0) << run.err;
  // The data of each note follows its text: source and target node counts here.
  EXPECT_NE(run.out.find("notes:\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("The respective node counts are: 343, 125"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("problems:"), std::string::npos) << run.out;
  EXPECT_EQ(DatabaseProbe(Path("nearest.zdb")).NodeField("NT").size(),
            static_cast<std::size_t>(DatabaseProbe(Path("nearest.zdb")).NodeCount()));
}

TEST_F(MapCommandOnDemoData, ConserveKeepsTheSumOfTheSourceField) {
  ASSERT_EQ(demo_.status, 0);
  const ProgramRun run = ProgramRun::InProcess(
      {"map", "--source", Path("demo-source.zdb"), "--target", Path("demo-target-box.vtu"),
       "--field", "NT", "--conserve", "--out", Path("conserved.zdb")});
  ASSERT_EQ(run.status, 0) << run.err << run.out;
  double sourceSum = 0.0, targetSum = 0.0;
  for (double value : DatabaseProbe(Path("demo-source.zdb")).NodeField("NT")) sourceSum += value;
  for (double value : DatabaseProbe(Path("conserved.zdb")).NodeField("NT")) targetSum += value;
  EXPECT_NEAR(targetSum, sourceSum, 1e-9 * std::fabs(sourceSum));
}

TEST_F(MapCommandOnDemoData, BadRequestsNameWhatIsMissing) {
  ASSERT_EQ(demo_.status, 0);
  const ProgramRun unknownField = ProgramRun::InProcess(
      {"map", "--source", Path("demo-source.zdb"), "--target", Path("demo-target-box.vtu"),
       "--field", "PRESS", "--out", Path("bad.zdb")});
  EXPECT_EQ(unknownField.status, 2);
  EXPECT_NE(unknownField.err.find("no field 'PRESS' on mesh 1 in step 1 (fields: U_D, NT, LE)"),
            std::string::npos)
      << unknownField.err;
  const ProgramRun occupied =
      ProgramRun::InProcess({"map", "--source", Path("demo-source.zdb"), "--target",
                             Path("demo-target.zdb"), "--field", "U_D", "--out", Path("bad.zdb")});
  EXPECT_EQ(occupied.status, 2);
  EXPECT_NE(occupied.err.find("already holds a field U_D"), std::string::npos) << occupied.err;
  const ProgramRun noStep = ProgramRun::InProcess(
      {"map", "--source", Path("demo-source.zdb"), "--target", Path("demo-target-box.vtu"),
       "--field", "U_D", "--step", "2", "--out", Path("bad.zdb")});
  EXPECT_EQ(noStep.status, 2);
  EXPECT_NE(noStep.err.find("has no step 2"), std::string::npos) << noStep.err;
  EXPECT_FALSE(std::filesystem::exists(Path("bad.zdb")));
}

TEST_F(MapCommandOnDemoData, InfoListsMeshesClassesStepsAndFields) {
  ASSERT_EQ(demo_.status, 0);
  const ProgramRun run = ProgramRun::InProcess({"info", Path("demo-source.zdb")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find(": 2 meshes, 1 step\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("mesh 1: 343 nodes with 3 coordinates, 216 elements\n  C3D8: 216\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("mesh 2: 169 nodes with 2 coordinates, 144 elements\n  CPE4: 144\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("  field U_D: nodal, 3 components, mesh 1\n"), std::string::npos);
  EXPECT_NE(run.out.find("  field NT: nodal, 1 component, mesh 1\n"), std::string::npos);
  EXPECT_NE(run.out.find("  field LE: integration points, 3 components, mesh 2\n"),
            std::string::npos);
}

}  // namespace
