#include "FieldmapProgram.h"

#include <csignal>
#include <new>

#include "DemoCommand.h"
#include "ExportCommand.h"
#include "FieldTypesCommand.h"
#include "FieldmapError.h"
#include "ImportCommand.h"
#include "InfoCommand.h"
#include "LibraryLifetime.h"
#include "MapCommand.h"
#include "ZORGfmApi.h"

const char* FieldmapProgram::Usage() {
  return "usage: fieldmap COMMAND [ARGUMENTS]\n"
         "       fieldmap --version\n"
         "\n"
         "Commands:\n"
         "  demo         build source and target databases, map every field, report errors\n"
         "  import       read a .vtu, .pvtu, .vtk or .msh mesh with its point data into a new\n"
         "               database\n"
         "  map          map fields of a source database onto a target database or mesh\n"
         "  info         list the meshes, steps and fields of a database\n"
         "  export       write a mesh of a database with its fields as .vtu\n"
         "  field-types  list the field types a database can hold, with their components\n"
         "\n"
         "'fieldmap COMMAND --help' describes a command. Exit status: 0 success, 1 usage error,\n"
         "2 bad input, 3 the mapping left points unplaced or sums not conserved.\n";
}

int FieldmapProgram::Dispatch(const std::vector<std::string>& arguments, std::ostream& out,
                              std::ostream& err) {
  if (arguments.empty()) throw FieldmapError::Usage("no command given");
  const std::string& command = arguments[0];
  const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
  if (command == "--help" || command == "-h" || command == "help") {
    out << Usage();
    return static_cast<int>(ExitStatus::kSuccess);
  }
  if (command == "--version") {
    out << "fieldmap " << FIELDMAP_VERSION << "\n";
    return static_cast<int>(ExitStatus::kSuccess);
  }
  if (command == "demo") return DemoCommand::Run(rest, out, err);
  if (command == "import") return ImportCommand::Run(rest, out, err);
  if (command == "map") return MapCommand::Run(rest, out, err);
  if (command == "info") return InfoCommand::Run(rest, out, err);
  if (command == "export") return ExportCommand::Run(rest, out, err);
  if (command == "field-types") return FieldTypesCommand::Run(rest, out, err);
  throw FieldmapError::Usage("unknown command '" + command + "'");
}

int FieldmapProgram::Run(const std::vector<std::string>& arguments, std::ostream& out,
                         std::ostream& err) {
  // A file reaching the size limit is then a failed write, reported like a full disk, instead of
  // a signal that ends the program without a word.
  std::signal(SIGXFSZ, SIG_IGN);
  try {
    const LibraryLifetime library;
    return Dispatch(arguments, out, err);
  } catch (const FieldmapError& error) {
    err << "fieldmap: " << error.what() << "\n";
    if (error.Status() == ExitStatus::kUsage)
      err << "Run 'fieldmap --help' or 'fieldmap COMMAND --help' for usage.\n";
    return static_cast<int>(error.Status());
  } catch (const ZORSimError& error) {
    err << "fieldmap: database error: " << error.what() << "\n";
  } catch (const std::bad_alloc&) {
    err << "fieldmap: out of memory\n";
  } catch (const std::exception& error) {
    err << "fieldmap: " << error.what() << "\n";
  }
  return static_cast<int>(ExitStatus::kBadInput);
}
