#pragma once

#include <memory>

#include "mapper/ZORMtkDiagnosticsData.h"
#include "mapper/ZORMtkMapSpecs.h"
#include "mapper/ZORMtkOwnedTable.h"
#include "platform/ZORContainers.h"
#include "platform/ZORExport.h"
#include "platform/ZORSimAPI.h"
#include "platform/ZORSimHandles.h"
#include "platform/ZORString.h"

class ZORMtkMappingContext;
struct ZORMtkTransferChoice;
class ZORMtkSimReader;
class ZORMtkSimWriter;

// Progress of a long mapping: done and total count the points searched.
using ZORMtkProgressCallback = void (*)(void* context, long long done, long long total);

// The mapping engine a host builds once per coupling. It holds the readers and writers it is
// given (not owned: the host keeps them alive), owns a table of named requests and a mapping
// context with the search tolerances, the caches of bucket grids and weight objects that the
// searches fill, and the diagnostics store. MapField runs one request for one step and
// increment. One mapper is used by one thread at a time.
class ZORMTK_EXPORT ZORMtkMapper {
 public:
  // Both constructors take the tolerances from the environment (ZORMTK_BOUNDARY_TOLERANCE,
  // ZORMTK_NORMAL_TOLERANCE, converted as atof does); only the one without arguments tells the
  // host about a changed value, with a note on the error stream.
  ZORMtkMapper();
  explicit ZORMtkMapper(ZORSrvPosition position);
  ~ZORMtkMapper();
  ZORMtkMapper(const ZORMtkMapper&) = delete;
  ZORMtkMapper& operator=(const ZORMtkMapper&) = delete;

  // Readers and writers are only ever added. Set one reader per mesh that requests name, source
  // and target alike; every transfer writes through the first writer.
  void SetReader(ZORMtkSimReader* reader);
  void SetWriter(ZORMtkSimWriter* writer);

  // Adds a named request. A name added again is given to the newer request. The six-argument
  // form stores no field IDs.
  void AddMapSpec(cow_String name, Map_Tag mapTag, MapMethod_Tag mapMethod, Conserve_Tag conserve,
                  ZORSimDynamicID sourceMesh, ZORSimDynamicID targetMesh);
  void AddMapSpec(cow_String name, Map_Tag mapTag, MapMethod_Tag mapMethod, Conserve_Tag conserve,
                  ZORSimDynamicID sourceMesh, ZORSimDynamicID targetMesh,
                  ZORSimDynamicID sourceField, ZORSimDynamicID targetField, bool recordedFlag,
                  bool noFallback);
  // Entry i of sourceFields goes with entry i of sourceMeshes; a mesh without a field entry gets
  // none.
  void AddMapSpec(cow_String name, Map_Tag mapTag, MapMethod_Tag mapMethod, Conserve_Tag conserve,
                  ZORSimArray<ZORSimDynamicID> sourceMeshes, ZORSimDynamicID targetMesh,
                  ZORSimArray<ZORSimDynamicID> sourceFields, ZORSimDynamicID targetField,
                  bool recordedFlag, bool noFallback);

  // A value of exactly 0.0 keeps its tolerance; the two are independent.
  void DefineSearchTolerance(double boundary, double normal);

  // Buffers that replace reading the source field (inputComponents values per source node) and
  // writing the target field. They are set together, or cleared together with nulls; the host
  // keeps them alive and sized for the meshes it maps.
  void SetHostBuffers(const double* input, int inputComponents, double* output);

  // Runs the named request for one step and increment and returns the diagnostics flags, which
  // accumulate over calls until ClearErrors. An unsupported map tag, or a name never added, ORs
  // in code 1 and runs nothing; a missing name is also named on the error stream.
  int MapField(cow_String name, int sourceIncrement, int targetIncrement, int sourceStep,
               int targetStep);
  // Runs the matrix transfer of the named request, whatever its tags. Returns 0.
  int MapFieldMatrix(cow_String name, int sourceIncrement, int targetIncrement, int sourceStep,
                     int targetStep);

  // Diagnostics, as ZORMtkDiagnosticsData and ZORMtkErrorMessage describe them.
  int ListErrors(cow_List<int>& codes) const;
  void ProcessError(const int& code, cow_String& message, cow_List<int>& ints,
                    cow_List<double>& doubles) const;
  void ProcessErrorMessage(cow_String& message, const cow_List<int>& ints,
                           const cow_List<double>& doubles) const;

  // Progress of the searches: the callback runs on the caller's thread with the points done
  // and the points in all, about every hundredth of them and once at the end. Null stops it.
  void SetProgressCallback(ZORMtkProgressCallback callback, void* context);
  // The value written at target points the search could not place (0 unless set). The points
  // are reported in the diagnostics all the same.
  void SetUnplacedFill(double value);
  // Whether target nodes the shape search could not place take their nearest source node's
  // value (off unless set). They are reported in the diagnostics all the same.
  void SetNearestFallback(bool enabled);

  // Which element takes a point that several accept (ChoiceFirstAccepted unless set). With
  // ChoiceContaining a point near a slanted face or edge goes to the tetrahedron, prism or 3-node
  // triangle (plane or shell) whose reference shape holds it rather than to a neighbour that would
  // extrapolate or clamp, and of line elements, which accept any point, the nearest that holds the
  // point's foot takes it. Weights are cached per choice.
  void SetElementChoice(ElementChoice_Tag choice);
  // Threads for the searches and transfers: 0 (the default) takes ZORMTK_THREADS when it is set
  // to a positive number, else every hardware thread. Results are the same at any count.
  void SetThreadCount(int threads);

  // The request table and the settings, for hosts and tests that inspect them.
  const ZORSrvPosition& Position() const { return position_; }
  int RequestCount() const { return requests_.Count(); }
  int RequestCapacity() const { return requests_.Capacity(); }
  // The request in table position; position lies in 0 .. RequestCount() - 1.
  const ZORMtkMapSpecs& Request(int position) const { return *requests_.At(position); }
  // Null when the name was never added.
  const ZORMtkMapSpecs* FindRequest(const cow_String& name) const;
  int ReaderCount() const;
  int WriterCount() const;
  double BoundaryTolerance() const;
  double NormalTolerance() const;
  const ZORMtkDiagnosticsData& Diagnostics() const;
  // What the requests run against; the library's own transfers and tests use it.
  ZORMtkMappingContext& Context() { return *context_; }

 private:
  ZORMtkMapper(ZORSrvPosition position, bool printNotes);
  void ReadToleranceEnvironment(bool printNotes);
  ZORMtkMapSpecs& NewRequest(cow_String name, Map_Tag mapTag, MapMethod_Tag mapMethod,
                             Conserve_Tag conserve, bool recordedFlag, bool noFallback);
  void ReportMissingRequest(const cow_String& name) const;
  void Run(const ZORMtkTransferChoice& choice, const ZORMtkMapSpecs& request, int sourceStep,
           int sourceIncrement, int targetStep, int targetIncrement);

  ZORSrvPosition position_;
  ZORMtkOwnedTable<ZORMtkMapSpecs> requests_;
  cow_Map<cow_String, int> requestIndex_;
  std::unique_ptr<ZORMtkMappingContext> context_;
};
