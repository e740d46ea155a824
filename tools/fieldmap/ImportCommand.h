#pragma once

#include <ostream>
#include <string>
#include <vector>

// fieldmap import MESH --out DB [--field NAME=FIELDTYPE ...]: a mesh file with its point data
// becomes a new simulation database.
class ImportCommand {
 public:
  static const char* Usage();
  // Returns the exit status; failures are thrown as FieldmapError.
  static int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
};
