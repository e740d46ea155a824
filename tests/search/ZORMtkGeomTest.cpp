#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "element/ZORMtkShp.h"
#include "search/ZORMtkGeom.h"
#include "search/ZORSearchTestMeshes.h"

namespace {

using Point = std::array<double, 3>;
// The solvers return the weights of the evaluation before their last Newton update, which moved
// the natural coordinates by less than 1e-6.
constexpr double kNewtonWeights = 1e-5;
using Coords = std::vector<double>;  // x, y, z per node

std::string Text(const Point& p) {
  return "(" + std::to_string(p[0]) + ", " + std::to_string(p[1]) + ", " + std::to_string(p[2]) +
         ")";
}

// --- Elements built from natural node positions through a smooth, orientation-keeping map ---

struct SolidCase {
  const char* label;
  std::vector<double> flat;  // natural coordinates, three per node
  int Count() const { return static_cast<int>(flat.size()) / 3; }
  Point Natural(int n) const { return {flat[3 * n], flat[3 * n + 1], flat[3 * n + 2]}; }
};

std::vector<SolidCase> Solids() {
  const double h = 0.5;
  return {
      {"tet4", {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}},
      {"tet10",
       {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, h, 0, 0, h, h, 0, 0, h, 0, 0, 0, h, h, 0, h, 0, h, h}},
      {"prism6", {0, 0, -1, 1, 0, -1, 0, 1, -1, 0, 0, 1, 1, 0, 1, 0, 1, 1}},
      {"prism15", {0,  0, -1, 1,  0, -1, 0, 1, -1, 0, 0, 1, 1, 0, 1, 0, 1, 1, h, 0, -1, h, h,
                   -1, 0, h,  -1, h, 0,  1, h, h,  1, 0, h, 1, 0, 0, 0, 1, 0, 0, 0, 1,  0}},
      {"hex8",
       {-1, -1, -1, 1, -1, -1, 1, 1, -1, -1, 1, -1, -1, -1, 1, 1, -1, 1, 1, 1, 1, -1, 1, 1}},
      {"hex20", {-1, -1, -1, 1, -1, -1, 1,  1, -1, -1, 1, -1, -1, -1, 1, 1,  -1, 1,  1, 1,
                 1,  -1, 1,  1, 0,  -1, -1, 1, 0,  -1, 0, 1,  -1, -1, 0, -1, 0,  -1, 1, 1,
                 0,  1,  0,  1, 1,  -1, 0,  1, -1, -1, 0, 1,  -1, 0,  1, 1,  0,  -1, 1, 0}},
  };
}

// A sheared, stretched and bent copy of the reference element, away from the origin. The bend
// curves the edges of quadratic elements and skews the faces of linear ones.
Point Distort(const Point& x) {
  return {10.0 + 1.5 * x[0] + 0.2 * x[1] + 0.1 * x[2] + 0.08 * x[1] * x[1],
          -3.0 - 0.1 * x[0] + 1.2 * x[1] + 0.15 * x[2] + 0.06 * x[2] * x[0],
          2.0 + 0.05 * x[0] - 0.2 * x[1] + 1.0 * x[2] + 0.07 * x[0] * x[0]};
}

Coords DistortedNodes(const SolidCase& solid) {
  Coords coords;
  for (int n = 0; n < solid.Count(); ++n) {
    const Point d = Distort(solid.Natural(n));
    coords.insert(coords.end(), d.begin(), d.end());
  }
  return coords;
}

// The element's own isoparametric map at natural coordinates xi; values returned in N.
Point MapSolid(const Coords& coords, int nodes, const Point& xi, std::vector<double>& N) {
  N.assign(4 * nodes, 0.0);
  ZORMtkShp::Shp3D(nodes, xi[0], xi[1], xi[2], N.data(), false);
  Point x = {0, 0, 0};
  for (int n = 0; n < nodes; ++n) {
    for (int k = 0; k < 3; ++k) x[k] += N[n] * coords[3 * n + k];
  }
  return x;
}

// Natural points 0.2 beyond one face of the element (not the slanted face of a tetrahedron or
// prism, which the test does not check).
std::vector<Point> OutsidePoints(int nodes) {
  if (nodes == 8 || nodes == 20) return {{1.2, 0.1, -0.3}, {0.2, -1.2, 0.4}, {-0.5, 0.3, 1.2}};
  if (nodes == 4 || nodes == 10) return {{-0.2, 0.3, 0.3}, {0.3, 0.3, -0.2}, {0.3, -0.2, 0.3}};
  return {{-0.2, 0.4, 0.0}, {0.3, 0.3, 1.2}, {0.3, -0.2, -0.5}};
}

// --- Facets: a flat reference shape laid into a tilted plane ---

// In-plane axes of the tilted plane and its normal (u x v).
const Point kU = {0.8, 0.36, 0.48};
const Point kV = {-0.6, 0.48, 0.64};
const Point kN = {0.0, -0.8, 0.6};

Point InPlane(double a, double b, double lift) {
  Point x;
  for (int k = 0; k < 3; ++k) x[k] = 1.0 + 3.0 * a * kU[k] + 3.0 * b * kV[k] + lift * kN[k];
  return x;
}

struct FacetCase {
  const char* label;
  int nodes;
  std::vector<double> plane;  // position (a, b) of each node in the plane
};

std::vector<FacetCase> Facets() {
  return {
      {"tri3", 3, {0, 0, 1.1, 0.1, 0.2, 0.9}},
      {"tri6", 6, {0, 0, 1.1, 0.1, 0.2, 0.9, 0.55, -0.05, 0.72, 0.6, 0.05, 0.45}},
      {"quad4", 4, {0, 0, 1.2, 0.1, 1.0, 1.1, -0.1, 0.8}},
      {"quad8",
       8,
       {0, 0, 1.2, 0.1, 1.0, 1.1, -0.1, 0.8, 0.6, -0.05, 1.15, 0.6, 0.45, 1.0, -0.02, 0.4}},
  };
}

Coords FacetNodes(const FacetCase& facet, double warp) {
  Coords coords;
  for (int n = 0; n < facet.nodes; ++n) {
    const Point x = InPlane(facet.plane[2 * n], facet.plane[2 * n + 1], n % 2 == 0 ? warp : -warp);
    coords.insert(coords.end(), x.begin(), x.end());
  }
  return coords;
}

// The facet's isoparametric map at (r, s), lifted off its plane along the normal.
Point MapFacet(const FacetCase& facet, const Coords& coords, double r, double s, double lift,
               std::vector<double>& N) {
  N.assign(3 * facet.nodes, 0.0);
  ZORMtkShp::Shp2D(facet.nodes, r, s, N.data(), false);
  Point x = {0, 0, 0};
  for (int n = 0; n < facet.nodes; ++n) {
    for (int k = 0; k < 3; ++k) x[k] += N[n] * coords[3 * n + k];
  }
  for (int k = 0; k < 3; ++k) x[k] += lift * kN[k];
  return x;
}

bool IsTriangle(int nodes) { return nodes == 3 || nodes == 6; }

// Kept 0.06 away from the edges: between a curved edge and the chords through its nodes lies a
// sliver that the outline pre-test does not cover.
std::array<double, 2> RandomFacetPoint(int nodes, std::mt19937& rng) {
  std::uniform_real_distribution<double> unit(0.0, 1.0), symmetric(-0.94, 0.94);
  if (!IsTriangle(nodes)) return {symmetric(rng), symmetric(rng)};
  for (;;) {
    const double r = unit(rng), s = unit(rng);
    if (std::min({r, s, 1.0 - r - s}) >= 0.06) return {r, s};
  }
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

}  // namespace

// --- Orientation and segment primitives ---

TEST(ZORMtkGeomOrientation, CounterClockwiseTellsLeftRightAndWhereOnTheLine) {
  double a[3] = {1, 1, 0}, b[3] = {3, 2, 0};
  double left[3] = {1, 3, 0}, right[3] = {3, 0, 0};
  double middle[3] = {2, 1.5, 0}, beyond[3] = {5, 3, 0}, behind[3] = {-1, 0, 0};
  EXPECT_EQ(ZORMtkGeom::CounterClockwise(a, b, left, 1e-12), 1);
  EXPECT_EQ(ZORMtkGeom::CounterClockwise(a, b, right, 1e-12), -1);
  EXPECT_EQ(ZORMtkGeom::CounterClockwise(a, b, middle, 1e-12), 0);
  EXPECT_EQ(ZORMtkGeom::CounterClockwise(a, b, b, 1e-12), 0);
  EXPECT_EQ(ZORMtkGeom::CounterClockwise(a, b, a, 1e-12), 0);
  EXPECT_EQ(ZORMtkGeom::CounterClockwise(a, b, beyond, 1e-12), 1);
  EXPECT_EQ(ZORMtkGeom::CounterClockwise(a, b, behind, 1e-12), -1);
  // A point a hair off the line counts as on it with a tolerance, not without.
  double nearly[3] = {2, 1.5 + 1e-9, 0};
  EXPECT_EQ(ZORMtkGeom::CounterClockwise(a, b, nearly, 1e-6), 0);
  EXPECT_EQ(ZORMtkGeom::CounterClockwise(a, b, nearly, 0.0), 1);
}

TEST(ZORMtkGeomOrientation, TrianglesAndQuadsIncludeTheirBoundary) {
  double ccw[9] = {0, 0, 0, 2, 0, 0, 0, 2, 0};
  double cw[9] = {0, 0, 0, 0, 2, 0, 2, 0, 0};
  double inside[3] = {0.5, 0.5, 0}, onEdge[3] = {1, 1, 0}, outside[3] = {1.1, 1.1, 0};
  EXPECT_TRUE(ZORMtkGeom::IncludedInTriangle(ccw, inside, 1e-12));
  EXPECT_TRUE(ZORMtkGeom::IncludedInTriangle(ccw, onEdge, 1e-12));
  EXPECT_FALSE(ZORMtkGeom::IncludedInTriangle(ccw, outside, 1e-12));
  EXPECT_FALSE(ZORMtkGeom::IncludedInTriangle(cw, inside, 1e-12));
  // Clockwise, every interior or edge point lies right of some edge.
  EXPECT_FALSE(ZORMtkGeom::IncludedInTriangle(cw, onEdge, 1e-12));
  // Non-convex quad: the reflex corner V3 splits it into (V1, V2, V3) and (V1, V3, V4).
  double dart[12] = {0, 0, 0, 4, 1, 0, 1, 1, 0, 1, 4, 0};
  double inFirst[3] = {2, 0.8, 0}, inSecond[3] = {0.8, 2, 0}, inNotch[3] = {2, 2, 0};
  EXPECT_TRUE(ZORMtkGeom::IncludedInQuad(dart, inFirst, 1e-12));
  EXPECT_TRUE(ZORMtkGeom::IncludedInQuad(dart, inSecond, 1e-12));
  EXPECT_FALSE(ZORMtkGeom::IncludedInQuad(dart, inNotch, 1e-12));
}

TEST(ZORMtkGeomOrientation, SegmentsMeetWhenTheyCrossTouchOrOverlap) {
  double a[3] = {0, 0, 0}, b[3] = {2, 2, 0};
  double c[3] = {0, 2, 0}, d[3] = {2, 0, 0}, e[3] = {3, 3, 0}, f[3] = {4, 4, 0};
  double g[3] = {1, 1, 0}, h[3] = {3, 0, 0}, k[3] = {1, 0, 0};
  EXPECT_TRUE(ZORMtkGeom::FindIntersection(a, b, c, d, 1e-12));   // crossing
  EXPECT_TRUE(ZORMtkGeom::FindIntersection(a, b, b, h, 1e-12));   // sharing an end
  EXPECT_FALSE(ZORMtkGeom::FindIntersection(a, b, e, f, 1e-12));  // collinear, apart
  EXPECT_TRUE(ZORMtkGeom::FindIntersection(a, e, g, f, 1e-12));   // collinear, overlapping
  EXPECT_FALSE(ZORMtkGeom::FindIntersection(a, g, d, h, 1e-12));  // apart
  EXPECT_TRUE(ZORMtkGeom::FindIntersection(g, g, a, b, 1e-12));   // point on segment
  EXPECT_FALSE(ZORMtkGeom::FindIntersection(k, k, a, b, 1e-12));  // point off segment
  EXPECT_TRUE(ZORMtkGeom::FindIntersection(g, g, g, g, 1e-12));   // equal points
  EXPECT_FALSE(ZORMtkGeom::FindIntersection(g, g, k, k, 1e-12));  // different points
  // A point with a zero coordinate is still a point.
  double axis[3] = {2, 0, 0}, left[3] = {0, 0, 0}, right[3] = {5, 0, 0};
  EXPECT_TRUE(ZORMtkGeom::FindIntersection(axis, axis, left, right, 1e-12));
}

// --- Polygon ---

TEST(ZORMtkGeomPolygon, NonConvexPolygonsAgreeWithACrossingCount) {
  // A ten-pointed star and an L shape, both counter-clockwise and off-centre.
  Coords star, ell = {-1, -1, 0, 2, -1, 0, 2, 0, 0, 0, 0, 0, 0, 2, 0, -1, 2, 0};
  for (int i = 0; i < 10; ++i) {
    const double angle = 0.3 + i * 0.6283185307179586, radius = i % 2 == 0 ? 2.0 : 0.8;
    star.insert(star.end(), {0.3 + radius * std::cos(angle), -0.2 + radius * std::sin(angle), 0});
  }
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> coordinate(-2.5, 2.5);
  for (Coords* polygon : {&star, &ell}) {
    const int n = static_cast<int>(polygon->size() / 3);
    for (int trial = 0; trial < 400; ++trial) {
      double p[3] = {coordinate(rng), coordinate(rng), 0};
      EXPECT_EQ(ZORMtkGeom::IncludedInPolygon(n, polygon->data(), p, 1e-10),
                ReferenceInside(*polygon, p[0], p[1]))
          << "polygon of " << n << " at (" << p[0] << ", " << p[1] << ")";
    }
  }
}

TEST(ZORMtkGeomPolygon, VerticesAndRaysThroughVerticesAreHandled) {
  // Eight-node outline of a square centred on the origin: the first ray from the centre runs
  // straight through the mid-side vertex (1, 0) and has to be turned.
  double square[24] = {-1, -1, 0, 0, -1, 0, 1,  -1, 0, 1,  0, 0,
                       1,  1,  0, 0, 1,  0, -1, 1,  0, -1, 0, 0};
  double centre[3] = {0, 0, 0}, vertex[3] = {1, 1, 0}, farOut[3] = {0.5, 1.5, 0};
  double onAxis[3] = {0.5, 0, 0};
  EXPECT_TRUE(ZORMtkGeom::IncludedInPolygon(8, square, centre, 1e-10));
  EXPECT_TRUE(ZORMtkGeom::IncludedInPolygon(8, square, onAxis, 1e-10));
  EXPECT_TRUE(ZORMtkGeom::IncludedInPolygon(8, square, vertex, 1e-10));
  EXPECT_FALSE(ZORMtkGeom::IncludedInPolygon(8, square, farOut, 1e-10));
}

// --- Planes ---

TEST(ZORMtkGeomPlane, NewellNormalCentroidAndRightHandedTangents) {
  Coords quad;
  for (const auto& ab : {std::array<double, 2>{0, 0}, {1, 0}, {1, 1}, {0, 1}}) {
    const Point x = InPlane(ab[0], ab[1], 0.0);
    quad.insert(quad.end(), x.begin(), x.end());
  }
  double normal[3], centroid[3], tangents[6];
  ZORMtkGeom::PlaneEquation(quad.data(), 4, normal, centroid, tangents);
  const Point middle = InPlane(0.5, 0.5, 0.0);
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(normal[k], kN[k], 1e-15) << k;
    EXPECT_NEAR(centroid[k], middle[k], 1e-15) << k;
  }
  const double* t1 = tangents;
  const double* t2 = tangents + 3;
  EXPECT_NEAR(t1[0] * t1[0] + t1[1] * t1[1] + t1[2] * t1[2], 1.0, 1e-15);
  EXPECT_NEAR(t2[0] * t2[0] + t2[1] * t2[1] + t2[2] * t2[2], 1.0, 1e-15);
  EXPECT_NEAR(t1[0] * t2[0] + t1[1] * t2[1] + t1[2] * t2[2], 0.0, 1e-15);
  EXPECT_NEAR(t1[1] * t2[2] - t1[2] * t2[1], normal[0], 1e-15);
  EXPECT_NEAR(t1[2] * t2[0] - t1[0] * t2[2], normal[1], 1e-15);
  EXPECT_NEAR(t1[0] * t2[1] - t1[1] * t2[0], normal[2], 1e-15);
  // A polygon facing along x takes the other tangent branch.
  double yz[12] = {0, 0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1};
  ZORMtkGeom::PlaneEquation(yz, 4, normal, centroid, tangents);
  EXPECT_NEAR(normal[0], 1.0, 1e-15);
  EXPECT_NEAR(t2[0], 0.0, 1e-15);
  EXPECT_NEAR(t2[1], -1.0, 1e-15);
  EXPECT_NEAR(t1[2], 1.0, 1e-15);
}

TEST(ZORMtkGeomPlane, FootOnSkewTangentsAndSignedDistance) {
  double normal[3] = {0, 0, 1}, tangents[6] = {1, 0, 0, 1, 1, 0}, origin[3] = {1, 1, 1};
  double above[3] = {2, 4, 6}, below[3] = {2, 4, -1}, foot[3], coeffs[2], distance = 0.0;
  ZORMtkGeom::FindMinDistToPlane(normal, tangents, origin, above, foot, coeffs, distance);
  EXPECT_NEAR(coeffs[0], -2.0, 1e-15);
  EXPECT_NEAR(coeffs[1], 3.0, 1e-15);
  EXPECT_NEAR(foot[0], 2.0, 1e-15);
  EXPECT_NEAR(foot[1], 4.0, 1e-15);
  EXPECT_NEAR(foot[2], 1.0, 1e-15);
  EXPECT_NEAR(distance, -5.0, 1e-15);
  ZORMtkGeom::FindMinDistToPlane(normal, tangents, origin, below, foot, coeffs, distance);
  EXPECT_NEAR(distance, 2.0, 1e-15);
  double v[3] = {3, 0, 4};
  ZORMtkGeom::anorm(v, 3);
  EXPECT_DOUBLE_EQ(v[0], 0.6);
  EXPECT_DOUBLE_EQ(v[2], 0.8);
}

// --- In-plane solvers ---

TEST(ZORMtkGeomInPlane, TriangleWeightsAreAreaCoordinatesClampedOutside) {
  double tri[9] = {1, 1, 0, 4, 1, 0, 1, 3, 0};
  double weights[3], distance = -1.0;
  bool inside = false;
  double p[3] = {2, 1.5, 0};
  ZORMtkGeom::InterpolateInTriangle(weights, tri, p, distance, inside, 1e-6);
  EXPECT_TRUE(inside);
  EXPECT_EQ(distance, 0.0);
  EXPECT_NEAR(weights[0], 5.0 / 12, 1e-15);
  EXPECT_NEAR(weights[1], 1.0 / 3, 1e-15);
  EXPECT_NEAR(weights[2], 0.25, 1e-15);
  // The quadratic triangle with straight edges: inside, at distance 0, corner weight L(2L - 1).
  double tri6[18] = {1, 1, 0, 4, 1, 0, 1, 3, 0, 2.5, 1, 0, 2.5, 2, 0, 1, 2, 0}, quadratic[18];
  distance = -1.0;
  ZORMtkGeom::InterpolateInQTriangle(quadratic, tri6, p, distance, inside, 1e-6);
  EXPECT_TRUE(inside);
  EXPECT_EQ(distance, 0.0);
  EXPECT_NEAR(quadratic[0], 5.0 / 12 * (2 * 5.0 / 12 - 1), kNewtonWeights);
  // Beyond the edge V2-V3 at l = (-0.5, 1, 0.5): l0 is shared out to the other two.
  double out[3] = {4, 2, 0};
  ZORMtkGeom::InterpolateInTriangle(weights, tri, out, distance, inside, 1e-6);
  EXPECT_FALSE(inside);
  EXPECT_NEAR(weights[0], 0.0, 1e-15);
  EXPECT_NEAR(weights[1], 0.75, 1e-15);
  EXPECT_NEAR(weights[2], 0.25, 1e-15);
  EXPECT_NEAR(distance, 0.5, 1e-15);
  // Beyond the corner V2: two coordinates negative, everything ends on V2.
  double corner[3] = {6, 0, 0};
  ZORMtkGeom::InterpolateInTriangle(weights, tri, corner, distance, inside, 1e-6);
  EXPECT_FALSE(inside);
  EXPECT_NEAR(weights[1], 1.0, 1e-15);
  EXPECT_NEAR(weights[0] + weights[2], 0.0, 1e-15);
  // Within tol of the edge: accepted as it is.
  double near[3] = {2.5, 1.0 - 1e-8, 0};
  ZORMtkGeom::InterpolateInTriangle(weights, tri, near, distance, inside, 1e-6);
  EXPECT_TRUE(inside);
}

// --- Solid test ---

TEST(ZORMtkGeomSolid, FindsRandomPointsInDistortedSolidsWithReproducingWeights) {
  std::mt19937 rng(20261205);
  double tol = 1e-3;
  for (const SolidCase& solid : Solids()) {
    const int nodes = solid.Count();
    Coords coords = DistortedNodes(solid);
    for (int trial = 0; trial < 40; ++trial) {
      const Point xi = zor_search_test::RandomNatural(nodes, 3, rng);
      std::vector<double> N;
      Point x = MapSolid(coords, nodes, xi, N);
      std::vector<double> weights(4 * nodes, -9.0);
      ASSERT_TRUE(ZORMtkGeom::IncludedInSolid(weights.data(), x.data(), coords.data(), nodes, 3,
                                              &tol, false))
          << solid.label << " natural " << Text(xi);
      Point back = {0, 0, 0};
      for (int n = 0; n < nodes; ++n) {
        EXPECT_NEAR(weights[n], N[n], kNewtonWeights)
            << solid.label << " node " << n + 1 << Text(xi);
        for (int k = 0; k < 3; ++k) back[k] += weights[n] * coords[3 * n + k];
      }
      for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(back[k], x[k], kNewtonWeights) << solid.label << Text(xi);
    }
  }
}

TEST(ZORMtkGeomSolid, RejectsPointsBeyondAFace) {
  double tol = 1e-3;
  for (const SolidCase& solid : Solids()) {
    const int nodes = solid.Count();
    Coords coords = DistortedNodes(solid);
    for (const Point& xi : OutsidePoints(nodes)) {
      std::vector<double> N, weights(4 * nodes);
      Point x = MapSolid(coords, nodes, xi, N);
      EXPECT_FALSE(ZORMtkGeom::IncludedInSolid(weights.data(), x.data(), coords.data(), nodes, 3,
                                               &tol, false))
          << solid.label << " natural " << Text(xi);
    }
  }
}

TEST(ZORMtkGeomSolid, SlantedFaceOfTetrahedraAndPrismsIsNotChecked) {
  // Only each coordinate's own range is tested, not r + s + t <= 1 (or r + s <= 1): a point just
  // beyond the slanted face is accepted, and the searches rely on their later passes to choose.
  double tol = 1e-3;
  for (int which : {0, 2}) {
    const SolidCase solid = Solids()[which];
    const int nodes = solid.Count();
    Coords coords = DistortedNodes(solid);
    std::vector<double> N, weights(4 * nodes);
    Point x = MapSolid(coords, nodes, {0.5, 0.5, 0.2}, N);
    EXPECT_TRUE(
        ZORMtkGeom::IncludedInSolid(weights.data(), x.data(), coords.data(), nodes, 3, &tol, false))
        << solid.label;
  }
}

TEST(ZORMtkGeomSolid, CornerIsInsideOnlyWithAPositiveToleranceAndInvertedElementsFail) {
  SolidCase hex = Solids()[4];
  Coords cube;
  for (int n = 0; n < 8; ++n)
    cube.insert(cube.end(), {(1 + hex.flat[3 * n]) / 2, (1 + hex.flat[3 * n + 1]) / 2,
                             (1 + hex.flat[3 * n + 2]) / 2});
  double corner[3] = {1, 1, 1}, weights[32];
  double tol = 1e-9, none = 0.0;
  EXPECT_TRUE(ZORMtkGeom::IncludedInSolid(weights, corner, cube.data(), 8, 3, &tol, false));
  EXPECT_NEAR(weights[6], 1.0, 1e-15);
  EXPECT_FALSE(ZORMtkGeom::IncludedInSolid(weights, corner, cube.data(), 8, 3, &none, false));
  // Mirrored node order: negative Jacobian, so not even the centre is found.
  Coords mirrored = cube;
  for (int n = 0; n < 8; ++n) mirrored[3 * n] = -mirrored[3 * n];
  double centre[3] = {-0.5, 0.5, 0.5};
  EXPECT_FALSE(ZORMtkGeom::IncludedInSolid(weights, centre, mirrored.data(), 8, 3, &tol, false));
}

// --- Facet test ---

// Through the facet test the in-plane solvers of every facet shape recover the natural
// coordinates of random points.
TEST(ZORMtkGeomFacet, FindsPointsOnTiltedCurvedFacetsAndReportsTheirLift) {
  std::mt19937 rng(3);
  double tol = 1e-3;
  for (const FacetCase& facet : Facets()) {
    const Coords coords = FacetNodes(facet, 0.0);
    for (int trial = 0; trial < 30; ++trial) {
      const std::array<double, 2> rs = RandomFacetPoint(facet.nodes, rng);
      const double lift = 0.1 * (trial % 7) - 0.3;
      std::vector<double> N, weights(3 * facet.nodes, -9.0);
      Point x = MapFacet(facet, coords, rs[0], rs[1], lift, N);
      double projection = 0.0;
      ASSERT_TRUE(ZORMtkGeom::IncludedInFacet(weights.data(), x.data(),
                                              const_cast<double*>(coords.data()), facet.nodes, 3,
                                              &projection, &tol, false))
          << facet.label << " at (" << rs[0] << ", " << rs[1] << ") lift " << lift;
      // The distance runs from the point to its foot: negative above the facet's normal side.
      EXPECT_NEAR(projection, -lift, 1e-12) << facet.label;
      for (int n = 0; n < facet.nodes; ++n) {
        EXPECT_NEAR(weights[n], N[n], kNewtonWeights) << facet.label << " node " << n + 1;
      }
    }
  }
}

TEST(ZORMtkGeomFacet, OutsidePointsAreRejectedUnlessWeightsAreAskedForAnyway) {
  double tol = 1e-3, projection = 0.0;
  for (const FacetCase& facet : Facets()) {
    const Coords coords = FacetNodes(facet, 0.0);
    const double r = IsTriangle(facet.nodes) ? 0.7 : 1.25, s = IsTriangle(facet.nodes) ? 0.5 : 0.2;
    std::vector<double> N, weights(3 * facet.nodes, -9.0);
    Point x = MapFacet(facet, coords, r, s, 0.2, N);
    double* nodes = const_cast<double*>(coords.data());
    EXPECT_FALSE(ZORMtkGeom::IncludedInFacet(weights.data(), x.data(), nodes, facet.nodes, 3,
                                             &projection, &tol, false))
        << facet.label;
    EXPECT_FALSE(ZORMtkGeom::IncludedInFacet(weights.data(), x.data(), nodes, facet.nodes, 3,
                                             &projection, &tol, true))
        << facet.label;
    EXPECT_NEAR(projection, -0.2, 1e-12) << facet.label;
    if (facet.nodes == 3) {
      // Clamped onto the edge r + s = 1, the excess shared equally.
      EXPECT_NEAR(weights[0], 0.0, 1e-12);
      EXPECT_NEAR(weights[1], 0.6, 1e-12);
      EXPECT_NEAR(weights[2], 0.4, 1e-12);
    } else {
      for (int n = 0; n < facet.nodes; ++n)
        EXPECT_NEAR(weights[n], N[n], kNewtonWeights) << facet.label;
    }
  }
}

// --- Lines and curves ---

TEST(ZORMtkGeomLine, StraightLinesGiveLinearWeightsAlsoBeyondTheEnds) {
  double line[6] = {1, 2, 3, 5, 2, 6};  // length 5 along (0.8, 0, 0.6)
  double weights[2];
  double beside[3] = {1 + 0.8 * 1.5 - 0.6, 2.7, 3 + 0.6 * 1.5 + 0.8};
  EXPECT_TRUE(ZORMtkGeom::IncludedInLine(weights, beside, line, 2, 3));
  EXPECT_NEAR(weights[0], 0.7, 1e-14);
  EXPECT_NEAR(weights[1], 0.3, 1e-14);
  double beyond[3] = {1 + 0.8 * 7.5, 2, 3 + 0.6 * 7.5};
  EXPECT_TRUE(ZORMtkGeom::IncludedInLine(weights, beyond, line, 2, 3));
  EXPECT_NEAR(weights[0], -0.5, 1e-14);
  EXPECT_NEAR(weights[1], 1.5, 1e-14);
  // Planar: z of the line and the point is ignored.
  double flat[6] = {0, 0, 5, 2, 0, -5}, point[3] = {0.5, 1, 100};
  EXPECT_TRUE(ZORMtkGeom::IncludedInLine(weights, point, flat, 2, 2));
  EXPECT_NEAR(weights[1], 0.25, 1e-14);
}

TEST(ZORMtkGeomLine, QuadraticLinesReproduceTheirCurve) {
  // Nearly straight (Newton from the chord) and clearly bent (closed-form cubic).
  for (double bend : {0.02, 0.4}) {
    double curve[9] = {0, 0, 0, 1, bend, 0.1, 2, 0, 0.3};
    for (double u0 : {0.15, 0.5, 0.8}) {
      // Point on the curve: X(u) through the three nodes at u = 0, 1/2, 1.
      const double xi = 2 * u0 - 1;
      const double w[3] = {0.5 * (xi * xi - xi), 1 - xi * xi, 0.5 * (xi * xi + xi)};
      double p[3] = {0, 0, 0};
      for (int n = 0; n < 3; ++n) {
        for (int k = 0; k < 3; ++k) p[k] += w[n] * curve[3 * n + k];
      }
      double u[3];
      int nRoots = 0;
      ASSERT_TRUE(ZORMtkGeom::FindPerpDistToCurve(curve, p, u, nRoots, false, 1e-5, false, false));
      bool found = false;
      for (int i = 0; i < nRoots; ++i) found = found || std::fabs(u[i] - u0) < 1e-8;
      EXPECT_TRUE(found) << "bend " << bend << " u " << u0 << " first root " << u[0];
      if (bend < 0.1) {
        double weights[3];
        ASSERT_TRUE(ZORMtkGeom::IncludedInLine(weights, p, curve, 3, 3));
        for (int n = 0; n < 3; ++n) EXPECT_NEAR(weights[n], w[n], 1e-8) << "u " << u0;
      }
    }
  }
}

TEST(ZORMtkGeomLine, CoincidentNodeIsTheFirstWithinTheLengthScale) {
  double coords[12] = {0, 0, 0, 1, 1, 1, 1, 1, 1 + 1e-12, 1, 1, 7};
  double point[3] = {1, 1, 1 + 5e-11};
  int node = -1;
  ZORMtkGeom::FindCoincidentNode(point, coords, 3, 4, node, 1.0);
  EXPECT_EQ(node, 1);
  node = -1;
  ZORMtkGeom::FindCoincidentNode(point, coords, 3, 4, node, 0.1);
  EXPECT_EQ(node, -1);
  // In two dimensions z does not count.
  double flat[3] = {1, 1, 7};
  node = -1;
  ZORMtkGeom::FindCoincidentNode(flat, coords, 2, 4, node, 1.0);
  EXPECT_EQ(node, 1);
}

// --- Cubic and reordering kernels ---

TEST(ZORMtkGeomKernels, SolveCubicFindsKnownRoots) {
  const auto solve = [](std::array<double, 4> c) {
    double roots[3];
    int n = -1;
    ZORMtkGeom::SolveCubic(c.data(), roots, n);
    std::vector<double> sorted(roots, roots + std::max(n, 0));
    std::sort(sorted.begin(), sorted.end());
    return sorted;
  };
  const auto expectRoots = [](const std::vector<double>& got, const std::vector<double>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-9) << i;
  };
  expectRoots(solve({-6, 11, -6, 1}), {1, 2, 3});
  expectRoots(solve({-15, 27.5, -15, 2.5}), {1, 2, 3});
  expectRoots(solve({-2, 1, -2, 1}), {2});      // (u - 2)(u^2 + 1)
  expectRoots(solve({-2, -3, 0, 1}), {-1, 2});  // (u + 1)^2 (u - 2)
  expectRoots(solve({-1, 3, -3, 1}), {1});      // (u - 1)^3
  expectRoots(solve({1, 2, 3, 1e-12}), {});     // no cubic term
  std::mt19937 rng(17);
  std::uniform_real_distribution<double> root(-3.0, 3.0);
  for (int trial = 0; trial < 100; ++trial) {
    std::vector<double> r = {root(rng), root(rng), root(rng)};
    std::sort(r.begin(), r.end());
    if (r[1] - r[0] < 0.05 || r[2] - r[1] < 0.05) continue;
    const double k = 0.5 + trial * 0.01;
    const std::array<double, 4> c = {-k * r[0] * r[1] * r[2],
                                     k * (r[0] * r[1] + r[0] * r[2] + r[1] * r[2]),
                                     -k * (r[0] + r[1] + r[2]), k};
    const std::vector<double> got = solve(c);
    ASSERT_EQ(got.size(), 3u) << r[0] << " " << r[1] << " " << r[2];
    for (int i = 0; i < 3; ++i)
      EXPECT_NEAR(got[i], r[i], 1e-8) << r[0] << " " << r[1] << " " << r[2];
  }
}

TEST(ZORMtkGeomKernels, PerimeterOrderAlternatesCornersAndMidSidesAndRoundTrips) {
  double element[24], perimeter[24], back[24];
  for (int i = 0; i < 24; ++i) element[i] = i / 3 + 0.1 * (i % 3);
  ZORMtkGeom::ReorderPerimeter(8, element, perimeter, true);
  const int expected8[8] = {0, 4, 1, 5, 2, 6, 3, 7};
  for (int k = 0; k < 8; ++k) EXPECT_EQ(perimeter[3 * k], expected8[k]) << k;
  ZORMtkGeom::ReorderPerimeter(8, back, perimeter, false);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(back[i], element[i]) << i;
  ZORMtkGeom::ReorderPerimeter(6, element, perimeter, true);
  const int expected6[6] = {0, 3, 1, 4, 2, 5};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(perimeter[3 * k], expected6[k]) << k;
  double untouched[12] = {};
  ZORMtkGeom::ReorderPerimeter(4, element, untouched, true);
  for (double v : untouched) EXPECT_EQ(v, 0.0);
}
