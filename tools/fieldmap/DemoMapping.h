#pragma once

#include <ostream>
#include <string>

#include "DatabaseCatalog.h"
#include "DemoModel.h"
#include "MappingSession.h"
#include "OpenedDatabase.h"
#include "ZORGfmApi.h"

// Seconds of the demo's phases. The search is not a call of its own: the first request of each
// kind runs twice, and what the second run saves is the search it finds cached.
struct DemoPhaseTimes {
  double build = 0, open = 0, search = 0, map = 0, save = 0;

  // The clock the phases are timed with, in seconds.
  static double Now();
};

// The mapping half of the demo, as a host does it: creates the target database with its box and
// plate, opens the saved source, sets up one mapping session per mesh pair (and one more for
// nearest node, whose notes about unmatched meshes are expected and kept apart), maps, saves,
// exports the targets as .vtu and reports. Owns the writer, the opened source and the sessions.
class DemoMapping {
 public:
  DemoMapping(const std::string& sourcePath, const std::string& targetPath, const DemoSizes& sizes,
              DemoPhaseTimes& times);
  DemoMapping(const DemoMapping&) = delete;
  DemoMapping& operator=(const DemoMapping&) = delete;

  // Runs every request; returns the flags of the shape-function mappings.
  int Run();
  void Save(const std::string& boxVtuBase, const std::string& plateVtuBase);
  void Report(std::ostream& out) const;

 private:
  struct Targets {
    ZORSimDynamicID box;
    ZORSimDynamicID plate;
  };
  static Targets WriteTargets(ZORMtkSimWriter& writer, const std::string& path,
                              const DemoSizes& sizes, DemoPhaseTimes& times);
  DatabaseCatalog::Field SourceField(const MappingSession& session, const std::string& name,
                                     int& components) const;
  void AddRequests();
  int TimedMap(MappingSession& session, const std::string& request, bool firstOfKind);
  void ReportSizes(std::ostream& out) const;
  void ReportErrors(std::ostream& out) const;
  void ReportDiagnostics(std::ostream& out) const;

  DemoPhaseTimes& times_;
  ZORMtkSimWriter writer_;
  Targets targets_;
  // When opening began: the source and the sessions below are made in member order after it.
  double openStart_;
  OpenedDatabase source_;
  DatabaseCatalog catalog_;
  MappingSession box_;
  MappingSession plate_;
  MappingSession nearest_;
  ZORSimDynamicID displacement_, temperature_, nearestTemperature_, strain_;
};
