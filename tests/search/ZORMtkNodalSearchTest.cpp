#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "platform/ZORStream.h"
#include "search/ZORMtkGeom.h"
#include "search/ZORMtkMeshElemB.h"
#include "search/ZORSearchTestMeshes.h"
#include "search/impl/ZORMtkMeshNodeB.h"
#include "search/impl/ZORMtkNodalSearch.h"
#include "search/impl/ZORMtkNodalWeights.h"

// Shape interpolation and nearest node, through the reader of a test database: the searches must
// place every point where a scan of all elements in member order would, record node members, and
// report what they cannot place.

namespace {

using namespace zor_search_test;

// The element tests over every region element in ascending member order, as the search would run
// them without a grid: pass 0 with padded boxes and tolerance b/1000, then pass 1 with b. For
// solids and plane elements only. Returns the element member, or -1.
int ScanAll(const TestMesh& m, const std::vector<int>& region, const Point& point,
            std::vector<double>& weights) {
  const int n = m.nodesPerElement;
  for (int pass = 0; pass < 2; ++pass) {
    for (const int e : region) {
      std::vector<double> coords;
      double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
      for (int k = 0; k < n; ++k) {
        const Point x = m.NodeAt(m.Nodes(e)[k]);
        coords.insert(coords.end(), x.begin(), x.end());
        for (int a = 0; a < m.dimension; ++a)
          lo[a] = std::min(lo[a], x[a]), hi[a] = std::max(hi[a], x[a]);
      }
      double diagonal = 0.0;
      for (int a = 0; a < m.dimension; ++a) diagonal += (hi[a] - lo[a]) * (hi[a] - lo[a]);
      const double margin = kBoundary * std::sqrt(diagonal);
      bool inBox = true;
      for (int a = 0; a < m.dimension; ++a)
        inBox = inBox && point[a] >= lo[a] - margin && point[a] <= hi[a] + margin;
      if (pass == 0 && !inBox) continue;
      double tol = pass == 0 ? kBoundary / 1000.0 : kBoundary;
      weights.assign(static_cast<std::size_t>(4 * n), 0.0);
      Point p = point;
      bool inside = false;
      double distance = 0.0;
      if (m.dimension == 3)
        inside = ZORMtkGeom::IncludedInSolid(weights.data(), p.data(), coords.data(), n, 3, &tol,
                                             pass == 1);
      else if (n == 3)
        ZORMtkGeom::InterpolateInTriangle(weights.data(), coords.data(), p.data(), distance, inside,
                                          tol);
      else if (n == 6)
        ZORMtkGeom::InterpolateInQTriangle(weights.data(), coords.data(), p.data(), distance,
                                           inside, tol);
      else
        ZORMtkGeom::InterpolateInQuad(weights.data(), n, coords.data(), p.data(), inside, tol);
      if (inside) return e;
    }
  }
  return -1;
}

struct PlacedPoint {
  Point p;
  int element;  // the element the point was generated in
  Point natural;
};

class ZORMtkNodalSearchTest : public SearchFixture<ZORMtkNodalWeights> {
 protected:
  void Search(bool containing = false) {
    double margin = std::max(kBoundary, kNormal);
    grid.FormBuckets(&source.reader, margin);
    ZORSearchOptions options{{kBoundary, kNormal}, {}};
    options.containing = containing;
    weights = ZORMtkNodalWeights();
    ZORMtkNodalSearch::SearchNodesInElements(weights, grid, source.reader, target.reader, options,
                                             misses);
  }

  // Every point is linked where a scan of all region elements puts it, to that element's node
  // members. When its own element is in the region, the weights reproduce the point (the plane
  // triangles clamp those of points outside them), and when that element can host it
  // alone (every shape but the tetrahedron, whose test does not bound r + s + t), the link is to
  // that element with its shape values at the generating natural coordinates.
  void CheckAgainstScan(const TestMesh& m, const std::vector<int>& region,
                        const std::vector<PlacedPoint>& points, bool ownElement) {
    std::vector<double> expected, N;
    for (int t = 0; t < static_cast<int>(points.size()); ++t) {
      const PlacedPoint& pp = points[static_cast<std::size_t>(t)];
      SCOPED_TRACE("point " + std::to_string(t) + " " + ::testing::PrintToString(pp.p) +
                   " from element " + std::to_string(pp.element));
      const int e = ScanAll(m, region, pp.p, expected);
      const int key = weights.FindKey(t);
      ASSERT_EQ(key >= 0, e >= 0);
      if (e < 0) continue;
      ASSERT_EQ(weights.PartnerCount(key), m.nodesPerElement);
      Point reproduced = {0, 0, 0};
      for (int k = 0; k < m.nodesPerElement; ++k) {
        EXPECT_EQ(weights.Partners(key)[k], m.Nodes(e)[k]) << "node " << k;
        EXPECT_NEAR(weights.Weights(key)[k], expected[static_cast<std::size_t>(k)], 1e-12);
        const Point x = m.NodeAt(weights.Partners(key)[k]);
        for (int a = 0; a < 3; ++a) reproduced[a] += weights.Weights(key)[k] * x[a];
      }
      // The weights are the shape values at Newton's last evaluation, one step (under 1e-6 in
      // natural coordinates) from the point, so on elements of unit size both the position and
      // the weights agree to about 1e-5, as the curved tet10 elements show.
      const bool inRegion = std::binary_search(region.begin(), region.end(), pp.element);
      for (int a = 0; a < 3 && inRegion; ++a)
        EXPECT_NEAR(reproduced[a], pp.p[a], 1e-5) << "axis " << a;
      if (!ownElement || !inRegion) continue;
      EXPECT_EQ(e, pp.element);
      m.Map(pp.element, pp.natural, N);
      for (int k = 0; k < m.nodesPerElement; ++k)
        EXPECT_NEAR(weights.Weights(key)[k], N[static_cast<std::size_t>(k)], 1e-5) << "node " << k;
    }
  }

  // Stores the region of m as the source and, as the target, 300 random points generated in
  // random elements of m through their own isoparametric maps: well inside, or (hexahedra, on
  // faces) on and up to 0.0006 around a face, a quarter of them exactly on it.
  std::vector<PlacedPoint> StoreRandom(const TestMesh& m, const std::vector<int>& region,
                                       unsigned seed, bool onFaces) {
    StoreElements(db, m, source, cow_List<int>(region));
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pick(0, m.ElementCount() - 1), axis(0, 2), side(0, 1);
    std::uniform_real_distribution<double> inner(-1.0, 1.0), off(-0.0006, 0.0006);
    std::vector<PlacedPoint> points;
    std::vector<Point> coords;
    std::vector<double> N;
    for (int i = 0; i < 300; ++i) {
      Point xi = {0, 0, 0};
      if (onFaces) {
        xi = {inner(rng), inner(rng), inner(rng)};
        const int a = axis(rng);
        xi[a] = (side(rng) == 0 ? -1.0 : 1.0) * (1.0 + (i % 4 == 0 ? 0.0 : off(rng)));
      }
      const int e = pick(rng);
      if (!onFaces) xi = zor_test_mesh::RandomNatural(m.nodesPerElement, m.dimension, rng);
      points.push_back({m.Map(e, xi, N), e, xi});
      coords.push_back(points.back().p);
    }
    StorePoints(db, coords, target, m.dimension);
    return points;
  }

  void RunRandomCase(const TestMesh& m, bool ownElement, unsigned seed, bool onFaces = false) {
    SCOPED_TRACE(m.type);
    std::vector<int> region;  // all but element 1, so that element positions and members differ
    for (int e = 0; e < m.ElementCount(); ++e)
      if (e != 1) region.push_back(e);
    const std::vector<PlacedPoint> points = StoreRandom(m, region, seed, onFaces);
    Search();
    CheckAgainstScan(m, region, points, ownElement);
  }
};

// Random points of perturbed hexahedra, tetrahedra, plane quadrilaterals and triangles (of 6 nodes
// with curved edges) go where the member scan puts them. The solid test bounds r, s and t of
// tetrahedra one by one but not their sum, so there a neighbour earlier in member order may take a
// point of the element beside it. On and just around the faces of hexahedra, the strict tolerance,
// the shortcut that skips hexahedra too far away and the order of shared-face candidates decide.
TEST_F(ZORMtkNodalSearchTest, RandomPointsAreLinkedWhereTheMemberScanPutsThem) {
  RunRandomCase(zor_test_mesh::HexMesh(4, 8, 0.1, 11), true, 101);
  RunRandomCase(zor_test_mesh::TetMesh(3, 10, 0.05, 13), false, 103);
  RunRandomCase(zor_test_mesh::QuadMesh(5, 8, 0.08, 15, "CPE8R"), true, 105);
  RunRandomCase(zor_test_mesh::HexMesh(4, 8, 0.1, 16), false, 106, true);
  const TestMesh quads = zor_test_mesh::QuadMesh(4, 8, 0.08, 17, "CPE8R");
  RunRandomCase(SplitQuads(quads, "CPE6"), true, 107);
  RunRandomCase(SplitQuads(zor_test_mesh::QuadMesh(5, 4, 0.08, 18, "CPE4"), "CPS3"), true, 108);
}

// Random interior points of perturbed tetrahedra and prisms: with the containing choice every
// point goes to the element it was generated in, with that element's shape values there; the
// default, which takes the first element that accepts, gives some of them to a neighbour.
TEST_F(ZORMtkNodalSearchTest, ContainingChoiceLinksPointsToTheElementThatHoldsThem) {
  for (const TestMesh& m :
       {zor_test_mesh::TetMesh(3, 10, 0.05, 13), zor_test_mesh::TetMesh(3, 10, 0.1, 19),
        zor_test_mesh::Prism15Mesh(3, 0.05, 14)}) {
    SCOPED_TRACE(m.type);
    const std::vector<PlacedPoint> points = StoreRandom(m, {}, 107, false);
    for (const bool containing : {false, true}) {
      Search(containing);
      ASSERT_EQ(weights.KeyCount(), static_cast<int>(points.size()));
      int elsewhere = 0;
      std::vector<double> N;
      for (int t = 0; t < weights.KeyCount(); ++t) {
        const PlacedPoint& pp = points[static_cast<std::size_t>(t)];
        elsewhere += weights.SourceElement(t) != pp.element;
        if (weights.SourceElement(t) != pp.element) continue;
        m.Map(pp.element, pp.natural, N);
        for (int k = 0; k < m.nodesPerElement; ++k)
          EXPECT_NEAR(weights.Weights(t)[k], N[static_cast<std::size_t>(k)], 1e-5) << t;
      }
      EXPECT_EQ(elsewhere == 0, containing) << elsewhere;
    }
  }
}

// A helix of straight (B31) or curved (B32) line elements, `perTurn` to a turn; the middle node of
// a curved one lies on the helix between its ends. Its turns lie closer (0.0314) than the box
// margin of its elements (0.3 x about 0.16), so a point sees the element of the turn below it
// too, and that element holds the point's foot.
TestMesh Helix(int nodesPerElement, int elements, int perTurn) {
  TestMesh helix;
  helix.type = nodesPerElement == 2 ? "B31" : "B32";
  helix.nodesPerElement = nodesPerElement;
  const int steps = nodesPerElement - 1;
  for (int k = 0; k <= steps * elements; ++k) {
    const double angle = 2.0 * M_PI * k / (steps * perTurn);
    helix.coords.insert(helix.coords.end(), {std::cos(angle), std::sin(angle), 0.005 * angle});
  }
  for (int e = 0; e < elements; ++e)
    for (int k = 0; k < nodesPerElement; ++k) helix.connectivity.push_back(steps * e + k);
  return helix;
}

// The plane triangles lifted onto the surface z = 0.2 sin(4x + 3y) as shell facets (S3).
TestMesh Bent(const TestMesh& plane) {
  TestMesh shell = plane;
  shell.type = "S3";
  shell.dimension = 3;
  shell.coords.clear();
  for (int n = 0; n < plane.NodeCount(); ++n) {
    const double x = plane.At(n, 0), y = plane.At(n, 1);
    shell.coords.insert(shell.coords.end(), {x, y, 0.2 * std::sin(4.0 * x + 3.0 * y)});
  }
  return shell;
}

// Points on a line element at parameter u, with the line's weights there (xi = 2u - 1 on a curved
// one), or in a 3-node triangle just inside the edge opposite one corner, whose area coordinate is
// between 0.001 and 0.005 (a neighbour's clamped weights land within the strict tolerance of them);
// off a shell facet by 1e-4 along its normal, to either side, where a bent neighbour's plane can
// pass nearer than the facet's own.
std::vector<PlacedPoint> NearEdgesOrOnLines(const TestMesh& m, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> pick(0, m.ElementCount() - 1), corner(0, 2), side(0, 1);
  std::uniform_real_distribution<double> along(0.05, 0.95), small(0.001, 0.005);
  std::vector<PlacedPoint> points;
  const bool line = m.type[0] == 'B';
  for (int i = 0; i < 300; ++i) {
    const int e = pick(rng);
    Point w = {0, 0, 0};
    if (!line) {
      const int k = corner(rng);
      const double split = along(rng);
      w[k] = small(rng);
      w[(k + 1) % 3] = (1.0 - w[k]) * split;
      w[(k + 2) % 3] = (1.0 - w[k]) * (1.0 - split);
    } else {
      const double xi = 2.0 * along(rng) - 1.0;
      w = m.nodesPerElement == 2 ? Point{0.5 * (1.0 - xi), 0.5 * (1.0 + xi), 0.0}
                                 : Point{0.5 * (xi * xi - xi), 1.0 - xi * xi, 0.5 * (xi * xi + xi)};
    }
    Point x = {0, 0, 0};
    for (int k = 0; k < m.nodesPerElement; ++k)
      for (int a = 0; a < 3; ++a) x[a] += w[k] * m.At(m.Nodes(e)[k], a);
    if (!line && m.dimension == 3) {
      const Point a = m.NodeAt(m.Nodes(e)[0]);
      const Point normal = zor_test_mesh::Cross(zor_test_mesh::Minus(m.NodeAt(m.Nodes(e)[1]), a),
                                                zor_test_mesh::Minus(m.NodeAt(m.Nodes(e)[2]), a));
      const Point off = zor_test_mesh::Along(normal, side(rng) == 0 ? 1e-4 : -1e-4);
      for (int k = 0; k < 3; ++k) x[k] += off[k];
    }
    points.push_back({x, e, w});
  }
  return points;
}

// The triangles' clamped weights and the lines' acceptance of any point let a neighbour earlier
// in member order (or, among shell facets, nearer) take a point by default; the containing choice
// gives every point to the triangle or line it lies in, with that element's weights there: of the
// lines that hold the point's foot, the nearest.
TEST_F(ZORMtkNodalSearchTest, ContainingChoiceTakesTheTriangleOrLineThePointLiesIn) {
  TestMesh triangles = SplitQuads(zor_test_mesh::QuadMesh(4, 4, 0.08, 18, "CPE4"), "CPS3");
  for (double& x : triangles.coords) x /= 16.0;
  for (const TestMesh& m : {triangles, Bent(triangles), Helix(2, 120, 40), Helix(3, 60, 20)}) {
    SCOPED_TRACE(m.type);
    const std::vector<PlacedPoint> points = NearEdgesOrOnLines(m, 109);
    std::vector<Point> coords;
    for (const PlacedPoint& pp : points) coords.push_back(pp.p);
    StoreElements(db, m, source);
    StorePoints(db, coords, target, m.dimension);
    for (const bool containing : {false, true}) {
      Search(containing);
      ASSERT_EQ(weights.KeyCount(), static_cast<int>(points.size()));
      int elsewhere = 0;
      for (int t = 0; t < weights.KeyCount(); ++t) {
        const PlacedPoint& pp = points[static_cast<std::size_t>(t)];
        elsewhere += weights.SourceElement(t) != pp.element;
        for (int k = 0; k < m.nodesPerElement && weights.SourceElement(t) == pp.element; ++k)
          EXPECT_NEAR(weights.Weights(t)[k], pp.natural[k], 1e-8) << t;
      }
      EXPECT_EQ(elsewhere == 0, containing) << elsewhere;
    }
  }
}

// More points than one visit cell holds, so that the search visits them cell by cell rather than
// as listed: listed in two orders (shuffled and reversed), every point gets the same links bit for
// bit, its weights reproduce it, and the points outside (beside the mesh, within the points' box)
// are reported once each, in list order.
TEST_F(ZORMtkNodalSearchTest, LinksDoNotDependOnTheOrderThePointsAreListedIn) {
  for (const TestMesh& m :
       {zor_test_mesh::TetMesh(6, 4, 0.05, 21), zor_test_mesh::HexMesh(6, 8, 0.1, 22)}) {
    SCOPED_TRACE(m.type);
    StoreElements(db, m, source);
    std::mt19937 rng(23);
    std::uniform_int_distribution<int> pick(0, m.ElementCount() - 1);
    std::vector<Point> listed;
    std::vector<double> N;
    for (int i = 0; i < 6000; ++i)
      listed.push_back(
          i % 20 == 7
              ? Point{-1.0, 0.001 * i, 3.0}
              : m.Map(pick(rng), zor_test_mesh::RandomNatural(m.nodesPerElement, 3, rng), N));
    std::shuffle(listed.begin(), listed.end(), rng);
    const int count = static_cast<int>(listed.size());
    std::vector<ZORMtkNodalWeights> found;
    for (const bool reversed : {false, true}) {
      std::vector<Point> points = listed;
      if (reversed) std::reverse(points.begin(), points.end());
      StorePoints(db, points, target);
      misses = ZORSearchMisses();
      Search(true);
      std::vector<int> outside;
      for (int t = 0; t < count; ++t)
        if (points[static_cast<std::size_t>(t)][0] < -0.5) outside.push_back(t);
      EXPECT_EQ(Members(misses, ZORSearchMiss::Kind::NodeNotPlaced), outside);
      EXPECT_EQ(weights.KeyCount(), count - static_cast<int>(outside.size()));
      for (int key = 0; key < weights.KeyCount(); ++key) {
        const Point& p = points[static_cast<std::size_t>(weights.Key(key))];
        for (int a = 0; a < 3; ++a) {
          double x = 0.0;
          for (int k = 0; k < weights.PartnerCount(key); ++k)
            x += weights.Weights(key)[k] * m.NodeAt(weights.Partners(key)[k])[a];
          ASSERT_NEAR(x, p[a], 1e-5) << "node " << weights.Key(key) << " axis " << a;
        }
      }
      found.push_back(weights);
    }
    for (int t = 0; t < count; ++t) {
      const int first = found[0].FindKey(t), second = found[1].FindKey(count - 1 - t);
      ASSERT_EQ(first >= 0, second >= 0) << t;
      if (first < 0) continue;
      ASSERT_EQ(found[0].SourceElement(first), found[1].SourceElement(second)) << t;
      ASSERT_EQ(found[0].PartnerCount(first), found[1].PartnerCount(second)) << t;
      for (int k = 0; k < found[0].PartnerCount(first); ++k) {
        ASSERT_EQ(found[0].Partners(first)[k], found[1].Partners(second)[k]) << t;
        ASSERT_EQ(found[0].Weights(first)[k], found[1].Weights(second)[k]) << t;
      }
    }
  }
}

// Scaling a mesh and its points scales nothing else: up to coordinates of 1e100 (and down to
// elements whose volume the determinant limit still admits) every point keeps its containing
// element and weights. A node farther out (or not a number) cannot be measured with,
// and the elements that name it are left out: their points go unplaced or to a neighbour, the
// others keep their links; a mesh that far out places nothing.
TEST_F(ZORMtkNodalSearchTest, MeshesScaledUpKeepTheirLinksUntilNodesAreTooFarToMeasure) {
  const TestMesh unit = zor_test_mesh::HexMesh(3, 8, 0.1, 31);
  const auto scaled = [&](double scale, double farNode) {
    TestMesh m = unit;
    for (double& x : m.coords) x *= scale;
    m.coords[0] = farNode * scale;
    return m;
  };
  std::vector<int> all(static_cast<std::size_t>(unit.ElementCount()));
  std::iota(all.begin(), all.end(), 0);
  StoreRandom(unit, all, 37, false);
  Search(true);
  const ZORMtkNodalWeights reference = weights;
  ASSERT_EQ(reference.KeyCount(), 300);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* label;
    double scale, farNode;  // node 0 (a corner of element 0) sits at farNode * scale
    bool cornerKept, anyPlaced;
  } cases[] = {{"scaled by 3e99", 3e99, 0.0, true, true},
               {"scaled by 1e-3", 1e-3, 0.0, true, true},
               {"a corner at 1e101", 1.0, 1e101, false, true},
               {"a corner at NaN", 1.0, nan, false, true},
               {"a corner at -2e100", 1.0, -2e100, false, true},
               {"scaled by 1e101", 1e101, 0.0, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const TestMesh m = scaled(c.scale, c.farNode);
    const std::vector<PlacedPoint> points = StoreRandom(m, all, 37, false);
    misses = ZORSearchMisses();
    Search(true);
    for (int t = 0; t < 300; ++t) {
      const int key = weights.FindKey(t), before = reference.FindKey(t);
      const bool touched = points[static_cast<std::size_t>(t)].element == 0;
      if (!c.anyPlaced || (touched && !c.cornerKept)) {
        if (key >= 0) {
          EXPECT_NE(weights.SourceElement(key), 0) << t;
        }
        continue;
      }
      ASSERT_GE(key, 0) << t;
      ASSERT_EQ(weights.SourceElement(key), reference.SourceElement(before)) << t;
      for (int k = 0; k < 8; ++k)
        EXPECT_NEAR(weights.Weights(key)[k], reference.Weights(before)[k], 1e-9) << t;
    }
    if (!c.anyPlaced) {
      EXPECT_EQ(weights.KeyCount(), 0);
      EXPECT_EQ(Members(misses, ZORSearchMiss::Kind::NodeNotPlaced).size(), 300U);
    }
  }
}

// One unit hexahedron: a point 1% of the edge beyond a face is outside for the strict tolerance
// but inside for the relaxed one, and then extrapolates; half an edge beyond is outside both.
TEST_F(ZORMtkNodalSearchTest, PointJustOutsideIsPlacedOnlyInTheSecondPass) {
  const TestMesh m = zor_test_mesh::HexMesh(1, 8, 0.0, 1);
  StoreElements(db, m, source);
  StorePoints(db, {{1.01, 0.5, 0.5}, {1.5, 0.5, 0.5}}, target);
  Search();
  ASSERT_EQ(weights.KeyCount(), 1);
  EXPECT_EQ(weights.Key(0), 0);
  double sum = 0.0, x = 0.0;
  for (int k = 0; k < 8; ++k)
    sum += weights.Weights(0)[k], x += weights.Weights(0)[k] * m.NodeAt(weights.Partners(0)[k])[0];
  EXPECT_NEAR(sum, 1.0, 1e-9);
  EXPECT_NEAR(x, 1.01, 1e-9);
  ASSERT_EQ(misses.misses.size(), 1u);
  EXPECT_EQ(misses.misses[0].kind, ZORSearchMiss::Kind::NodeNotPlaced);
  EXPECT_EQ(misses.misses[0].member, 1);
}

// Shells: unit squares at different heights above the point's plane, L = sqrt(2). Strict normal
// reach 0.05 L, relaxed 0.5 L.
class ZORMtkShellSearchTest : public ZORMtkNodalSearchTest {
 protected:
  // Quadrilateral facets over [x0, x0 + 1] x [0, 1] at height z, given as (x0, z).
  void StoreFacets(const std::vector<std::array<double, 2>>& facets, const Point& p) {
    std::vector<double> coords;
    std::vector<int> connectivity;
    for (const auto& f : facets)
      for (const auto& c : {std::array<double, 2>{0, 0}, {1, 0}, {1, 1}, {0, 1}}) {
        connectivity.push_back(static_cast<int>(coords.size()) / 3);
        coords.insert(coords.end(), {f[0] + c[0], c[1], f[1]});
      }
    StoreElements(db, {"S4", 4, 3, coords, connectivity}, source);
    StorePoints(db, {p}, target);
    Search();
  }
  int ChosenFacet() const {
    EXPECT_EQ(weights.KeyCount(), 1);
    return weights.KeyCount() == 1 ? weights.Partners(0)[0] / 4 : -1;
  }
};

TEST_F(ZORMtkShellSearchTest, TakesTheNearestFacetWithinTheStrictReachThenPrefersAListedOne) {
  // Facet 0 is too far for pass 0; facets 1 and 2 lie at the same distance, so the first keeps
  // the point; facet 3 is nearer and replaces it.
  StoreFacets({{0, 0.2}, {0, 0.06}, {0, -0.06}, {0, 0.03}}, {0.5, 0.5, 0.0});
  EXPECT_EQ(ChosenFacet(), 3);
  StoreFacets({{0, 0.2}, {0, 0.06}, {0, -0.06}}, {0.5, 0.5, 0.0});
  EXPECT_EQ(ChosenFacet(), 1);
  // Facet 0 lies beside the point (in its plane only with the relaxed tolerance) and near;
  // facet 1 holds the point in its outline but is far; facet 2 is beside and nearest. Pass 0
  // accepts none but lists facet 1. In pass 1, facet 0 is accepted, then facet 1 replaces it
  // because it was listed, and from then on unlisted facet 2 is not considered.
  StoreFacets({{1.0, 0.05}, {0.0, 0.3}, {-0.1, 0.01}}, {0.95, 0.5, 0.0});
  EXPECT_EQ(ChosenFacet(), 1);
  // Without a listed facet, every accepted facet replaces the best in pass 1, even a farther one.
  StoreFacets({{1.0, 0.05}, {-0.1, 0.2}}, {0.95, 0.5, 0.0});
  EXPECT_EQ(ChosenFacet(), 1);
}

// A small case traced whole: one unit hexahedron and one node on its corner.
TEST_F(ZORMtkNodalSearchTest, TraceWritesEveryStepOfASmallSearch) {
  const TestMesh m = zor_test_mesh::HexMesh(1, 8, 0.0, 1);
  StoreElements(db, m, source);
  StorePoints(db, {{1, 1, 1}}, target);
  const std::string trace = Captured(aio_cout, "6", [this] { Search(); });
  EXPECT_EQ(trace,
            "Source elment characteristic length 1.73205\n"
            "Target node 0 1 1 1\n"
            " 1 1 1\n"
            " found in a bucket with 1Target elements\n"
            " FIRST TRY \n"
            " boundaryTolerance = 0.0003\n"
            " normalTolerance = 0.05\n"
            "   ... candidate source element 0  source element characteristic length 1.73205\n"
            " source element nodes 0 (0 0 0 ) 2 (1 0 0 ) 8 (1 1 0 ) 6 (0 1 0 ) 18 (0 0 1 ) "
            "20 (1 0 1 ) 26 (1 1 1 ) 24 (0 1 1 ) \n"
            "Exact match \n");
}

// ---- Nearest node.

class ZORMtkNearestNodeTest : public ZORMtkNodalSearchTest {
 protected:
  ZORMtkMeshNodeB nodeGrid;
  void SearchNearest() {
    weights = ZORMtkNodalWeights();
    double margin = 0.0;
    nodeGrid.FormBuckets(&source.reader, margin);
    ZORMtkNodalSearch::FindNearestNodes(weights, nodeGrid, source.reader, target.reader, {},
                                        misses);
  }
};

// Random points in and around a mesh whose nodes are never farther apart than the bucket reach,
// more of them than one visit cell holds: the grid's answer is the scan's nearest node, recorded
// by member whatever order the points are visited in. Around the perturbed mesh the points lie
// anywhere; around the unperturbed one on the half-lattice, exactly as near to two, four or
// eight nodes, of which the first in member order wins.
TEST_F(ZORMtkNearestNodeTest, MatchesTheNearestNodeOfAFullScanAndTheFirstOfExactTies) {
  std::mt19937 rng(33);
  std::uniform_real_distribution<double> coordinate(-0.2, 4.2);
  std::uniform_int_distribution<int> half(-1, 9);
  for (const bool ties : {false, true}) {
    SCOPED_TRACE(ties ? "ties" : "perturbed");
    const TestMesh m = zor_test_mesh::HexMesh(4, 8, ties ? 0.0 : 0.15, 32, ties ? 1 : 2);
    StoreElements(db, m, source);
    std::vector<Point> points(5000);
    for (Point& p : points)
      for (double& x : p) x = ties ? 0.5 * half(rng) : coordinate(rng);
    StorePoints(db, points, target);
    SearchNearest();
    const std::vector<int> sourceNodes = source.reader.nodeList.Items();
    for (int t = 0; t < static_cast<int>(points.size()); ++t) {
      int nearest = -1;
      double best = 0.0;
      const Point& p = points[static_cast<std::size_t>(t)];
      for (const int node : sourceNodes) {
        const Point x = m.NodeAt(node);
        const double d = (x[0] - p[0]) * (x[0] - p[0]) + (x[1] - p[1]) * (x[1] - p[1]) +
                         (x[2] - p[2]) * (x[2] - p[2]);
        if (nearest < 0 || d < best) nearest = node, best = d;
      }
      const int key = weights.FindKey(t);
      ASSERT_GE(key, 0);
      EXPECT_EQ(weights.Partners(key)[0], nearest)
          << "point " << t << " " << ::testing::PrintToString(p);
    }
  }
}

TEST_F(ZORMtkNearestNodeTest, DifferentCountsAndDistantNodesAreReportedAndStillLinked) {
  // Source nodes on a unit square's corners: M = 0.5, so the reach is sqrt(0.0002) ~ 0.0141.
  StoreElements(db, {"S4", 4, 3, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {0, 1, 2, 3}}, source);
  StorePoints(db, {{0.01, 0, 0}, {1, 1.02, 0}, {0.0, 1.0, 0.0}}, target);
  SearchNearest();
  EXPECT_TRUE(misses.nodeCountsDiffer);
  EXPECT_EQ(Members(misses, ZORSearchMiss::Kind::Misaligned), (std::vector<int>{1}));
  EXPECT_NEAR(misses.misses[0].distance, 0.02, 1e-12);
  EXPECT_EQ(weights.KeyCount(), 3);
}

}  // namespace
