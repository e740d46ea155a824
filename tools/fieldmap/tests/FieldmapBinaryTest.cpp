#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ProgramRun.h"
#include "TempDirectory.h"
#include "TestMeshes.h"
#include "VtuTestWriter.h"

namespace {

TEST(FieldmapExitStatus, UsageMistakesExitWithOneAndHelpWithZero) {
  for (const char* arguments :
       {"", "bogus", "import", "import a.vtu", "map --source a.zdb", "demo --size ten",
        "info a.zdb b.zdb", "map --method best", "export a.zdb", "export --vtu x"}) {
    const ProgramRun run = ProgramRun::Binary(arguments);
    EXPECT_EQ(run.status, 1) << arguments << ": " << run.err;
    EXPECT_NE(run.err.find("--help"), std::string::npos) << arguments;
  }
  for (const char* command : {"demo", "import", "map", "info", "export", "field-types"}) {
    const ProgramRun run = ProgramRun::Binary(std::string(command) + " --help");
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_EQ(run.out.rfind(std::string("usage: fieldmap ") + command, 0), 0u) << run.out;
  }
  EXPECT_EQ(ProgramRun::Binary("--version").out.rfind("fieldmap 0.", 0), 0u);
}

TEST(FieldmapExitStatus, BadInputExitsWithTwoNamingTheFileAndLeavesNoOutput) {
  TempDirectory directory;
  RawMesh mesh = TestMeshes::CellsOfTypes({12});
  mesh.cellTypes[0] = 42;
  VtuTestWriter::Write(directory.Path("unknown.vtu"), mesh, {});
  std::ofstream(directory.Path("garbage.zdb")) << "not a database";
  std::ofstream(directory.Path("mesh.obj")) << "v 0 0 0";
  const std::string out = " --out " + directory.Path("out.zdb");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"import " + directory.Path("missing.vtu") + out, "missing.vtu: cannot be opened"},
      {"import " + directory.Path("unknown.vtu") + out, "unknown.vtu: cell 0: VTK cell type 42"},
      {"import " + directory.Path("mesh.obj") + out, "mesh.obj: unknown mesh format"},
      {"info " + directory.Path("garbage.zdb"), "garbage.zdb"},
      {"export " + directory.Path("garbage.zdb") + " --vtu " + directory.Path("out"),
       "garbage.zdb"},
      {"map --source " + directory.Path("garbage.zdb") + " --target " +
           directory.Path("unknown.vtu") + " --field NT" + out,
       "garbage.zdb"},
      {"import " + directory.Path("unknown.vtu") + " --out " + directory.Path("no/dir/out.zdb"),
       "does not exist"}};
  for (const auto& [arguments, expected] : cases) {
    const ProgramRun run = ProgramRun::Binary(arguments);
    EXPECT_EQ(run.status, 2) << arguments << ": " << run.err;
    EXPECT_NE(run.err.find(expected), std::string::npos) << run.err;
  }
  // Only the inputs remain: no output and no temporary file.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory.Root()), {}), 3);
}

TEST(FieldmapProgress, PlainLinesWithoutCarriageReturnsWhenStandardErrorIsAFile) {
  TempDirectory directory;
  VtuTestWriter::Write(directory.Path("mesh.vtu"), TestMeshes::CellsOfTypes({12, 10}), {});
  const ProgramRun run = ProgramRun::Binary("import " + directory.Path("mesh.vtu") + " --out " +
                                            directory.Path("mesh.zdb"));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("mesh.vtu ...\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("write mesh done in "), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find('\r'), std::string::npos);
  EXPECT_NE(run.out.find("wrote " + directory.Path("mesh.zdb")), std::string::npos);
}

}  // namespace
