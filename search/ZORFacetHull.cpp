#include "search/impl/ZORFacetHull.h"

#include <algorithm>
#include <cmath>

#include "search/impl/ZORFacetFrame.h"
#include "search/impl/ZORMtkSourceElements.h"

namespace {

// Added to the natural-coordinate tolerance: far above the change at which Newton stops.
constexpr double kNewtonSlack = 1e-3;
// Relative widening that keeps rounding in the box arithmetic on the safe side.
constexpr double kRounding = 1e-9;

// How far beyond the box of its in-plane nodes a facet reaches at tolerance t, per in-plane
// axis of extent `extent`. Quadrilaterals: each 1-D factor (1 +- xi)/2 lies in [-t/2, 1 + t/2],
// so sum |N_i| <= (1 + t)^2 while sum N_i = 1, the negative weights add up to at most
// ((1 + t)^2 - 1)/2 and the point lies that fraction of the extent beyond the node box.
// Triangles: each area coordinate lies in [-t, 1 + t], so the negative ones add up to at most 2t;
// a point within distance t of the triangle is also accepted (the test's clamped fallback).
double InPlaneReach(int nodeCount, double t, double extent) {
  if (nodeCount == 4) return ((1.0 + t) * (1.0 + t) - 1.0) / 2.0 * extent;
  return 2.0 * t * extent + t;
}

void Grow(double* hull, const double* lower, const double* upper) {
  for (int a = 0; a < 3; ++a) {
    hull[a] = std::min(hull[a], lower[a]);
    hull[3 + a] = std::max(hull[3 + a], upper[a]);
  }
}

}  // namespace

bool ZORFacetHull::Covers(const ZORMtkSourceElements& mesh) {
  for (int e = 0; e < mesh.ElementCount(); ++e) {
    const int nodes = mesh.NodeCountOf(e);
    if (mesh.Kind(e) != ZORElementKind::Shell || (nodes != 3 && nodes != 4)) return false;
  }
  return mesh.ElementCount() > 0;
}

// The box of the slab {c + u t1 + v t2 + d n : u, v in the reach of the in-plane node box,
// |d| <= reach}, joined with the node box that the coincident-node test looks at.
void ZORFacetHull::Compute(const ZORMtkSourceElements& mesh, int element, double boundary,
                           double reach, double* hull) {
  const double* box = mesh.Box(element);
  const double slack = kRounding * box[6];
  for (int a = 0; a < 3; ++a) {
    hull[a] = box[a] - slack;
    hull[3 + a] = box[3 + a] + slack;
  }
  const int nodeCount = mesh.NodeCountOf(element);
  double coords[3 * 4];
  for (int k = 0; k < nodeCount; ++k)
    std::copy_n(mesh.NodeCoords(mesh.NodePositions(element)[k]), 3, coords + 3 * k);
  ZORFacetFrame frame;
  if (!zor_facet::Build(coords, nodeCount, mesh.Dimension(), frame)) return;
  double in[2][2];  // [axis u, v][lower, upper]
  for (int axis = 0; axis < 2; ++axis) {
    double lo = frame.planar[axis], hi = lo;
    for (int k = 1; k < nodeCount; ++k) {
      lo = std::min(lo, frame.planar[3 * k + axis]);
      hi = std::max(hi, frame.planar[3 * k + axis]);
    }
    const double grow = InPlaneReach(nodeCount, boundary + kNewtonSlack, hi - lo) + slack;
    in[axis][0] = lo - grow;
    in[axis][1] = hi + grow;
  }
  const double depth = reach * (1.0 + kRounding) + slack;
  double lower[3], upper[3];
  for (int a = 0; a < 3; ++a) {
    const double t1 = frame.tangents[a], t2 = frame.tangents[3 + a];
    lower[a] = frame.centroid[a] + std::min(in[0][0] * t1, in[0][1] * t1) +
               std::min(in[1][0] * t2, in[1][1] * t2) - depth * std::fabs(frame.normal[a]) - slack;
    upper[a] = frame.centroid[a] + std::max(in[0][0] * t1, in[0][1] * t1) +
               std::max(in[1][0] * t2, in[1][1] * t2) + depth * std::fabs(frame.normal[a]) + slack;
  }
  Grow(hull, lower, upper);
}
