#pragma once

#include "search/impl/ZORSearchMisses.h"
#include "search/impl/ZORSearchOptions.h"

class ZORMtkElementWeights;
class ZORMtkMeshElemB;
class ZORMtkSimReader;

// The search that places the integration points of every target element in the source mesh, for
// the element transfers. Points are formed from the target element's nodes with the element
// type's integration-point shape values and searched like target nodes, except that there is no
// coincident-node test and the first-pass box test has no margin. Owns nothing; reads the
// readers, and the grid but for the source mesh it may hand over (ZORMtkMeshElemB::TakeMesh).
class ZORMtkIntPtSearch {
 public:
  // Every point of a target element gets its pair in point order; a point no source element
  // accepts gets source -1 and a PointNotPlaced miss with the element member and the point's
  // coordinates. Element classes without integration-point tables are skipped and named on the
  // platform's error stream.
  static void SearchPointsInElements(ZORMtkElementWeights& weights, ZORMtkMeshElemB& grid,
                                     const ZORMtkSimReader& sourceReader,
                                     const ZORMtkSimReader& targetReader,
                                     const ZORSearchOptions& options, ZORSearchMisses& misses);
};
