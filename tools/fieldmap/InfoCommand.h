#pragma once

#include <ostream>
#include <string>
#include <vector>

// fieldmap info DB: the meshes of a database with their element blocks, its steps and
// increments, and its fields with their components and meshes.
class InfoCommand {
 public:
  static const char* Usage();
  static int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
};
