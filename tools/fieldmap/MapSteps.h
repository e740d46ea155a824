#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "AtomicOutputFile.h"
#include "DatabaseCatalog.h"
#include "MappingSession.h"
#include "MeshVtuExport.h"
#include "ZORGfmApi.h"

class CommandLine;
class ProgressReporter;
class TargetDatabase;

// What fieldmap map was asked to do, as read from its command line.
struct MapSettings {
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
  // Ranks the mapping runs on under mpirun; 0 when it runs in this process alone.
  int parts = 0;
  MappingSession::Settings mapper;

  // Usage errors name the option that is wrong.
  static MapSettings Read(const CommandLine& line);
};

// What a mapping reports: the mapper's flags, its diagnostics and fieldmap's own notes.
struct MapOutcome {
  int flags = 0;
  std::vector<MappingSession::Diagnostic> diagnostics;
  std::vector<std::string> notes;
};

// The output database and .vtu of one mapping, under temporary names until Commit.
struct MapOutputs {
  std::unique_ptr<AtomicOutputFile> database;
  std::unique_ptr<AtomicOutputFile> vtu;

  // Refuses outputs that would replace an input.
  static MapOutputs For(const MapSettings& settings);
  // Renames the outputs into place, prints the outcome and returns the exit status.
  int Commit(const MapSettings& settings, const MapOutcome& outcome, std::ostream& out);
};

// The steps of fieldmap map that the serial run (the database mapper in this process) and the
// distributed run (ranks under mpirun) share, so both check, write and report alike. Stateless.
class MapSteps {
 public:
  // An input error naming the source when it lacks the step or increment.
  static void CheckStep(const MapSettings& settings, const DatabaseCatalog& catalog);
  // The source field called name with values on the source mesh, and its component count.
  static std::pair<DatabaseCatalog::Field, int> FindSourceField(const MapSettings& settings,
                                                                const DatabaseCatalog& catalog,
                                                                const ZORMtkSimReader& reader,
                                                                const std::string& name);
  // Where any field went to the nodes, keeps the placement of every target node in the target
  // database: 1 placed by the search, 2 filled from the nearest source node, 0 not placed.
  static void KeepPlacement(const MapSettings& settings, TargetDatabase& target,
                            const ZORMtkSimReader& targetReader,
                            const std::vector<int>& failedNodes, std::vector<ExportField>& mapped,
                            MapOutcome& outcome);
  // Saves the target database and, when asked for, writes it with the mapped fields as .vtu.
  static void Save(const MapSettings& settings, TargetDatabase& target,
                   const std::vector<ExportField>& mapped, const MapOutputs& outputs,
                   ProgressReporter& progress);
  // Prints problems and notes apart; returns true when there are problems.
  static bool PrintDiagnostics(std::ostream& out, const MapOutcome& outcome, bool fallback);
};
