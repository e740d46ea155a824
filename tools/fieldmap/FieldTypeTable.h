#pragma once

#include <string>
#include <vector>

// The field types of the data dictionary every database starts from, each with the algebraic
// type the document gives it (SCALAR, VECTOR, ...) and the component counts that type takes.
// Read once from the copy of the document fieldmap carries; constant afterwards.
class FieldTypeTable {
 public:
  struct Entry {
    std::string symbol;
    std::string algebraicType;
    // The kind in words ("vector"), the count in a three-dimensional mesh (0 when the type
    // fixes none) and the counts in a plane mesh in words ("2").
    const char* kind;
    int components;
    const char* planeComponents;
  };

  // Every field type, sorted by symbol byte by byte, as the field-type codes number them.
  static const std::vector<Entry>& All();
  // Null for a name that is no field type.
  static const Entry* Find(const std::string& symbol);
};
