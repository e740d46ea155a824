#include "InfoCommand.h"

#include <memory>
#include <sstream>

#include "CommandLine.h"
#include "DatabaseCatalog.h"
#include "FieldmapError.h"
#include "OpenedDatabase.h"
#include "ZORGfmApi.h"

namespace {

// What info reports, gathered once and printed as text or JSON.
struct MeshSummary {
  int nodes = 0;
  int coordinates = 0;
  int elements = 0;
  std::vector<std::pair<std::string, int>> classes;
};
struct FieldSummary {
  std::string fieldType;
  std::string name;
  bool integrationPoints = false;
  int components = 0;
  std::vector<int> meshes;  // numbered from 1
};
struct StepSummary {
  int number = 0;
  bool isStatic = true;
  std::vector<int> increments;
  std::vector<FieldSummary> fields;
};

using Readers = std::vector<std::unique_ptr<ZORMtkSimReader>>;

MeshSummary Summarize(const ZORMtkSimReader& reader) {
  MeshSummary mesh{reader.numNodes, reader.numCoordComponents, reader.numElements, {}};
  cow_List<cow_String> classes;
  reader.GetElementClassNames(classes);
  for (const cow_String& name : classes)
    mesh.classes.emplace_back(name.Str(), reader.GetElementClassCount(name));
  return mesh;
}

StepSummary Summarize(const DatabaseCatalog& catalog, const DatabaseCatalog::Step& step,
                      const Readers& readers) {
  StepSummary summary{step.number, step.isStatic, step.increments, {}};
  const int increment = step.increments.empty() ? 1 : step.increments.front();
  for (const DatabaseCatalog::Field& field : step.fields) {
    FieldSummary fieldSummary{field.name, catalog.ArrayName(field), field.integrationPoints, 0, {}};
    for (std::size_t m = 0; m < readers.size(); ++m) {
      const int size = readers[m]->GetSimpleFieldSize(field.record, step.number, increment);
      if (size <= 0) continue;
      fieldSummary.components = size;
      fieldSummary.meshes.push_back(static_cast<int>(m + 1));
    }
    summary.fields.push_back(fieldSummary);
  }
  return summary;
}

std::string Plural(int count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

void PrintText(std::ostream& out, const std::string& file, const std::vector<MeshSummary>& meshes,
               const std::vector<StepSummary>& steps) {
  out << file << ": " << meshes.size() << " mesh" << (meshes.size() == 1 ? "" : "es") << ", "
      << steps.size() << " step" << (steps.size() == 1 ? "" : "s") << "\n";
  for (std::size_t m = 0; m < meshes.size(); ++m) {
    out << "mesh " << m + 1 << ": " << meshes[m].nodes << " nodes with " << meshes[m].coordinates
        << " coordinates, " << meshes[m].elements << " elements\n";
    for (const auto& [name, count] : meshes[m].classes)
      out << "  " << name << ": " << count << "\n";
  }
  for (const StepSummary& step : steps) {
    out << "step " << step.number << " (" << (step.isStatic ? "static" : "with increments")
        << "): increments";
    for (int increment : step.increments) out << " " << increment;
    out << (step.increments.empty() ? " none\n" : "\n");
    for (const FieldSummary& field : step.fields) {
      std::string meshList;
      for (int mesh : field.meshes)
        meshList += (meshList.empty() ? "" : ", ") + std::to_string(mesh);
      out << "  field " << field.fieldType
          << (field.name != field.fieldType ? " '" + field.name + "'" : "") << ": "
          << (field.integrationPoints ? "integration points" : "nodal") << ", "
          << Plural(field.components, "component") << ", "
          << (meshList.empty() ? "no values" : "mesh " + meshList) << "\n";
    }
  }
}

std::string Quoted(const std::string& text) {
  std::ostringstream quoted;
  quoted << '"';
  for (const unsigned char c : text) {
    if (c == '"' || c == '\\')
      quoted << '\\' << c;
    else if (c < 0x20)
      quoted << "\\u00"
             << "0123456789abcdef"[c >> 4] << "0123456789abcdef"[c & 15];
    else
      quoted << c;
  }
  return quoted.str() + '"';
}

template <typename T, typename Print>
void PrintList(std::ostream& out, const std::vector<T>& items, Print print) {
  out << "[";
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out << ", ";
    print(items[i]);
  }
  out << "]";
}

void PrintJson(std::ostream& out, const std::string& file, const std::vector<MeshSummary>& meshes,
               const std::vector<StepSummary>& steps) {
  out << "{\"file\": " << Quoted(file) << ", \"meshes\": ";
  PrintList(out, meshes, [&out](const MeshSummary& mesh) {
    out << "{\"nodes\": " << mesh.nodes << ", \"coordinates\": " << mesh.coordinates
        << ", \"elements\": " << mesh.elements << ", \"classes\": ";
    PrintList(out, mesh.classes, [&out](const std::pair<std::string, int>& elementClass) {
      out << "{\"name\": " << Quoted(elementClass.first) << ", \"count\": " << elementClass.second
          << "}";
    });
    out << "}";
  });
  out << ", \"steps\": ";
  PrintList(out, steps, [&out](const StepSummary& step) {
    out << "{\"number\": " << step.number << ", \"static\": " << (step.isStatic ? "true" : "false")
        << ", \"increments\": ";
    PrintList(out, step.increments, [&out](int increment) { out << increment; });
    out << ", \"fields\": ";
    PrintList(out, step.fields, [&out](const FieldSummary& field) {
      out << "{\"fieldType\": " << Quoted(field.fieldType) << ", \"name\": " << Quoted(field.name)
          << ", \"location\": \"" << (field.integrationPoints ? "integration points" : "nodes")
          << "\", \"components\": " << field.components << ", \"meshes\": ";
      PrintList(out, field.meshes, [&out](int mesh) { out << mesh; });
      out << "}";
    });
    out << "}";
  });
  out << "}\n";
}

}  // namespace

const char* InfoCommand::Usage() {
  return "usage: fieldmap info DB [--json]\n"
         "\n"
         "Lists the meshes of a simulation database (nodes, element types and counts), its steps\n"
         "and increments, and its fields with the names they were imported under, their\n"
         "components and meshes.\n"
         "  --json  the same as one JSON object, for scripts\n";
}

int InfoCommand::Run(const std::vector<std::string>& arguments, std::ostream& out,
                     std::ostream& /*err*/) {
  CommandLine line({{"json", false, false}}, 1);
  line.Parse(arguments);
  if (line.HelpRequested()) {
    out << Usage();
    return static_cast<int>(ExitStatus::kSuccess);
  }
  if (line.Positionals().size() != 1) throw FieldmapError::Usage("info needs a DB file");
  const OpenedDatabase database(line.Positionals()[0]);
  const DatabaseCatalog catalog(database.Root());
  Readers readers;
  std::vector<MeshSummary> meshes;
  for (const ZORSimDynamicID& mesh : catalog.Meshes()) {
    readers.push_back(std::make_unique<ZORMtkSimReader>());
    readers.back()->SetScope(database.Root(), ScopeElementRegion, mesh, cow_List<int>());
    meshes.push_back(Summarize(*readers.back()));
  }
  std::vector<StepSummary> steps;
  for (const DatabaseCatalog::Step& step : catalog.Steps())
    steps.push_back(Summarize(catalog, step, readers));
  if (line.Has("json"))
    PrintJson(out, database.FileName(), meshes, steps);
  else
    PrintText(out, database.FileName(), meshes, steps);
  return static_cast<int>(ExitStatus::kSuccess);
}
