#pragma once

#include <ostream>
#include <string>
#include <vector>

// fieldmap field-types [PATTERN]: the field types a database can hold, with their kinds and
// component counts, so a user can choose one for --field NAME=FIELDTYPE.
class FieldTypesCommand {
 public:
  static const char* Usage();
  // Returns the exit status; failures are thrown as FieldmapError.
  static int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
};
