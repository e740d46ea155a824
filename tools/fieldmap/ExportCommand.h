#pragma once

#include <ostream>
#include <string>
#include <vector>

// fieldmap export DB --vtu BASE [...]: one mesh of a database with its fields, per step and
// increment, as .vtu files that VTK, ParaView and meshio read, with a .pvd collection when there
// are several.
class ExportCommand {
 public:
  static const char* Usage();
  // Returns the exit status; failures are thrown as FieldmapError.
  static int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
};
