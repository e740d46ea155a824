#include "search/impl/ZORSolidBounds.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/impl/ZORHugePages.h"
#include "platform/impl/ZORParallelFor.h"
#include "search/ZORMtkGeom.h"
#include "search/impl/ZORGeomMath.h"
#include "search/impl/ZORMtkHullIndex.h"
#include "search/impl/ZORMtkSourceElements.h"

namespace {

// A mid-side node counts as the middle of its edge within this fraction of the element length.
constexpr double kStraight = 1e-12;
constexpr int kTetEdge[6][2] = {{0, 1}, {1, 2}, {2, 0}, {0, 3}, {1, 3}, {2, 3}};
constexpr int kHexEdge[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                 {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};

// How far beyond its node box, as a fraction of the box extent, a trilinear hexahedron can accept
// a point with natural-coordinate tolerance t: each 1-D factor (1 +- xi)/2 lies in [-t/2, 1 + t/2],
// so sum |N_i| <= (1 + t)^3 while sum N_i = 1, and the negative weights add up to at most
// ((1 + t)^3 - 1)/2.
double HexReach(double tolerance) {
  const double t = tolerance + ZORSolidBounds::kNewtonSlack;
  return ((1.0 + t) * (1.0 + t) * (1.0 + t) - 1.0) / 2.0;
}

// The most the negative shape values of a 6-node prism add up to at the corners of its
// reference shape let out by e (see ZORSolidBounds::PrismExceedsBy).
double NegativeShare(double e) { return 2.5 * e + 2.0 * e * e; }

bool IsPrism6(const ZORMtkSourceElements& mesh, int element) {
  return mesh.NodeCountOf(element) == 6;
}

// Calls visit(offset) with the offset of each mid-side node of the element from the middle of its
// edge (edges[k] joins the corners of mid-side node firstMid + k).
template <int EdgeCount, typename Visit>
void ForEachMidOffset(const ZORMtkSourceElements& mesh, int element,
                      const int (&edges)[EdgeCount][2], int firstMid, const Visit& visit) {
  const int* positions = mesh.NodePositions(element);
  for (int e = 0; e < EdgeCount; ++e) {
    const double* a = mesh.NodeCoords(positions[edges[e][0]]);
    const double* b = mesh.NodeCoords(positions[edges[e][1]]);
    const double* m = mesh.NodeCoords(positions[firstMid + e]);
    const double offset[3] = {m[0] - 0.5 * (a[0] + b[0]), m[1] - 0.5 * (a[1] + b[1]),
                              m[2] - 0.5 * (a[2] + b[2])};
    visit(offset);
  }
}

// Whether every mid-side node of the element sits at the middle of its edge; such an element maps
// like its corners alone.
template <int EdgeCount>
bool MidNodesCentred(const ZORMtkSourceElements& mesh, int element,
                     const int (&edges)[EdgeCount][2], int firstMid) {
  const double reach = kStraight * mesh.Length(element);
  bool centred = true;
  ForEachMidOffset(mesh, element, edges, firstMid, [&](const double* offset) {
    for (int k = 0; k < 3; ++k) centred = centred && !(std::fabs(offset[k]) > reach);
  });
  return centred;
}

// A tetrahedron of 4 nodes, or of 10 with straight edges: its map is affine.
bool Straight(const ZORMtkSourceElements& mesh, int element) {
  const int nodes = mesh.NodeCountOf(element);
  return nodes == 4 || (nodes == 10 && MidNodesCentred(mesh, element, kTetEdge, 4));
}

// A hexahedron of 8 nodes, or of 20 with straight edges: the serendipity functions reproduce the
// trilinear map of the corners, so the 8-node bounds hold.
bool Trilinear(const ZORMtkSourceElements& mesh, int element) {
  const int nodes = mesh.NodeCountOf(element);
  return nodes == 8 || (nodes == 20 && MidNodesCentred(mesh, element, kHexEdge, 8));
}

}  // namespace

ZORSolidBounds::ZORSolidBounds(const ZORMtkSourceElements& mesh, double strict, double relaxed,
                               double boxMargin, int threads, bool containing)
    : mesh_(mesh),
      strict_(strict),
      relaxed_(relaxed),
      boxMargin_(boxMargin),
      strictHexReach_(HexReach(strict)) {
  FindInverses(threads, containing);
  for (int e = 0; e < mesh_.ElementCount(); ++e) {
    anyPrism_ = anyPrism_ || IsPrism(e);
    anyCurvedHex_ = anyCurvedHex_ || IsCurvedHex(e);
  }
  if (anyPrism_ && !containing) KeepPrismHulls(threads);
  if (anyCurvedHex_) KeepHexOffsets(threads);
}

// The pass-0 hull of a 6-node prism takes some 300 operations from six scattered nodes, and
// every candidate of every point asks for it; kept, it is one read of 24 bytes. Rounded
// outwards, the kept hull holds the exact one, so it rejects no point that the exact one takes.
void ZORSolidBounds::KeepPrismHulls(int threads) {
  const int elementCount = mesh_.ElementCount();
  ZORHugePages::Resize(prismHulls_, kHullSize * static_cast<std::size_t>(elementCount));
  ZORParallelFor::Ranges(elementCount, threads, [&](int /*part*/, long long begin, long long end) {
    for (long long e = begin; e < end; ++e) {
      float* kept = prismHulls_.data() + kHullSize * static_cast<std::size_t>(e);
      double hull[kHullSize] = {};
      const int element = static_cast<int>(e);
      if (IsPrism(element)) PrismHull(element, strict_, hull);
      for (int a = 0; a < 3; ++a) {
        kept[a] = zor_geom::FloatBelow(hull[a]);
        kept[3 + a] = zor_geom::FloatAbove(hull[3 + a]);
      }
    }
  });
}

// A curved hexahedron's offsets take a read of its twenty nodes; kept, every candidate reads 12
// bytes. Elements by ranges on all threads, each writing only its own.
void ZORSolidBounds::KeepHexOffsets(int threads) {
  const int elementCount = mesh_.ElementCount();
  ZORHugePages::Resize(hexOffsets_, 3 * static_cast<std::size_t>(elementCount));
  ZORParallelFor::Ranges(elementCount, threads, [&](int /*part*/, long long begin, long long end) {
    for (long long e = begin; e < end; ++e) {
      float* kept = hexOffsets_.data() + 3 * static_cast<std::size_t>(e);
      double offset[3] = {0.0, 0.0, 0.0};
      const int element = static_cast<int>(e);
      if (IsCurvedHex(element))
        ForEachMidOffset(mesh_, element, kHexEdge, 8, [&](const double* d) {
          for (int c = 0; c < 3; ++c) offset[c] = std::max(offset[c], std::fabs(d[c]));
        });
      for (int c = 0; c < 3; ++c) kept[c] = zor_geom::FloatAbove(offset[c]);
    }
  });
}

// A 20-node hexahedron maps a natural point as its corners' trilinear map does, plus sum_m N_m d_m
// over its mid-side nodes' offsets d_m from their edges' middles. With every natural coordinate
// within 1 + t, the edge functions N_m = (1 - xi^2)(1 + eta eta_m)(1 + zeta zeta_m) / 4 of one
// direction add up in size to at most max(1, (1 + t)^2 - 1) (1 + t)^2, and the three directions'
// to three times that; the trilinear part stays within HexReach of the corners' box, which the
// node box holds. So the element accepts only points in its node box widened by HexReach times
// its extent and that sum times the largest offset along each axis.
void ZORSolidBounds::CurvedHexHull(int element, double tol, double* hull) const {
  const double t = tol + kNewtonSlack;
  const double span = (1.0 + t) * (1.0 + t);
  const double growth = 3.0 * std::max(1.0, span - 1.0) * span;
  const double reach = tol == strict_ ? strictHexReach_ : HexReach(tol);
  const double* box = mesh_.Box(element);
  const float* offsets = hexOffsets_.data() + 3 * static_cast<std::size_t>(element);
  for (int a = 0; a < 3; ++a) {
    const double slack = reach * (box[3 + a] - box[a]) + growth * offsets[a] + 1e-9 * box[6];
    hull[a] = box[a] - slack;
    hull[3 + a] = box[3 + a] + slack;
  }
}

// Three passes over ranges of elements: the first classifies each element and counts per range
// the straight solids whose inverse exists, the second the curved tetrahedra to bound; the counts
// give each range its first slots, and the third stores the inverses from there. The slots follow
// element order at any thread count.
void ZORSolidBounds::FindInverses(int threads, bool boundCurved) {
  const int elementCount = mesh_.ElementCount();
  ZORHugePages::Resize(affine_, static_cast<std::size_t>(elementCount));
  const auto perRange = [&](int code, bool classify) {
    return ZORParallelFor::RangeStarts(
        elementCount, threads, [&, code, classify](int /*part*/, long long begin, long long end) {
          long long count = 0;
          for (long long e = begin; e < end; ++e) {
            int& kept = affine_[static_cast<std::size_t>(e)];
            if (classify) kept = Classify(static_cast<int>(e), boundCurved);
            count += kept == code;
          }
          return count;
        });
  };
  const std::vector<long long> slots = perRange(0, true);
  const std::vector<long long> curvedSlots =
      boundCurved ? perRange(kFirstCurved, false) : std::vector<long long>(slots.size(), 0);
  ZORHugePages::Resize(inverses_, static_cast<std::size_t>(slots.back()));
  ZORHugePages::Resize(curved_, static_cast<std::size_t>(curvedSlots.back()));
  everyAffine_ = elementCount > 0 && slots.back() == elementCount;
  ZORParallelFor::Ranges(elementCount, threads, [&](int part, long long begin, long long end) {
    int slot = static_cast<int>(slots[static_cast<std::size_t>(part)]);
    int curvedSlot = static_cast<int>(curvedSlots[static_cast<std::size_t>(part)]);
    for (long long e = begin; e < end; ++e) {
      int& code = affine_[static_cast<std::size_t>(e)];
      if (code == 0) {
        code = slot;
        Invert(static_cast<int>(e), &inverses_[static_cast<std::size_t>(slot++)]);
      } else if (code == kFirstCurved) {
        code = kFirstCurved - curvedSlot;
        BoundCurved(static_cast<int>(e), &curved_[static_cast<std::size_t>(curvedSlot++)]);
      }
    }
  });
}

// 0 for a straight tetrahedron whose inverse exists, kFirstCurved for a curved 10-node one whose
// corners' inverse does (when asked to bound them), else what affine_ holds for elements without
// an inverse.
int ZORSolidBounds::Classify(int element, bool boundCurved) const {
  if (mesh_.Kind(element) != ZORElementKind::Solid) return kNoBound;
  if (Straight(mesh_, element)) return Invert(element, nullptr) ? 0 : kNoBound;
  if (Trilinear(mesh_, element)) return kTrilinear;
  if (IsPrism6(mesh_, element)) return kPrism;
  if (mesh_.NodeCountOf(element) == 20) return kCurvedHex;
  const bool curvedTet = mesh_.NodeCountOf(element) == 10 && Invert(element, nullptr);
  return boundCurved && curvedTet ? kFirstCurved : kNoBound;
}

// A 10-node tetrahedron maps a natural point as its corners do, plus sum_m N_m d_m over its
// mid-side nodes, d_m the node's offset from its edge's middle and N_m = 4 lambda_i lambda_j in
// the point's barycentric coordinates. A point let out by e (every lambda_i >= -e) has
// sum_i |lambda_i| <= 1 + 6e, so sum_m |N_m| <= 2 (sum_i |lambda_i|)^2 <= 2 (1 + 6e)^2
// (CurvedGrowth), and the corners' barycentric coordinates of its image differ from its own by at
// most max_k |grad lambda_k| max_m |d_m| times that: the reach kept with the corners' inverse.
void ZORSolidBounds::BoundCurved(int element, Inverse* corners) const {
  Invert(element, corners);
  double offset = 0.0;
  ForEachMidOffset(mesh_, element, kTetEdge, 4, [&offset](const double* d) {
    offset = std::max(offset, std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]));
  });
  double gradient = 0.0;
  for (int k = 0; k < 4; ++k) {
    double squared = 0.0;
    for (int c = 0; c < 3; ++c) squared += corners->columns[c][k] * corners->columns[c][k];
    gradient = std::max(gradient, std::sqrt(squared));
  }
  corners->origin[3] = gradient * offset;
}

// The inverse of [e1 e2 e3], e_i = x_i - x0, by cofactors: row k, the derivative of the k-th
// natural coordinate, is (e_{k+1} x e_{k+2}) / det, and 1 - r - s - t falls by their sum. False for
// a tetrahedron the element test calls flat (its first Newton step has this determinant), which is
// left to that test; with a null inverse, only that is asked.
bool ZORSolidBounds::Invert(int element, Inverse* inverse) const {
  const int* positions = mesh_.NodePositions(element);
  const double* x0 = mesh_.NodeCoords(positions[0]);
  double e[3][3];
  for (int k = 0; k < 3; ++k) {
    const double* x = mesh_.NodeCoords(positions[k + 1]);
    for (int a = 0; a < 3; ++a) e[k][a] = x[a] - x0[a];
  }
  const double det = zor_geom::Det3(e[0], e[1], e[2]);
  if (!(det >= ZORMtkGeom::kMinDeterminant)) return false;
  if (inverse == nullptr) return true;
  double row[3];
  for (int a = 0; a < 3; ++a) inverse->columns[a][3] = 0.0;
  for (int k = 0; k < 3; ++k) {
    zor_geom::Cross3(e[(k + 1) % 3], e[(k + 2) % 3], row);
    for (int a = 0; a < 3; ++a) {
      inverse->columns[a][k] = row[a] / det;
      inverse->columns[a][3] -= inverse->columns[a][k];
    }
  }
  std::copy_n(x0, 3, inverse->origin);
  inverse->origin[3] = 0.0;
  return true;
}

bool ZORSolidBounds::Covers(const ZORMtkSourceElements& mesh) {
  for (int e = 0; e < mesh.ElementCount(); ++e)
    if (mesh.Kind(e) != ZORElementKind::Solid) return false;
  return mesh.ElementCount() > 0 && mesh.Dimension() == 3;
}

// The box screen's box, as ZORMtkPointLocator::InBox tests it.
void ZORSolidBounds::BoxHull(int element, double* hull) const {
  const double* box = mesh_.Box(element);
  const double margin = boxMargin_ * box[6] + kStraight * box[6];
  for (int a = 0; a < 3; ++a) {
    hull[a] = box[a] - margin;
    hull[3 + a] = box[3 + a] + margin;
  }
}

// A prism's hull is the kept one, which holds the exact hull: the hull index reads every hull
// twice, and the prism's takes some 300 operations.
void ZORSolidBounds::StrictHull(int element, double* hull) const {
  BoxHull(element, hull);
  double tight[6];
  if (IsTrilinear(element)) {
    ZORMtkHullIndex::Widen(mesh_.Box(element), strictHexReach_, tight);
  } else if (IsCurvedHex(element)) {
    CurvedHexHull(element, strict_, tight);
  } else if (IsPrism(element) && prismHulls_.empty()) {
    PrismHull(element, strict_, tight);
  } else if (IsPrism(element)) {
    std::copy_n(prismHulls_.data() + kHullSize * static_cast<std::size_t>(element), kHullSize,
                tight);
  } else if (affine_[static_cast<std::size_t>(element)] >= 0) {
    Parallelepiped(element, strict_, tight);
  } else {
    return;
  }
  for (int a = 0; a < 3; ++a) {
    hull[a] = std::max(hull[a], tight[a]);
    hull[3 + a] = std::min(hull[3 + a], tight[3 + a]);
  }
}

// An affine tetrahedron's let-out box replaces the parallelepiped's, which it mostly lies in.
void ZORSolidBounds::HoldingHull(int element, double* hull) const {
  double tight[kHullSize];
  if (IsPrism(element)) {
    // Without the kept hull, the box screen's box stands in for the pass-0 hull: beyond it the box
    // screen fails, beyond the let-out box the prism is put off, and the hull's 300 or so
    // operations are saved.
    if (prismHulls_.empty())
      BoxHull(element, hull);
    else
      StrictHull(element, hull);
    LetOutPrismBox(element, strict_, tight);
  } else if (affine_[static_cast<std::size_t>(element)] >= 0) {
    BoxHull(element, hull);
    LetOutSimplex(element, strict_, tight);
  } else {
    StrictHull(element, hull);
    return;
  }
  for (int a = 0; a < 3; ++a) {
    hull[a] = std::max(hull[a], tight[a]);
    hull[3 + a] = std::min(hull[3 + a], tight[3 + a]);
  }
}

bool ZORSolidBounds::RelaxedHull(int element, double* hull) const {
  if (IsTrilinear(element)) {
    ZORMtkHullIndex::Widen(mesh_.Box(element), HexReach(relaxed_), hull);
    return true;
  }
  if (IsPrism(element)) {
    PrismHull(element, relaxed_, hull);
    return true;
  }
  if (IsCurvedHex(element)) {
    CurvedHexHull(element, relaxed_, hull);
    return true;
  }
  if (affine_[static_cast<std::size_t>(element)] < 0) return false;
  Parallelepiped(element, relaxed_, hull);
  return true;
}

// The box of {x0 + r e1 + s e2 + t e3 : r, s, t in [-tol, 1 + tol]}, e_i = x_i - x0, widened by
// rounding in element lengths.
void ZORSolidBounds::Parallelepiped(int element, double tol, double* hull) const {
  const int* positions = mesh_.NodePositions(element);
  const double* x0 = mesh_.NodeCoords(positions[0]);
  const double lo = -tol - kNewtonSlack, hi = 1.0 + tol + kNewtonSlack;
  const double slack = kStraight * mesh_.Length(element);
  for (int a = 0; a < 3; ++a) {
    double low = x0[a], high = x0[a];
    for (int k = 1; k <= 3; ++k) {
      const double edge = mesh_.NodeCoords(positions[k])[a] - x0[a];
      low += std::min(lo * edge, hi * edge);
      high += std::max(lo * edge, hi * edge);
    }
    hull[a] = low - slack;
    hull[3 + a] = high + slack;
  }
}

// The box of the tetrahedron let out by e = excess plus the Newton slack, {r, s, t >= -e,
// r + s + t <= 1 + e}, widened by rounding in element lengths. Its corners are c = -e (1, 1, 1)
// and c + (1 + 4e) u_k, so along each axis they lie at x0 + c.E plus (1 + 4e) times 0 or one of
// the edges e_k = x_k - x0.
void ZORSolidBounds::LetOutSimplex(int element, double excess, double* hull) const {
  const int* positions = mesh_.NodePositions(element);
  const double* x0 = mesh_.NodeCoords(positions[0]);
  const double e = excess + kNewtonSlack;
  const double stretch = 1.0 + 4.0 * e;
  const double slack = kStraight * mesh_.Length(element);
  for (int a = 0; a < 3; ++a) {
    double sum = 0.0, low = 0.0, high = 0.0;
    for (int k = 1; k <= 3; ++k) {
      const double edge = mesh_.NodeCoords(positions[k])[a] - x0[a];
      sum += edge;
      low = std::min(low, edge);
      high = std::max(high, edge);
    }
    const double corner = x0[a] - e * sum;
    hull[a] = corner + stretch * low - slack;
    hull[3 + a] = corner + stretch * high + slack;
  }
}

// The box of x(r, s, t) over r, s in [-tol, 1 + tol] and t in [-1 - tol, 1 + tol], the ranges a
// 6-node prism accepts (tol widened by the Newton slack), widened by rounding in element lengths.
// With N_i = l_i(r, s) (1 +- t)/2 and l = (1 - r - s, r, s), at a fixed t the prism is the
// triangle x = P0 + r (P1 - P0) + s (P2 - P0), P_k = ((1 - t) x_k + (1 + t) x_{k+3}) / 2, affine
// in r and s apart, so each coordinate's extremes over the (r, s) box are sums of the extremes
// of its two terms; x is affine in t as well, so the two end values of t bound the rest.
void ZORSolidBounds::PrismHull(int element, double tol, double* hull) const {
  const int* positions = mesh_.NodePositions(element);
  const double lo = -tol - kNewtonSlack, hi = 1.0 + tol + kNewtonSlack;
  for (int a = 0; a < 3; ++a) {
    hull[a] = std::numeric_limits<double>::infinity();
    hull[3 + a] = -std::numeric_limits<double>::infinity();
  }
  for (const double t : {-hi, hi}) {
    const double below = 0.5 * (1.0 - t), above = 0.5 * (1.0 + t);
    for (int a = 0; a < 3; ++a) {
      double P[3];
      for (int k = 0; k < 3; ++k)
        P[k] = below * mesh_.NodeCoords(positions[k])[a] +
               above * mesh_.NodeCoords(positions[k + 3])[a];
      const double d1 = P[1] - P[0], d2 = P[2] - P[0];
      hull[a] = std::min(hull[a], P[0] + std::min(lo * d1, hi * d1) + std::min(lo * d2, hi * d2));
      hull[3 + a] =
          std::max(hull[3 + a], P[0] + std::max(lo * d1, hi * d1) + std::max(lo * d2, hi * d2));
    }
  }
  const double slack = kStraight * mesh_.Length(element);
  for (int a = 0; a < 3; ++a) {
    hull[a] -= slack;
    hull[3 + a] += slack;
  }
}

// A 6-node prism maps x = (1 - u) B(r, s) + u T(r, s), u = (1 + t)/2, with B and T affine over
// the bottom and top triangles, so the reference prism let out by e (r, s >= -e, r + s <= 1 + e,
// |t| <= 1 + e) lies in the hull of the images of its six corners. Each corner image is the sum
// of the nodes weighted by their shape values there, which add up to 1 and whose negative ones
// add up to 2.5 e + 2 e^2 (at r = s = -e, t = -1 - e: (1 + 2e)(1 + e/2) for node 0, then
// -e (1 + e/2) twice, -(1 + 2e) e/2 and e^2/2 twice; the other corners permute these). Along a
// direction n, every corner image thus projects into [lo - w, hi + w], lo and hi the least and
// largest n.x_i over the nodes and w that negative share of hi - lo: a point projecting outside
// lies outside the let-out prism. Any direction is sound; the side faces' normals (across their
// mean edges) are tight, as a point beside the prism mostly lies across one of them. The end
// triangles' normals are left to the axes: prisms stacked in layers have ends across one axis,
// whose box test already turns away nearly every point beyond them, and in the wedge case at 1e5
// testing them cost 36M instructions more than the Newton solves they spared.
// Most points a prism is asked about in pass 0 lie outside its kept hull, which is read first.
// The axes come next, at any let-out: the containing choice walks the hulls of the let-out node
// boxes, so a point the prism is asked about must lie in its box whenever it is not put off.
bool ZORSolidBounds::PrismExceedsBy(int element, const double* point, double excess,
                                    double tol) const {
  if (tol == strict_ && !prismHulls_.empty() && !InKeptPrismHull(element, point)) return true;
  double box[kHullSize];
  LetOutPrismBox(element, excess, box);
  for (int a = 0; a < 3; ++a)
    if (point[a] < box[a] || point[a] > box[3 + a]) return true;
  const double e = excess + kNewtonSlack;
  if (!(e < 1.0)) return false;
  const double share = NegativeShare(e);
  const int* positions = mesh_.NodePositions(element);
  const double* x0 = mesh_.NodeCoords(positions[0]);
  double d[6][3];
  for (int k = 0; k < 6; ++k) zor_geom::Sub3(mesh_.NodeCoords(positions[k]), x0, d[k]);
  double p[3];
  zor_geom::Sub3(point, x0, p);
  const double slack = kStraight * mesh_.Length(element);
  constexpr int kSides[3][2] = {{1, 2}, {0, 1}, {2, 0}};
  for (const auto& side : kSides) {
    const int i = side[0], j = side[1];
    double along[3], up[3], n[3];
    for (int a = 0; a < 3; ++a) {
      along[a] = d[j][a] - d[i][a] + d[j + 3][a] - d[i + 3][a];
      up[a] = d[i + 3][a] - d[i][a] + d[j + 3][a] - d[j][a];
    }
    zor_geom::Cross3(along, up, n);
    double lo = 0.0, hi = 0.0;
    for (int k = 1; k < 6; ++k) {
      const double projection = zor_geom::Dot3(n, d[k]);
      lo = std::min(lo, projection);
      hi = std::max(hi, projection);
    }
    const double reach =
        share * (hi - lo) + slack * (std::fabs(n[0]) + std::fabs(n[1]) + std::fabs(n[2]));
    const double at = zor_geom::Dot3(n, p);
    if (at > hi + reach || at < lo - reach) return true;
  }
  return false;
}

// The axes are directions too: the node box let out on each side by the negative share of its
// extent holds the let-out prism.
void ZORSolidBounds::LetOutPrismBox(int element, double excess, double* hull) const {
  const double share = NegativeShare(excess + kNewtonSlack);
  const double* box = mesh_.Box(element);
  const double slack = kStraight * mesh_.Length(element);
  for (int a = 0; a < 3; ++a) {
    const double reach = share * (box[3 + a] - box[a]) + slack;
    hull[a] = box[a] - reach;
    hull[3 + a] = box[3 + a] + reach;
  }
}

bool ZORSolidBounds::InKeptPrismHull(int element, const double* point) const {
  const float* hull = prismHulls_.data() + kHullSize * static_cast<std::size_t>(element);
  for (int a = 0; a < 3; ++a)
    if (point[a] < hull[a] || point[a] > hull[3 + a]) return false;
  return true;
}

bool ZORSolidBounds::MayAccept(int element, const double* point, double tol) const {
  const double lo = -tol - kNewtonSlack, hi = 1.0 + tol + kNewtonSlack;
  if (everyAffine_) return Within(*InverseOf(element), point, lo, hi);
  const bool trilinear = IsTrilinear(element);
  const bool prism = IsPrism(element);
  // Unkept, the pass-0 hull would cost more than the Newton solves it spares: the containing
  // choice asks only about prisms its put-off test left, which nearly all lie in it.
  if (prism && tol == strict_) return prismHulls_.empty() || InKeptPrismHull(element, point);
  if (trilinear) {
    const double reach = tol == strict_ ? strictHexReach_ : HexReach(tol);
    return ZORMtkHullIndex::WidenedHolds(mesh_.Box(element), reach, point);
  }
  if (prism || IsCurvedHex(element)) {
    double hull[kHullSize];
    if (prism)
      PrismHull(element, tol, hull);
    else
      CurvedHexHull(element, tol, hull);
    for (int a = 0; a < 3; ++a)
      if (point[a] < hull[a] || point[a] > hull[3 + a]) return false;
    return true;
  }
  const Inverse* inverse = InverseOf(element);
  return inverse == nullptr || Within(*inverse, point, lo, hi);
}
