#include "MapCommand.h"

#include <algorithm>
#include <memory>
#include <system_error>

#include "AtomicOutputFile.h"
#include "CommandLine.h"
#include "DatabaseCatalog.h"
#include "FieldArrayNames.h"
#include "FieldTypeCatalog.h"
#include "FieldmapError.h"
#include "MappingSession.h"
#include "MeshDatabaseWriter.h"
#include "MeshVtuExport.h"
#include "OpenedDatabase.h"
#include "ProgressReporter.h"
#include "TargetDatabase.h"
#include "VtuWriter.h"
#include "ZORGfmApi.h"

namespace {

struct Settings {
  std::string source;
  std::string target;
  std::vector<std::string> fields;
  MappingSession::Options options;
  int step = 1;
  int increment = 1;
  int sourceMesh = 1;
  int targetMesh = 1;
  std::string out;
  std::string vtu;
  int threads = 0;
  MappingSession::Settings mapper;
};

void ReadMapperSettings(const CommandLine& line, Settings& settings) {
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

Settings ReadSettings(const CommandLine& line) {
  Settings settings;
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
  return settings;
}

void CheckStep(const std::string& file, const DatabaseCatalog& catalog, int step, int increment) {
  for (const DatabaseCatalog::Step& listed : catalog.Steps()) {
    if (listed.number != step) continue;
    for (int known : listed.increments)
      if (known == increment) return;
    throw FieldmapError::Input(
        file, "",
        "step " + std::to_string(step) + " has no increment " + std::to_string(increment));
  }
  throw FieldmapError::Input(file, "", "has no step " + std::to_string(step));
}

// The source field of that name with values on the source mesh, and its component count.
std::pair<DatabaseCatalog::Field, int> FindSourceField(const Settings& settings,
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

struct Outcome {
  int flags = 0;
  std::vector<MappingSession::Diagnostic> diagnostics;
  std::vector<std::string> notes;
};

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

// Prints problems and notes apart; returns true when there are problems.
bool PrintDiagnostics(std::ostream& out, const Outcome& outcome, bool fallback) {
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

// The mapper's search progress moves the bar within the share of the field being mapped.
struct MapProgress {
  ProgressReporter* reporter;
  std::size_t field;
  std::size_t fields;

  static void Report(void* context, long long done, long long total) {
    const MapProgress& at = *static_cast<const MapProgress*>(context);
    const double within = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1.0;
    at.reporter->Update((static_cast<double>(at.field) + within) / static_cast<double>(at.fields));
  }
};

// Defines the target fields, each under the type and name of its source field, and runs one
// request per field, in the order given. Returns the target fields as the .vtu names them.
std::vector<ExportField> MapEach(const Settings& settings, const DatabaseCatalog& sourceCatalog,
                                 const TargetDatabase& target, MappingSession& session,
                                 ProgressReporter& progress, Outcome& outcome) {
  std::vector<ExportField> mapped;
  std::vector<ZORSimDynamicID> sources;
  for (const std::string& name : settings.fields) {
    const auto [field, components] =
        FindSourceField(settings, sourceCatalog, session.SourceReader(), name);
    if (std::find(sources.begin(), sources.end(), field.record) != sources.end())
      throw FieldmapError::Usage("--field " + name + " names a field given before");
    sources.push_back(field.record);
    target.CheckFree(settings.target, field.name, session.TargetReader());
    const ZORSimDynamicID record =
        session.Add(name, field, components, field.name, settings.options);
    const std::string arrayName = sourceCatalog.ArrayName(field);
    if (arrayName != field.name) FieldArrayNames::Set(target.Root(), record, arrayName);
    mapped.push_back(ExportField{record, arrayName, session.MapsToPoints(field), false});
  }
  progress.Begin("map");
  MapProgress at{&progress, 0, settings.fields.size()};
  session.FollowProgress(&MapProgress::Report, &at);
  for (; at.field < settings.fields.size(); ++at.field) {
    outcome.flags = session.Map(settings.fields[at.field], settings.step, settings.increment);
    progress.Update(static_cast<double>(at.field + 1) / static_cast<double>(at.fields));
  }
  session.FollowProgress(nullptr, nullptr);
  progress.End();
  outcome.diagnostics = session.Diagnostics();
  return mapped;
}

// Where any field went to the nodes, keeps the placement of every target node in the target
// database: 1 placed by the search, 2 filled from the nearest source node, 0 not placed.
void KeepPlacement(const Settings& settings, TargetDatabase& target, const MappingSession& session,
                   std::vector<ExportField>& mapped, Outcome& outcome) {
  if (std::all_of(mapped.begin(), mapped.end(),
                  [](const ExportField& field) { return field.integrationPoints; }))
    return;
  const std::string type = PlacementMarks::kFieldType;
  if (target.Holds(type, session.TargetReader()) ||
      std::find(settings.fields.begin(), settings.fields.end(), type) != settings.fields.end()) {
    outcome.notes.push_back("the target already holds a field " + type +
                            ", so the placement of the nodes is not kept");
    return;
  }
  std::vector<double> marks(static_cast<std::size_t>(session.TargetReader().numNodes), 1.0);
  for (const int node : session.FailedTargetNodes())
    if (node >= 0 && static_cast<std::size_t>(node) < marks.size())
      marks[static_cast<std::size_t>(node)] = settings.mapper.nearestFallback ? 2.0 : 0.0;
  const ZORSimDynamicID record =
      MeshDatabaseWriter(target.Writer())
          .WriteNodeField(target.Mesh(), type, 1, marks, PlacementMarks::kName);
  mapped.push_back(ExportField{record, PlacementMarks::kName, false, true});
}

// The target with its mapped fields and the placement marks, as export writes them.
void WriteTargetVtu(const Settings& settings, const TargetDatabase& target,
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

// Maps into the output's temporary file (and the .vtu's, when asked for); the databases are
// closed again before it returns, so the outputs can be renamed into place.
Outcome MapInto(const Settings& settings, const AtomicOutputFile& output,
                const AtomicOutputFile* vtu, ProgressReporter& progress) {
  progress.Begin("open " + settings.source);
  const OpenedDatabase source(settings.source);
  const DatabaseCatalog sourceCatalog(source.Root());
  CheckStep(settings.source, sourceCatalog, settings.step, settings.increment);
  const ZORSimDynamicID sourceMesh =
      sourceCatalog.MeshNumbered(settings.source, settings.sourceMesh);
  progress.End();
  TargetDatabase target(settings.target, settings.targetMesh, output.TemporaryPath(), progress);
  MappingSession session(source.Root(), sourceMesh, target.Writer(), target.Mesh());
  session.Configure(settings.mapper);
  Outcome outcome;
  std::vector<ExportField> mapped =
      MapEach(settings, sourceCatalog, target, session, progress, outcome);
  KeepPlacement(settings, target, session, mapped, outcome);
  progress.RunPhase("save " + settings.out, [&target, &output] {
    try {
      target.Writer().SaveContext();
    } catch (const ZORSimError& error) {
      throw output.WriteFailure(error.what());
    }
  });
  if (vtu) {
    progress.Begin("write " + vtu->FinalPath());
    WriteTargetVtu(settings, target, mapped, *vtu, progress);
    progress.End();
  }
  return outcome;
}

}  // namespace

const char* MapCommand::Usage() {
  return "usage: fieldmap map --source DB --target DB|MESH --field FIELDTYPE [--field ...]\n"
         "                    --out DB [--vtu BASE] [--method shape|nearest] [--conserve]\n"
         "                    [--fill VALUE] [--fallback nearest] [--boundary-tolerance X]\n"
         "                    [--normal-tolerance X] [--first-accepted] [--threads N]\n"
         "                    [--step S] [--increment I] [--source-mesh N] [--target-mesh N]\n"
         "\n"
         "Maps each field of the source mesh onto the target mesh and writes the target with\n"
         "the mapped fields as a new database. Nodal fields go to the target nodes;\n"
         "integration-point fields to the target integration points when every target element\n"
         "has a point table, otherwise to the target nodes.\n"
         "  --source DB        the database holding the fields\n"
         "  --target DB|MESH   a database, or a mesh file (.vtu, .pvtu, .vtk, .msh) that is\n"
         "                     imported first\n"
         "  --field FIELDTYPE  a field to map (U_D, NT, ...); repeat for more\n"
         "  --out DB           the database to write (the target with the mapped fields)\n"
         "  --vtu BASE         also write the target with the mapped fields as BASE.vtu\n"
         "                     (binary, compressed; see 'fieldmap export --help') with the\n"
         "                     point array 'placed': 1 placed by the search, 2 filled from\n"
         "                     the nearest source node, 0 not placed\n"
         "  --method           shape (default): shape-function interpolation; nearest: the\n"
         "                     value of the nearest source node\n"
         "  --conserve         keep the sum of each field component\n"
         "  --fill VALUE       the value of target points the search cannot place (default 0)\n"
         "  --fallback nearest target nodes the search cannot place take the value of the\n"
         "                     nearest source node (integration points keep the fill value)\n"
         "  --boundary-tolerance X  how far outside an element a point may lie and still be\n"
         "                     placed in it, in the element's natural coordinates (default 0.3)\n"
         "  --normal-tolerance X  how far from a shell facet a point may lie and still be\n"
         "                     placed on it, in average element lengths (default 0.5)\n"
         "  --first-accepted   a point that several elements accept goes to the first of them\n"
         "                     (the library's default); without it, to the one whose\n"
         "                     reference shape holds it, so weights do not extrapolate\n"
         "  --threads N        threads for the search, the transfers and the .vtu (default\n"
         "                     ZORMTK_THREADS, else every hardware thread); the results are\n"
         "                     the same at any count\n"
         "  --step, --increment  the source step and increment (default 1 and 1)\n"
         "  --source-mesh, --target-mesh  which mesh of a database (default 1)\n"
         "Environment: ZORMTK_BOUNDARY_TOLERANCE and ZORMTK_NORMAL_TOLERANCE set the tolerances\n"
         "(the options win), ZORMTK_THREADS the thread count, ODB_MAP_DEBUG=6 traces the search\n"
         "on standard output.\n"
         "Exit status 3 when points were left unplaced (without --fallback nearest, or\n"
         "integration points) or sums could not be conserved; the output is written all the\n"
         "same. Nearest-node notes (meshes of other node counts, nodes beyond the alignment\n"
         "tolerance) are printed as notes and do not change the status.\n";
}

int MapCommand::Run(const std::vector<std::string>& arguments, std::ostream& out,
                    std::ostream& /*err*/) {
  CommandLine line({{"source", true, false},
                    {"target", true, false},
                    {"field", true, true},
                    {"out", true, false},
                    {"vtu", true, false},
                    {"method", true, false},
                    {"conserve", false, false},
                    {"step", true, false},
                    {"increment", true, false},
                    {"source-mesh", true, false},
                    {"target-mesh", true, false},
                    {"fill", true, false},
                    {"fallback", true, false},
                    {"boundary-tolerance", true, false},
                    {"normal-tolerance", true, false},
                    {"threads", true, false},
                    {"first-accepted", false, false}},
                   0);
  line.Parse(arguments);
  if (line.HelpRequested()) {
    out << Usage();
    return static_cast<int>(ExitStatus::kSuccess);
  }
  const Settings settings = ReadSettings(line);
  AtomicOutputFile output(settings.out);
  for (const std::string& input : {settings.source, settings.target}) output.RefuseInput(input);
  std::unique_ptr<AtomicOutputFile> vtu;
  if (!settings.vtu.empty()) vtu = std::make_unique<AtomicOutputFile>(settings.vtu + ".vtu");
  for (const std::string& input : {settings.source, settings.target})
    if (vtu) vtu->RefuseInput(input);
  ProgressReporter progress = ProgressReporter::ForStandardError();
  const Outcome outcome = MapInto(settings, output, vtu.get(), progress);
  output.Commit();
  if (vtu) vtu->Commit();
  const bool problems = PrintDiagnostics(out, outcome, settings.mapper.nearestFallback);
  out << "wrote " << settings.out << (vtu ? " and " + settings.vtu + ".vtu" : "") << "\n";
  return static_cast<int>(problems ? ExitStatus::kMappingProblems : ExitStatus::kSuccess);
}
