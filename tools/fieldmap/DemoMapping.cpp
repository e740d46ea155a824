#include "DemoMapping.h"

#include <algorithm>
#include <chrono>
#include <iomanip>

#include "DemoAccuracy.h"
#include "FieldmapError.h"
#include "MeshDatabaseWriter.h"
#include "MeshVtuExport.h"
#include "VtuWriter.h"

double DemoPhaseTimes::Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

DemoMapping::DemoMapping(const std::string& sourcePath, const std::string& targetPath,
                         const DemoSizes& sizes, DemoPhaseTimes& times)
    : times_(times),
      targets_(WriteTargets(writer_, targetPath, sizes, times)),
      openStart_(DemoPhaseTimes::Now()),
      source_(sourcePath),
      catalog_(source_.Root()),
      box_(source_.Root(), catalog_.Meshes().at(0), writer_, targets_.box),
      plate_(source_.Root(), catalog_.Meshes().at(1), writer_, targets_.plate),
      nearest_(source_.Root(), catalog_.Meshes().at(0), writer_, targets_.box) {
  times_.open = DemoPhaseTimes::Now() - openStart_;
  AddRequests();
}

DemoMapping::Targets DemoMapping::WriteTargets(ZORMtkSimWriter& writer, const std::string& path,
                                               const DemoSizes& sizes, DemoPhaseTimes& times) {
  const double start = DemoPhaseTimes::Now();
  writer.CreateSim(path);
  MeshDatabaseWriter database(writer);
  Targets targets;
  targets.box = database.WriteMesh(DemoModel::TargetBox(sizes.targetCells));
  targets.plate = database.WriteMesh(DemoModel::TargetPlate(sizes.targetPlateCells));
  times.build += DemoPhaseTimes::Now() - start;
  return targets;
}

DatabaseCatalog::Field DemoMapping::SourceField(const MappingSession& session,
                                                const std::string& name, int& components) const {
  for (const DatabaseCatalog::Field& field : catalog_.FieldsNamed(1, name)) {
    components = session.SourceReader().GetSimpleFieldSize(field.record, 1, 1);
    if (components > 0) return field;
  }
  throw FieldmapError(ExitStatus::kBadInput, "the demo source lost its field " + name);
}

void DemoMapping::AddRequests() {
  int components = 0;
  const DatabaseCatalog::Field displacement = SourceField(box_, "U_D", components);
  displacement_ = box_.Add("U_D", displacement, components, "U_D", {});
  const DatabaseCatalog::Field temperature = SourceField(box_, "NT", components);
  temperature_ = box_.Add("NT", temperature, components, "NT", {});
  nearestTemperature_ =
      nearest_.Add("NT nearest", temperature, components, "TEMP", {MethodNearestNode, false});
  const DatabaseCatalog::Field strain = SourceField(plate_, "LE", components);
  strain_ = plate_.Add("LE", strain, components, "LE", {});
}

int DemoMapping::TimedMap(MappingSession& session, const std::string& request, bool firstOfKind) {
  double start = DemoPhaseTimes::Now();
  int flags = session.Map(request, 1, 1);
  const double first = DemoPhaseTimes::Now() - start;
  if (!firstOfKind) {
    times_.map += first;
    return flags;
  }
  start = DemoPhaseTimes::Now();
  flags = session.Map(request, 1, 1);
  const double repeat = DemoPhaseTimes::Now() - start;
  times_.search += std::max(0.0, first - repeat);
  times_.map += repeat;
  return flags;
}

int DemoMapping::Run() {
  int flags = TimedMap(box_, "U_D", true);
  flags |= TimedMap(box_, "NT", false);
  flags |= TimedMap(plate_, "LE", true);
  // Nearest node between meshes of different node counts is always reported by the mapper, so
  // its flags are not problems of the demo; its notes are reported apart.
  TimedMap(nearest_, "NT nearest", true);
  return flags;
}

void DemoMapping::Save(const std::string& boxVtuBase, const std::string& plateVtuBase) {
  const double start = DemoPhaseTimes::Now();
  writer_.SaveContext();
  VtuWriter vtu(0);
  const MeshVtuExport box(writer_.GetRootPosition(), targets_.box);
  vtu.Write(boxVtuBase + ".vtu", box.Piece({{displacement_, "U_D", false, false},
                                            {temperature_, "NT", false, false},
                                            {nearestTemperature_, "TEMP", false, false}},
                                           1, 1));
  const MeshVtuExport plate(writer_.GetRootPosition(), targets_.plate);
  vtu.Write(plateVtuBase + ".vtu", plate.Piece({{strain_, "LE", true, false}}, 1, 1));
  times_.save = DemoPhaseTimes::Now() - start;
}

void DemoMapping::ReportSizes(std::ostream& out) const {
  const auto line = [&out](const char* what, const ZORMtkSimReader& reader) {
    cow_List<cow_String> classes;
    reader.GetElementClassNames(classes);
    out << "  " << std::left << std::setw(14) << what << std::right << std::setw(9)
        << reader.numNodes << " nodes " << std::setw(9) << reader.numElements << " "
        << (classes.IsEmpty() ? cow_String("") : classes[0]) << "\n";
  };
  out << "sizes:\n";
  line("source box", box_.SourceReader());
  line("target box", box_.TargetReader());
  line("source plate", plate_.SourceReader());
  line("target plate", plate_.TargetReader());
  out << std::fixed << std::setprecision(3) << "seconds: build " << times_.build << ", open "
      << times_.open << ", search " << times_.search << ", map " << times_.map << ", save "
      << times_.save << std::defaultfloat << "\n";
}

void DemoMapping::ReportErrors(std::ostream& out) const {
  const ZORMtkSimReader& box = box_.TargetReader();
  out << "largest error against the analytic field:\n"
      << "  U_D    shape    "
      << DemoAccuracy::LargestNodalError(box, displacement_, 3, DemoModel::DisplacementAt) << "\n"
      << "  NT     shape    "
      << DemoAccuracy::LargestNodalError(box, temperature_, 1, DemoModel::TemperatureAt) << "\n"
      << "  TEMP   nearest  "
      << DemoAccuracy::LargestNodalError(nearest_.TargetReader(), nearestTemperature_, 1,
                                         DemoModel::TemperatureAt)
      << " (the nearest node's value; not exact by design)\n"
      << "  LE     points   " << DemoAccuracy::LargestStrainError(plate_.TargetReader(), strain_)
      << "\n";
}

void DemoMapping::ReportDiagnostics(std::ostream& out) const {
  std::vector<MappingSession::Diagnostic> problems = box_.Diagnostics();
  const std::vector<MappingSession::Diagnostic> plate = plate_.Diagnostics();
  problems.insert(problems.end(), plate.begin(), plate.end());
  out << "diagnostics:" << (problems.empty() ? " none, every target point was placed" : "") << "\n";
  for (const MappingSession::Diagnostic& problem : problems) out << "  " << problem.text << "\n";
  out << "nearest-node notes (expected, the meshes do not match):\n";
  for (const MappingSession::Diagnostic& note : nearest_.Diagnostics())
    out << "  " << note.text << "\n";
}

void DemoMapping::Report(std::ostream& out) const {
  ReportSizes(out);
  ReportErrors(out);
  ReportDiagnostics(out);
}
