#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <numeric>

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
    directory_ = std::make_unique<TempDirectory>();
    demo_ = ProgramRun::InProcess({"demo", "--size", "6", "--out", directory_->Root().string()});
  }
  static void TearDownTestSuite() { directory_.reset(); }
  void SetUp() override { ASSERT_EQ(demo_.status, 0) << demo_.err << demo_.out; }
  static std::string Path(const std::string& name) { return directory_->Path(name); }
  // The demo source's NT mapped onto the target box, with the outputs and options given.
  static ProgramRun MapNtOntoBox(const std::vector<std::string>& more) {
    std::vector<std::string> line = {
        "map",     "--source", Path("demo-source.zdb"), "--target", Path("demo-target-box.vtu"),
        "--field", "NT"};
    line.insert(line.end(), more.begin(), more.end());
    return ProgramRun::InProcess(line);
  }

  inline static std::unique_ptr<TempDirectory> directory_;
  inline static ProgramRun demo_;
};

TEST_F(MapCommandOnDemoData, MapIntoACopyOfATargetDatabaseLeavesTheTargetItselfUnchanged) {
  EXPECT_NE(demo_.out.find("diagnostics: none, every target point was placed"), std::string::npos);
  // A quadratic tetrahedron in a corner of the unit box, imported without fields.
  RawMesh mesh = TestMeshes::CellsOfTypes({24});
  mesh.pointArrays.clear();
  VtuTestWriter::Write(Path("corner.vtu"), mesh, {});
  ASSERT_EQ(
      ProgramRun::InProcess({"import", Path("corner.vtu"), "--out", Path("corner.zdb")}).status, 0);
  const ProgramRun run =
      ProgramRun::InProcess({"map", "--source", Path("demo-source.zdb"), "--target",
                             Path("corner.zdb"), "--field", "NT", "--out", Path("c.zdb")});
  ASSERT_EQ(run.status, 0) << run.err << run.out;
  EXPECT_TRUE(ProgramRun::Exported(Path("corner.zdb")).pointArrays.empty());
  const RawMesh mapped = ProgramRun::Exported(Path("c.zdb"));
  ASSERT_EQ(mapped.pointArrays.at(0).name, "NT");
  for (std::size_t n = 0; n < 10; ++n)
    EXPECT_NEAR(mapped.pointArrays[0].values.at(n),
                DemoModel::Temperature(mapped.points[3 * n], mapped.points[3 * n + 1],
                                       mapped.points[3 * n + 2]),
                1e-4)
        << "node " << n;
}

// Between meshes that do not match, the nearest-node notes are expected, not problems.
TEST_F(MapCommandOnDemoData, NearestNodeBetweenMeshesOfDifferentSizesPrintsNotesAndExitsWithZero) {
  const ProgramRun run = MapNtOntoBox({"--method", "nearest", "--out", Path("nearest.zdb")});
  EXPECT_EQ(run.status, 0) << run.err;
  // The data of each note follows its text: source and target node counts here.
  EXPECT_NE(run.out.find("notes:\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("The respective node counts are: 343, 125"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("problems:"), std::string::npos) << run.out;
}

TEST_F(MapCommandOnDemoData, ConserveKeepsTheSumOfTheSourceField) {
  const ProgramRun run = MapNtOntoBox({"--conserve", "--out", Path("conserved.zdb")});
  ASSERT_EQ(run.status, 0) << run.err << run.out;
  const auto sum = [](const std::string& db) {
    for (const PointArray& array : ProgramRun::Exported(db).pointArrays)
      if (array.name == "NT") return std::accumulate(array.values.begin(), array.values.end(), 0.0);
    return 0.0;
  };
  EXPECT_NEAR(sum(Path("conserved.zdb")), sum(Path("demo-source.zdb")),
              1e-9 * std::fabs(sum(Path("demo-source.zdb"))));
}

TEST_F(MapCommandOnDemoData, BadRequestsNameWhatIsMissing) {
  const std::string source = Path("demo-source.zdb"), box = Path("demo-target-box.vtu");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--target", box, "--field", "PRESS"},
       "no field 'PRESS' on mesh 1 in step 1 (fields: U_D, NT, LE)"},
      {{"--target", Path("demo-target.zdb"), "--field", "U_D"}, "already holds a field U_D"},
      {{"--target", box, "--field", "U_D", "--step", "2"}, "has no step 2"},
      {{"--target", directory_->Root().string(), "--field", "NT"},
       "is a directory, not a database or mesh file"}};
  for (const auto& [arguments, expected] : cases) {
    std::vector<std::string> line = {"map", "--source", source, "--out", Path("bad.zdb")};
    line.insert(line.end(), arguments.begin(), arguments.end());
    const ProgramRun run = ProgramRun::InProcess(line);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(expected), std::string::npos) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(Path("bad.zdb")));
}

// An output that is an input, or both outputs in one file, is refused before anything is written:
// the file there before keeps its bytes.
TEST_F(MapCommandOnDemoData, AnOutputThatIsAnInputOrTheOtherOutputIsRefusedAndTheFileKept) {
  const std::string source = Path("demo-source.zdb"), box = Path("demo-target-box.vtu");
  const std::string kept = Path("kept.vtu");
  const struct {
    std::vector<std::string> outputs;
    std::string file;
    std::string expected;
  } cases[] = {
      {{"--out", source}, source, "is the input " + source},
      {{"--out", Path("m.zdb"), "--vtu", Path("demo-target-box")}, box, "is the input " + box},
      {{"--out", kept, "--vtu", Path("kept")},
       kept,
       "and --vtu " + Path("kept") + " name one file"},
  };
  for (const auto& test : cases) {
    { std::ofstream(kept) << "kept"; }
    const auto bytes = [&test] {
      std::ifstream in(test.file, std::ios::binary);
      return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string before = bytes();
    const ProgramRun run = MapNtOntoBox(test.outputs);
    EXPECT_EQ(run.status, 1) << test.expected;
    EXPECT_NE(run.err.find(test.expected), std::string::npos) << run.err;
    EXPECT_EQ(bytes(), before) << test.file;
  }
}

// A place nothing can be written to that has no space figures is not called a full disk, and the
// reason does not name the temporary file the user never asked for.
TEST_F(MapCommandOnDemoData, AnOutputWhereNothingCanBeWrittenIsNotCalledAFullDisk) {
  const ProgramRun run = MapNtOntoBox({"--out", "/proc/zor-mapped.zdb"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("/proc/zor-mapped.zdb: cannot be written ("), std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("disk full"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find(".part-"), std::string::npos) << run.err;
}

// A search setting in the environment is checked as its option is, unless the option is given.
TEST_F(MapCommandOnDemoData, UnusableSearchSettingsInTheEnvironmentAreRefusedUnlessAnOptionWins) {
  const struct {
    const char* variable;
    const char* value;
    std::vector<std::string> options;
    const char* refusal;  // null when the run goes ahead
  } cases[] = {
      {"ZORMTK_BOUNDARY_TOLERANCE", "abc", {}, "is 'abc', not a tolerance above 0"},
      {"ZORMTK_BOUNDARY_TOLERANCE", "-5", {}, "is '-5', not a tolerance above 0"},
      {"ZORMTK_NORMAL_TOLERANCE", "nan", {}, "is 'nan', not a tolerance above 0"},
      {"ZORMTK_THREADS", "2.5", {}, "is '2.5', not a thread count (0: all)"},
      {"ZORMTK_THREADS", "abc", {"--threads", "2"}, nullptr},
      {"ZORMTK_BOUNDARY_TOLERANCE", "-5", {"--boundary-tolerance", "0.3"}, nullptr},
      {"ZORMTK_BOUNDARY_TOLERANCE", "0.4", {}, nullptr},
      {"ZORMTK_THREADS", "", {}, nullptr},
  };
  for (const auto& test : cases) {
    const char* before = std::getenv(test.variable);
    const bool wasSet = before != nullptr;
    const std::string kept = wasSet ? before : "";
    ::setenv(test.variable, test.value, 1);
    std::vector<std::string> more = {"--out", Path("environment.zdb")};
    more.insert(more.end(), test.options.begin(), test.options.end());
    const ProgramRun run = MapNtOntoBox(more);
    if (wasSet)
      ::setenv(test.variable, kept.c_str(), 1);
    else
      ::unsetenv(test.variable);
    if (test.refusal) {
      EXPECT_EQ(run.status, 1) << test.variable << "=" << test.value;
      EXPECT_NE(run.err.find(std::string(test.variable) + " " + test.refusal), std::string::npos)
          << run.err;
    } else {
      EXPECT_NE(run.status, 1) << test.variable << "=" << test.value << ": " << run.err;
    }
  }
}

// The JSON form holds what the text form says, for scripts.
TEST_F(MapCommandOnDemoData, InfoListsMeshesClassesStepsAndFields) {
  EXPECT_NE(ProgramRun::InProcess({"info", Path("demo-source.zdb")})
                .out.find("field LE: integration points"),
            std::string::npos);
  const ProgramRun json = ProgramRun::InProcess({"info", Path("demo-source.zdb"), "--json"});
  EXPECT_NE(
      json.out.find(
          R"("meshes": [{"nodes": 343, "coordinates": 3, "elements": 216, "classes": [{"name": )"
          R"("C3D8", "count": 216}]}, {"nodes": 169, "coordinates": 2, "elements": 144, )"
          R"("classes": [{"name": "CPE4", "count": 144}]}], "steps": [{"number": 1, "static": )"
          R"(false, "increments": [0, 1], "fields": [{"fieldType": "U_D", "name": "U_D", )"
          R"("location": "nodes", "components": 3, "meshes": [1]}, {"fieldType": "NT", "name": )"
          R"("NT", "location": "nodes", "components": 1, "meshes": [1]}, {"fieldType": "LE", )"
          R"("name": "LE", "location": "integration points", "components": 3, "meshes": [2]}]}]})"),
      std::string::npos)
      << json.out;
}

}  // namespace
