#pragma once

#include <algorithm>
#include <vector>

#include "platform/ZORFreshArray.h"

class ZORMtkSourceElements;

// Where the solids of a mesh can accept a point, so a search can pass over the ones that surely
// cannot without running their Newton iteration. In pass 0 a solid is tested only when the point
// lies in its box widened by the box margin, and a trilinear hexahedron (8 nodes, or 20 with
// straight edges) only within its node box widened by the reach its natural-coordinate
// tolerance allows, a 6-node prism only within the
// box of its image of the natural ranges it accepts; in pass 1 they reach that far at the relaxed
// tolerance. A tetrahedron whose mid-side nodes (if any) sit at
// their edges' middles maps its natural coordinates affinely, so (r, s, t) follow from one linear
// solve: it accepts a point only when each lies in (-tol, 1 + tol), and its hull is the box of
// the parallelepiped those bounds span. Owns per-element flags, the tetrahedra's inverses and the
// prisms' pass-0 hulls; read-only once built, and built
// by up to `threads` threads into the same flags at any count.
class ZORSolidBounds {
 public:
  // Added to natural-coordinate tolerances: far above the change at which Newton stops, which for
  // an affine map is rounding alone.
  static constexpr double kNewtonSlack = 1e-3;

  // strict and relaxed: the boundary tolerance of pass 0 and pass 1; boxMargin: the box
  // screen's widening in element lengths (the nodal search's boundary tolerance, else 0).
  ZORSolidBounds(const ZORMtkSourceElements& mesh, double strict, double relaxed, double boxMargin,
                 int threads = 1);

  // The pass-0 hull (lower x, y, z, upper x, y, z) of a solid; it holds the solid's nodes.
  void StrictHull(int element, double* hull) const;
  // A box outside which the solid leaves every point by more than the pass-0 tolerance (ExceedsBy
  // at it is true) or fails the box screen: for an affine tetrahedron the box of its let-out
  // corners, far smaller than its pass-0 hull, the box of the parallelepiped its natural ranges
  // span; for other solids their pass-0 hull.
  void HoldingHull(int element, double* hull) const;
  // Whether some solid's holding hull can be tighter than its pass-0 hull.
  bool HoldsTighter() const { return !inverses_.empty() || !prismHulls_.empty(); }
  // The pass-1 hull of a trilinear hexahedron, a 6-node prism or an affine tetrahedron; false for
  // other solids.
  bool RelaxedHull(int element, double* hull) const;
  // False when the element test at tolerance tol surely rejects the point: a trilinear hexahedron
  // or a 6-node prism beyond its reach, or an affine tetrahedron whose natural coordinates for the
  // point lie outside (-tol, 1 + tol) beyond rounding.
  bool MayAccept(int element, const double* point, double tol) const;
  // True when the element is an affine tetrahedron whose natural coordinates for the point lie
  // beyond the tetrahedron by more than excess (plus rounding), which Newton would find too, or a
  // 6-node prism that surely leaves the point further outside than that or that the element test
  // at tolerance tol surely rejects. Inline, as every candidate tetrahedron of every point asks.
  bool ExceedsBy(int element, const double* point, double excess, double tol) const {
    if (IsPrism(element)) return PrismExceedsBy(element, point, excess, tol);
    double rst[3];
    if (!AffineCoordinates(element, point, rst)) return false;
    const double r = rst[0], s = rst[1], t = rst[2];
    return std::max({-r, -s, -t, r + s + t - 1.0}) > excess + kNewtonSlack;
  }
  // Whether every element is a solid (the shapes the hulls are known for).
  static bool Covers(const ZORMtkSourceElements& mesh);

 private:
  // (r, s, t) = rows (x - origin) for a straight tetrahedron.
  struct Inverse {
    double origin[3];
    double rows[9];
  };
  void FindInverses(int threads);
  void KeepPrismHulls(int threads);
  bool PrismExceedsBy(int element, const double* point, double excess, double tol) const;
  bool InKeptPrismHull(int element, const double* point) const;
  bool Invert(int element, Inverse& inverse) const;
  bool AffineCoordinates(int element, const double* point, double* rst) const {
    const int slot = affine_[static_cast<std::size_t>(element)];
    if (slot < 0) return false;
    const Inverse& inverse = inverses_[static_cast<std::size_t>(slot)];
    const double d[3] = {point[0] - inverse.origin[0], point[1] - inverse.origin[1],
                         point[2] - inverse.origin[2]};
    for (int k = 0; k < 3; ++k)
      rst[k] = inverse.rows[3 * k] * d[0] + inverse.rows[3 * k + 1] * d[1] +
               inverse.rows[3 * k + 2] * d[2];
    return true;
  }
  void Parallelepiped(int element, double tol, double* hull) const;
  void LetOutSimplex(int element, double excess, double* hull) const;
  void LetOutPrismBox(int element, double excess, double* hull) const;
  void PrismHull(int element, double tol, double* hull) const;
  void BoxHull(int element, double* hull) const;
  bool IsTrilinear(int element) const {
    return affine_[static_cast<std::size_t>(element)] == kTrilinear;
  }
  bool IsPrism(int element) const { return affine_[static_cast<std::size_t>(element)] == kPrism; }

  // What affine_ holds for elements without an inverse.
  static constexpr int kNoBound = -1;
  static constexpr int kTrilinear = -2;
  static constexpr int kPrism = -3;
  // Doubles or floats in a hull: lower x, y, z, upper x, y, z.
  static constexpr std::size_t kHullSize = 6;

  const ZORMtkSourceElements& mesh_;
  double strict_;
  double relaxed_;
  double boxMargin_;
  // How far a trilinear hexahedron's strict hull reaches beyond its node box, per unit extent.
  double strictHexReach_;
  // Per element the slot of its inverse (a straight tetrahedron that is not flat), kTrilinear for
  // an 8-node hexahedron or a 20-node one with straight edges, kPrism for a 6-node prism, else
  // kNoBound.
  ZORFreshArray<int> affine_;
  ZORFreshArray<Inverse> inverses_;
  // Per element, when the mesh has 6-node prisms, the pass-0 hull of each prism rounded outwards
  // to floats (zeros for other elements, never read).
  ZORFreshArray<float> prismHulls_;
};
