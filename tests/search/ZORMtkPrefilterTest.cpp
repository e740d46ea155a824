#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "search/ZORMtkMeshElemB.h"
#include "search/ZORSearchTestMeshes.h"
#include "search/impl/ZORFacetFrames.h"
#include "search/impl/ZORMtkPointLocator.h"
#include "search/impl/ZORMtkSourceElements.h"
#include "search/impl/ZORPointBox.h"
#include "search/impl/ZORSolidBounds.h"

// The locator skips candidates that provably cannot accept a point: box screens, the hull index
// of trilinear hexahedra, the hull index of shell facets. Whatever they skip, every point must end
// in the same element with bit-identical weights as when every bucket candidate is tested. The
// points sit where the skipping is most delicate: on shared faces, edges and corners, just
// outside elements and beyond the mesh, and off shells by up to and beyond the normal reach.
namespace {

using namespace zor_search_test;

// A natural point of an element of `nodes` nodes in `dimension`: inside, on a face, an edge or a
// corner, or just or well beyond one, chosen by `kind`.
Point NaturalPoint(int nodes, int dimension, int kind, std::mt19937& rng) {
  Point xi = zor_test_mesh::RandomNatural(nodes, dimension, rng);
  const bool simplex = nodes == 3 || nodes == 4 || nodes == 6 || nodes == 10 || nodes == 15;
  const bool symmetricT = nodes == 6 || nodes == 15;  // prisms: r, s simplex, t in [-1, 1]
  const double beyond[] = {0.0, 0.0, 1e-9, 1e-4, 0.05, 0.2, 0.29, 0.31, 0.6};
  const double out = beyond[kind % 9];
  const int pinned = 1 + kind % 3;  // 1 face, 2 edge, 3 corner
  for (int a = 0; a < pinned && a < dimension; ++a) {
    const bool unit = simplex && !(symmetricT && a == 2) && dimension == 3;
    xi[static_cast<std::size_t>(a)] = (kind / 3) % 2 == 0 ? (unit ? 0.0 : -1.0) - out : 1.0 + out;
  }
  return xi;
}

using Family = std::pair<const char*, TestMesh>;  // a name and its mesh

// A plane mesh of facets wrapped onto a cylinder of radius 3 (x, y of the plane become the arc
// and the axis), as shells of the given type.
TestMesh Cylinder(const TestMesh& plane, const std::string& type) {
  TestMesh shell = plane;
  shell.type = type;
  shell.dimension = 3;
  shell.coords.clear();
  for (std::size_t n = 0; n < plane.coords.size() / 2; ++n) {
    const double arc = plane.coords[2 * n], axis = plane.coords[2 * n + 1];
    shell.coords.insert(shell.coords.end(),
                        {3.0 * std::cos(arc / 3.0), 3.0 * std::sin(arc / 3.0), axis});
  }
  return shell;
}

// The linear elements on the corner nodes of quadratic ones.
TestMesh Corners(const TestMesh& quadratic, const char* type, int corners) {
  TestMesh linear = quadratic;
  linear.type = type;
  linear.nodesPerElement = corners;
  linear.connectivity.clear();
  for (int e = 0; e < quadratic.ElementCount(); ++e)
    linear.connectivity.insert(linear.connectivity.end(), quadratic.Nodes(e),
                               quadratic.Nodes(e) + corners);
  return linear;
}

// A test mesh stored as a source region, its bucket grid at the given margin, and the search's
// view of its elements.
class SourceMesh {
 public:
  SourceMesh(const TestMesh& m, double margin) {
    StoreElements(db_, m, stored_);
    grid_.FormBuckets(&stored_.reader, margin);
    elements_ = std::make_unique<ZORMtkSourceElements>(stored_.reader, grid_);
  }
  const ZORMtkMeshElemB& Grid() const { return grid_; }
  const ZORMtkSourceElements& Elements() const { return *elements_; }

 private:
  ZORTestSourceDatabase db_;
  Stored stored_;
  ZORMtkMeshElemB grid_;
  std::unique_ptr<ZORMtkSourceElements> elements_;
};

// A 10-node tetrahedral or 20-node hexahedral mesh with the mid-side nodes of every `every`-th
// element moved to the middles of their edges: the search bounds such elements as it bounds their
// corners alone, a path of its own, and keeps what it knows of them apart from the curved ones.
TestMesh Straightened(const TestMesh& quadratic, int every = 1) {
  using Edges = std::vector<std::array<int, 2>>;
  const Edges tetEdges = {{0, 1}, {1, 2}, {2, 0}, {0, 3}, {1, 3}, {2, 3}};
  const Edges hexEdges = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                          {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
  const bool hex = quadratic.nodesPerElement == 20;
  const Edges& edges = hex ? hexEdges : tetEdges;
  const int firstMid = hex ? 8 : 4;
  TestMesh straight = quadratic;
  for (int e = 0; e < quadratic.ElementCount(); e += every)
    for (std::size_t k = 0; k < edges.size(); ++k) {
      const Point a = quadratic.NodeAt(quadratic.Nodes(e)[edges[k][0]]);
      const Point b = quadratic.NodeAt(quadratic.Nodes(e)[edges[k][1]]);
      straight
          .connectivity[static_cast<std::size_t>(e * quadratic.nodesPerElement + firstMid) + k] =
          static_cast<int>(straight.coords.size() / 3);
      for (int c = 0; c < 3; ++c) straight.coords.push_back(0.5 * (a[c] + b[c]));
    }
  return straight;
}

// The points of a family: for solids and plane elements the element's own map of the natural
// point; for shells the plane map wrapped onto the cylinder and moved along its normal.
std::vector<Point> Points(const Family& family, const TestMesh& plane, int count, unsigned seed) {
  std::mt19937 rng(seed);
  const TestMesh& m = family.second;
  std::uniform_int_distribution<int> pick(0, m.ElementCount() - 1);
  std::uniform_real_distribution<double> lift(-1.0, 1.0);
  const bool shell = m.type[0] == 'S';
  std::vector<Point> points;
  std::vector<double> N;
  for (int i = 0; i < count; ++i) {
    const int e = pick(rng);
    Point xi = NaturalPoint(m.nodesPerElement, shell ? 2 : m.dimension, i, rng);
    if (!shell) {
      points.push_back(m.Map(e, xi, N));
      continue;
    }
    const Point flat = plane.Map(e, xi, N);
    // Up to 1 off the surface: the normal reach is half the mean facet diagonal, about 0.72.
    const double radius = 3.0 + lift(rng);
    points.push_back({radius * std::cos(flat[0] / 3.0), radius * std::sin(flat[0] / 3.0), flat[1]});
  }
  return points;
}

struct Answer {
  bool found;
  ZORPointMatch match;
};

std::vector<Answer> Locate(const ZORMtkSourceElements& mesh, const ZORMtkMeshElemB& grid,
                           const ZORMtkPointLocator::Settings& settings,
                           const std::vector<Point>& points,
                           const ZORSearchTolerances& tolerances = {kBoundary, kNormal}) {
  const ZORMtkPointLocator locator(mesh, grid, tolerances, settings);
  ZORMtkPointLocator::Scratch scratch;
  std::vector<Answer> answers(points.size());
  for (std::size_t i = 0; i < points.size(); ++i)
    answers[i].found = locator.Locate(points[i].data(), scratch, answers[i].match, nullptr);
  return answers;
}

// Whether the screened answers are the unscreened ones: the same placement, element, exact node
// and weights, bit for bit; stops at the first point that differs. Returns the points placed.
int ExpectSameAnswers(const std::vector<Answer>& all, const std::vector<Answer>& screened,
                      const std::string& label) {
  int placed = 0;
  for (std::size_t i = 0; i < all.size() && !::testing::Test::HasFailure(); ++i) {
    SCOPED_TRACE(label + " point " + std::to_string(i));
    const ZORPointMatch& a = all[i].match;
    const ZORPointMatch& b = screened[i].match;
    EXPECT_EQ(all[i].found, screened[i].found);
    if (!all[i].found || !screened[i].found) continue;
    ++placed;
    EXPECT_EQ(a.element, b.element);
    EXPECT_EQ(a.exactNode, b.exactNode);
    EXPECT_EQ(a.nodeCount, b.nodeCount);
    for (int k = 0; k < std::min(a.nodeCount, b.nodeCount); ++k)
      EXPECT_EQ(a.weights[k], b.weights[k]) << "weight " << k;
  }
  return placed;
}

// The box of the points up to the middle one in x: with it as the targets' box the locator leaves
// out the elements beyond, and must still place the points beyond as before.
ZORPointBox LowerHalf(const std::vector<Point>& points) {
  std::vector<double> xs;
  for (const Point& p : points) xs.push_back(p[0]);
  std::nth_element(xs.begin(), xs.begin() + static_cast<std::ptrdiff_t>(xs.size() / 2), xs.end());
  const double middle = xs[xs.size() / 2];
  std::vector<double> lower;
  for (const Point& p : points)
    if (p[0] <= middle) lower.insert(lower.end(), p.begin(), p.end());
  return ZORPointBox::Of(lower.data(), static_cast<long long>(lower.size() / 3));
}

// Whether x lies in the box of lower corner box[0..2] and upper corner box[3..5], widened by
// `widen` on every side; a bound that is not a number holds nothing.
bool Within(const double* box, const Point& x, double widen = 0.0) {
  for (int a = 0; a < 3; ++a)
    if (!(x[a] >= box[a] - widen && x[a] <= box[3 + a] + widen)) return false;
  return true;
}

TEST(ZORMtkPrefilterTest, SkippedCandidatesChangeNoElementAndNoWeight) {
  const TestMesh quads = zor_test_mesh::QuadMesh(6, 4, 0.1, 21, "CPE4");
  const Family families[] = {
      {"hex8", zor_test_mesh::HexMesh(4, 8, 0.1, 22)},
      {"hex20", zor_test_mesh::HexMesh(3, 20, 0.08, 23)},
      {"hex20 straight", Straightened(zor_test_mesh::HexMesh(3, 20, 0.1, 32))},
      {"hex8 rectilinear", zor_test_mesh::HexMesh(4, 8, 0.0, 28)},
      {"tet4", zor_test_mesh::TetMesh(3, 4, 0.1, 29)},
      {"tet10 straight", Straightened(zor_test_mesh::TetMesh(3, 10, 0.1, 30))},
      {"tet10", zor_test_mesh::TetMesh(3, 10, 0.05, 24)},
      {"tet10 half straight", Straightened(zor_test_mesh::TetMesh(3, 10, 0.1, 38), 2)},
      {"prism15", zor_test_mesh::Prism15Mesh(3, 0.05, 25)},
      {"prism6", Corners(zor_test_mesh::Prism15Mesh(3, 0.1, 31), "C3D6", 6)},
      {"quad8", zor_test_mesh::QuadMesh(5, 8, 0.08, 26, "CPE8R")},
      {"shell quad4", Cylinder(quads, "S4")},
      {"shell tri3", Cylinder(SplitQuads(quads, "S3"), "S3")},
  };
  for (const Family& family : families) {
    SCOPED_TRACE(family.first);
    const SourceMesh source(family.second, std::max(kBoundary, kNormal));
    const ZORMtkSourceElements& mesh = source.Elements();
    const ZORMtkMeshElemB& grid = source.Grid();
    const TestMesh& plane = family.second.nodesPerElement == 3 ? SplitQuads(quads, "S3") : quads;
    const std::vector<Point> points = Points(family, plane, 600, 27);
    int placed = 0;
    for (const bool nodal : {true, false}) {
      for (const bool containing : {false, true}) {
        const std::vector<Answer> all = Locate(mesh, grid, {nodal, containing, false}, points);
        const std::vector<Answer> filtered = Locate(mesh, grid, {nodal, containing, true}, points);
        const std::vector<Answer> boxed =
            Locate(mesh, grid, {nodal, containing, true, 1, LowerHalf(points)}, points);
        const std::string label =
            "nodal " + std::to_string(nodal) + " containing " + std::to_string(containing);
        placed += ExpectSameAnswers(all, filtered, label);
        placed += ExpectSameAnswers(all, boxed, label + " targets' box");
        if (HasFailure()) return;
      }
    }
    // The points must exercise both outcomes, or the comparison proves little.
    EXPECT_GT(placed, 2 * 400);
    EXPECT_LT(placed, 2 * 4 * 600);
  }
}

// Tolerances that shrink what an element takes, or that are not finite, leave the bounds unbuilt,
// and every answer is the one the unscreened search gives. The mesh's nodes are among the points:
// with a shrinking tolerance the hulls would leave out elements whose node is the point, and so
// the exact match, which comes before any tolerance.
TEST(ZORMtkPrefilterTest, OddTolerancesScreenAwayNoExactMatchAndNoAnswer) {
  const double inf = std::numeric_limits<double>::infinity();
  const ZORSearchTolerances tolerances[] = {
      {-0.01, kNormal}, {-0.5, kNormal}, {inf, kNormal}, {kBoundary, inf}, {std::nan(""), kNormal}};
  const Family families[] = {{"hex8", zor_test_mesh::HexMesh(3, 8, 0.1, 41)},
                             {"tet4", zor_test_mesh::TetMesh(2, 4, 0.1, 42)}};
  for (const Family& family : families) {
    const SourceMesh source(family.second, std::max(kBoundary, kNormal));
    const TestMesh& m = family.second;
    std::vector<Point> points = Points(family, m, 200, 43);
    for (const int node : std::set<int>(m.connectivity.begin(), m.connectivity.end()))
      points.push_back(m.NodeAt(node));
    for (const ZORSearchTolerances& t : tolerances) {
      const std::vector<Answer> all =
          Locate(source.Elements(), source.Grid(), {true, false, false}, points, t);
      const std::vector<Answer> screened =
          Locate(source.Elements(), source.Grid(), {true, false, true}, points, t);
      ExpectSameAnswers(all, screened,
                        std::string(family.first) + " boundary " + std::to_string(t.boundary) +
                            " normal " + std::to_string(t.normal));
    }
  }
}

// Two copies of one tetrahedron, and a point within the coordinate ranges of both but beyond
// their slanted face by exactly 0.125: with the containing choice neither holds it, both are
// equally outside, and the first keeps the point, reported as approximate.
TEST(ZORMtkPrefilterTest, OfEquallyOutsideSolidsTheFirstIsTakenApproximately) {
  const SourceMesh source(
      {"C3D4", 4, 3, {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 1, 2, 3, 0, 1, 2, 3}},
      std::max(kBoundary, kNormal));
  const ZORMtkSourceElements& mesh = source.Elements();
  const ZORMtkMeshElemB& grid = source.Grid();
  for (const bool prefilters : {false, true}) {
    const Answer a = Locate(mesh, grid, {true, true, prefilters}, {{0.375, 0.375, 0.375}})[0];
    ASSERT_TRUE(a.found);
    EXPECT_EQ(a.match.element, 0);
    EXPECT_TRUE(a.match.approximate);
    EXPECT_EQ(a.match.excess, 0.125);
  }
}

// A curved 10-node tetrahedron with one mid-side node moved off its edge (each in turn) puts off
// no point it maps from natural coordinates let out by e, at any excess from e up: its corners'
// barycentric coordinates of the point, the steepest one included, stay within its reach. The
// corners lie so that node 0's coordinate is the steepest, and the node moves across the face
// opposite node 0, where it shifts points most. Points far beyond are put off at a small excess,
// or the bound would screen nothing.
TEST(ZORMtkPrefilterTest, ACurvedTetrahedronPutsOffNoPointItCanHold) {
  const double strict = kBoundary / 1000.0;
  const std::vector<double> corners = {0.3, 0.3, 0.3, 1, 0, 0, 0, 1, 0, 0, 0, 1};
  const int edges[6][2] = {{0, 1}, {1, 2}, {2, 0}, {0, 3}, {1, 3}, {2, 3}};
  std::mt19937 rng(41);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int moved = 0; moved < 6; ++moved) {
    TestMesh tet{"C3D10", 10, 3, corners, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}};
    for (int m = 0; m < 6; ++m)
      for (int c = 0; c < 3; ++c)
        tet.coords.push_back(0.5 * (corners[3 * edges[m][0] + c] + corners[3 * edges[m][1] + c]) +
                             (m == moved ? 0.02 : 0.0));
    const SourceMesh source(tet, kBoundary);
    const ZORSolidBounds bounds(source.Elements(), strict, kBoundary, kBoundary, 1, true);
    int farPutOff = 0;
    std::vector<double> N;
    for (int i = 0; i < 2000; ++i) {
      // Barycentric coordinates from a corner of the shape let out by e, mostly on its faces
      // and edges; lambda_0 = 1 - r - s - t.
      const double e = i % 4 == 0 ? 0.0 : i % 4 == 1 ? 1e-4 : 0.3 * unit(rng);
      double lambda[4];
      double sum = 0.0;
      for (double& l : lambda) sum += (l = unit(rng) < 0.4 ? 0.0 : unit(rng));
      for (double& l : lambda) l = l / (sum > 0.0 ? sum : 1.0) * (1.0 + 4.0 * e) - e;
      const Point xi = {lambda[1], lambda[2], lambda[3]};
      const double excess = std::max({0.0, -xi[0], -xi[1], -xi[2], xi[0] + xi[1] + xi[2] - 1.0});
      const Point x = tet.Map(0, xi, N);
      for (const double asked : {excess, excess + 0.01, 2.0 * excess + 0.1})
        ASSERT_FALSE(bounds.ExceedsBy(0, x.data(), asked, strict))
            << "node " << 4 + moved << " point " << i << " let out by " << excess;
      // Beyond node 1 away from node 0, where node 0's corner coordinate is -3.
      const Point far = {3.1, -0.9 + 0.1 * unit(rng), -0.9};
      farPutOff += bounds.ExceedsBy(0, far.data(), 1e-3, strict);
    }
    EXPECT_EQ(farPutOff, 2000) << "node " << 4 + moved;
  }
}

// A 20-node hexahedron whose face bulges (the four mid-side nodes of one face moved along one
// axis, which takes the face's middle twice as far out as the nodes) lets through its screen at
// tolerance t (MayAccept) every point it maps from natural coordinates within 1 + t, on faces,
// edges and corners let out by up to 0.6, and holds those of the strict and the relaxed tolerance
// in its strict and relaxed hulls; a point far beyond fails the screen.
TEST(ZORMtkPrefilterTest, ABulgingHexahedronLetsThroughEveryPointItCanHold) {
  const double strict = kBoundary / 1000.0;
  const double size[3] = {2.0, 1.0, 1.5};
  const int edges[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                            {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
  const int faceEdges[6][4] = {{0, 1, 2, 3},  {4, 5, 6, 7}, {3, 7, 8, 11},
                               {1, 5, 9, 10}, {0, 4, 8, 9}, {2, 6, 10, 11}};
  std::vector<double> corners;
  for (int k = 0; k < 8; ++k) {
    const int ix = (k % 4 == 1 || k % 4 == 2), iy = (k % 4 >= 2), iz = k / 4;
    corners.insert(corners.end(), {ix * size[0], iy * size[1], iz * size[2]});
  }
  std::mt19937 rng(43);
  for (int bulge = 0; bulge < 18; ++bulge) {
    const int* moved = faceEdges[bulge / 3];
    const int axis = bulge % 3;
    TestMesh hex{"C3D20", 20, 3, corners, {}};
    for (int n = 0; n < 20; ++n) hex.connectivity.push_back(n);
    for (int m = 0; m < 12; ++m)
      for (int c = 0; c < 3; ++c) {
        const bool shifted = c == axis && std::find(moved, moved + 4, m) != moved + 4;
        hex.coords.push_back(0.5 * (corners[3 * edges[m][0] + c] + corners[3 * edges[m][1] + c]) +
                             (shifted ? 0.15 : 0.0));
      }
    const SourceMesh source(hex, kBoundary);
    const ZORSolidBounds bounds(source.Elements(), strict, kBoundary, kBoundary, 1);
    double strictHull[6], relaxedHull[6];
    bounds.StrictHull(0, strictHull);
    ASSERT_TRUE(bounds.RelaxedHull(0, relaxedHull));
    std::vector<double> N;
    for (int i = 0; i < 600; ++i) {
      // NaturalPoint pins the first coordinates; turned, every face gets its points.
      Point xi = NaturalPoint(20, 3, i, rng);
      std::rotate(xi.begin(), xi.begin() + (i / 9) % 3, xi.end());
      double out = 0.0;
      for (const double coordinate : xi) out = std::max(out, std::fabs(coordinate) - 1.0);
      const Point x = hex.Map(0, xi, N);
      for (const double tol : {strict, kBoundary, 0.6}) {
        if (out > tol) continue;
        ASSERT_TRUE(bounds.MayAccept(0, x.data(), tol))
            << "face " << bulge / 3 << " axis " << axis << " point " << i;
      }
      ASSERT_TRUE(out > strict || Within(strictHull, x)) << "point " << i;
      ASSERT_TRUE(out > kBoundary || Within(relaxedHull, x)) << "point " << i;
    }
    const double far[3] = {4.5, 0.5, 0.75};
    EXPECT_FALSE(bounds.MayAccept(0, far, strict)) << "face " << bulge / 3;
  }
}

// A straight tetrahedron can hold, within the strict tolerance, a point anywhere in itself let
// out by that tolerance and the Newton slack, a 6-node prism anywhere in that much of itself as
// its element test accepts (r, s up to 1 + tol); the containing choice finds its holders through
// hulls of these shapes alone, so each of their corners, and points between corners, must lie in
// the element's holding hull, and the tests that put candidates off must keep them. Any point the
// put-off test keeps and the box screen passes, far off too and at a let-out beyond the whole
// shape, lies in the hull; a point far beyond a tetrahedron is put off.
TEST(ZORMtkPrefilterTest, LetOutCornersLieInTheHoldingHull) {
  struct Shapes {
    TestMesh shapes;
    double strict;
    bool keepPrismHulls;
  };
  const Shapes families[] = {
      {zor_test_mesh::TetMesh(3, 4, 0.15, 33), kBoundary / 1000.0, true},
      {Corners(zor_test_mesh::Prism15Mesh(3, 0.15, 35), "C3D6", 6), kBoundary / 1000.0, true},
      {Corners(zor_test_mesh::Prism15Mesh(3, 0.15, 35), "C3D6", 6), kBoundary / 1000.0, false},
      {Corners(zor_test_mesh::Prism15Mesh(3, 0.15, 36), "C3D6", 6), 1.5, true},
  };
  std::mt19937 rng(34);
  std::uniform_real_distribution<double> share(0.0, 1.0), far(-4.0, 5.0);
  std::vector<double> N;
  for (const auto& [shapes, strict, keepPrismHulls] : families) {
    SCOPED_TRACE(shapes.type + " strict " + std::to_string(strict) +
                 (keepPrismHulls ? "" : " unkept"));
    // Just inside the let-out corners.
    const double e = (strict + ZORSolidBounds::kNewtonSlack) * (1.0 - 1e-6);
    const double tetFar = 1.0 + 3.0 * e, prismFar = 1.0 + e;
    const std::vector<Point> corners =
        shapes.nodesPerElement == 4
            ? std::vector<Point>{{-e, -e, -e}, {tetFar, -e, -e}, {-e, tetFar, -e}, {-e, -e, tetFar}}
            : std::vector<Point>{{-e, -e, -prismFar},       {prismFar, -e, -prismFar},
                                 {-e, prismFar, -prismFar}, {-e, -e, prismFar},
                                 {prismFar, -e, prismFar},  {-e, prismFar, prismFar}};
    const SourceMesh source(shapes, kBoundary);
    const ZORMtkSourceElements& mesh = source.Elements();
    const ZORSolidBounds bounds(mesh, strict, std::max(strict, kBoundary), kBoundary, 1,
                                !keepPrismHulls);
    const std::size_t count = corners.size();
    for (int element = 0; element < mesh.ElementCount(); ++element) {
      double hull[6];
      bounds.HoldingHull(element, hull);
      for (std::size_t k = 0; k < 3 * count; ++k) {
        Point xi = corners[k % count];
        const double w = k < count ? 1.0 : share(rng);
        for (int a = 0; a < 3; ++a) xi[a] = w * xi[a] + (1.0 - w) * corners[(k + 1) % count][a];
        if (k >= 2 * count) xi = {far(rng), far(rng), far(rng)};
        const Point x = shapes.Map(element, xi, N);
        SCOPED_TRACE("element " + std::to_string(element) + " point " + std::to_string(k));
        const bool kept = !bounds.ExceedsBy(element, x.data(), strict, strict);
        if (k < 2 * count) {
          ASSERT_TRUE(kept);
        }
        if (shapes.nodesPerElement == 4) {
          // Clearly beyond a tetrahedron, the put-off test must turn the point away; the screen
          // of the first-accepted choice keeps just what lies within its natural ranges.
          const double reach = strict + ZORSolidBounds::kNewtonSlack;
          const double beyond = std::max({-xi[0], -xi[1], -xi[2], xi[0] + xi[1] + xi[2] - 1.0});
          const double past = std::max({-xi[0], -xi[1], -xi[2], xi[0] - 1, xi[1] - 1, xi[2] - 1});
          if (beyond > 1.01 * reach) {
            ASSERT_FALSE(kept);
          }
          ASSERT_EQ(bounds.MayAccept(element, x.data(), strict), past < reach) << past;
        }
        // The box screen's box: the node box widened by the margin in element lengths.
        const double* box = mesh.Box(element);
        if (!kept || !Within(box, x, kBoundary * box[6])) continue;
        ASSERT_TRUE(Within(hull, x)) << x[0] << " " << x[1] << " " << x[2];
      }
    }
  }
}

// A 6-node prism's element test takes any (r, s) in the square of its natural ranges, not only
// the triangle, so the first-accepted choice, and the containing choice's walk over the prisms it
// put off, find a prism through a hull of that whole image: every point of it that the box screen
// passes lies in the strict hull, kept or computed. Obtuse and sheared bases put much of the image
// beyond the node box.
TEST(ZORMtkPrefilterTest, ThePrismsNaturalSquareLiesInItsStrictHull) {
  TestMesh prisms{"C3D6", 6, 3, {}, {}};
  const double bases[3][6] = {{0, 0, 1, 0, 0, 1}, {0, 0, 1, 0, 0.9, 0.3}, {0, 0, 1, 0.2, 0.4, 1}};
  for (int p = 0; p < 3; ++p) {
    for (int level = 0; level < 2; ++level)
      for (int k = 0; k < 3; ++k)
        prisms.coords.insert(prisms.coords.end(),
                             {bases[p][2 * k] + 3.0 * p + 0.1 * level * k,
                              bases[p][2 * k + 1] + 0.05 * level, level * (1.0 + 0.1 * k)});
    for (int n = 0; n < 6; ++n) prisms.connectivity.push_back(6 * p + n);
  }
  const SourceMesh source(prisms, kBoundary);
  const ZORMtkSourceElements& mesh = source.Elements();
  const double strict = kBoundary / 1000.0;
  const double e = (strict + ZORSolidBounds::kNewtonSlack) * (1.0 - 1e-6);
  std::mt19937 rng(39);
  std::uniform_real_distribution<double> natural(-e, 1.0 + e), height(-1.0 - e, 1.0 + e);
  std::vector<double> N;
  for (const bool keep : {true, false}) {
    const ZORSolidBounds bounds(mesh, strict, kBoundary, kBoundary, 1, !keep);
    int beyondNodes = 0;
    for (int element = 0; element < mesh.ElementCount(); ++element) {
      double hull[6];
      bounds.StrictHull(element, hull);
      const double* box = mesh.Box(element);
      for (int i = 0; i < 400; ++i) {
        const Point x = prisms.Map(element, {natural(rng), natural(rng), height(rng)}, N);
        if (!Within(box, x, kBoundary * box[6])) continue;
        beyondNodes += !Within(box, x);
        ASSERT_TRUE(Within(hull, x)) << "keep " << keep << " element " << element;
      }
    }
    EXPECT_GT(beyondNodes, 100);
  }
}

// A facet whose bound says it cannot reach the targets gets no frame and leaves the index, so the
// bound must hold its whole hull: every corner of the hull, as a box of one point, keeps the
// facet's frame. The corners lie off the node box by the in-plane growth and the normal reach.
TEST(ZORMtkPrefilterTest, EveryCornerOfAFacetHullKeepsItsFrame) {
  const TestMesh quads = zor_test_mesh::QuadMesh(4, 4, 0.15, 37, "CPE4");
  for (const TestMesh& shells : {Cylinder(quads, "S4"), Cylinder(SplitQuads(quads, "S3"), "S3")}) {
    SCOPED_TRACE(shells.type);
    const SourceMesh source(shells, std::max(kBoundary, kNormal));
    const ZORMtkSourceElements& mesh = source.Elements();
    const ZORFacetFrames all(mesh, kBoundary, kBoundary / 1000.0, kNormal, kNormal / 10.0);
    for (int element = 0; element < mesh.ElementCount(); ++element) {
      double hull[6];
      all.Hull(element, hull);
      for (int corner = 0; corner < 8; ++corner) {
        const double at[3] = {hull[3 * (corner & 1)], hull[1 + 3 * ((corner >> 1) & 1)],
                              hull[2 + 3 * (corner >> 2)]};
        const ZORFacetFrames near(mesh, kBoundary, kBoundary / 1000.0, kNormal, kNormal / 10.0, 1,
                                  ZORPointBox::Of(at, 1));
        EXPECT_TRUE(near.Keeps(element)) << "element " << element << " corner " << corner;
      }
    }
  }
}

}  // namespace
