#pragma once

#include <set>
#include <string>
#include <vector>

#include "ZORGfmApi.h"

// The field-type symbols a database knows ("U_D", "NT", "PRESS", ...), read from its schema, and
// the choice of a field type for each point array of an imported mesh: "--field NAME=TYPE"
// entries first, then names that already are symbols. Owns the symbol set and the entries.
class FieldTypeCatalog {
 public:
  // Reads the symbols of the database at root.
  explicit FieldTypeCatalog(const ZORSrvPosition& root);

  bool Contains(const std::string& symbol) const { return symbols_.count(symbol) != 0; }

  // Parses "NAME=TYPE" entries; a malformed entry or an unknown type is a usage error.
  void AddRenames(const std::vector<std::string>& entries);
  // The field type for an array name, or "" when the array has none.
  std::string FieldTypeFor(const std::string& arrayName) const;
  // Array names given with --field, so a missing array can be reported.
  std::vector<std::string> RenamedArrays() const;

 private:
  std::set<std::string> symbols_;
  std::vector<std::pair<std::string, std::string>> renames_;
};
