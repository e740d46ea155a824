#include "ExportCommand.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>
#include <system_error>

#include "AtomicOutputFile.h"
#include "CommandLine.h"
#include "DatabaseCatalog.h"
#include "FieldmapError.h"
#include "MeshVtuExport.h"
#include "OpenedDatabase.h"
#include "ProgressReporter.h"
#include "VtuWriter.h"

namespace {

struct Settings {
  std::string database;
  std::string base;
  int mesh = 1;
  int step = 0;  // 0: every step
  int increment = 0;
  bool everyIncrement = true;  // no --increment given
  std::vector<std::string> fields;
  int threads = 0;
};

struct Selection {
  int step;
  int increment;
  std::vector<ExportField> fields;
};

Settings ReadSettings(const CommandLine& line) {
  if (line.Positionals().size() != 1 || !line.Has("vtu"))
    throw FieldmapError::Usage("export needs a DB file and --vtu BASE");
  Settings settings;
  settings.database = line.Positionals()[0];
  settings.base = line.Value("vtu");
  settings.mesh = line.IntValue("mesh", 1);
  settings.step = line.IntValue("step", 0);
  settings.increment = line.IntValue("increment", 0);
  settings.everyIncrement = !line.Has("increment");
  settings.fields = line.Values("field");
  settings.threads = line.IntValue("threads", 0);
  // Increments count from 0, as info lists them.
  if (settings.mesh < 1 || (line.Has("step") && settings.step < 1) || settings.increment < 0 ||
      settings.threads < 0)
    throw FieldmapError::Usage("--mesh and --step count from 1, --increment and --threads from 0");
  return settings;
}

// The fields of a step with values on the mesh in that increment that the user asked for (every
// one when none was named), and the placement marks; names that matched go into found.
std::vector<ExportField> FieldsOf(const Settings& settings, const DatabaseCatalog& catalog,
                                  const DatabaseCatalog::Step& step, int increment,
                                  const ZORMtkSimReader& reader, std::set<std::string>& found) {
  std::vector<ExportField> fields;
  for (const DatabaseCatalog::Field& field : step.fields) {
    if (reader.GetSimpleFieldSize(field.record, step.number, increment) <= 0) continue;
    const std::string arrayName = catalog.ArrayName(field);
    const bool marks = !field.integrationPoints && field.name == PlacementMarks::kFieldType &&
                       arrayName == PlacementMarks::kName;
    bool wanted = settings.fields.empty() || marks;
    for (const std::string& name : settings.fields) {
      if (!catalog.IsCalled(field, name)) continue;
      found.insert(name);
      wanted = true;
    }
    if (wanted)
      fields.push_back(ExportField{field.record, arrayName, field.integrationPoints, marks});
  }
  return fields;
}

// The steps and increments to write and the fields with values on the mesh in each.
std::vector<Selection> Select(const Settings& settings, const DatabaseCatalog& catalog,
                              const ZORMtkSimReader& reader) {
  std::vector<Selection> selections;
  std::set<std::string> found;
  bool stepFound = settings.step == 0;
  for (const DatabaseCatalog::Step& step : catalog.Steps()) {
    if (settings.step != 0 && step.number != settings.step) continue;
    stepFound = true;
    for (const int increment : step.increments)
      if (settings.everyIncrement || increment == settings.increment)
        selections.push_back(Selection{
            step.number, increment, FieldsOf(settings, catalog, step, increment, reader, found)});
  }
  if (!stepFound)
    throw FieldmapError::Input(settings.database, "",
                               "has no step " + std::to_string(settings.step));
  for (const std::string& name : settings.fields)
    if (found.count(name) == 0)
      throw FieldmapError::Input(settings.database, "",
                                 "has no field '" + name + "' with values on mesh " +
                                     std::to_string(settings.mesh) +
                                     " (fieldmap info lists the fields)");
  // A database holding only meshes has no increment yet: its mesh is written alone.
  if (selections.empty() && settings.everyIncrement)
    selections.push_back(Selection{settings.step == 0 ? 1 : settings.step, 1, {}});
  if (selections.empty())
    throw FieldmapError::Input(
        settings.database, "",
        "has no increment " + std::to_string(settings.increment) +
            (settings.step ? " in step " + std::to_string(settings.step) : ""));
  return selections;
}

// Of several increments, those whose fields hold no value on the mesh (a step's increment 0,
// say) are left out; when none holds any, the first is kept, so the mesh is written once.
std::vector<Selection> WithValues(std::vector<Selection> selections, const MeshVtuExport& mesh) {
  if (selections.size() < 2) return selections;
  std::vector<Selection> kept;
  for (Selection& selection : selections) {
    const bool holds = std::any_of(
        selection.fields.begin(), selection.fields.end(), [&](const ExportField& field) {
          return mesh.HasValues(field, selection.step, selection.increment);
        });
    if (holds) kept.push_back(std::move(selection));
  }
  if (kept.empty()) kept.push_back(std::move(selections.front()));
  return kept;
}

std::string FileName(const Settings& settings, const Selection& selection, bool several) {
  if (!several) return settings.base + ".vtu";
  return settings.base + "_s" + std::to_string(selection.step) + "_i" +
         std::to_string(selection.increment) + ".vtu";
}

// Writes every selection under its temporary name, and the collection when there are several;
// the caller commits them together. Every output is checked against the input before any is
// written.
std::vector<std::unique_ptr<AtomicOutputFile>> WriteFiles(const Settings& settings,
                                                          const MeshVtuExport& mesh,
                                                          const std::vector<Selection>& selections,
                                                          ProgressReporter& progress) {
  const bool several = selections.size() > 1;
  std::vector<std::unique_ptr<AtomicOutputFile>> files;
  for (const Selection& selection : selections)
    files.push_back(std::make_unique<AtomicOutputFile>(FileName(settings, selection, several)));
  if (several) files.push_back(std::make_unique<AtomicOutputFile>(settings.base + ".pvd"));
  for (const auto& file : files) file->RefuseInput(settings.database);
  VtuWriter writer(settings.threads);
  std::vector<VtuWriter::CollectionEntry> entries;
  for (std::size_t s = 0; s < selections.size(); ++s) {
    const AtomicOutputFile& file = *files[s];
    progress.Begin("write " + file.FinalPath());
    const VtuPiece piece =
        mesh.Piece(selections[s].fields, selections[s].step, selections[s].increment,
                   [&progress](double done) { progress.Update(0.5 * done); });
    try {
      writer.Write(file.TemporaryPath(), piece,
                   [&progress](double done) { progress.Update(0.5 + 0.5 * done); });
    } catch (const std::system_error& error) {
      throw file.WriteFailure(error.code().message());
    }
    progress.End();
    entries.push_back(
        {static_cast<int>(s), std::filesystem::path(file.FinalPath()).filename().string()});
  }
  try {
    if (several) VtuWriter::WriteCollection(files.back()->TemporaryPath(), entries);
  } catch (const std::system_error& error) {
    throw files.back()->WriteFailure(error.code().message());
  }
  return files;
}

}  // namespace

const char* ExportCommand::Usage() {
  return "usage: fieldmap export DB --vtu BASE [--mesh N] [--step S] [--increment I]\n"
         "                       [--field F ...] [--threads N]\n"
         "\n"
         "Writes a mesh of a database with its fields as a VTK XML unstructured grid (binary,\n"
         "zlib-compressed, Float64 values) that VTK, ParaView and meshio read: nodal fields as\n"
         "point arrays, integration-point fields as cell arrays of components x points per\n"
         "element (NaN where a class has fewer points or a value is missing).\n"
         "  DB             a database written by this library (demo, import, map or a host)\n"
         "  --vtu BASE     write BASE.vtu; when several steps or increments are written,\n"
         "                 BASE_s<S>_i<I>.vtu for each and the collection BASE.pvd\n"
         "  --mesh N       which mesh of the database (default 1)\n"
         "  --step S       only step S (default every step)\n"
         "  --increment I  only increment I (default every increment)\n"
         "  --field F      only the field F (default every field with values on the mesh);\n"
         "                 repeat for more\n"
         "  --threads N    threads compressing the file (default every hardware thread,\n"
         "                 or ZORMTK_THREADS)\n";
}

int ExportCommand::Run(const std::vector<std::string>& arguments, std::ostream& out,
                       std::ostream& /*err*/) {
  CommandLine line({{"vtu", true, false},
                    {"mesh", true, false},
                    {"step", true, false},
                    {"increment", true, false},
                    {"field", true, true},
                    {"threads", true, false}},
                   1);
  line.Parse(arguments);
  if (line.HelpRequested()) {
    out << Usage();
    return static_cast<int>(ExitStatus::kSuccess);
  }
  const Settings settings = ReadSettings(line);
  ProgressReporter progress = ProgressReporter::ForStandardError();
  progress.Begin("read " + settings.database);
  const OpenedDatabase database(settings.database);
  const DatabaseCatalog catalog(database.Root());
  const MeshVtuExport mesh(database.Root(), catalog.MeshNumbered(settings.database, settings.mesh));
  const std::vector<Selection> selections =
      WithValues(Select(settings, catalog, mesh.Reader()), mesh);
  progress.End();

  const std::vector<std::unique_ptr<AtomicOutputFile>> files =
      WriteFiles(settings, mesh, selections, progress);
  for (const auto& file : files) file->Commit();
  for (const std::string& note : mesh.Notes()) out << "note: " << note << "\n";
  for (const auto& file : files) out << "wrote " << file->FinalPath() << "\n";
  return static_cast<int>(ExitStatus::kSuccess);
}
