#pragma once

#include "platform/ZORExport.h"

// Geometric tests and local-coordinate solvers for one point against one element: is the point in
// the element (within a tolerance in natural coordinates), and with which weights do the element's
// nodes interpolate there. Owns nothing; every operation works on the caller's flat arrays.
//
// Node coordinates come as three doubles per node (x, y, z) in element node order, also in
// two-dimensional use where z is ignored; weights come back one per node in the same order.
// The element tests use fixed stack buffers and never allocate: elements have at most 20 nodes.
class ZORMTK_EXPORT ZORMtkGeom {
 public:
  // The local-coordinate solvers take a Jacobian determinant below this, in the coordinates' own
  // units (length cubed in a solid, squared in a plane), for an element that is flat or inverted
  // there, so solids and curved or 4-node plane elements far smaller than 1e-4 units hold no point.
  static constexpr double kMinDeterminant = 1e-12;

  // --- Primitives ---

  // Scales the non-zero n-vector v to unit length.
  static void anorm(double* v, int n);
  // Foot of the perpendicular from point onto the plane through origin spanned by the two
  // tangents (t1 = tangents[0..2], t2 = tangents[3..5]); coeffs along t1 and t2; distance
  // |foot - point|, negative unless (foot - point) points along normal.
  static void FindMinDistToPlane(double* normal, double* tangents, double* origin, double* point,
                                 double* foot, double* coeffs, double& distance);
  // x-y tests; the triangle, quadrilateral and polygon are expected counter-clockwise. tol is
  // relative, see CounterClockwise.
  static bool IncludedInTriangle(double* tri, double* p, double tol);
  static bool IncludedInQuad(double* quad, double* p, double tol);
  static bool IncludedInPolygon(int n, double* polygon, double* p, double tol);
  // Whether segment a-b meets segment p-q in x-y; either may be a single point.
  static bool FindIntersection(double* a, double* b, double* p, double* q, double tol);
  // Unit normal (Newell), centroid and two in-plane unit tangents of the closed polygon.
  static void PlaneEquation(double* points, int n, double* normal, double* centroid,
                            double* tangents);
  // In-plane weights of a 3-node triangle (clamped to the triangle when the point is outside).
  static void InterpolateInTriangle(double* weights, double* tri, double* p, double& distance,
                                    bool& inside, double tol);
  // In-plane Shp2D output (values, d/dr, d/ds: 18 doubles) of a 6-node triangle at the point.
  static void InterpolateInQTriangle(double* weights, double* tri6, double* p, double& distance,
                                     bool& inside, double tol);
  // Parameters u of the feet of the perpendiculars from point to a 2-node segment (linear) or a
  // 3-node quadratic curve, u = 0 at the first node and 1 at the last. planar ignores z; tol and
  // flag are accepted for callers' sake and not used. Returns nRoots > 0.
  static bool FindPerpDistToCurve(double* coords, double* point, double* u, int& nRoots,
                                  bool linear, double tol, bool planar, bool flag);

  // --- Element tests, called by the point searches ---

  // Solids of 4, 6, 8, 10, 15 and 20 nodes; weights receives the 4 * nNodes doubles of
  // ZORMtkShp::Shp3D at the point, values first. secondPass is not used.
  static bool IncludedInSolid(double* weights, double* point, double* coords, int nNodes,
                              int dimension, double* tol, bool secondPass);
  // Shell facets of 3, 4, 6 and 8 nodes, tested in their own plane; projection receives the
  // signed distance of the point from that plane. With always, the weights are computed even when
  // the in-plane pre-test rejects the point.
  static bool IncludedInFacet(double* weights, double* point, double* coords, int nNodes,
                              int dimension, double* projection, double* tol, bool always);
  // Lines of 2 and 3 nodes (middle node second); accepts any foot of the perpendicular, also
  // beyond the ends, where the weights extrapolate.
  static bool IncludedInLine(double* weights, double* point, double* coords, int nNodes,
                             int dimension);
  // The first node within 1e-10 * length of the point in every coordinate; node is left alone
  // when there is none.
  static void FindCoincidentNode(double* point, double* coords, int dimension, int nNodes,
                                 int& node, const double& length);

  // --- Kernels of the tests above ---

  // Side of p relative to the directed line a-b in x-y: 1 left, -1 right. On the line (within
  // tol relative to the terms compared): -1 behind a, 1 beyond b, 0 on the segment.
  static int CounterClockwise(double* a, double* b, double* p, double tol);
  // In-plane Shp2D output (3 * nNodes doubles) of a 4- or 8-node quadrilateral at the point.
  static void InterpolateInQuad(double* weights, int nNodes, double* coords, double* p,
                                bool& inside, double tol);
  // Real roots of c[0] + c[1] u + c[2] u^2 + c[3] u^3; when c[3] is (nearly) zero, roots and
  // nRoots are left as they were.
  static void SolveCubic(double* c, double* roots, int& nRoots);
  // Copies the nodes of a 6- or 8-node facet between element order and perimeter order (corner,
  // mid-side, corner, ...).
  static void ReorderPerimeter(int nNodes, double* elementOrder, double* perimeterOrder,
                               bool toPerimeter);
};
