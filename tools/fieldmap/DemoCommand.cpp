#include "DemoCommand.h"

#include <filesystem>

#include "AtomicOutputFile.h"
#include "CommandLine.h"
#include "DemoMapping.h"
#include "DemoSource.h"
#include "FieldmapError.h"

namespace {

constexpr int kDefaultSize = 48;

}  // namespace

const char* DemoCommand::Usage() {
  return "usage: fieldmap demo [--size N] [--out DIR]\n"
         "\n"
         "Builds a source database (a perturbed hexahedral box with a linear displacement U_D\n"
         "and temperature NT, and a quadrilateral plate with a linear integration-point field\n"
         "LE) and a target database (a tetrahedral box and a triangular plate on other\n"
         "grids), maps every field by shape interpolation and NT also by nearest node (as TEMP),\n"
         "saves both databases and the targets as .vtu, and reports sizes, seconds per phase,\n"
         "the largest error against the analytic fields and the mapper's diagnostics.\n"
         "  --size N   hexahedra along each edge of the source box (default 48)\n"
         "  --out DIR  where the files go (default fieldmap-demo, created if missing)\n";
}

int DemoCommand::Run(const std::vector<std::string>& arguments, std::ostream& out,
                     std::ostream& /*err*/) {
  CommandLine line({{"size", true, false}, {"out", true, false}}, 0);
  line.Parse(arguments);
  if (line.HelpRequested()) {
    out << Usage();
    return static_cast<int>(ExitStatus::kSuccess);
  }
  const int size = line.IntValue("size", kDefaultSize);
  if (size < 2 || size > 400) throw FieldmapError::Usage("--size is between 2 and 400");
  const DemoSizes sizes = DemoSizes::ForSize(size);
  const std::filesystem::path directory = line.Value("out", "fieldmap-demo");
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (error)
    throw FieldmapError::Input(directory.string(), "", "cannot be created: " + error.message());
  AtomicOutputFile sourceFile((directory / "demo-source.zdb").string());
  AtomicOutputFile targetFile((directory / "demo-target.zdb").string());
  AtomicOutputFile boxVtu((directory / "demo-target-box.vtu").string());
  AtomicOutputFile plateVtu((directory / "demo-target-plate.vtu").string());

  DemoPhaseTimes times;
  const double start = DemoPhaseTimes::Now();
  DemoSource::Write(sourceFile.TemporaryPath(), sizes);
  times.build = DemoPhaseTimes::Now() - start;
  int flags = 0;
  {
    DemoMapping mapping(sourceFile.TemporaryPath(), targetFile.TemporaryPath(), sizes, times);
    flags = mapping.Run();
    mapping.Save(boxVtu.TemporaryBase(), plateVtu.TemporaryBase());
    mapping.Report(out);
  }
  for (AtomicOutputFile* file : {&sourceFile, &targetFile, &boxVtu, &plateVtu}) file->Commit();
  out << "wrote " << (directory / "demo-source.zdb").string() << ", demo-target.zdb, "
      << "demo-target-box.vtu, demo-target-plate.vtu\n";
  return static_cast<int>(flags == 0 ? ExitStatus::kSuccess : ExitStatus::kMappingProblems);
}
