#include "FieldTypeCatalog.h"

#include "FieldmapError.h"

FieldTypeCatalog::FieldTypeCatalog(const ZORSrvPosition& root) {
  const ZORSimSchema schema(root.Context());
  const ZORSimTypeID type = schema.TypeID(eds_InputFragmentTypeIndex(11, 37));
  for (int code = 0;; ++code) {
    const std::string symbol = schema.SymbolName(type, code);
    if (symbol.empty()) break;
    symbols_.insert(symbol);
  }
}

void FieldTypeCatalog::AddRenames(const std::vector<std::string>& entries) {
  for (const std::string& entry : entries) {
    const std::size_t equals = entry.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 == entry.size())
      throw FieldmapError::Usage("--field needs NAME=FIELDTYPE, not '" + entry + "'");
    const std::string type = entry.substr(equals + 1);
    if (!Contains(type))
      throw FieldmapError::Usage("--field " + entry + ": '" + type +
                                 "' is not a field type (for example U_D, NT, PRESS, TEMP)");
    renames_.emplace_back(entry.substr(0, equals), type);
  }
}

std::string FieldTypeCatalog::FieldTypeFor(const std::string& arrayName) const {
  for (const auto& [name, type] : renames_)
    if (name == arrayName) return type;
  return Contains(arrayName) ? arrayName : "";
}

std::vector<std::string> FieldTypeCatalog::RenamedArrays() const {
  std::vector<std::string> names;
  for (const auto& entry : renames_) names.push_back(entry.first);
  return names;
}
