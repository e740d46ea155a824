#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "search/ZORMtkBucketFrame.h"
#include "search/ZORMtkMeshElemB.h"
#include "search/ZORSearchTestMeshes.h"
#include "search/impl/ZORMtkHullIndex.h"
#include "search/impl/ZORMtkMeshNodeB.h"
#include "search/impl/ZORMtkSourceElements.h"

// The bucket grids: their sizing rules, which bucket answers a point, and that a bucket lists
// every element (or node) a search may need there, ascending.

namespace {

// A grid over boxes given directly: boxes of `dimension` doubles per element, margin 0.5.
struct BoxSet {
  int dimension = 3;
  std::vector<double> lo, hi;
  double average = 0.0;
  double overallMin[3] = {1e300, 1e300, 1e300}, overallMax[3] = {-1e300, -1e300, -1e300};

  void Add(const std::vector<double>& low, const std::vector<double>& high) {
    double extent = 0.0;
    for (int a = 0; a < dimension; ++a) {
      lo.push_back(low[a]);
      hi.push_back(high[a]);
      overallMin[a] = std::min(overallMin[a], low[a]);
      overallMax[a] = std::max(overallMax[a], high[a]);
      extent = std::max(extent, high[a] - low[a]);
    }
    average += extent;
  }
  int Count() const { return static_cast<int>(lo.size()) / dimension; }
  // Element e is member first + stride x e.
  void Form(ZORMtkMeshElemB& grid, double margin, int stride = 3, int first = 10) const {
    std::vector<int> members(static_cast<std::size_t>(Count()));
    for (int e = 0; e < Count(); ++e) members[static_cast<std::size_t>(e)] = first + stride * e;
    grid.FormFromBoxes(ZORSimDynamicID{}, dimension, members, lo, hi, average / Count(), overallMin,
                       overallMax, margin);
  }
};

// The bucket edge h is the largest root of (T - 1) h^3 - S2 h - P for a target count T, the sums
// S2 and product P of the extents: eight buckets for one flat element, whose own size gives
// fewer; near one hundred thousand for huge counts. The block takes the cubic's one real root,
// the nearly flat sheet the trigonometric form, the plane the two-dimensional product.
TEST(ZORMtkMeshElemB, BucketEdgeIsTheLargestRootOfTheCountCubic) {
  const struct {
    const char* label;
    int dimension;
    std::vector<double> L;
    double target, margin;
  } cases[] = {{"flat element", 3, {2, 1, 0.5}, 8.0, 0.5},
               {"block", 3, {100, 50, 10}, 1e5, 0.0},
               {"sheet", 3, {100, 100, 0.02}, 1e5, 0.0},
               {"plane", 2, {300, 70, 0}, 1e5, 0.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    BoxSet boxes;
    boxes.dimension = c.dimension;
    if (c.target < 10) {
      boxes.Add({0, 0, 0}, c.L);
    } else {
      const double s = 0.01;
      boxes.Add({0, 0, 0}, {s, s, s});
      boxes.Add({c.L[0] - s, c.L[1] - s, c.L[2] - s}, c.L);
    }
    ZORMtkMeshElemB grid;
    boxes.Form(grid, c.margin);
    const double h = grid.BucketSize();
    const double S2 = c.L[0] * c.L[1] + c.L[1] * c.L[2] + c.L[2] * c.L[0];
    const double P = c.dimension == 3 ? c.L[0] * c.L[1] * c.L[2] : c.L[0] * c.L[1];
    // With S2, P > 0 the cubic falls from -P at 0 and then rises: its one positive root is h.
    const double cubed = (c.target - 1.0) * h * h * h;
    EXPECT_GT(h, 0.0);
    EXPECT_NEAR((cubed - S2 * h - P) / (cubed + S2 * h + P), 0.0, 1e-12);
    for (int a = 0; a < 3; ++a)
      EXPECT_EQ(grid.Count(a), a < c.dimension ? static_cast<int>(std::floor(c.L[a] / h)) + 1 : 1)
          << "axis " << a;
    EXPECT_DOUBLE_EQ(grid.Upper()[0], grid.Count(0) * h);
  }
}

// Extents the sizing cannot divide as it means to (one far longer than the others, sizes apart by
// hundreds of decades, a box reaching infinity) still give a grid of at most ten million buckets
// spanning every finite extent, whose bucket at the small element's centre lists it. Sanitizer
// runs check the conversions.
TEST(ZORMtkMeshElemB, ExtremeOrInfiniteExtentsKeepTheGridBoundedAndItsBucketsRight) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const struct {
    const char* label;
    std::vector<double> farLow, farHigh;  // a second box beside the unit one
    double averageScale;                  // of the given average size
  } cases[] = {
      {"one extent 1e300 long", {0, 0, 0}, {1e300, 1, 1}, 1.0},
      {"average 1e-300 over 2e300", {-1e300, -1e300, -1e300}, {1e300, 1e300, 1e300}, 1e-300},
      {"a box to infinity", {0, 0, 0}, {kInf, 1, 1}, 1.0},
      {"a box from minus infinity", {-kInf, -kInf, -kInf}, {1, 1, 1}, 1.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    BoxSet boxes;
    boxes.Add({0.25, 0.25, 0.25}, {0.5, 0.5, 0.5});
    boxes.Add(c.farLow, c.farHigh);
    boxes.average *= c.averageScale;
    ZORMtkMeshElemB grid;
    boxes.Form(grid, 0.5);
    double buckets = 1.0;
    for (int a = 0; a < 3; ++a) {
      EXPECT_GE(grid.Count(a), 1);
      buckets *= grid.Count(a);
      // The buckets still span every finite extent, not its first part only.
      const double extent = boxes.overallMax[a] - boxes.overallMin[a];
      if (std::isfinite(extent)) {
        EXPECT_GE(grid.Count(a) * grid.BucketSize(), extent) << a;
      }
    }
    EXPECT_LE(buckets, 1e7);
    double centre[3] = {0.375, 0.375, 0.375};
    int count = 0;
    const int* listed = grid.Bucket(centre, count);
    EXPECT_NE(std::find(listed, listed + count, 0), listed + count);
  }
}

// Members with and without gaps between them: every member finds its position, every other
// number none.
TEST(ZORMtkMeshElemB, PositionOfFindsEachMemberAndNothingElse) {
  for (const int stride : {1, 3}) {
    BoxSet boxes;
    for (int e = 0; e < 6; ++e) boxes.Add({1.0 * e, 0, 0}, {1.0 * e + 1, 1, 1});
    ZORMtkMeshElemB grid;
    boxes.Form(grid, 0.0, stride);
    for (int member = -1; member < 40; ++member) {
      const bool listed = member >= 10 && (member - 10) % stride == 0 && member - 10 < 6 * stride;
      EXPECT_EQ(grid.PositionOf(member), listed ? (member - 10) / stride : -1)
          << "member " << member << ", stride " << stride;
    }
  }
}

// A flat shell region at z = 2 gets one layer of buckets just below it and keeps the members of
// its region; a region without elements gets one empty bucket.
TEST(ZORMtkMeshElemB, RegionsFromTheReaderKeepTheirMembersAndFlatOnesGetOneLayer) {
  ZORTestSourceDatabase db;
  zor_search_test::Stored shells, nodesOnly;
  zor_search_test::StoreElements(db, zor_test_mesh::QuadGrid(3, 3, 0, 3, 0, 3, "S4", 3, 2.0),
                                 shells, {7, 2, 4});
  zor_search_test::StorePoints(db, {{0, 0, 0}, {1, 1, 1}}, nodesOnly);
  ZORMtkMeshElemB grid, none;
  double margin = 0.5;
  grid.FormBuckets(&shells.reader, margin);
  none.FormBuckets(&nodesOnly.reader, margin);
  ASSERT_EQ(grid.ElementCount(), 3);
  EXPECT_EQ(grid.ElementMember(1), 4);
  EXPECT_EQ(grid.PositionOf(7), 2);
  EXPECT_EQ(grid.PositionOf(3), -1);
  EXPECT_EQ(grid.Count(2), 1);
  EXPECT_NEAR(grid.Origin()[2], 2.0 - 0.01, 1e-12);
  double p[3] = {0.5, 0.5, 0.5};
  EXPECT_TRUE(none.GetBucketElements(p).IsEmpty());
  EXPECT_EQ(none.Count(0) * none.Count(1) * none.Count(2), 1);
  // A node at infinity leaves the grid over the finite elements, the others still listed.
  zor_test_mesh::TestMesh far = zor_test_mesh::QuadGrid(3, 3, 0, 3, 0, 3, "S4", 3, 2.0);
  far.coords[0] = std::numeric_limits<double>::infinity();
  zor_search_test::Stored farShells;
  zor_search_test::StoreElements(db, far, farShells);
  ZORMtkMeshElemB farGrid;
  farGrid.FormBuckets(&farShells.reader, margin);
  EXPECT_EQ(farGrid.Origin()[0], 0.0);
  EXPECT_GT(farGrid.Count(0), 1);
  double last[3] = {2.5, 2.5, 2.0};
  int listed = 0;
  const int* bucket = farGrid.Bucket(last, listed);
  EXPECT_NE(std::find(bucket, bucket + listed, 8), bucket + listed);
}

// A grid formed from a reader reads the mesh once and boxes its elements itself: it must be the
// grid of the reader's own boxes, bucket for bucket, at any thread count, and the mesh it keeps
// the one a search would read beside it.
TEST(ZORMtkMeshElemB, GridFromAReaderIsTheGridOfItsBoxesAndKeepsTheMeshASearchReads) {
  using namespace zor_test_mesh;
  const struct {
    const char* label;
    TestMesh mesh;
    cow_List<int> region;
  } cases[] = {{"jittered hexahedra", HexMesh(4, 8, 0.2, 7), {}},
               {"20-node hexahedra, a region with gaps", HexMesh(3, 20, 0.1, 8), {1, 3, 5, 8, 21}},
               {"tetrahedra", TetMesh(3, 4, 0.15, 9), {}},
               {"plane quadrilaterals", QuadMesh(5, 4, 0.2, 10, "CPS4"), {}},
               {"flat shell region", QuadGrid(3, 3, 0, 3, 0, 3, "S4", 3, 2.0), {7, 2, 4}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ZORTestSourceDatabase db;
    zor_search_test::Stored stored;
    zor_search_test::StoreElements(db, c.mesh, stored, c.region);
    const ZORMtkSimReader& reader = stored.reader;
    const int count = reader.numElements, dims = reader.numCoordComponents;
    std::vector<int> members(static_cast<std::size_t>(count));
    std::vector<double> lo(members.size() * dims), hi(lo.size());
    double average = 0.0, lower[3] = {0, 0, 0}, upper[3] = {0, 0, 0}, margin = 0.3;
    reader.GetElementBoxes(members.data(), lo.data(), hi.data(), average, lower, upper);
    ZORMtkMeshElemB fromBoxes;
    fromBoxes.FormFromBoxes(reader.meshID, dims, members, lo, hi, average, lower, upper, margin);
    const ZORMtkSourceElements read(reader, fromBoxes);
    for (const int threads : {1, 3}) {
      ZORMtkMeshElemB grid;
      grid.FormBuckets(&stored.reader, margin, threads);
      ASSERT_EQ(grid.ElementCount(), count);
      EXPECT_EQ(grid.BucketSize(), fromBoxes.BucketSize());
      for (int a = 0; a < 3; ++a) {
        EXPECT_EQ(grid.Count(a), fromBoxes.Count(a));
        EXPECT_EQ(grid.Origin()[a], fromBoxes.Origin()[a]);
      }
      EXPECT_EQ(grid.EntryCount(), fromBoxes.EntryCount());
      const std::unique_ptr<ZORMtkSourceElements> taken = grid.TakeMesh();
      ASSERT_NE(taken, nullptr);
      EXPECT_EQ(grid.TakeMesh(), nullptr);
      const ZORMtkSourceElements& kept = *taken;
      ASSERT_EQ(kept.ElementCount(), read.ElementCount());
      ASSERT_EQ(kept.NodeCount(), read.NodeCount());
      EXPECT_EQ(kept.MeanLength(), read.MeanLength());
      for (int e = 0; e < count; ++e) {
        EXPECT_EQ(grid.ElementMember(e), fromBoxes.ElementMember(e));
        EXPECT_TRUE(
            std::equal(grid.Box(e), grid.Box(e) + ZORMtkMeshElemB::kBoxStride, fromBoxes.Box(e)))
            << "element " << e;
        EXPECT_EQ(kept.Box(e), grid.Box(e));
        EXPECT_EQ(kept.Kind(e), read.Kind(e));
        ASSERT_EQ(kept.NodeCountOf(e), read.NodeCountOf(e));
        EXPECT_TRUE(std::equal(kept.NodePositions(e), kept.NodePositions(e) + kept.NodeCountOf(e),
                               read.NodePositions(e)));
      }
    }
  }
}

// A mesh read beside a grid of other members keys each element by its position in the grid: with
// the grid's members one above the mesh's, position p holds the mesh's element p + 1 and the last
// position, a member the mesh lacks, no nodes and no kind; at any thread count.
TEST(ZORMtkMeshElemB, AMeshReadBesideAGridKeysItsElementsByTheGridsPositions) {
  const zor_test_mesh::TestMesh mesh = zor_test_mesh::TetMesh(2, 4, 0.1, 5);
  const int perElement = mesh.nodesPerElement;
  const int count = static_cast<int>(mesh.connectivity.size()) / perElement;
  ZORTestSourceDatabase db;
  zor_search_test::Stored stored;
  zor_search_test::StoreElements(db, mesh, stored);
  BoxSet boxes;
  for (int e = 0; e < count; ++e) boxes.Add({0, 0, 0}, {1, 1, 1});
  ZORMtkMeshElemB grid;
  boxes.Form(grid, 0.0, 1, 1);  // the grid's members one above the mesh's elements
  for (const int threads : {1, 2}) {
    const ZORMtkSourceElements read(stored.reader, grid, threads);
    ASSERT_EQ(read.ElementCount(), count);
    EXPECT_EQ(read.Kind(count - 1), ZORElementKind::None);
    EXPECT_EQ(read.NodeCountOf(count - 1), 0);
    for (int p = 0; p + 1 < count; ++p) {
      EXPECT_EQ(read.Kind(p), ZORElementKind::Solid) << p;
      ASSERT_EQ(read.NodeCountOf(p), perElement) << p;
      for (int k = 0; k < perElement; ++k)
        EXPECT_EQ(read.NodeMember(read.NodePositions(p)[k]),
                  mesh.connectivity[static_cast<std::size_t>((p + 1) * perElement + k)])
            << p;
    }
  }
}

// With h = 1 and no margin, a box ending at x = 1 lies in bucket 2 by its upper end and is
// entered one bucket further, in bucket 3; a box ending at 0.9 stops at bucket 2.
TEST(ZORMtkMeshElemB, BoxEndingOnABucketBoundaryIsListedOneBucketUp) {
  BoxSet boxes;
  boxes.Add({0, 0, 0}, {1, 1, 1});
  boxes.Add({0, 0, 0}, {0.9, 1, 1});
  boxes.Add({3, 3, 3}, {4, 4, 4});
  ZORMtkMeshElemB grid;
  boxes.Form(grid, 0.0);
  ASSERT_DOUBLE_EQ(grid.BucketSize(), boxes.average / 3);
  double third[3] = {2.5, 0.5, 0.5}, second[3] = {1.5, 0.5, 0.5};
  EXPECT_EQ(grid.GetBucketElements(third), (cow_List<int>{0}));
  EXPECT_EQ(grid.GetBucketElements(second), (cow_List<int>{0, 1}));
}

// Random boxes: every element whose box, widened by the margin, contains a point is listed in
// the point's bucket, the list is ascending, and Holds tells exactly the elements it lists. A point
// outside the grid, also far outside, gets the nearest boundary bucket: that of the boundary
// bucket's centre along every axis it leaves. A negative margin shrinks the boxes, some below the
// grid's origin: no element is listed in a bucket that starts more than one bucket above its shrunk
// box.
TEST(ZORMtkMeshElemB, BucketListsEveryBoxThatHoldsThePoint) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> corner(0.0, 20.0), size(0.1, 2.5);
  for (const double margin : {0.3, -0.3})
    for (const int dimension : {2, 3}) {
      BoxSet boxes;
      boxes.dimension = dimension;
      for (int e = 0; e < 400; ++e) {
        std::vector<double> lo, hi;
        for (int a = 0; a < dimension; ++a) {
          lo.push_back(corner(rng));
          hi.push_back(lo.back() + size(rng));
        }
        boxes.Add(lo, hi);
      }
      ZORMtkMeshElemB grid;
      boxes.Form(grid, margin);
      const double delta = margin * boxes.average / boxes.Count();
      std::uniform_real_distribution<double> coordinate(-3.0, 25.0);
      for (int t = 0; t < 500; ++t) {
        double p[3] = {coordinate(rng), coordinate(rng), dimension == 3 ? coordinate(rng) : 0.0};
        if (t % 50 == 0) p[t % dimension] *= -1e9;
        const cow_List<int> list = grid.GetBucketElements(p);
        double inside[3] = {p[0], p[1], p[2]};
        for (int a = 0; a < dimension; ++a) {
          const double h = grid.BucketSize(), lo = grid.Origin()[a];
          inside[a] = std::clamp(p[a], lo + h / 2, lo + (grid.Count(a) - 0.5) * h);
        }
        ASSERT_EQ(list, grid.GetBucketElements(inside));
        ASSERT_TRUE(std::is_sorted(list.begin(), list.end()));
        int index[3];
        grid.BucketIndex(inside, index);
        for (int e = 0; e < boxes.Count(); ++e)
          ASSERT_EQ(grid.Holds(e, index), std::binary_search(list.begin(), list.end(), e)) << e;
        for (const int e : list)
          for (int a = 0; a < dimension; ++a) {
            const double h = grid.BucketSize(), lo = grid.Origin()[a];
            const double bucketLower = lo + std::floor((inside[a] - lo) / h) * h;
            const double shrunkUpper =
                boxes.hi[static_cast<std::size_t>(e * dimension + a)] + delta;
            ASSERT_LE(bucketLower, std::max(lo, shrunkUpper + h) + 1e-9) << e << " axis " << a;
          }
        for (int e = 0; e < boxes.Count(); ++e) {
          bool holds = true;
          for (int a = 0; a < dimension; ++a) {
            const std::size_t k = static_cast<std::size_t>(e * dimension + a);
            holds = holds && p[a] >= boxes.lo[k] - delta && p[a] <= boxes.hi[k] + delta;
          }
          if (!holds) continue;
          EXPECT_TRUE(std::find(list.begin(), list.end(), e) != list.end())
              << e << " at " << p[0] << " " << p[1] << " " << p[2];
        }
      }
    }
}

// Three point-like boxes and one unit box share the last bucket, which the largest count must
// include.
TEST(ZORMtkMeshElemB, LargestBucketCountsTheLastBucket) {
  BoxSet boxes;
  boxes.Add({0, 0, 0}, {1, 1, 1});
  boxes.Add({3, 3, 3}, {4, 4, 4});
  for (int e = 0; e < 3; ++e) boxes.Add({4, 4, 4}, {4, 4, 4});
  ZORMtkMeshElemB grid;
  boxes.Form(grid, 0.0);
  double far[3] = {1e9, 1e9, 1e9};
  EXPECT_EQ(grid.GetBucketElements(far), (cow_List<int>{1, 2, 3, 4}));
  EXPECT_EQ(grid.LargestBucket(), 4);
}

// A margin of any size or sign, or not a number, converts without overflow: one wider than the
// grid lists every box in every bucket, one that shrinks the boxes past the grid, or NaN, none.
TEST(ZORMtkMeshElemB, MarginsBeyondTheGridListEveryBoxOrNone) {
  BoxSet boxes;
  for (int e = 0; e < 6; ++e) boxes.Add({1.0 * e, 0.0, 0.0}, {1.0 * e + 1.0, 1.0, 1.0});
  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<double, int> cases[] = {
      {inf, 6}, {1e300, 6}, {-inf, 0}, {-1e300, 0}, {std::nan(""), 0}};
  for (const auto& [margin, listed] : cases) {
    ZORMtkMeshElemB grid;
    boxes.Form(grid, margin);
    for (double x = 0.25; x < 6.0; x += 0.5) {
      double p[3] = {x, 0.5, 0.5};
      EXPECT_EQ(grid.GetBucketElements(p).Size(), listed) << "margin " << margin << " at " << x;
    }
  }
}

// ---- Node grid.

// 3375 and 27000 are cubes whose floating-point cube root falls just below the integer.
TEST(ZORMtkMeshNodeB, CubeRootOfTheNodeCountIsRoundedDownExactly) {
  for (const long long n : {1LL, 7LL, 8LL, 26LL, 3375LL, 27000LL, 999999LL, 1000000LL}) {
    const long long root = ZORMtkBucketFrame::IntegerCubeRoot(n);
    EXPECT_LE(root * root * root, n) << n;
    EXPECT_GT((root + 1) * (root + 1) * (root + 1), n) << n;
  }
}

TEST(ZORMtkMeshNodeB, CoincidentNodesShareOneBucket) {
  ZORMtkMeshNodeB grid;
  grid.FormFromCoordinates(ZORSimDynamicID{}, 2, {5, 5, 5, 5, 5, 5});
  double far[3] = {100, -100, 0};
  EXPECT_EQ(grid.GetBucketNodes(far), (cow_List<int>{0, 1, 2}));
}

// Every node within one and a half bucket edges of a point along every axis is in its bucket, and
// the grid's nearest node is the first nearest of that list (of all nodes when it is empty), for
// points in and far around the nodes: scattered nodes, and lattice nodes (two or three
// dimensions) that half-lattice points tie.
TEST(ZORMtkMeshNodeB, BucketListsEveryNodeWithinReachAndNearestIsTheFirstNearestOfTheList) {
  std::mt19937 rng(9);
  std::uniform_real_distribution<double> coordinate(0.0, 10.0);
  for (const int dimension : {3, 2}) {
    for (const bool lattice : {false, true}) {
      std::vector<double> coords;
      for (int n = 0; n < 800; ++n)
        for (int a = 0; a < dimension; ++a)
          coords.push_back(lattice ? (n >> (3 * a)) % 8 : coordinate(rng));
      ZORMtkMeshNodeB grid;
      grid.FormFromCoordinates(ZORSimDynamicID{}, dimension, coords);
      const double reach = 1.5 * grid.BucketSize();
      for (int t = 0; t < 300; ++t) {
        double p[3] = {0.0, 0.0, 0.0};
        for (int a = 0; a < dimension; ++a)
          p[a] = lattice ? 0.5 * static_cast<int>(coordinate(rng) * 2.4 - 6)
                         : 3 * coordinate(rng) - 10;
        const cow_List<int> list = grid.GetBucketNodes(p);
        ASSERT_TRUE(std::is_sorted(list.begin(), list.end()));
        int first = -1;
        double nearest = 0.0;
        for (int n = 0; n < 800; ++n) {
          bool near = true;
          double d = 0.0;
          for (int a = 0; a < dimension; ++a) {
            const double x = coords[static_cast<std::size_t>(dimension * n + a)];
            near = near && std::fabs(x - p[a]) <= reach;
            d += (x - p[a]) * (x - p[a]);
          }
          EXPECT_TRUE(!near || std::find(list.begin(), list.end(), n) != list.end()) << n;
          const bool listed =
              list.Size() == 0 || std::find(list.begin(), list.end(), n) != list.end();
          if (listed && (first < 0 || d < nearest)) {
            first = n;
            nearest = d;
          }
        }
        double best = -1.0;
        ASSERT_EQ(grid.Nearest(p, best), first) << p[0] << " " << p[1] << " " << p[2];
        EXPECT_EQ(best, nearest);
      }
    }
  }
}

// Random hulls over three blocks of elements, every fifth element without one and some beyond the
// box of the targets: a point's cell lists, ascending, every element whose hull holds the point
// and no element left out, the same on three threads as on one.
TEST(ZORMtkHullIndex, CellsListEveryHullHoldingThePointAndNoElementLeftOut) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> corner(0.0, 20.0), size(0.2, 2.0);
  const int count = 9000;
  std::vector<double> hulls(6 * static_cast<std::size_t>(count));
  for (int e = 0; e < count; ++e)
    for (int a = 0; a < 3; ++a) {
      double* hull = hulls.data() + 6 * e;
      hull[a] = corner(rng);
      hull[3 + a] = hull[a] + size(rng);
    }
  ZORPointBox within;
  within.bounded = true;
  within.upper[0] = 15.0;
  within.upper[1] = within.upper[2] = 25.0;
  const auto leftOut = [&](int e) { return e % 5 == 3 || !within.Meets(hulls.data() + 6 * e); };
  const ZORMtkHullIndex::HullOf hullOf = [&](int e, double* hull) {
    std::copy_n(hulls.data() + 6 * e, 6, hull);
    return e % 5 != 3;
  };
  const ZORMtkHullIndex one(count, hullOf, 1, within), three(count, hullOf, 3, within);
  int kept = 0;
  for (int e = 0; e < count; ++e) kept += leftOut(e) ? 0 : 1;
  EXPECT_EQ(one.HullCount(), kept);
  std::uniform_real_distribution<double> coordinate(-1.0, 23.0);
  for (int t = 0; t < 3000; ++t) {
    const double p[3] = {coordinate(rng), coordinate(rng), coordinate(rng)};
    int size1 = 0, size3 = 0;
    const int* cell1 = one.Cell(p, size1);
    const int* cell3 = three.Cell(p, size3);
    const std::vector<int> listed(cell1, cell1 + size1);
    ASSERT_EQ(listed, std::vector<int>(cell3, cell3 + size3));
    ASSERT_TRUE(std::is_sorted(listed.begin(), listed.end()));
    for (const int e : listed) ASSERT_FALSE(leftOut(e)) << e;
    for (int e = 0; e < count; ++e) {
      const double* hull = hulls.data() + 6 * e;
      bool holds = !leftOut(e);
      for (int a = 0; a < 3; ++a) holds = holds && p[a] >= hull[a] && p[a] <= hull[3 + a];
      ASSERT_TRUE(!holds || std::binary_search(listed.begin(), listed.end(), e)) << e;
    }
  }
}

}  // namespace
