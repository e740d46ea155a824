#pragma once

#include <ostream>
#include <string>
#include <vector>

// fieldmap map: maps fields of a source database onto a target database or a target mesh file
// and writes the result as a new database (and optionally a .vtu).
class MapCommand {
 public:
  static const char* Usage();
  static int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
};
