#pragma once

#include <string>

#include "platform/ZORContainers.h"

// Turns a diagnostics message with placeholders into the plain text a host shows. Placeholders
// take their values from two lists in order, each with its own cursor:
//   %I  the next int            %LI  every remaining int, separated by ", "
//   %F  the next double, %4.2E  %LC  the remaining doubles as (x, y, z) triples, at most ten
// A "%" followed by anything else is dropped. A placeholder past the end of its list lets the
// list's std::out_of_range through: the texts this library builds never do that, and a host
// that appends its own placeholders passes matching lists.
class ZORMtkErrorMessage {
 public:
  static std::string Expand(const std::string& message, const cow_List<int>& ints,
                            const cow_List<double>& doubles);

 private:
  static std::string RemainingInts(const cow_List<int>& ints, int& next);
  static std::string Triples(const cow_List<double>& doubles, int& next);
};
