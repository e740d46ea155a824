#pragma once

#include <vector>

#include "platform/ZORString.h"

class ZORMtkSimReader;
class ZORMtkTransferFrame;

// The nodal values of one source element, as the target-class walk needs them: taken from a
// nodal source field, or extrapolated from the element's own integration-point values. The walk
// prepares each source class once and then asks element by element; the per-class arrays (the
// extrapolation matrix and the class's point values) are owned here and reused, so the element
// loop allocates nothing.
class ZORMtkSourceElementValues {
 public:
  // From a nodal field: `values` holds `components` per node of the source reader, in its rows.
  static ZORMtkSourceElementValues FromNodes(const ZORMtkSimReader& source, const double* values,
                                             int components);
  // From source field 0 at the integration points, extrapolated to the nodes element by element
  // (neighbouring elements are not averaged).
  static ZORMtkSourceElementValues FromPoints(const ZORMtkTransferFrame& frame, int components);

  // Readies one class of `reader` (a reader of the source mesh). False when the class cannot
  // give values (no integration-point table); its elements are then passed over.
  bool PrepareClass(const ZORMtkSimReader& reader, const cow_String& name,
                    const std::vector<int>& members, int nodesPerElement);
  // nodal[j][c] for the element at `position` in the prepared class, whose node members are
  // connectivity[0 .. nodesPerElement - 1].
  void Compute(int position, const int* connectivity, double* nodal);

 private:
  ZORMtkSourceElementValues(const ZORMtkSimReader* source, const double* values,
                            const ZORMtkTransferFrame* frame, int components);

  const ZORMtkSimReader* source_;     // FromNodes: rows are positions in its node region
  const double* nodeValues_;          // FromNodes
  const ZORMtkTransferFrame* frame_;  // FromPoints: reads the point values
  int components_;
  int nodesPerElement_ = 0;
  int points_ = 0;
  std::vector<double> extrapolation_;  // [node][point] of the prepared class
  std::vector<double> pointValues_;    // [element][point][component] of the prepared class
  std::vector<int> nodeRows_;          // FromNodes: rows of the element's nodes
};
