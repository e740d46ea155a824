#include "InfoCommand.h"

#include <memory>

#include "CommandLine.h"
#include "DatabaseCatalog.h"
#include "FieldmapError.h"
#include "OpenedDatabase.h"
#include "ZORGfmApi.h"

namespace {

std::string Plural(int count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

void PrintMesh(std::ostream& out, int number, const ZORMtkSimReader& reader) {
  out << "mesh " << number << ": " << reader.numNodes << " nodes with " << reader.numCoordComponents
      << " coordinates, " << reader.numElements << " elements\n";
  cow_List<cow_String> classes;
  reader.GetElementClassNames(classes);
  for (const cow_String& name : classes)
    out << "  " << name << ": " << reader.GetElementClassCount(name) << "\n";
}

// The meshes a field has values on, as 1-based mesh numbers.
std::string MeshesOf(const DatabaseCatalog::Field& field, const DatabaseCatalog::Step& step,
                     const std::vector<std::unique_ptr<ZORMtkSimReader>>& readers) {
  std::string meshes;
  const int increment = step.increments.empty() ? 1 : step.increments.front();
  for (std::size_t m = 0; m < readers.size(); ++m)
    if (readers[m]->GetSimpleFieldSize(field.record, step.number, increment) > 0)
      meshes += (meshes.empty() ? "" : ", ") + std::to_string(m + 1);
  return meshes.empty() ? "no values" : "mesh " + meshes;
}

int ComponentsOf(const DatabaseCatalog::Field& field, const DatabaseCatalog::Step& step,
                 const std::vector<std::unique_ptr<ZORMtkSimReader>>& readers) {
  const int increment = step.increments.empty() ? 1 : step.increments.front();
  for (const auto& reader : readers) {
    const int size = reader->GetSimpleFieldSize(field.record, step.number, increment);
    if (size > 0) return size;
  }
  return 0;
}

void PrintStep(std::ostream& out, const DatabaseCatalog::Step& step,
               const std::vector<std::unique_ptr<ZORMtkSimReader>>& readers) {
  out << "step " << step.number << " (" << (step.isStatic ? "static" : "with increments")
      << "): increments";
  for (int increment : step.increments) out << " " << increment;
  if (step.increments.empty()) out << " none";
  out << "\n";
  for (const DatabaseCatalog::Field& field : step.fields)
    out << "  field " << field.name << ": "
        << (field.integrationPoints ? "integration points" : "nodal") << ", "
        << Plural(ComponentsOf(field, step, readers), "component") << ", "
        << MeshesOf(field, step, readers) << "\n";
}

}  // namespace

const char* InfoCommand::Usage() {
  return "usage: fieldmap info DB\n"
         "\n"
         "Lists the meshes of a simulation database (nodes, element types and counts), its steps\n"
         "and increments, and its fields with their components and meshes.\n";
}

int InfoCommand::Run(const std::vector<std::string>& arguments, std::ostream& out,
                     std::ostream& /*err*/) {
  CommandLine line({}, 1);
  line.Parse(arguments);
  if (line.HelpRequested()) {
    out << Usage();
    return static_cast<int>(ExitStatus::kSuccess);
  }
  if (line.Positionals().size() != 1) throw FieldmapError::Usage("info needs a DB file");
  const OpenedDatabase database(line.Positionals()[0]);
  const DatabaseCatalog catalog(database.Root());
  const std::vector<ZORSimDynamicID> meshes = catalog.Meshes();
  const std::vector<DatabaseCatalog::Step> steps = catalog.Steps();
  out << database.FileName() << ": " << meshes.size() << " mesh" << (meshes.size() == 1 ? "" : "es")
      << ", " << steps.size() << " step" << (steps.size() == 1 ? "" : "s") << "\n";
  std::vector<std::unique_ptr<ZORMtkSimReader>> readers;
  for (std::size_t m = 0; m < meshes.size(); ++m) {
    readers.push_back(std::make_unique<ZORMtkSimReader>());
    readers.back()->SetScope(database.Root(), ScopeElementRegion, meshes[m], cow_List<int>());
    PrintMesh(out, static_cast<int>(m + 1), *readers.back());
  }
  for (const DatabaseCatalog::Step& step : steps) PrintStep(out, step, readers);
  return static_cast<int>(ExitStatus::kSuccess);
}
