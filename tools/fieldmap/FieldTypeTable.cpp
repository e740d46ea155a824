#include "FieldTypeTable.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <map>

// The document, embedded by the build from the file the library embeds (cmake/EmbedText.cmake).
extern "C" const char fieldmap_datadictionary_text[];

namespace {

struct AlgebraicType {
  const char* name;
  const char* kind;
  int components;
  const char* planeComponents;
};

// Plane meshes carry two coordinates: vectors have two components there, rotations one, and a
// symmetric tensor three (plane stress) or four (with the out-of-plane component).
constexpr AlgebraicType kAlgebraicTypes[] = {
    {"SCALAR", "scalar", 1, "1"},
    {"VECTOR", "vector", 3, "2"},
    {"ROTATION_VECTOR", "rotation vector", 3, "1"},
    {"TENSOR2_SYMMETRIC", "symmetric tensor", 6, "3 or 4"},
    {"TENSOR2_FULL", "tensor", 9, "4 or 5"},
    {"QUATERNION", "quaternion", 4, "4"},
    {"MATRIX", "matrix", 0, "not fixed"},
    {"TENSOR4", "fourth-order tensor", 0, "not fixed"},
};

const AlgebraicType& Described(const std::string& name) {
  for (const AlgebraicType& type : kAlgebraicTypes)
    if (name == type.name) return type;
  static const AlgebraicType unknown{"", "unknown", 0, "not fixed"};
  return unknown;
}

std::vector<FieldTypeTable::Entry> Read() {
  pugi::xml_document document;
  document.load_string(fieldmap_datadictionary_text);
  std::map<std::string, std::string> algebraic;
  for (const pugi::xpath_node& link : document.select_nodes("//FieldTypeAlgebraicType")) {
    const std::string type = link.node().attribute("algebraicType").value();
    algebraic[link.node().attribute("fieldType").value()] = type.substr(type.find(':') + 1);
  }
  std::vector<FieldTypeTable::Entry> entries;
  for (const pugi::xpath_node& node : document.select_nodes("//FieldTypePrimary")) {
    const std::string symbol = node.node().attribute("symbol").value();
    const AlgebraicType& type = Described(algebraic[symbol]);
    entries.push_back(
        {symbol, algebraic[symbol], type.kind, type.components, type.planeComponents});
  }
  std::sort(entries.begin(), entries.end(),
            [](const FieldTypeTable::Entry& a, const FieldTypeTable::Entry& b) {
              return std::strcmp(a.symbol.c_str(), b.symbol.c_str()) < 0;
            });
  return entries;
}

}  // namespace

const std::vector<FieldTypeTable::Entry>& FieldTypeTable::All() {
  static const std::vector<Entry> entries = Read();
  return entries;
}

const FieldTypeTable::Entry* FieldTypeTable::Find(const std::string& symbol) {
  const std::vector<Entry>& entries = All();
  const auto found = std::lower_bound(
      entries.begin(), entries.end(), symbol,
      [](const Entry& entry, const std::string& name) { return entry.symbol < name; });
  return found != entries.end() && found->symbol == symbol ? &*found : nullptr;
}
