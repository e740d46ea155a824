#include "MapCommand.h"

#include <algorithm>

#include "CommandLine.h"
#include "DatabaseCatalog.h"
#include "FieldArrayNames.h"
#include "FieldmapError.h"
#include "MapSteps.h"
#include "MappingSession.h"
#include "OpenedDatabase.h"
#include "ProgressReporter.h"
#include "TargetDatabase.h"
#include "ZORGfmApi.h"
#ifdef FIELDMAP_WITH_MPI
#include "mpi/PartsMapCommand.h"
#endif

namespace {

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
std::vector<ExportField> MapEach(const MapSettings& settings, const DatabaseCatalog& sourceCatalog,
                                 const TargetDatabase& target, MappingSession& session,
                                 ProgressReporter& progress, MapOutcome& outcome) {
  std::vector<ExportField> mapped;
  std::vector<ZORSimDynamicID> sources;
  for (const std::string& name : settings.fields) {
    const auto [field, components] =
        MapSteps::FindSourceField(settings, sourceCatalog, session.SourceReader(), name);
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

// Maps into the outputs' temporary files; the databases are closed again before it returns, so
// the outputs can be renamed into place.
MapOutcome MapInto(const MapSettings& settings, const MapOutputs& outputs,
                   ProgressReporter& progress) {
  progress.Begin("open " + settings.source);
  const OpenedDatabase source(settings.source);
  const DatabaseCatalog sourceCatalog(source.Root());
  MapSteps::CheckStep(settings, sourceCatalog);
  const ZORSimDynamicID sourceMesh =
      sourceCatalog.MeshNumbered(settings.source, settings.sourceMesh);
  progress.End();
  TargetDatabase target(settings.target, settings.targetMesh, outputs.database->TemporaryPath(),
                        progress);
  MappingSession session(source.Root(), sourceMesh, target.Writer(), target.Mesh());
  session.Configure(settings.mapper);
  MapOutcome outcome;
  std::vector<ExportField> mapped =
      MapEach(settings, sourceCatalog, target, session, progress, outcome);
  MapSteps::KeepPlacement(settings, target, session.TargetReader(), session.FailedTargetNodes(),
                          mapped, outcome);
  MapSteps::Save(settings, target, mapped, outputs, progress);
  return outcome;
}

// The distributed run needs this program built with MPI, which it starts before it reads the
// settings, so that one rank alone reports what is wrong with them.
int MapInParts(const CommandLine& line, std::ostream& out) {
#ifdef FIELDMAP_WITH_MPI
  return PartsMapCommand::Run(line, out);
#else
  static_cast<void>(out);
  throw FieldmapError::Usage("--parts " + line.Value("parts") +
                             ": this fieldmap was built without MPI, so it maps in one process "
                             "only; leave out --parts");
#endif
}

}  // namespace

const char* MapCommand::Usage() {
  return "usage: fieldmap map --source DB --target DB|MESH --field FIELDTYPE [--field ...]\n"
         "                    --out DB [--vtu BASE] [--method shape|nearest] [--conserve]\n"
         "                    [--fill VALUE] [--fallback nearest] [--boundary-tolerance X]\n"
         "                    [--normal-tolerance X] [--first-accepted] [--threads N]\n"
         "                    [--step S] [--increment I] [--source-mesh N] [--target-mesh N]\n"
         "                    [--parts N]\n"
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
         "                     point array 'placed' (when a nodal field is mapped): 1 placed\n"
         "                     by the search, 2 filled from the nearest source node, 0 not\n"
         "                     placed\n"
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
         "  --parts N          run as N ranks under 'mpirun -n N': each rank maps a share of\n"
         "                     the source elements and target nodes, rank 0 writes the same\n"
         "                     output as one process; nodal fields of solid, plane, line\n"
         "                     and shell sources (shells not beside the others), without\n"
         "                     --conserve; every rank is given the same arguments\n"
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
                    {"first-accepted", false, false},
                    {"parts", true, false}},
                   0);
  line.Parse(arguments);
  if (line.HelpRequested()) {
    out << Usage();
    return static_cast<int>(ExitStatus::kSuccess);
  }
  if (line.Has("parts")) return MapInParts(line, out);
  const MapSettings settings = MapSettings::Read(line);
  MapOutputs outputs = MapOutputs::For(settings);
  ProgressReporter progress = ProgressReporter::ForStandardError();
  const MapOutcome outcome = MapInto(settings, outputs, progress);
  return outputs.Commit(settings, outcome, out);
}
