#pragma once

#include <cmath>
#include <vector>

#include "platform/ZORFreshArray.h"
#include "search/impl/ZORFacetFrame.h"
#include "search/impl/ZORPointBox.h"

class ZORMtkSourceElements;

// The planes of a mesh's shell facets, built once per search so that a facet the test would
// reject for a point is passed over without building its plane again. A facet accepts a point
// only within the normal reach of its plane, and is in its test's "first pass" list only when
// the point's projection lies in the region its natural coordinates cover; both bounds are
// checked in the test's own plane, widened beyond rounding, so skipping changes no answer. Owns the
// frames; read-only after construction, so any number of threads may query it.
class ZORFacetFrames {
 public:
  // boundary and normal: the relaxed tolerances; strictBoundary and strictNormal: the first
  // pass's. Built by up to `threads` threads, with the same frames at any count. A facet that
  // cannot reach `targets` gets no frame: it keeps the test without one, as facets of other shapes
  // do.
  ZORFacetFrames(const ZORMtkSourceElements& mesh, double boundary, double strictBoundary,
                 double normal, double strictNormal, int threads = 1,
                 const ZORPointBox& targets = {});

  // Whether the facet at element position can be in the first-pass list (pass 0) or accepted
  // (pass 1) for point; always true for shapes the bounds are not known for. In line, as the
  // search asks it of every facet it meets. The point is measured in the facet's frame by plain
  // projections rather than by the test's foot-of-perpendicular arithmetic; the two agree to
  // rounding, which the boxes' and the reach's widening covers.
  bool MayTake(int element, const double* point, int pass) const {
    const int slot = slots_[static_cast<std::size_t>(element)];
    if (slot < 0) return true;
    const Facet& facet = facets_[static_cast<std::size_t>(slot)];
    const ZORFacetPlane& plane = facet.plane;
    const double d[3] = {point[0] - plane.centroid[0], point[1] - plane.centroid[1],
                         point[2] - plane.centroid[2]};
    const auto along = [&d](const double* axis) {
      return d[0] * axis[0] + d[1] * axis[1] + d[2] * axis[2];
    };
    if (pass != 0 && std::fabs(along(plane.normal)) > reach_) return false;
    const double target[2] = {along(plane.tangents), along(plane.tangents + 3)};
    return InBox(pass == 0 ? facet.strict : facet.relaxed, target);
  }
  // The box (lower x, y, z, upper x, y, z) outside which the facet accepts nothing in either pass
  // and its nodes cannot coincide with the point; for the hull index of meshes that Covers.
  void Hull(int element, double* hull) const { HullAt(element, true, hull); }
  // The same for the first pass alone: a far smaller box, as that pass's in-plane and normal
  // reaches are a small part of the second's.
  void StrictHull(int element, double* hull) const { HullAt(element, false, hull); }
  // Whether every element is a 3- or 4-node facet, the shapes whose bounds are known.
  static bool Covers(const ZORMtkSourceElements& mesh);
  // Whether the facet at element position has its frame kept (a 3- or 4-node facet).
  bool Keeps(int element) const { return slots_[static_cast<std::size_t>(element)] >= 0; }
  // ZORMtkGeom::IncludedInFacet on the kept frame, with the same results to the bit; excess as
  // zor_facet::Test gives it.
  bool Test(int element, const double* point, double* weights, double* projection, double tol,
            bool always, double* excess = nullptr) const;

 private:
  // Laid out for MayTake: in the first pass, which asks about some ten facets a point, it reads
  // the centroid, the tangents and the strict box, the first two cache lines.
  struct alignas(64) Facet {
    ZORFacetPlane plane;
    double strict[4];     // in-plane box (u0, v0, u1, v1) of the first pass
    double relaxed[4];    // in-plane box of the second pass
    double nodes[2 * 4];  // in-plane (u, v) of each node
    bool planar;          // false for collinear corners: the test accepts nothing
  };
  Facet Frame(int element, double boundary, double strictBoundary) const;
  void HullAt(int element, bool relaxed, double* hull) const;
  bool Reaches(int element, double boundary, const ZORPointBox& targets) const;
  static bool InBox(const double* box, const double* target) {
    return target[0] >= box[0] && target[1] >= box[1] && target[0] <= box[2] && target[1] <= box[3];
  }

  const ZORMtkSourceElements& mesh_;
  double reach_;        // relaxed normal reach, slightly widened against rounding
  double strictReach_;  // the first pass's, likewise
  // Per element position, its facet, or -1 when its bounds are unknown.
  ZORFreshArray<int> slots_;
  ZORFreshArray<Facet> facets_;
};
