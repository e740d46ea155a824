#pragma once

#include <ostream>
#include <string>
#include <vector>

// fieldmap demo [--size N] [--out DIR]: the main job end to end on generated meshes, as a host
// runs it, with a short report of sizes, phase times, errors against the analytic fields and the
// mapper's diagnostics.
class DemoCommand {
 public:
  static const char* Usage();
  static int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
};
