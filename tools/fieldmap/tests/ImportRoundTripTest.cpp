#include <gtest/gtest.h>

#include <filesystem>

#include "DatabaseProbe.h"
#include "ProgramRun.h"
#include "TempDirectory.h"
#include "TestMeshes.h"
#include "VtuTestWriter.h"

namespace {

ProgramRun Fieldmap(const std::vector<std::string>& arguments) {
  return ProgramRun::InProcess(arguments);
}

class ImportRoundTrip : public ::testing::Test {
 protected:
  TempDirectory directory_;
};

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

}  // namespace
