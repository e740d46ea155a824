#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

// The parsed schema source: type names, kinds, association ends and the subtype relation.
// Source lines: "<kind> <fragment> <index> <Name> [isa <fragment> <index>]" for record,
// collection, distribution and dset kinds, and
// "association <fragment> <index> <Name> <end0 attribute> <end1 attribute>".
class ZORSimSchemaTable {
 public:
  struct Entry {
    std::string kind;
    std::string name;
    int parent = 0;
    std::array<std::string, 2> endAttribute;
  };

  static ZORSimSchemaTable Parse(const std::string& source);

  const Entry* Find(int typeIndex) const;
  // Type index of a name, 0 when the schema does not declare it.
  int IndexOfName(const std::string& name) const;
  bool IsA(int type, int ancestor) const;
  bool IsEmpty() const { return entries_.empty(); }

 private:
  std::map<int, Entry> entries_;
  std::map<std::string, int> byName_;
};
