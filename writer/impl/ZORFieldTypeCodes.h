#pragma once

#include <string>

// Field-type codes: the code of a field-type name is the 0-based position of the
// name among the 654 field-type symbols of the data dictionary sorted by byte value ("U_D" 621,
// "UNDEFINED" 620, "V_D" 645, ...). Constant data and pure functions; internal to the writer.
class ZORFieldTypeCodes {
 public:
  static constexpr int kCount = 654;
  // The code the writer uses for a name that is none of the symbols.
  static constexpr int kUndefined = 620;

  // The code of a name (exact, case-sensitive, byte for byte), or -1 when no symbol has it.
  static int Find(const std::string& name);
  // The symbol of a code, or null outside 0 … kCount-1.
  static const char* Symbol(int code);
};
