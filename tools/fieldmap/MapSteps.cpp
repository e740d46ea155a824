#include "MapSteps.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <system_error>

#include "CommandLine.h"
#include "FieldmapError.h"
#include "MeshDatabaseWriter.h"
#include "ProgressReporter.h"
#include "TargetDatabase.h"
#include "VtuWriter.h"
#include "platform/ZOREnvironmentKeys.h"

namespace {

// The library reads these when no option says otherwise, and takes a value it cannot use for
// its default (or, for a negative tolerance, for a search that places nothing), so a mistyped
// environment would change the run unseen. Each is checked here as its option is.
void CheckEnvironment(const CommandLine& line) {
  const struct {
    const char* variable;
    const char* option;
    bool count;
  } kinds[] = {{zor_environment::kBoundaryTolerance, "boundary-tolerance", false},
               {zor_environment::kNormalTolerance, "normal-tolerance", false},
               {zor_environment::kThreads, "threads", true}};
  for (const auto& kind : kinds) {
    const char* text = std::getenv(kind.variable);
    if (text == nullptr || *text == '\0' || line.Has(kind.option)) continue;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    const bool number = end != text && *end == '\0' && std::isfinite(value);
    const bool usable =
        kind.count ? number && value >= 0.0 && value == std::floor(value) : number && value > 0.0;
    if (!usable)
      throw FieldmapError::Usage(
          std::string(kind.variable) + " is '" + text + "', " +
          (kind.count ? "not a thread count (0: all)" : "not a tolerance above 0") +
          "; set it right, unset it or give --" + kind.option);
  }
}

void ReadMapperSettings(const CommandLine& line, MapSettings& settings) {
  CheckEnvironment(line);
  MappingSession::Settings& mapper = settings.mapper;
  mapper.fill = line.DoubleValue("fill", 0.0);
  const std::string fallback = line.Value("fallback", "none");
  if (fallback != "none" && fallback != "nearest")
    throw FieldmapError::Usage("--fallback is nearest or none, not '" + fallback + "'");
  mapper.nearestFallback = fallback == "nearest";
  // The mapper keeps its tolerance for a 0, so only positive values are taken.
  mapper.boundaryTolerance = line.DoubleValue("boundary-tolerance", 0.0);
  mapper.normalTolerance = line.DoubleValue("normal-tolerance", 0.0);
  if ((line.Has("boundary-tolerance") && mapper.boundaryTolerance <= 0.0) ||
      (line.Has("normal-tolerance") && mapper.normalTolerance <= 0.0))
    throw FieldmapError::Usage("--boundary-tolerance and --normal-tolerance are above 0");
  settings.threads = line.IntValue("threads", 0);
  if (settings.threads < 0) throw FieldmapError::Usage("--threads counts from 1 (0: all)");
  mapper.threads = settings.threads;
  // fieldmap prefers the element that holds a point; the library's default takes the first.
  mapper.choice = line.Has("first-accepted") ? ChoiceFirstAccepted : ChoiceContaining;
}

// The ranks map by shape interpolation or take the nearest node. A conservative run adds its
// sums in the database's node order, which the ranks' element parts do not give (they number the
// nodes by the elements that first use them), so --parts refuses it.
void ReadParts(const CommandLine& line, MapSettings& settings) {
  if (!line.Has("parts")) return;
  settings.parts = line.IntValue("parts", 0);
  if (settings.parts < 1) throw FieldmapError::Usage("--parts counts from 1");
  if (settings.options.conserve)
    throw FieldmapError::Usage(
        "--conserve cannot be combined with --parts, whose ranks would not add the sums in the "
        "database's node order");
}

}  // namespace

MapSettings MapSettings::Read(const CommandLine& line) {
  MapSettings settings;
  if (!line.Has("source") || !line.Has("target") || !line.Has("out") || !line.Has("field"))
    throw FieldmapError::Usage("map needs --source, --target, --out and at least one --field");
  settings.source = line.Value("source");
  settings.target = line.Value("target");
  settings.fields = line.Values("field");
  settings.out = line.Value("out");
  settings.vtu = line.Value("vtu");
  const std::string method = line.Value("method", "shape");
  if (method != "shape" && method != "nearest")
    throw FieldmapError::Usage("--method is shape or nearest, not '" + method + "'");
  settings.options.method = method == "shape" ? MethodShapeInterpolation : MethodNearestNode;
  settings.options.conserve = line.Has("conserve");
  settings.step = line.IntValue("step", 1);
  settings.increment = line.IntValue("increment", 1);
  settings.sourceMesh = line.IntValue("source-mesh", 1);
  settings.targetMesh = line.IntValue("target-mesh", 1);
  if (settings.step < 1 || settings.increment < 0 || settings.sourceMesh < 1 ||
      settings.targetMesh < 1)
    throw FieldmapError::Usage("--step, --source-mesh and --target-mesh count from 1");
  ReadMapperSettings(line, settings);
  ReadParts(line, settings);
  return settings;
}

MapOutputs MapOutputs::For(const MapSettings& settings) {
  MapOutputs outputs;
  outputs.database = std::make_unique<AtomicOutputFile>(settings.out);
  for (const std::string& input : {settings.source, settings.target})
    outputs.database->RefuseInput(input);
  if (!settings.vtu.empty())
    outputs.vtu = std::make_unique<AtomicOutputFile>(settings.vtu + ".vtu");
  // Both would be written through one temporary file, and the second commit would find it gone.
  if (outputs.vtu && outputs.vtu->Names(settings.out))
    throw FieldmapError::Usage("--out " + settings.out + " and --vtu " + settings.vtu +
                               " name one file; give the database and the .vtu different names");
  for (const std::string& input : {settings.source, settings.target})
    if (outputs.vtu) outputs.vtu->RefuseInput(input);
  return outputs;
}

int MapOutputs::Commit(const MapSettings& settings, const MapOutcome& outcome, std::ostream& out) {
  database->Commit();
  if (vtu) vtu->Commit();
  const bool problems = MapSteps::PrintDiagnostics(out, outcome, settings.mapper.nearestFallback);
  out << "wrote " << settings.out << (vtu ? " and " + settings.vtu + ".vtu" : "") << "\n";
  return static_cast<int>(problems ? ExitStatus::kMappingProblems : ExitStatus::kSuccess);
}

void MapSteps::CheckStep(const MapSettings& settings, const DatabaseCatalog& catalog) {
  const std::string& file = settings.source;
  for (const DatabaseCatalog::Step& listed : catalog.Steps()) {
    if (listed.number != settings.step) continue;
    for (int known : listed.increments)
      if (known == settings.increment) return;
    throw FieldmapError::Input(file, "",
                               "step " + std::to_string(settings.step) + " has no increment " +
                                   std::to_string(settings.increment));
  }
  throw FieldmapError::Input(file, "", "has no step " + std::to_string(settings.step));
}

std::pair<DatabaseCatalog::Field, int> MapSteps::FindSourceField(const MapSettings& settings,
                                                                 const DatabaseCatalog& catalog,
                                                                 const ZORMtkSimReader& reader,
                                                                 const std::string& name) {
  for (const DatabaseCatalog::Field& field : catalog.FieldsCalled(settings.step, name)) {
    const int size = reader.GetSimpleFieldSize(field.record, settings.step, settings.increment);
    if (size > 0) return {field, size};
  }
  std::string known;
  for (const DatabaseCatalog::Step& step : catalog.Steps())
    if (step.number == settings.step)
      for (const DatabaseCatalog::Field& field : step.fields)
        known += (known.empty() ? "" : ", ") + field.name;
  throw FieldmapError::Input(
      settings.source, "",
      "no field '" + name + "' on mesh " + std::to_string(settings.sourceMesh) + " in step " +
          std::to_string(settings.step) + " (fields: " + (known.empty() ? "none" : known) + ")");
}

namespace {

constexpr int kUnplacedNodes = 2;
constexpr int kUnplacedCoordinates = 4;
constexpr int kUnplacedPoints = 64;
constexpr int kNodeCountsDiffer = 16;
constexpr int kBeyondAlignment = 128;

// Nearest-node notes are expected between meshes that do not match; unplaced nodes are not
// left unplaced when the fallback filled them (unless integration points, which it does not
// fill, share the coordinate list).
bool IsProblem(int code, int flags, bool fallback) {
  if (code == kNodeCountsDiffer || code == kBeyondAlignment) return false;
  if (code == kUnplacedNodes) return !fallback;
  if (code == kUnplacedCoordinates) return !fallback || (flags & kUnplacedPoints) != 0;
  return true;
}

// The target with its mapped fields and the placement marks, as export writes them.
void WriteTargetVtu(const MapSettings& settings, const TargetDatabase& target,
                    const std::vector<ExportField>& mapped, const AtomicOutputFile& vtu,
                    ProgressReporter& progress) {
  const VtuPiece piece = MeshVtuExport(target.Root(), target.Mesh()).Piece(mapped, 1, 1);
  try {
    VtuWriter(settings.threads).Write(vtu.TemporaryPath(), piece, [&progress](double done) {
      progress.Update(done);
    });
  } catch (const std::system_error& error) {
    throw vtu.WriteFailure(error.code().message());
  }
}

}  // namespace

bool MapSteps::PrintDiagnostics(std::ostream& out, const MapOutcome& outcome, bool fallback) {
  if (outcome.diagnostics.empty()) out << "every target point was placed\n";
  bool problems = false;
  for (const bool listProblems : {true, false}) {
    bool heading = false;
    for (const MappingSession::Diagnostic& item : outcome.diagnostics) {
      if (IsProblem(item.code, outcome.flags, fallback) != listProblems) continue;
      if (!heading) out << (listProblems ? "problems:\n" : "notes:\n");
      heading = true;
      const bool filled =
          fallback && (item.code == kUnplacedNodes || item.code == kUnplacedCoordinates);
      out << "  " << (filled && !listProblems ? "(filled from the nearest source node) " : "")
          << item.text << "\n";
    }
    problems = problems || (listProblems && heading);
  }
  for (const std::string& note : outcome.notes) out << "note: " << note << "\n";
  return problems;
}

void MapSteps::KeepPlacement(const MapSettings& settings, TargetDatabase& target,
                             const ZORMtkSimReader& targetReader,
                             const std::vector<int>& failedNodes, std::vector<ExportField>& mapped,
                             MapOutcome& outcome) {
  if (std::all_of(mapped.begin(), mapped.end(),
                  [](const ExportField& field) { return field.integrationPoints; }))
    return;
  const std::string type = PlacementMarks::kFieldType;
  if (target.Holds(type, targetReader) ||
      std::find(settings.fields.begin(), settings.fields.end(), type) != settings.fields.end()) {
    outcome.notes.push_back("the target already holds a field " + type +
                            ", so the placement of the nodes is not kept");
    return;
  }
  std::vector<double> marks(static_cast<std::size_t>(targetReader.numNodes), 1.0);
  for (const int node : failedNodes)
    if (node >= 0 && static_cast<std::size_t>(node) < marks.size())
      marks[static_cast<std::size_t>(node)] = settings.mapper.nearestFallback ? 2.0 : 0.0;
  const ZORSimDynamicID record =
      MeshDatabaseWriter(target.Writer())
          .WriteNodeField(target.Mesh(), type, 1, marks, PlacementMarks::kName);
  mapped.push_back(ExportField{record, PlacementMarks::kName, false, true});
}

void MapSteps::Save(const MapSettings& settings, TargetDatabase& target,
                    const std::vector<ExportField>& mapped, const MapOutputs& outputs,
                    ProgressReporter& progress) {
  const AtomicOutputFile& output = *outputs.database;
  progress.RunPhase("save " + settings.out, [&target, &output] {
    try {
      target.Writer().SaveContext();
    } catch (const ZORSimError& error) {
      throw output.WriteFailure(error.what());
    }
  });
  if (!outputs.vtu) return;
  progress.Begin("write " + outputs.vtu->FinalPath());
  WriteTargetVtu(settings, target, mapped, *outputs.vtu, progress);
  progress.End();
}
