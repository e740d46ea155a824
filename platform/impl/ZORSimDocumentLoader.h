#pragma once

#include <cstdint>
#include <string>

class ZORSimDatabase;

// Turns the data dictionary document into the initial objects of a new database. Record
// elements become records (typed by their tag where the schema names it); elements whose tag
// ends in "Collection" become collections whose members are the records that name them, in
// document order; dd:cset elements become stored sets; elements without an id are links and
// become associations, with the schema saying which attribute stands at which end.
class ZORSimDocumentLoader {
 public:
  static void Load(ZORSimDatabase& database, const char* documentText,
                   const std::string& focusBinding, std::int64_t focus);
};
