#include "DemoCommand.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iomanip>
#include <sstream>

#include "AtomicOutputFile.h"
#include "CommandLine.h"
#include "DatabaseCatalog.h"
#include "DemoModel.h"
#include "FieldmapError.h"
#include "MappingSession.h"
#include "MeshDatabaseWriter.h"
#include "OpenedDatabase.h"
#include "ZORGfmApi.h"

namespace {

constexpr int kDefaultSize = 48;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Every element's integration points of one class, as x, y (and z) per point: the element's
// node coordinates weighted by the class's shape values at its points.
std::vector<double> PointPositions(const ZORMtkSimReader& reader, const cow_String& elementClass) {
  const int elements = reader.GetElementClassCount(elementClass);
  const int nodes = *reader.nodesPerElementByClass.Find(elementClass);
  const int points = ZORMtkElementData::GetNumIntPt(elementClass);
  const int dims = reader.numCoordComponents;
  std::vector<int> connectivity(static_cast<std::size_t>(elements * nodes));
  reader.GetElementClassConnectivity(elementClass, static_cast<int>(connectivity.size()),
                                     connectivity.data());
  std::vector<double> xyz(static_cast<std::size_t>(reader.numNodes * dims));
  reader.FillCoordinates(static_cast<int>(xyz.size()), xyz.data());
  std::vector<double> shape(static_cast<std::size_t>(nodes * points));
  ZORMtkElementData::GetIntPtShapeValues(elementClass, shape.data());
  std::vector<double> positions(static_cast<std::size_t>(elements * points * dims), 0.0);
  for (int e = 0; e < elements; ++e)
    for (int p = 0; p < points; ++p)
      for (int n = 0; n < nodes; ++n) {
        // The whole mesh is the region, so a node member is its row in the coordinates.
        const int node = connectivity[static_cast<std::size_t>(e * nodes + n)];
        for (int d = 0; d < dims; ++d)
          positions[static_cast<std::size_t>((e * points + p) * dims + d)] +=
              shape[static_cast<std::size_t>(n * points + p)] *
              xyz[static_cast<std::size_t>(node * dims + d)];
      }
  return positions;
}

std::vector<double> StrainAt(const std::vector<double>& positions) {
  std::vector<double> values;
  for (std::size_t i = 0; i < positions.size(); i += 2) {
    const std::array<double, 3> s = DemoModel::Strain(positions[i], positions[i + 1]);
    values.insert(values.end(), s.begin(), s.end());
  }
  return values;
}

using NodalFunction = std::function<std::vector<double>(double, double, double)>;

std::vector<double> NodalValues(const AssembledMesh& mesh, const NodalFunction& function) {
  std::vector<double> values;
  for (std::size_t i = 0; i < mesh.coordinates.size(); i += 3) {
    const std::vector<double> v =
        function(mesh.coordinates[i], mesh.coordinates[i + 1], mesh.coordinates[i + 2]);
    values.insert(values.end(), v.begin(), v.end());
  }
  return values;
}

const NodalFunction kDisplacement = [](double x, double y, double z) {
  const std::array<double, 3> u = DemoModel::Displacement(x, y, z);
  return std::vector<double>(u.begin(), u.end());
};
const NodalFunction kTemperature = [](double x, double y, double z) {
  return std::vector<double>{DemoModel::Temperature(x, y, z)};
};

struct DemoSizes {
  int sourceCells;
  int targetCells;
  int sourcePlateCells;
  int targetPlateCells;
};

void WriteSource(const std::string& path, const DemoSizes& sizes) {
  ZORMtkSimWriter writer;
  writer.CreateSim(path);
  MeshDatabaseWriter database(writer);
  const AssembledMesh box = DemoModel::SourceBox(sizes.sourceCells);
  const ZORSimDynamicID boxMesh = database.WriteMesh(box);
  database.WriteNodeField(boxMesh, "U_D", 3, NodalValues(box, kDisplacement));
  database.WriteNodeField(boxMesh, "NT", 1, NodalValues(box, kTemperature));
  const ZORSimDynamicID plateMesh =
      database.WriteMesh(DemoModel::SourcePlate(sizes.sourcePlateCells));
  const ZORSimDynamicID strain = writer.AddSimpleElementField(plateMesh, "LE", 3);
  ZORMtkSimReader plate;
  plate.SetScope(writer.GetRootPosition(), ScopeElementRegion, plateMesh, cow_List<int>());
  cow_List<cow_String> classes;
  plate.GetElementClassNames(classes);
  for (const cow_String& name : classes) {
    cow_List<int> elements(*plate.elementClasses.Find(name));
    std::vector<double> values = StrainAt(PointPositions(plate, name));
    writer.WriteSimpleElementClassField(
        strain, plateMesh, 1, 1, ZORMtkElementData::GetNumIntPt(name), 3, elements, values.data());
  }
  writer.SaveContext();
}

DatabaseCatalog::Field SourceField(const DatabaseCatalog& catalog, const ZORMtkSimReader& reader,
                                   const std::string& name, int& components) {
  for (const DatabaseCatalog::Field& field : catalog.FieldsNamed(1, name)) {
    components = reader.GetSimpleFieldSize(field.record, 1, 1);
    if (components > 0) return field;
  }
  throw FieldmapError(ExitStatus::kBadInput, "the demo source lost its field " + name);
}

double LargestNodalError(const ZORMtkSimReader& reader, const ZORSimDynamicID& field,
                         int components, const NodalFunction& exact) {
  std::vector<double> xyz(static_cast<std::size_t>(reader.numNodes * 3));
  reader.FillCoordinates(static_cast<int>(xyz.size()), xyz.data());
  std::vector<double> values(static_cast<std::size_t>(reader.numNodes * components), 0.0);
  reader.GetSimpleNodeField(field, 1, 1, static_cast<int>(values.size()), values.data());
  double largest = 0.0;
  for (int n = 0; n < reader.numNodes; ++n) {
    const std::vector<double> expected = exact(xyz[3 * n], xyz[3 * n + 1], xyz[3 * n + 2]);
    for (int c = 0; c < components; ++c)
      largest = std::max(largest, std::fabs(values[static_cast<std::size_t>(n * components + c)] -
                                            expected[static_cast<std::size_t>(c)]));
  }
  return largest;
}

double LargestStrainError(const ZORMtkSimReader& reader, const ZORSimDynamicID& field) {
  double largest = 0.0;
  cow_List<cow_String> classes;
  reader.GetElementClassNames(classes);
  for (const cow_String& name : classes) {
    const std::vector<double> expected = StrainAt(PointPositions(reader, name));
    const cow_List<int>& elements = *reader.elementClasses.Find(name);
    std::vector<double> values(expected.size(), 0.0);
    reader.GetSimpleElementClassField(field, 1, 1, elements.Data(), elements.Size(),
                                      ZORMtkElementData::GetNumIntPt(name),
                                      static_cast<int>(values.size()), values.data());
    for (std::size_t i = 0; i < values.size(); ++i)
      largest = std::max(largest, std::fabs(values[i] - expected[i]));
  }
  return largest;
}

// Times one request; the first request of a kind runs twice, and the difference is the search
// that the second run finds cached.
struct PhaseTimes {
  double build = 0, open = 0, search = 0, map = 0, save = 0;
};

int TimedMap(MappingSession& session, const std::string& request, bool firstOfKind,
             PhaseTimes& times) {
  double start = Now();
  int flags = session.Map(request, 1, 1);
  const double first = Now() - start;
  if (!firstOfKind) {
    times.map += first;
    return flags;
  }
  start = Now();
  flags = session.Map(request, 1, 1);
  const double repeat = Now() - start;
  times.search += std::max(0.0, first - repeat);
  times.map += repeat;
  return flags;
}

void PrintSizes(std::ostream& out, const MappingSession& box, const MappingSession& plate) {
  const auto line = [&out](const char* what, const ZORMtkSimReader& reader) {
    cow_List<cow_String> classes;
    reader.GetElementClassNames(classes);
    out << "  " << std::left << std::setw(14) << what << std::right << std::setw(9)
        << reader.numNodes << " nodes " << std::setw(9) << reader.numElements << " "
        << (classes.IsEmpty() ? cow_String("") : classes[0]) << "\n";
  };
  out << "sizes:\n";
  line("source box", box.SourceReader());
  line("target box", box.TargetReader());
  line("source plate", plate.SourceReader());
  line("target plate", plate.TargetReader());
}

void PrintTimes(std::ostream& out, const PhaseTimes& times) {
  out << std::fixed << std::setprecision(3) << "seconds: build " << times.build << ", open "
      << times.open << ", search " << times.search << ", map " << times.map << ", save "
      << times.save << std::defaultfloat << "\n";
}

// The VtkOutput base name of a .vtu output: its temporary path without the extension.
std::string Base(const AtomicOutputFile& file) {
  return file.TemporaryPath().substr(0, file.TemporaryPath().size() - 4);
}

// Maps the demo's fields as a host does, saves the target and writes its meshes as .vtu; the
// sizes, errors and diagnostics go to report. Returns the mapper flags of both mesh pairs.
int MapDemo(const std::string& sourcePath, const std::string& targetPath,
            const std::string& boxBase, const std::string& plateBase, const DemoSizes& sizes,
            PhaseTimes& times, std::ostream& report) {
  double start = Now();
  ZORMtkSimWriter writer;
  writer.CreateSim(targetPath);
  MeshDatabaseWriter target(writer);
  const ZORSimDynamicID boxMesh = target.WriteMesh(DemoModel::TargetBox(sizes.targetCells));
  const ZORSimDynamicID plateMesh =
      target.WriteMesh(DemoModel::TargetPlate(sizes.targetPlateCells));
  times.build += Now() - start;

  start = Now();
  const OpenedDatabase source(sourcePath);
  const DatabaseCatalog catalog(source.Root());
  const std::vector<ZORSimDynamicID> meshes = catalog.Meshes();
  MappingSession box(source.Root(), meshes.at(0), writer, boxMesh);
  MappingSession plate(source.Root(), meshes.at(1), writer, plateMesh);
  // Nearest node between meshes of different node counts is always reported by the mapper, so
  // it runs on a mapper of its own and its notes do not count as problems of the demo.
  MappingSession nearest(source.Root(), meshes.at(0), writer, boxMesh);
  times.open = Now() - start;

  int components = 0;
  const DatabaseCatalog::Field sourceDisplacement =
      SourceField(catalog, box.SourceReader(), "U_D", components);
  const ZORSimDynamicID displacement = box.Add("U_D", sourceDisplacement, components, "U_D", {});
  const DatabaseCatalog::Field temperature =
      SourceField(catalog, box.SourceReader(), "NT", components);
  const ZORSimDynamicID shapeTemperature = box.Add("NT", temperature, components, "NT", {});
  const ZORSimDynamicID nearestTemperature =
      nearest.Add("NT nearest", temperature, components, "TEMP", {MethodNearestNode, false});
  const DatabaseCatalog::Field sourceStrain =
      SourceField(catalog, plate.SourceReader(), "LE", components);
  const ZORSimDynamicID strain = plate.Add("LE", sourceStrain, components, "LE", {});

  int flags = TimedMap(box, "U_D", true, times);
  flags |= TimedMap(box, "NT", false, times);
  TimedMap(nearest, "NT nearest", true, times);
  flags |= TimedMap(plate, "LE", true, times);

  start = Now();
  writer.SaveContext();
  cow_List<cow_String> names = {"U_D", "NT", "TEMP"};
  cow_List<int> skip = {0, 0, 0};
  box.TargetReader().VtkOutput(boxBase.c_str(), names, skip, 1);
  cow_List<cow_String> noNames;
  cow_List<int> noSkip;
  plate.TargetReader().VtkOutput(plateBase.c_str(), noNames, noSkip, 1);
  times.save = Now() - start;

  PrintSizes(report, box, plate);
  PrintTimes(report, times);
  const ZORMtkSimReader& boxTarget = box.TargetReader();
  report << "largest error against the analytic field:\n"
         << "  U_D    shape    " << LargestNodalError(boxTarget, displacement, 3, kDisplacement)
         << "\n"
         << "  NT     shape    " << LargestNodalError(boxTarget, shapeTemperature, 1, kTemperature)
         << "\n"
         << "  TEMP   nearest  "
         << LargestNodalError(nearest.TargetReader(), nearestTemperature, 1, kTemperature)
         << " (the nearest node's value; not exact by design)\n"
         << "  LE     points   " << LargestStrainError(plate.TargetReader(), strain) << "\n";
  std::vector<std::string> texts = box.DiagnosticTexts();
  const std::vector<std::string> plateTexts = plate.DiagnosticTexts();
  texts.insert(texts.end(), plateTexts.begin(), plateTexts.end());
  report << "diagnostics:" << (texts.empty() ? " none, every target point was placed" : "") << "\n";
  for (const std::string& text : texts) report << "  " << text << "\n";
  report << "nearest-node notes (expected, the meshes do not match):\n";
  for (const std::string& text : nearest.DiagnosticTexts()) report << "  " << text << "\n";
  return flags;
}

}  // namespace

const char* DemoCommand::Usage() {
  return "usage: fieldmap demo [--size N] [--out DIR]\n"
         "\n"
         "Builds a source database (a perturbed hexahedral box with a linear displacement U_D\n"
         "and temperature NT, and a quadrilateral plate with a linear integration-point field\n"
         "LE) and a target database (a tetrahedral box and a triangular plate on other\n"
         "grids), maps every field by shape interpolation and NT also by nearest node (as TEMP),\n"
         "saves both databases and the targets as .vtu, and reports sizes, seconds per phase,\n"
         "the largest error against the analytic fields and the mapper's diagnostics.\n"
         "  --size N   hexahedra along each edge of the source box (default 48)\n"
         "  --out DIR  where the files go (default fieldmap-demo, created if missing)\n";
}

int DemoCommand::Run(const std::vector<std::string>& arguments, std::ostream& out,
                     std::ostream& /*err*/) {
  CommandLine line({{"size", true, false}, {"out", true, false}}, 0);
  line.Parse(arguments);
  if (line.HelpRequested()) {
    out << Usage();
    return static_cast<int>(ExitStatus::kSuccess);
  }
  const int size = line.IntValue("size", kDefaultSize);
  if (size < 2 || size > 400) throw FieldmapError::Usage("--size is between 2 and 400");
  const DemoSizes sizes{size, std::max(1, size * 3 / 4), 2 * size, std::max(1, size * 3 / 2)};
  const std::filesystem::path directory = line.Value("out", "fieldmap-demo");
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (error)
    throw FieldmapError::Input(directory.string(), "", "cannot be created: " + error.message());
  AtomicOutputFile sourceFile((directory / "demo-source.zdb").string());
  AtomicOutputFile targetFile((directory / "demo-target.zdb").string());
  AtomicOutputFile boxVtu((directory / "demo-target-box.vtu").string());
  AtomicOutputFile plateVtu((directory / "demo-target-plate.vtu").string());

  PhaseTimes times;
  const double start = Now();
  WriteSource(sourceFile.TemporaryPath(), sizes);
  times.build = Now() - start;
  std::ostringstream report;
  const int flags = MapDemo(sourceFile.TemporaryPath(), targetFile.TemporaryPath(), Base(boxVtu),
                            Base(plateVtu), sizes, times, report);
  out << report.str();
  sourceFile.Commit();
  targetFile.Commit();
  boxVtu.Commit();
  plateVtu.Commit();
  out << "wrote " << (directory / "demo-source.zdb").string() << ", demo-target.zdb, "
      << "demo-target-box.vtu, demo-target-plate.vtu\n";
  return static_cast<int>(flags == 0 ? ExitStatus::kSuccess : ExitStatus::kMappingProblems);
}
