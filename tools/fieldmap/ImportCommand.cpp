#include "ImportCommand.h"

#include "AtomicOutputFile.h"
#include "CommandLine.h"
#include "FieldTypeCatalog.h"
#include "FieldmapError.h"
#include "MeshImporter.h"
#include "ProgressReporter.h"
#include "ZORGfmApi.h"

const char* ImportCommand::Usage() {
  return "usage: fieldmap import MESH --out DB [--field NAME=FIELDTYPE ...] [--allow-nan]\n"
         "\n"
         "Reads a mesh with its point data into a new simulation database.\n"
         "  MESH                   a VTK XML unstructured grid (.vtu: ascii, base64, appended,\n"
         "                         zlib-compressed), its parallel form (.pvtu), a legacy VTK\n"
         "                         unstructured grid (.vtk) or a Gmsh 2.2 or 4.1 mesh (.msh),\n"
         "                         ASCII or binary\n"
         "  --out DB               the database to create (replaced if it exists)\n"
         "  --field NAME=FIELDTYPE store the point array NAME as field type FIELDTYPE (U_D, NT,\n"
         "                         PRESS, ...); arrays named after a field type map to it\n"
         "                         without this; other arrays are listed and skipped\n"
         "  --allow-nan            store field values that are NaN or infinite (refused\n"
         "                         otherwise, naming the array and the first such value)\n";
}

int ImportCommand::Run(const std::vector<std::string>& arguments, std::ostream& out,
                       std::ostream& err) {
  CommandLine line({{"out", true, false}, {"field", true, true}, {"allow-nan", false, false}}, 1);
  line.Parse(arguments);
  if (line.HelpRequested()) {
    out << Usage();
    return static_cast<int>(ExitStatus::kSuccess);
  }
  if (line.Positionals().size() != 1 || !line.Has("out"))
    throw FieldmapError::Usage("import needs a MESH file and --out DB");
  const std::string meshFile = line.Positionals()[0];
  AtomicOutputFile output(line.Value("out"));
  output.RefuseInput(meshFile);
  ProgressReporter progress = ProgressReporter::ForStandardError();
  MeshImporter importer(meshFile);
  importer.AllowNonFiniteValues(line.Has("allow-nan"));
  importer.Read(progress);
  {
    ZORMtkSimWriter writer;
    writer.CreateSim(output.TemporaryPath());
    FieldTypeCatalog fieldTypes(writer.GetRootPosition());
    fieldTypes.AddRenames(line.Values("field"));
    importer.WriteInto(writer, fieldTypes, true, progress);
    progress.Begin("save " + output.FinalPath());
    try {
      writer.SaveContext();
    } catch (const ZORSimError& error) {
      throw output.WriteFailure(error.what());
    }
    progress.End();
  }
  output.Commit();
  importer.PrintReport(out, err);
  out << "wrote " << output.FinalPath() << "\n";
  return static_cast<int>(ExitStatus::kSuccess);
}
