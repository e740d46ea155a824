#include "search/impl/ZORFacetFrames.h"

#include <algorithm>
#include <cmath>

#include "platform/impl/ZORHugePages.h"
#include "platform/impl/ZORParallelFor.h"
#include "search/impl/ZORMtkSourceElements.h"

namespace {

// Added to the natural-coordinate tolerance: far above the change at which Newton stops.
constexpr double kNewtonSlack = 1e-3;
// Relative widening that keeps rounding in the bounds on the safe side.
constexpr double kRounding = 1e-9;

// How far beyond the box of its in-plane nodes a facet reaches at tolerance t, per in-plane
// axis of extent `extent`. Quadrilaterals: each 1-D factor (1 +- xi)/2 lies in [-t/2, 1 + t/2],
// so sum |N_i| <= (1 + t)^2 while sum N_i = 1, the negative weights add up to at most
// ((1 + t)^2 - 1)/2 and the point lies that fraction of the extent beyond the node box.
// Triangles: each area coordinate lies in [-t, 1 + t], so the negative ones add up to at most 2t;
// a point within distance t of the triangle is also taken (the test's clamped fallback).
double InPlaneReach(int nodeCount, double t, double extent) {
  if (nodeCount == 4) return ((1.0 + t) * (1.0 + t) - 1.0) / 2.0 * extent;
  return 2.0 * t * extent + t;
}

// The in-plane node box (u0, v0, u1, v1) grown by the reach at tolerance t.
void InPlaneBox(const ZORFacetFrame& frame, int nodeCount, double t, double rounding, double* box) {
  for (int axis = 0; axis < 2; ++axis) {
    double lo = frame.planar[axis], hi = lo;
    for (int k = 1; k < nodeCount; ++k) {
      lo = std::min(lo, frame.planar[3 * k + axis]);
      hi = std::max(hi, frame.planar[3 * k + axis]);
    }
    const double grow = InPlaneReach(nodeCount, t + kNewtonSlack, hi - lo) + rounding;
    box[axis] = lo - grow;
    box[2 + axis] = hi + grow;
  }
}

}  // namespace

ZORFacetFrames::ZORFacetFrames(const ZORMtkSourceElements& mesh, double boundary,
                               double strictBoundary, double normal, double strictNormal,
                               int threads, const ZORPointBox& targets)
    : mesh_(mesh),
      reach_(normal * mesh.MeanLength() * (1.0 + kRounding)),
      strictReach_(strictNormal * mesh.MeanLength() * (1.0 + kRounding)) {
  const auto framed = [&](int e) {
    const int nodeCount = mesh.NodeCountOf(e);
    return mesh.Kind(e) == ZORElementKind::Shell && (nodeCount == 3 || nodeCount == 4) &&
           Reaches(e, boundary, targets);
  };
  // Two passes over ranges of elements: the first gives each facet its slot, counted per range,
  // the second builds the frames there, so the slots follow element order at any thread count
  // and each thread first touches the frames it fills.
  const int elementCount = mesh.ElementCount();
  ZORHugePages::Resize(slots_, static_cast<std::size_t>(elementCount));
  const std::vector<long long> firstSlots = ZORParallelFor::RangeStarts(
      elementCount, threads, [&](int /*part*/, long long begin, long long end) {
        int count = 0;
        for (long long e = begin; e < end; ++e)
          slots_[static_cast<std::size_t>(e)] = framed(static_cast<int>(e)) ? count++ : -1;
        return static_cast<long long>(count);
      });
  ZORHugePages::Resize(facets_, static_cast<std::size_t>(firstSlots.back()));
  ZORParallelFor::Ranges(elementCount, threads, [&](int part, long long begin, long long end) {
    const int first = static_cast<int>(firstSlots[static_cast<std::size_t>(part)]);
    for (long long e = begin; e < end; ++e) {
      int& slot = slots_[static_cast<std::size_t>(e)];
      if (slot < 0) continue;
      slot += first;
      facets_[static_cast<std::size_t>(slot)] =
          Frame(static_cast<int>(e), boundary, strictBoundary);
    }
  });
}

ZORFacetFrames::Facet ZORFacetFrames::Frame(int element, double boundary,
                                            double strictBoundary) const {
  const int nodeCount = mesh_.NodeCountOf(element);
  double coords[3 * 4] = {};
  for (int k = 0; k < nodeCount; ++k)
    std::copy_n(mesh_.NodeCoords(mesh_.NodePositions(element)[k]), 3, coords + 3 * k);
  ZORFacetFrame frame;
  Facet facet{};
  facet.planar = zor_facet::Build(coords, nodeCount, mesh_.Dimension(), frame);
  if (facet.planar) {
    const double rounding = kRounding * mesh_.Length(element);
    facet.plane = frame.plane;
    for (int k = 0; k < nodeCount; ++k) {
      facet.nodes[2 * k] = frame.planar[3 * k];
      facet.nodes[2 * k + 1] = frame.planar[3 * k + 1];
    }
    InPlaneBox(frame, nodeCount, strictBoundary, rounding, facet.strict);
    InPlaneBox(frame, nodeCount, boundary, rounding, facet.relaxed);
  } else {
    // Collinear corners: the test accepts nothing; empty boxes say so.
    std::fill_n(facet.strict, 4, 0.0);
    std::fill_n(facet.relaxed, 4, 0.0);
    facet.strict[0] = facet.relaxed[0] = 1.0;
  }
  return facet;
}

// Whether the facet's hull (see Hull) can meet the targets, bounded without building the frame.
// The centroid is the nodes' mean, inside their box of diagonal D, and each node's in-plane
// coordinates are its offset from the centroid along unit tangents, at most D; so the relaxed
// in-plane box lies within D plus its growth of the centroid on both axes, whose extent is at
// most 2D. Twice that, plus the normal reach, bounds every offset of the hull from the node box
// by far more than rounding moves it.
bool ZORFacetFrames::Reaches(int element, double boundary, const ZORPointBox& targets) const {
  if (!targets.bounded) return true;
  const double* box = mesh_.Box(element);
  const double D = box[6];
  const double grow = InPlaneReach(mesh_.NodeCountOf(element), boundary + kNewtonSlack, 2.0 * D);
  const double reach = 2.0 * (D + grow) + reach_ + kRounding * D;
  double bounds[6];
  for (int a = 0; a < 3; ++a) {
    bounds[a] = box[a] - reach;
    bounds[3 + a] = box[3 + a] + reach;
  }
  return targets.Meets(bounds);
}

bool ZORFacetFrames::Covers(const ZORMtkSourceElements& mesh) {
  for (int e = 0; e < mesh.ElementCount(); ++e) {
    const int nodes = mesh.NodeCountOf(e);
    if (mesh.Kind(e) != ZORElementKind::Shell || (nodes != 3 && nodes != 4)) return false;
  }
  return mesh.ElementCount() > 0;
}

// The box of the slab {c + u t1 + v t2 + d n : (u, v) in the pass's in-plane box, |d| <= its normal
// reach}, joined with the node box that the coincident-node test looks at.
void ZORFacetFrames::HullAt(int element, bool relaxed, double* hull) const {
  const double* box = mesh_.Box(element);
  const double slack = kRounding * box[6];
  for (int a = 0; a < 3; ++a) {
    hull[a] = box[a] - slack;
    hull[3 + a] = box[3 + a] + slack;
  }
  const int slot = slots_[static_cast<std::size_t>(element)];
  const Facet& facet = facets_[static_cast<std::size_t>(slot)];
  const double* in = relaxed ? facet.relaxed : facet.strict;
  if (in[0] > in[2]) return;
  const ZORFacetPlane& plane = facet.plane;
  const double reach = relaxed ? reach_ : strictReach_;
  for (int a = 0; a < 3; ++a) {
    const double t1 = plane.tangents[a], t2 = plane.tangents[3 + a];
    const double depth = reach * std::fabs(plane.normal[a]) + slack;
    const double lower = plane.centroid[a] + std::min(in[0] * t1, in[2] * t1) +
                         std::min(in[1] * t2, in[3] * t2) - depth;
    const double upper = plane.centroid[a] + std::max(in[0] * t1, in[2] * t1) +
                         std::max(in[1] * t2, in[3] * t2) + depth;
    hull[a] = std::min(hull[a], lower);
    hull[3 + a] = std::max(hull[3 + a], upper);
  }
}

bool ZORFacetFrames::Test(int element, const double* point, double* weights, double* projection,
                          double tol, bool always, double* excess) const {
  const Facet& facet = facets_[static_cast<std::size_t>(slots_[static_cast<std::size_t>(element)])];
  if (!facet.planar) return false;
  const int nodeCount = mesh_.NodeCountOf(element);
  ZORFacetFrame frame;
  frame.plane = facet.plane;
  frame.curved = false;
  for (int k = 0; k < nodeCount; ++k) {
    frame.planar[3 * k] = facet.nodes[2 * k];
    frame.planar[3 * k + 1] = facet.nodes[2 * k + 1];
    frame.planar[3 * k + 2] = 0.0;
  }
  return zor_facet::Test(frame, nodeCount, point, weights, projection, tol, always, excess);
}
