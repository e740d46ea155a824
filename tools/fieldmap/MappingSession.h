#pragma once

#include <string>
#include <vector>

#include "DatabaseCatalog.h"
#include "ZORGfmApi.h"

// One source mesh mapped onto one target mesh, set up the way a host sets it up: a reader per
// mesh, the target writer, a mapper with one named request per field. It chooses the transfer
// from the kinds of the fields (nodes to nodes; integration points to integration points where
// every target element class has an integration-point table, else to nodes) and defines the
// target fields. Owns the readers and the mapper; the writer and the databases stay the
// caller's and must outlive it.
class MappingSession {
 public:
  struct Options {
    MapMethod_Tag method = MethodShapeInterpolation;
    bool conserve = false;
  };
  // What the mapper does with points it cannot place, its search tolerances (0 keeps the
  // mapper's own, which the environment may have set), which of several accepting elements
  // takes a point, and its threads.
  struct Settings {
    double fill = 0.0;
    bool nearestFallback = false;
    double boundaryTolerance = 0.0;
    double normalTolerance = 0.0;
    ElementChoice_Tag choice = ChoiceFirstAccepted;
    int threads = 0;  // 0: ZORMTK_THREADS when positive, else every hardware thread
  };
  struct Diagnostic {
    int code;
    std::string text;
  };

  MappingSession(const ZORSrvPosition& sourceRoot, const ZORSimDynamicID& sourceMesh,
                 ZORMtkSimWriter& writer, const ZORSimDynamicID& targetMesh);
  MappingSession(const MappingSession&) = delete;
  MappingSession& operator=(const MappingSession&) = delete;

  void Configure(const Settings& settings);
  // The mapper's search progress goes to callback with context, on the caller's thread.
  void FollowProgress(ZORMtkProgressCallback callback, void* context);

  // Defines the target field of that field type and adds the request under requestName.
  // Returns the target field record.
  ZORSimDynamicID Add(const std::string& requestName, const DatabaseCatalog::Field& source,
                      int components, const std::string& targetFieldType, const Options& options);
  // Runs a request for the source step and increment into step 1, increment 1 of the target;
  // returns the mapper's accumulated flags.
  int Map(const std::string& requestName, int sourceStep, int sourceIncrement);
  // True when a source field of that kind goes to the target's integration points.
  bool MapsToPoints(const DatabaseCatalog::Field& source) const;
  // Target node members the nodal search could not place.
  std::vector<int> FailedTargetNodes() const;
  // Every recorded problem with its code, as the library words it for every mapper: long
  // lists of points and coordinates cut to their first entries, with the count.
  std::vector<Diagnostic> Diagnostics() const;
  // A mapper's texts (one per code set in flags, in the library's report order) with their codes.
  static std::vector<Diagnostic> WithCodes(int flags, const std::vector<std::string>& texts);

  const ZORMtkSimReader& SourceReader() const { return source_; }
  const ZORMtkSimReader& TargetReader() const { return target_; }
  // True when the target elements can take integration-point values.
  bool TargetHasPointTables() const;

 private:
  ZORMtkSimReader source_;
  ZORMtkSimReader target_;
  ZORMtkSimWriter& writer_;
  ZORMtkMapper mapper_;
};
