#pragma once

#include <ostream>
#include <string>
#include <vector>

// The fieldmap program: picks the command, runs it between the library's initialize and
// finalize, and turns every failure into a message on the error stream and its exit status, so
// no input makes the program end any other way.
class FieldmapProgram {
 public:
  static const char* Usage();
  static int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

 private:
  static int Dispatch(const std::vector<std::string>& arguments, std::ostream& out,
                      std::ostream& err);
};
