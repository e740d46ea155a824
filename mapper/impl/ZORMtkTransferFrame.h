#pragma once

#include <vector>

#include "mapper/impl/ZORMtkNodeLinks.h"
#include "platform/ZORContainers.h"
#include "platform/ZORString.h"

class ZORMtkMappingContext;
class ZORMtkMapSpecs;
class ZORMtkSimReader;
struct ZORMtkHostBuffers;

// What every field transfer shares: the context it runs in, the request, the source reader (the
// reader of the request's first source mesh) and the target reader, the source field's component
// count, the source step and increment for reading and the target step and increment for writing
// through writer slot 0. MapField builds one per call and hands it to the transfer the dispatch
// table chose. Holds references to the context and the request; owns nothing.
class ZORMtkTransferFrame {
 public:
  ZORMtkTransferFrame(ZORMtkMappingContext& context, const ZORMtkMapSpecs& request, int sourceStep,
                      int sourceIncrement, int targetStep, int targetIncrement);

  // False when a reader of the request's meshes was never set or the request names no source
  // field: such a request cannot run a transfer, and nothing is read or written.
  bool IsComplete() const;
  // The nodal ratio works on the target mesh alone, with three source fields.
  bool HasTargetAndFields(int fieldCount) const;

  ZORMtkMappingContext& Context() const { return context_; }
  const ZORMtkHostBuffers& Buffers() const;
  const ZORMtkMapSpecs& Request() const { return request_; }
  const ZORMtkSimReader& Source() const { return *source_; }
  const ZORMtkSimReader& Target() const { return *target_; }

  // The request's nodal weights as rows: gathering keys target rows and partners source rows,
  // scattering the other way round. The first call for a mesh pair runs the search. The view
  // reads the row form the weight cache keeps, or `built` when the weights cannot be read in
  // place (see ZORMtkWeightLinks::RowLinks).
  ZORMtkNodeLinkView GatherLinks(ZORMtkNodeLinks& built) const;
  ZORMtkNodeLinkView ScatterLinks(ZORMtkNodeLinks& built) const;

  // The threads the context's options give the transfer's kernels.
  int Threads() const;
  // The component count of source field 0 at the source step and increment; 0 when the field
  // holds nothing there.
  int SourceComponents() const;
  // The reader's node members, in row order.
  static std::vector<int> NodeMembers(const ZORMtkSimReader& reader);
  // The row of every member in the reader's node region, -1 for members outside it.
  static void NodeRows(const ZORMtkSimReader& reader, const int* members, int count, int* rows);
  // Coordinates as x, y, z per node (z = 0 on a two-dimensional mesh), in row order.
  static std::vector<double> NodeCoordinates3D(const ZORMtkSimReader& reader);
  // Element members and connectivity (node members, nodesPerElement per element) of a class.
  static std::vector<int> ClassMembers(const ZORMtkSimReader& reader, const cow_String& name);
  static int NodesPerElement(const ZORMtkSimReader& reader, const cow_String& name);
  static std::vector<int> ClassConnectivity(const ZORMtkSimReader& reader, const cow_String& name,
                                            int elements, int nodesPerElement);
  // The integration-point count of an element class, or -1 after telling the host on the error
  // stream that the class has no integration-point table and is skipped.
  static int PointsOrSkip(const cow_String& className);

  // Source field `entry` at the source step and increment, `components` per node of reader.
  std::vector<double> ReadNodes(const ZORMtkSimReader& reader, int entry, int components) const;
  // Source field 0 at the source points of the given elements (all of one class of `reader`).
  std::vector<double> ReadSourcePoints(const ZORMtkSimReader& reader,
                                       const std::vector<int>& elements, int points,
                                       int components) const;
  // Field sums per component: source field 0 over the source reader's nodes at the source step
  // and increment; the target field over the target reader's nodes at the target step and
  // increment, which reads back what was written.
  void SumSourceNodes(int components, double* sums) const;
  void SumTargetNodes(int components, double* sums) const;
  // Writes a nodal result for the given target node members at the target step and increment.
  void WriteNodes(int components, const std::vector<int>& members, double* values) const;
  // Writes the point values of one target element class.
  void WriteClass(int points, int components, const std::vector<int>& members,
                  double* values) const;

 private:
  ZORMtkMappingContext& context_;
  const ZORMtkMapSpecs& request_;
  const ZORMtkSimReader* source_;
  const ZORMtkSimReader* target_;
  int sourceStep_;
  int sourceIncrement_;
  int targetStep_;
  int targetIncrement_;
};
