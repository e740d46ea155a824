#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "element/ZORMtkShp.h"
#include "element/ZORReferenceShapes.h"
#include "search/ZORMtkGeom.h"
#include "search/impl/ZORGeomMath.h"
#include "search/impl/ZORSolidInversion.h"
#include "support/ZORTestMeshes.h"

namespace {

using zor_reference::Point;
using zor_reference::Shape;
using Coords = std::vector<double>;  // x, y, z per node
// The solvers return the weights of the evaluation before their last Newton update, which moved
// the natural coordinates by less than 1e-6.
constexpr double kNewtonWeights = 1e-5;

std::vector<Shape> Shapes(int dimension) {
  std::vector<Shape> chosen;
  for (const Shape& shape : zor_reference::AllShapes())
    if (shape.dimension == dimension && shape.arg > 0) chosen.push_back(shape);
  return chosen;
}

// The range of natural coordinate `axis` over the element.
double Bound(const Shape& shape, int axis, bool upper) {
  double bound = shape.nodes[0][axis];
  for (const Point& x : shape.nodes)
    bound = upper ? std::max(bound, x[axis]) : std::min(bound, x[axis]);
  return bound;
}

// A sheared, stretched and bent copy of the reference element, away from the origin. The bend
// curves the edges of quadratic elements and skews the faces of linear ones.
Point Distort(const Point& x) {
  return {10.0 + 1.5 * x[0] + 0.2 * x[1] + 0.1 * x[2] + 0.08 * x[1] * x[1],
          -3.0 - 0.1 * x[0] + 1.2 * x[1] + 0.15 * x[2] + 0.06 * x[2] * x[0],
          2.0 + 0.05 * x[0] - 0.2 * x[1] + 1.0 * x[2] + 0.07 * x[0] * x[0]};
}

// Facets lie in a tilted plane: in-plane axes kU, kV and normal kN = kU x kV; the bend is in-plane.
const Point kU = {0.8, 0.36, 0.48}, kV = {-0.6, 0.48, 0.64}, kN = {0.0, -0.8, 0.6};
Point InPlane(const Point& x) {
  Point y;
  for (int k = 0; k < 3; ++k)
    y[k] = 1.0 + (1.5 * x[0] + 0.2 * x[1] + 0.1 * x[1] * x[1]) * kU[k] +
           (-0.1 * x[0] + 1.2 * x[1]) * kV[k] + x[2] * kN[k];
  return y;
}

Coords Nodes(const Shape& shape) {
  Coords coords;
  for (int n = 0; n < shape.Count(); ++n) {
    const Point x = shape.dimension == 3 ? Distort(shape.nodes[n]) : InPlane(shape.nodes[n]);
    coords.insert(coords.end(), x.begin(), x.end());
  }
  return coords;
}

// The element's own isoparametric map at xi, plus `lift` along the facet normal.
Point Map(const Shape& shape, const Coords& coords, const Point& xi, double lift = 0.0) {
  const Coords N = shape.Evaluate(xi);
  Point x = {lift * kN[0], lift * kN[1], lift * kN[2]};
  for (int n = 0; n < shape.Count(); ++n)
    for (int k = 0; k < 3; ++k) x[k] += N[n] * coords[3 * n + k];
  return x;
}

// Crossing-number reference for the polygon test (x-y, stride 3).
bool ReferenceInside(const Coords& polygon, double x, double y) {
  const int n = static_cast<int>(polygon.size() / 3);
  bool inside = false;
  for (int i = 0, j = n - 1; i < n; j = i++) {
    const double xi = polygon[3 * i], yi = polygon[3 * i + 1];
    const double xj = polygon[3 * j], yj = polygon[3 * j + 1];
    if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
  }
  return inside;
}

// The solid test finds the point of natural coordinates xi in the element with their shape
// values as weights, and the inversion from those weights recovers xi (Newton converges
// quadratically, so far closer than the weights of the step before). The solvers take their
// nodes as non-const pointers, hence coords by reference.
void ExpectFoundAt(const Shape& shape, Coords& coords, const Point& xi) {
  const int n = shape.Count();
  double tol = 1e-3, rst[3];
  Coords weights(static_cast<std::size_t>(4 * n), -9.0);
  Point x = Map(shape, coords, xi);
  ASSERT_TRUE(
      ZORMtkGeom::IncludedInSolid(weights.data(), x.data(), coords.data(), n, 3, &tol, false))
      << xi[0] << " " << xi[1] << " " << xi[2];
  const Coords N = shape.Evaluate(xi);
  for (int k = 0; k < n; ++k) ASSERT_NEAR(weights[k], N[k], kNewtonWeights) << "node " << k;
  ASSERT_TRUE(zor_solid::Invert(weights.data(), x.data(), coords.data(), n, rst));
  for (int axis = 0; axis < 3; ++axis) ASSERT_NEAR(rst[axis], xi[axis], 1e-10);
}

}  // namespace

// The crossing segments are covered by the polygon test; a segment that is a point is a point
// even when a coordinate is zero.
TEST(ZORMtkGeomOrientation, SegmentsThatArePointsMeetOnlyWhatTheyTouch) {
  const struct {
    Point a, p, q;
    bool meet;
  } cases[] = {{{1, 1, 0}, {0, 0, 0}, {2, 2, 0}, true},
               {{1, 0, 0}, {0, 0, 0}, {2, 2, 0}, false},
               {{1, 1, 0}, {1, 1, 0}, {1, 1, 0}, true},
               {{1, 1, 0}, {1, 0, 0}, {1, 0, 0}, false},
               {{2, 0, 0}, {0, 0, 0}, {5, 0, 0}, true}};
  for (auto c : cases)
    EXPECT_EQ(ZORMtkGeom::FindIntersection(c.a.data(), c.a.data(), c.p.data(), c.q.data(), 1e-12),
              c.meet)
        << c.a[0] << " " << c.p[0];
}

// Random points: the polygon, triangle and quad tests agree with a crossing count. The dart's
// reflex corner V3 splits it into (V1, V2, V3) and (V1, V3, V4); a clockwise triangle holds
// nothing, as every point lies right of some edge.
TEST(ZORMtkGeomPolygon, PolygonsTrianglesAndQuadsAgreeWithACrossingCount) {
  // A ten-pointed star and an L shape, both counter-clockwise and off-centre.
  Coords star, ell = {-1, -1, 0, 2, -1, 0, 2, 0, 0, 0, 0, 0, 0, 2, 0, -1, 2, 0};
  for (int i = 0; i < 10; ++i) {
    const double angle = 0.3 + i * 0.6283185307179586, radius = i % 2 == 0 ? 2.0 : 0.8;
    star.insert(star.end(), {0.3 + radius * std::cos(angle), -0.2 + radius * std::sin(angle), 0});
  }
  Coords triangle = {-1, -1, 0, 2, 0, 0, 0, 2, 0},
         dart = {0, 0, 0, 2, 0.5, 0, 0.5, 0.5, 0, 0.5, 2, 0};
  Coords clockwise = {-1, -1, 0, 0, 2, 0, 2, 0, 0};
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> coordinate(-2.5, 2.5);
  for (Coords* polygon : {&star, &ell, &triangle, &dart, &clockwise}) {
    const int n = static_cast<int>(polygon->size() / 3);
    for (int trial = 0; trial < 400; ++trial) {
      double p[3] = {coordinate(rng), coordinate(rng), 0};
      const bool inside = polygon == &clockwise ? false : ReferenceInside(*polygon, p[0], p[1]);
      const bool found = n == 3 ? ZORMtkGeom::IncludedInTriangle(polygon->data(), p, 1e-12)
                         : polygon == &dart
                             ? ZORMtkGeom::IncludedInQuad(polygon->data(), p, 1e-12)
                             : ZORMtkGeom::IncludedInPolygon(n, polygon->data(), p, 1e-10);
      EXPECT_EQ(found, inside) << "polygon of " << n << " at (" << p[0] << ", " << p[1] << ")";
    }
  }
  // Eight-node outline of a square: the first ray from the centre runs straight through the
  // mid-side vertex (1, 0) and has to be turned; a vertex itself is inside.
  double square[24] = {-1, -1, 0, 0, -1, 0, 1,  -1, 0, 1,  0, 0,
                       1,  1,  0, 0, 1,  0, -1, 1,  0, -1, 0, 0};
  double centre[3] = {0, 0, 0}, vertex[3] = {1, 1, 0}, farOut[3] = {0.5, 1.5, 0};
  EXPECT_TRUE(ZORMtkGeom::IncludedInPolygon(8, square, centre, 1e-10));
  EXPECT_TRUE(ZORMtkGeom::IncludedInPolygon(8, square, vertex, 1e-10));
  EXPECT_FALSE(ZORMtkGeom::IncludedInPolygon(8, square, farOut, 1e-10));
}

// Random points of every distorted solid are found with the shape values of their natural
// coordinates as weights, which reproduce the point; a point 0.2 beyond any face of the
// coordinate ranges is rejected. Only each coordinate's own range is tested, not r + s + t <= 1
// (or r + s <= 1); the nodal search test shows the searches relying on that.
TEST(ZORMtkGeomSolid, FindsRandomPointsInDistortedSolidsAndRejectsPointsBeyondAFace) {
  std::mt19937 rng(20261205);
  double tol = 1e-3;
  for (const Shape& shape : Shapes(3)) {
    SCOPED_TRACE(shape.label);
    const int n = shape.Count();
    Coords coords = Nodes(shape), weights(static_cast<std::size_t>(4 * n));
    // Each node moved on its own, so that the linear shapes get every twist term of their maps.
    std::uniform_real_distribution<double> jitter(-0.08, 0.08);
    for (double& c : coords) c += jitter(rng);
    for (int trial = 0; trial < 40; ++trial) {
      const Point xi = zor_test_mesh::RandomNatural(n, 3, rng);
      ExpectFoundAt(shape, coords, xi);
      if (HasFatalFailure()) return;
      for (int axis = 0; axis < 3; ++axis)
        for (const bool upper : {false, true}) {
          Point beyond = xi;
          beyond[axis] = Bound(shape, axis, upper) + (upper ? 0.2 : -0.2);
          Point out = Map(shape, coords, beyond);
          EXPECT_FALSE(ZORMtkGeom::IncludedInSolid(weights.data(), out.data(), coords.data(), n, 3,
                                                   &tol, false))
              << "axis " << axis << (upper ? " above" : " below");
        }
    }
  }
}

// Each twist term of a hexahedron's or a prism's map alone, and none (a parallelepiped), on an
// otherwise affine element: the solver must tell the affine map, which one step solves, from every
// map with a product of natural coordinates, which takes more.
TEST(ZORMtkGeomSolid, EachTwistTermAloneIsSolvedAsAnyDistortionIs) {
  using Term = std::array<int, 3>;  // the natural coordinates the term multiplies
  std::mt19937 rng(5);
  for (const Shape& shape : Shapes(3)) {
    const int n = shape.Count();
    if (n != 8 && n != 6) continue;
    const std::vector<Term> terms =
        n == 8 ? std::vector<Term>{{1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}, {0, 0, 0}}
               : std::vector<Term>{{1, 0, 1}, {0, 1, 1}, {0, 0, 0}};
    for (const Term& term : terms) {
      SCOPED_TRACE(std::string(shape.label) + " term " + std::to_string(term[0]) +
                   std::to_string(term[1]) + std::to_string(term[2]));
      Coords coords;
      for (const Point& node : shape.nodes) {
        // Binary fractions throughout: the map's coefficients come out exact, so the terms
        // that are absent are exactly zero, as in a rectilinear grid.
        double twist = term == Term{0, 0, 0} ? 0.0 : 0.25;
        for (int a = 0; a < 3; ++a) twist *= term[a] != 0 ? node[a] : 1.0;
        coords.insert(coords.end(), {1.0 + 0.75 * node[0] + 0.25 * node[1],
                                     -2.0 + 1.25 * node[1] + 0.125 * node[2] + twist,
                                     0.5 + node[2] + 0.125 * node[0]});
      }
      for (int trial = 0; trial < 10 && !HasFatalFailure(); ++trial)
        ExpectFoundAt(shape, coords, zor_test_mesh::RandomNatural(n, 3, rng));
    }
  }
}

TEST(ZORMtkGeomSolid, CornerIsInsideOnlyWithAPositiveToleranceAndInvertedElementsFail) {
  const Shape hex8 = Shapes(3)[4];
  Coords cube;
  for (const Point& x : hex8.nodes)
    for (double c : x) cube.push_back((1 + c) / 2);
  double corner[3] = {1, 1, 1}, weights[32];
  double tol = 1e-9, none = 0.0;
  EXPECT_TRUE(ZORMtkGeom::IncludedInSolid(weights, corner, cube.data(), 8, 3, &tol, false));
  EXPECT_NEAR(weights[6], 1.0, 1e-15);
  EXPECT_FALSE(ZORMtkGeom::IncludedInSolid(weights, corner, cube.data(), 8, 3, &none, false));
  // Mirrored node order: negative Jacobian, so not even the centre is found.
  for (int n = 0; n < 8; ++n) cube[3 * n] = -cube[3 * n];
  double centre[3] = {-0.5, 0.5, 0.5};
  EXPECT_FALSE(ZORMtkGeom::IncludedInSolid(weights, centre, cube.data(), 8, 3, &tol, false));
}

// Through the facet test the in-plane solvers of every facet shape recover the natural
// coordinates of random points lifted off the plane, and report the lift. Points are kept
// away from the edges: between a curved edge and the chords through its nodes lies a sliver that
// the outline pre-test does not cover. Outside points are rejected even when weights are asked
// for anyway; those of the linear triangle are clamped onto the edge r + s = 1.
TEST(ZORMtkGeomFacet, FindsPointsOnTiltedCurvedFacetsRejectsOutsideOnesAndReportsTheirLift) {
  std::mt19937 rng(3);
  double tol = 1e-3;
  for (const Shape& shape : Shapes(2)) {
    SCOPED_TRACE(shape.label);
    const int n = shape.Count();
    Coords coords = Nodes(shape), weights(static_cast<std::size_t>(3 * n));
    Point centre = {0, 0, 0};
    for (int c = 0; c < shape.corners; ++c)
      for (int a = 0; a < 2; ++a) centre[a] += shape.nodes[c][a] / shape.corners;
    for (int trial = 0; trial < 30; ++trial) {
      Point xi = zor_test_mesh::RandomNatural(n, 2, rng);
      for (int a = 0; a < 2; ++a) xi[a] = centre[a] + 0.8 * (xi[a] - centre[a]);
      const double lift = 0.1 * (trial % 7) - 0.3;
      Point x = Map(shape, coords, xi, lift);
      double projection = 0.0;
      ASSERT_TRUE(ZORMtkGeom::IncludedInFacet(weights.data(), x.data(), coords.data(), n, 3,
                                              &projection, &tol, false))
          << xi[0] << " " << xi[1] << " lift " << lift;
      // The distance runs from the point to its foot: negative above the facet's normal side.
      EXPECT_NEAR(projection, -lift, 1e-12);
      const Coords N = shape.Evaluate(xi);
      for (int k = 0; k < n; ++k) EXPECT_NEAR(weights[k], N[k], kNewtonWeights) << "node " << k;
    }
    const Point out = n == 3 || n == 6 ? Point{0.7, 0.5, 0} : Point{1.25, 0.2, 0};
    Point x = Map(shape, coords, out, 0.2);
    double projection = 0.0;
    for (const bool anyway : {false, true})
      EXPECT_FALSE(ZORMtkGeom::IncludedInFacet(weights.data(), x.data(), coords.data(), n, 3,
                                               &projection, &tol, anyway));
    EXPECT_NEAR(projection, -0.2, 1e-12);
    const Coords N = shape.Evaluate(out);
    const Coords clamped = {0.0, 0.6, 0.4};
    for (int k = 0; k < n; ++k)
      EXPECT_NEAR(weights[k], n == 3 ? clamped[k] : N[k], kNewtonWeights) << "node " << k;
  }
}

TEST(ZORMtkGeomLine, StraightLinesGiveLinearWeightsAlsoBeyondTheEndsAndCurvesTheirRoots) {
  double line[6] = {1, 2, 3, 5, 2, 6};  // length 5 along (0.8, 0, 0.6)
  double weights[3], beside[3] = {1 + 0.8 * 1.5 - 0.6, 2.7, 3 + 0.6 * 1.5 + 0.8};
  double beyond[3] = {1 + 0.8 * 7.5, 2, 3 + 0.6 * 7.5};
  for (const auto& [p, w0] : {std::pair<double*, double>{beside, 0.7}, {beyond, -0.5}}) {
    EXPECT_TRUE(ZORMtkGeom::IncludedInLine(weights, p, line, 2, 3));
    EXPECT_NEAR(weights[0], w0, 1e-14);
    EXPECT_NEAR(weights[1], 1 - w0, 1e-14);
  }
  // Planar: z of the line and the point is ignored.
  double flat[6] = {0, 0, 5, 2, 0, -5}, point[3] = {0.5, 1, 100};
  EXPECT_TRUE(ZORMtkGeom::IncludedInLine(weights, point, flat, 2, 2));
  EXPECT_NEAR(weights[1], 0.25, 1e-14);
  // Quadratic: nearly straight (Newton from the chord) and clearly bent (closed-form cubic).
  for (double bend : {0.02, 0.4}) {
    double curve[9] = {0, 0, 0, 1, bend, 0.1, 2, 0, 0.3};
    for (double u0 : {0.15, 0.5, 0.8}) {
      const double xi = 2 * u0 - 1;
      const double w[3] = {0.5 * (xi * xi - xi), 1 - xi * xi, 0.5 * (xi * xi + xi)};
      double p[3] = {0, 0, 0};
      for (int n = 0; n < 3; ++n)
        for (int k = 0; k < 3; ++k) p[k] += w[n] * curve[3 * n + k];
      double u[3];
      int nRoots = 0;
      ASSERT_TRUE(ZORMtkGeom::FindPerpDistToCurve(curve, p, u, nRoots, false, 1e-5, false, false));
      EXPECT_TRUE(std::any_of(u, u + nRoots, [&](double r) { return std::fabs(r - u0) < 1e-8; }))
          << "bend " << bend << " u " << u0 << " first root " << u[0];
      if (bend > 0.1) continue;
      ASSERT_TRUE(ZORMtkGeom::IncludedInLine(weights, p, curve, 3, 3));
      for (int n = 0; n < 3; ++n) EXPECT_NEAR(weights[n], w[n], 1e-8) << "u " << u0;
    }
  }
}

// In two dimensions z does not count.
TEST(ZORMtkGeomLine, CoincidentNodeIsTheFirstWithinTheLengthScale) {
  double coords[12] = {0, 0, 0, 1, 1, 1, 1, 1, 1 + 1e-12, 1, 1, 7};
  double point[3] = {1, 1, 1 + 5e-11}, flat[3] = {1, 1, 7};
  const auto coincident = [&](double* p, int dimension, double scale) {
    int node = -1;
    ZORMtkGeom::FindCoincidentNode(p, coords, dimension, 4, node, scale);
    return node;
  };
  EXPECT_EQ(coincident(point, 3, 1.0), 1);
  EXPECT_EQ(coincident(point, 3, 0.1), -1);
  EXPECT_EQ(coincident(flat, 2, 1.0), 1);
}

TEST(ZORMtkGeomKernels, SolveCubicFindsKnownAndRandomRoots) {
  const auto solve = [](std::array<double, 4> c) {
    double roots[3];
    int n = -1;
    ZORMtkGeom::SolveCubic(c.data(), roots, n);
    std::vector<double> sorted(roots, roots + std::max(n, 0));
    std::sort(sorted.begin(), sorted.end());
    return sorted;
  };
  const std::pair<std::array<double, 4>, std::vector<double>> known[] = {
      {{-2, 1, -2, 1}, {2}},      // (u - 2)(u^2 + 1)
      {{-2, -3, 0, 1}, {-1, 2}},  // (u + 1)^2 (u - 2)
      {{-1, 3, -3, 1}, {1}}};     // (u - 1)^3
  for (const auto& [c, want] : known) {
    const std::vector<double> got = solve(c);
    ASSERT_EQ(got.size(), want.size()) << c[0];
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-9) << c[0];
  }
  // Without a cubic term nothing is written, the count included.
  std::array<double, 4> flat = {1, 2, 3, 1e-12};
  double untouched[3] = {5.0, 5.0, 5.0};
  int count = 7;
  ZORMtkGeom::SolveCubic(flat.data(), untouched, count);
  EXPECT_EQ(count, 7);
  EXPECT_EQ(untouched[0], 5.0);
  std::mt19937 rng(17);
  std::uniform_real_distribution<double> root(-3.0, 3.0);
  for (int trial = 0; trial < 100; ++trial) {
    std::vector<double> r = {root(rng), root(rng), root(rng)};
    std::sort(r.begin(), r.end());
    if (r[1] - r[0] < 0.05 || r[2] - r[1] < 0.05) continue;
    const double k = 0.5 + trial * 0.01;
    const std::vector<double> got =
        solve({-k * r[0] * r[1] * r[2], k * (r[0] * r[1] + r[0] * r[2] + r[1] * r[2]),
               -k * (r[0] + r[1] + r[2]), k});
    ASSERT_EQ(got.size(), 3u) << r[0] << " " << r[1] << " " << r[2];
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], r[i], 1e-8) << r[0] << " " << r[1];
  }
}

TEST(ZORMtkGeomKernels, PerimeterOrderAlternatesCornersAndMidSidesAndRoundTrips) {
  double element[24], perimeter[24], back[24];
  for (int i = 0; i < 24; ++i) element[i] = i / 3 + 0.1 * (i % 3);
  for (const std::vector<int>& order :
       {std::vector<int>{0, 4, 1, 5, 2, 6, 3, 7}, {0, 3, 1, 4, 2, 5}}) {
    const int n = static_cast<int>(order.size());
    ZORMtkGeom::ReorderPerimeter(n, element, perimeter, true);
    for (int k = 0; k < n; ++k) EXPECT_EQ(perimeter[3 * k], order[k]) << n << " " << k;
    ZORMtkGeom::ReorderPerimeter(n, back, perimeter, false);
    for (int i = 0; i < 3 * n; ++i) EXPECT_EQ(back[i], element[i]) << n << " " << i;
  }
}

// Bounds kept in floats must hold the exact ones and be the nearest floats that do: at or below
// (above) the value, with the next float toward it past it. Values straddle zero, the subnormals,
// both signs of each binade and the ends of the float range.
TEST(ZORMtkGeomKernels, FloatBoundsAreTheNearestFloatsOnTheSafeSide) {
  std::mt19937 rng(41);
  std::uniform_real_distribution<double> mantissa(1.0, 2.0);
  std::uniform_int_distribution<int> exponent(-150, 130);
  std::vector<double> values = {0.0,   -0.0,   1.0,    -1.0,    0.1,  -0.1,
                                1e-46, -1e-46, 3.4e38, -3.4e38, 1e39, -1e39};
  for (int i = 0; i < 2000; ++i)
    values.push_back((i % 2 == 0 ? 1.0 : -1.0) * std::ldexp(mantissa(rng), exponent(rng)));
  const float inf = std::numeric_limits<float>::infinity();
  for (const double value : values) {
    SCOPED_TRACE(value);
    const float below = zor_geom::FloatBelow(value), above = zor_geom::FloatAbove(value);
    ASSERT_LE(below, value);
    ASSERT_GE(above, value);
    ASSERT_GT(std::nextafter(below, inf), value);
    ASSERT_LT(std::nextafter(above, -inf), value);
  }
  EXPECT_TRUE(std::isnan(zor_geom::FloatBelow(std::nan(""))));
}
