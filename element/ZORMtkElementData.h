#pragma once

#include "platform/ZORExport.h"
#include "platform/ZORString.h"

// Integration-point knowledge of the two-dimensional and shell element types that carry
// integration-point results: how many points an element has, where they lie, their quadrature
// weights, and how point values reach the nodes (by extrapolation or by integration). Owns only
// constant tables; every operation is a pure function of its arguments.
//
// Arrays of node-by-point values are laid out out[node * P + point], P the element's point count.
class ZORMTK_EXPORT ZORMtkElementData {
 public:
  // Number of integration points, or -1 for an element type outside the known list.
  static int GetNumIntPt(cow_String elementType);
  // out[node * P + point]: the node's shape function at the point.
  static void GetIntPtShapeValues(cow_String elementType, double* out);
  // out[node * P + point]: the point's weight in the node's extrapolated value.
  static void GetIntPtExtrapolation(cow_String elementType, double* out);
  // The full ZORMtkShp::Shp2D output (values, d/dr, d/ds) at the zero-based point.
  static void GetIntPtShapeDerivs(cow_String elementType, int point, double* out);
  // Quadrature weight of every point of the element type; 0.0 when it has no point table.
  static double GetIntPtWeight(cow_String elementType, int point);
  // Nodal sums of the integral of the point field times each node's shape function. coords holds
  // x, y, z per node; values nComponents per point; out nComponents per node. Without nodes or
  // components (a count of zero or less) nothing is written.
  static void IntegrateIntPtToNodes(cow_String elementType, const double* coords,
                                    const double* values, int nComponents, int dimension,
                                    int nNodes, double* out);
};
