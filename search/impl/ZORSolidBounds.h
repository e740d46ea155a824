#pragma once

#include <algorithm>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/ZORFreshArray.h"

class ZORMtkSourceElements;

// Where the solids of a mesh can accept a point, so a search can pass over the ones that surely
// cannot without running their Newton iteration. In pass 0 a solid is tested only when the point
// lies in its box widened by the box margin, and a trilinear hexahedron (8 nodes, or 20 with
// straight edges) only within its node box widened by the reach its natural-coordinate
// tolerance allows, a curved 20-node one within that and the reach its mid-side offsets add, a
// 6-node prism only within the box of its image of the natural ranges it accepts; in pass 1 they
// reach that far at the relaxed tolerance. A tetrahedron whose mid-side nodes (if any) sit at
// their edges' middles maps its natural coordinates affinely, so (r, s, t) follow from one linear
// solve: it accepts a point only when each lies in (-tol, 1 + tol), and its hull is the box of
// the parallelepiped those bounds span. Owns per-element flags, the tetrahedra's inverses, the
// curved 20-node hexahedra's mid-side offsets, for the containing choice the curved 10-node
// tetrahedra's corners' inverses and reaches, and for the other the prisms' pass-0 hulls;
// read-only once built, and built by up to `threads` threads into the same flags at any count.
class ZORSolidBounds {
 public:
  // Added to natural-coordinate tolerances: far above the change at which Newton stops, which for
  // an affine map is rounding alone.
  static constexpr double kNewtonSlack = 1e-3;

  // strict and relaxed: the boundary tolerance of pass 0 and pass 1; boxMargin: the box
  // screen's widening in element lengths (the nodal search's boundary tolerance, else 0).
  // containing: the bounds serve the containing choice, which puts off prisms and curved 10-node
  // tetrahedra first (ExceedsBy), so the curved ones' bounds are kept, and does without the
  // prisms' pass-0 hulls that screen the candidates of the first-accepted choice.
  ZORSolidBounds(const ZORMtkSourceElements& mesh, double strict, double relaxed, double boxMargin,
                 int threads = 1, bool containing = false);

  // The pass-0 hull (lower x, y, z, upper x, y, z) of a solid; it holds the solid's nodes.
  void StrictHull(int element, double* hull) const;
  // A box outside which the solid leaves every point by more than the pass-0 tolerance (ExceedsBy
  // at it is true) or fails the box screen: for an affine tetrahedron the box of its let-out
  // corners, far smaller than its pass-0 hull, the box of the parallelepiped its natural ranges
  // span; for other solids their pass-0 hull.
  void HoldingHull(int element, double* hull) const;
  // Whether some solid's holding hull can be tighter than its pass-0 hull.
  bool HoldsTighter() const { return !inverses_.empty() || anyPrism_; }
  // The pass-1 hull of a trilinear or curved 20-node hexahedron, a 6-node prism or an affine
  // tetrahedron; false for other solids.
  bool RelaxedHull(int element, double* hull) const;
  // False when the element test at tolerance tol surely rejects the point: a trilinear hexahedron
  // or a 6-node prism beyond its reach, a curved 20-node hexahedron beyond its node box's reach
  // (CurvedHexHull), or an affine tetrahedron whose natural coordinates for the point lie outside
  // (-tol, 1 + tol) beyond rounding.
  bool MayAccept(int element, const double* point, double tol) const;
  // True when the element is an affine tetrahedron whose natural coordinates for the point lie
  // beyond the tetrahedron by more than excess (plus rounding), which Newton would find too, a
  // curved 10-node tetrahedron whose corners' coordinates show as much beyond its curvature's
  // reach (BoundCurved), or a 6-node prism that surely leaves the point further outside than that
  // or that the element test at tolerance tol surely rejects. Inline, as every candidate
  // tetrahedron of every point asks.
  bool ExceedsBy(int element, const double* point, double excess, double tol) const {
    if (const Inverse* inverse = InverseOf(element))
      return Leaves(*inverse, point, excess + kNewtonSlack);
    if (const Inverse* corners = CurvedOf(element))
      return Leaves(*corners, point,
                    excess + kNewtonSlack + corners->origin[3] * CurvedGrowth(excess));
    return IsPrism(element) && PrismExceedsBy(element, point, excess, tol);
  }
  // Whether every element is a solid (the shapes the hulls are known for).
  static bool Covers(const ZORMtkSourceElements& mesh);

 private:
  // The barycentric coordinates lambda = (r, s, t, 1 - r - s - t) of a straight tetrahedron as
  // an affine map of the point: lambda = (0, 0, 0, 1) + sum_j (x_j - origin_j) columns[j]. Four
  // lanes a column, so that two SSE2 registers hold one, and a cache line's alignment, so that one
  // inverse spans two lines.
  struct alignas(64) Inverse {
    double origin[4];      // the first node, then 0 (a curved tetrahedron's reach: BoundCurved)
    double columns[3][4];  // d lambda / d x_j
  };
  // lambda for the point, summed per lane as (d_x c_x + d_y c_y) + d_z c_z, then the offset.
  static void Barycentric(const Inverse& inverse, const double* point, double* lambda) {
    const double d[3] = {point[0] - inverse.origin[0], point[1] - inverse.origin[1],
                         point[2] - inverse.origin[2]};
    for (int k = 0; k < 4; ++k)
      lambda[k] = d[0] * inverse.columns[0][k] + d[1] * inverse.columns[1][k] +
                  d[2] * inverse.columns[2][k];
    lambda[3] += 1.0;
  }
#if defined(__SSE2__)
  // The same sums two lanes at a time: (r, s) and (t, 1 - r - s - t) for the point.
  static void BarycentricPairs(const Inverse& inverse, const double* point, __m128d& rs,
                               __m128d& tu) {
    const __m128d xy = _mm_sub_pd(_mm_loadu_pd(point), _mm_load_pd(inverse.origin));
    const __m128d xx = _mm_unpacklo_pd(xy, xy);
    const __m128d yy = _mm_unpackhi_pd(xy, xy);
    const __m128d zz = _mm_set1_pd(point[2] - inverse.origin[2]);
    const auto lanes = [&](int k) {
      const __m128d xPart = _mm_mul_pd(xx, _mm_load_pd(inverse.columns[0] + k));
      const __m128d yPart = _mm_mul_pd(yy, _mm_load_pd(inverse.columns[1] + k));
      const __m128d zPart = _mm_mul_pd(zz, _mm_load_pd(inverse.columns[2] + k));
      return _mm_add_pd(_mm_add_pd(xPart, yPart), zPart);
    };
    rs = lanes(0);
    tu = _mm_add_pd(lanes(2), _mm_set_pd(1.0, 0.0));
  }
#endif
  // Whether some barycentric coordinate of the point lies below -by. A NaN leaves nothing.
  static bool Leaves(const Inverse& inverse, const double* point, double by) {
#if defined(__SSE2__)
    __m128d rs, tu;
    BarycentricPairs(inverse, point, rs, tu);
    return _mm_movemask_pd(_mm_cmplt_pd(_mm_min_pd(rs, tu), _mm_set1_pd(-by))) != 0;
#else
    double lambda[4];
    Barycentric(inverse, point, lambda);
    return lambda[0] < -by || lambda[1] < -by || lambda[2] < -by || lambda[3] < -by;
#endif
  }
  // Whether r, s and t for the point all lie in (lo, hi).
  static bool Within(const Inverse& inverse, const double* point, double lo, double hi) {
#if defined(__SSE2__)
    __m128d rs, tu;
    BarycentricPairs(inverse, point, rs, tu);
    const __m128d low = _mm_set1_pd(lo), high = _mm_set1_pd(hi);
    const auto inside = [&](__m128d lanes) {
      return _mm_movemask_pd(_mm_and_pd(_mm_cmpgt_pd(lanes, low), _mm_cmplt_pd(lanes, high)));
    };
    return inside(rs) == 3 && (inside(tu) & 1) != 0;
#else
    double rst[4];
    Barycentric(inverse, point, rst);
    return rst[0] > lo && rst[0] < hi && rst[1] > lo && rst[1] < hi && rst[2] > lo && rst[2] < hi;
#endif
  }
  // The inverse of an affine tetrahedron, null for other elements. Where every element has one,
  // its slot is the element's own position: one scattered read less.
  const Inverse* InverseOf(int element) const {
    if (everyAffine_) return &inverses_[static_cast<std::size_t>(element)];
    const int slot = affine_[static_cast<std::size_t>(element)];
    return slot >= 0 ? &inverses_[static_cast<std::size_t>(slot)] : nullptr;
  }
  // The corners' inverse of a curved 10-node tetrahedron, null for other elements.
  const Inverse* CurvedOf(int element) const {
    if (curved_.empty()) return nullptr;
    const int code = affine_[static_cast<std::size_t>(element)];
    return code <= kFirstCurved ? &curved_[static_cast<std::size_t>(kFirstCurved - code)] : nullptr;
  }
  // How much further than its reach a curved tetrahedron's corners may place a natural point let
  // out by excess: the bound 2 (1 + 6 excess)^2 on its mid-side shape values (BoundCurved).
  static double CurvedGrowth(double excess) {
    const double spread = 1.0 + 6.0 * excess;
    return 2.0 * spread * spread;
  }
  void FindInverses(int threads, bool boundCurved);
  int Classify(int element, bool boundCurved) const;
  void BoundCurved(int element, Inverse* corners) const;
  void KeepPrismHulls(int threads);
  bool PrismExceedsBy(int element, const double* point, double excess, double tol) const;
  bool InKeptPrismHull(int element, const double* point) const;
  bool Invert(int element, Inverse* inverse) const;
  void Parallelepiped(int element, double tol, double* hull) const;
  void LetOutSimplex(int element, double excess, double* hull) const;
  void LetOutPrismBox(int element, double excess, double* hull) const;
  void PrismHull(int element, double tol, double* hull) const;
  void BoxHull(int element, double* hull) const;
  bool IsTrilinear(int element) const {
    return affine_[static_cast<std::size_t>(element)] == kTrilinear;
  }
  bool IsPrism(int element) const { return affine_[static_cast<std::size_t>(element)] == kPrism; }
  bool IsCurvedHex(int element) const {
    return affine_[static_cast<std::size_t>(element)] == kCurvedHex;
  }
  void KeepHexOffsets(int threads);
  void CurvedHexHull(int element, double tol, double* hull) const;

  // What affine_ holds for elements without an inverse (kCurvedHex: a 20-node hexahedron with a
  // mid-side node off its edge); a curved 10-node tetrahedron holds kFirstCurved minus its slot in
  // curved_.
  static constexpr int kNoBound = -1;
  static constexpr int kTrilinear = -2;
  static constexpr int kPrism = -3;
  static constexpr int kCurvedHex = -4;
  static constexpr int kFirstCurved = -5;
  // Doubles or floats in a hull: lower x, y, z, upper x, y, z.
  static constexpr std::size_t kHullSize = 6;

  const ZORMtkSourceElements& mesh_;
  double strict_;
  double relaxed_;
  double boxMargin_;
  // How far a trilinear hexahedron's strict hull reaches beyond its node box, per unit extent.
  double strictHexReach_;
  // Per element the slot of its inverse (a straight tetrahedron that is not flat), kTrilinear for
  // an 8-node hexahedron or a 20-node one with straight edges, kCurvedHex for another 20-node one,
  // kPrism for a 6-node prism, kFirstCurved minus the slot of its corners' inverse for a curved
  // 10-node tetrahedron whose corners are not flat, else kNoBound.
  ZORFreshArray<int> affine_;
  ZORFreshArray<Inverse> inverses_;
  ZORFreshArray<Inverse> curved_;
  // Per element, when the mesh has curved 20-node hexahedra, the largest offset of a mid-side node
  // from its edge's middle along each axis, rounded up to floats (zeros for other elements).
  ZORFreshArray<float> hexOffsets_;
  bool anyCurvedHex_ = false;
  // Whether every element has an inverse, whose slot is then the element's own position.
  bool everyAffine_ = false;
  bool anyPrism_ = false;
  // Per element, when the mesh has 6-node prisms and they are kept, the pass-0 hull of each prism
  // rounded outwards to floats (zeros for other elements, never read).
  ZORFreshArray<float> prismHulls_;
};
