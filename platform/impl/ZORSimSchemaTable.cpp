#include "platform/impl/ZORSimSchemaTable.h"

#include <sstream>

#include "platform/ZORSimHandles.h"

int eds_InputFragmentTypeIndex(int fragment, int index) { return fragment * 1000 + index; }

ZORSimSchemaTable ZORSimSchemaTable::Parse(const std::string& source) {
  ZORSimSchemaTable table;
  std::istringstream lines(source);
  std::string line;
  int lineNumber = 0;
  while (std::getline(lines, line)) {
    ++lineNumber;
    std::istringstream words(line);
    Entry entry;
    int fragment = 0;
    int index = 0;
    if (!(words >> entry.kind) || entry.kind[0] == '#') continue;
    if (!(words >> fragment >> index >> entry.name))
      throw ZORSimError("schema source: line " + std::to_string(lineNumber) + " is malformed");
    std::string word;
    if (entry.kind == "association") {
      words >> entry.endAttribute[0] >> entry.endAttribute[1];
    } else if (words >> word && word == "isa") {
      int parentFragment = 0;
      int parentIndex = 0;
      words >> parentFragment >> parentIndex;
      entry.parent = eds_InputFragmentTypeIndex(parentFragment, parentIndex);
    }
    const int type = eds_InputFragmentTypeIndex(fragment, index);
    table.byName_[entry.name] = type;
    table.entries_[type] = entry;
  }
  return table;
}

const ZORSimSchemaTable::Entry* ZORSimSchemaTable::Find(int typeIndex) const {
  auto it = entries_.find(typeIndex);
  return it == entries_.end() ? nullptr : &it->second;
}

int ZORSimSchemaTable::IndexOfName(const std::string& name) const {
  auto it = byName_.find(name);
  return it == byName_.end() ? 0 : it->second;
}

bool ZORSimSchemaTable::IsA(int type, int ancestor) const {
  for (int depth = 0; type != 0 && depth < 64; ++depth) {
    if (type == ancestor) return true;
    const Entry* entry = Find(type);
    type = entry ? entry->parent : 0;
  }
  return false;
}
