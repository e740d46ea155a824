#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "ProgramRun.h"
#include "TempDirectory.h"
#include "TestMeshes.h"
#include "VtuTestWriter.h"

namespace {

class ImportRoundTrip : public ::testing::Test {
 protected:
  TempDirectory directory_;
};

// Arrays without a field type are listed and skipped; the name a user gives a field with --field
// is the name map and export give it, even with the characters XML escapes.
TEST_F(ImportRoundTrip, ArrayNamesAreKeptOrListedAsSkipped) {
  const std::string file = directory_.Path("mesh.vtu"), db = directory_.Path("mesh.zdb");
  const std::string name = "temperature \"<&>\"";
  RawMesh mesh = TestMeshes::CellsOfTypes({12});
  mesh.pointArrays[0].name = "temperature &quot;&lt;&amp;&gt;&quot;";  // written as it is given
  VtuTestWriter::Write(file, mesh, {});
  const ProgramRun run =
      ProgramRun::InProcess({"import", file, "--out", db, "--field", name + "=NT"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("point array 'velocity' skipped"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("field U_D (3 components) from 'U_D'"), std::string::npos);
  const ProgramRun map = ProgramRun::InProcess({"map", "--source", db, "--target", file, "--field",
                                                name, "--out", directory_.Path("mapped.zdb")});
  ASSERT_EQ(map.status, 0) << map.err;
  EXPECT_NE(ProgramRun::InProcess({"info", directory_.Path("mapped.zdb")})
                .out.find("field NT '" + name + "'"),
            std::string::npos);
  const RawMesh mapped = ProgramRun::Exported(directory_.Path("mapped.zdb"));
  ASSERT_EQ(mapped.pointArrays.size(), 2u);
  EXPECT_EQ(mapped.pointArrays[0].name, name);
  EXPECT_EQ(mapped.pointArrays[1].name, "placed");
}

TEST_F(ImportRoundTrip, FieldOptionMistakesAreReportedBeforeAnythingIsWritten) {
  const std::string file = directory_.Path("mesh.vtu");
  VtuTestWriter::Write(file, TestMeshes::CellsOfTypes({12}), {});
  for (const auto& [rename, status, words] : std::vector<std::tuple<std::string, int, std::string>>{
           {"temperature=HEAT", 1, "'HEAT' is not a field type"},
           {"pressure=PRESS", 2, "has no point array 'pressure'"},
           {"velocity=U_D", 1, "two point arrays would become the field type U_D"},
           {"temperature=A_D", 2,
            "'temperature': has 1 component, but the field type A_D takes 3"}}) {
    const ProgramRun run = ProgramRun::InProcess(
        {"import", file, "--out", directory_.Path("mesh.zdb"), "--field", rename});
    EXPECT_EQ(run.status, status);
    EXPECT_NE(run.err.find(words), std::string::npos) << run.err;
  }
  // Only the mesh file is there.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory_.Root()), {}), 1);
}

// Inverted and flat cells are imported all the same, with a warning for each kind.
TEST_F(ImportRoundTrip, InvertedAndFlatElementsAreKeptWithWarnings) {
  RawMesh mesh = TestMeshes::CellsOfTypes({10, 10, 12});
  std::swap(mesh.connectivity[1], mesh.connectivity[2]);
  for (std::size_t p = 8; p < 16; ++p) mesh.points[3 * p + 2] = 0.0;
  const std::string file = directory_.Path("inverted.vtu"), db = directory_.Path("inverted.zdb");
  VtuTestWriter::Write(file, mesh, {});
  const ProgramRun run = ProgramRun::InProcess({"import", file, "--out", db});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.err.find(": 1 elements are inverted"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(": 1 elements have zero volume"), std::string::npos) << run.err;
  EXPECT_EQ(ProgramRun::Exported(db).cellTypes, (std::vector<int>{10, 10, 12}));
}

}  // namespace
