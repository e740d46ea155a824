#include "FieldTypesCommand.h"

#include <fnmatch.h>

#include <algorithm>
#include <cctype>
#include <iomanip>

#include "CommandLine.h"
#include "FieldTypeTable.h"
#include "FieldmapError.h"

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// A pattern with wildcards matches whole names, as in a shell; one without matches any name
// that contains it. Case does not matter.
bool Matches(const std::string& pattern, const std::string& symbol) {
  if (pattern.find_first_of("*?[") != std::string::npos)
    return ::fnmatch(Lower(pattern).c_str(), Lower(symbol).c_str(), 0) == 0;
  return Lower(symbol).find(Lower(pattern)) != std::string::npos;
}

}  // namespace

const char* FieldTypesCommand::Usage() {
  return "usage: fieldmap field-types [PATTERN]\n"
         "\n"
         "Lists the field types a database can hold (the names --field NAME=FIELDTYPE takes),\n"
         "with their kind and component count in three-dimensional and in plane meshes.\n"
         "  PATTERN  only the names containing it, or matching it when it has the wildcards\n"
         "           * ? [ ] (case does not matter): 'temp', 'U_*', '?T'\n";
}

int FieldTypesCommand::Run(const std::vector<std::string>& arguments, std::ostream& out,
                           std::ostream& /*err*/) {
  CommandLine line({}, 1);
  line.Parse(arguments);
  if (line.HelpRequested()) {
    out << Usage();
    return static_cast<int>(ExitStatus::kSuccess);
  }
  const std::string pattern = line.Positionals().empty() ? "" : line.Positionals()[0];
  std::vector<const FieldTypeTable::Entry*> shown;
  std::size_t width = std::string("FIELD TYPE").size();
  for (const FieldTypeTable::Entry& entry : FieldTypeTable::All()) {
    if (!pattern.empty() && !Matches(pattern, entry.symbol)) continue;
    shown.push_back(&entry);
    width = std::max(width, entry.symbol.size());
  }
  if (!shown.empty())
    out << std::left << std::setw(static_cast<int>(width + 2)) << "FIELD TYPE" << std::setw(21)
        << "KIND"
        << "COMPONENTS (PLANE MESHES)\n";
  for (const FieldTypeTable::Entry* entry : shown)
    out << std::left << std::setw(static_cast<int>(width + 2)) << entry->symbol << std::setw(21)
        << entry->kind << (entry->components > 0 ? std::to_string(entry->components) : "not fixed")
        << " (" << entry->planeComponents << ")\n";
  out << shown.size() << " of " << FieldTypeTable::All().size() << " field types"
      << (pattern.empty() ? "" : " match '" + pattern + "'") << "\n";
  return static_cast<int>(ExitStatus::kSuccess);
}
