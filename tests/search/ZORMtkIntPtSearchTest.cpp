#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "element/ZORMtkElementData.h"
#include "platform/ZORStream.h"
#include "search/ZORMtkMeshElemB.h"
#include "search/ZORSearchTestMeshes.h"
#include "search/impl/ZORMtkElementWeights.h"
#include "search/impl/ZORMtkIntPtSearch.h"

// The integration-point search: points formed from the target elements' nodes, placed like
// nodes, one pair per point in point order.

namespace {

using zor_search_test::Stored;
using zor_test_mesh::TestMesh;

class ZORMtkIntPtSearchTest : public ::testing::Test {
 protected:
  ZORTestSourceDatabase db;
  Stored source;
  Stored target;
  ZORMtkMeshElemB grid;
  ZORSearchMisses misses;
  ZORMtkElementWeights weights;

  void Search() {
    double margin = 0.5;
    grid.FormBuckets(&source.reader, margin);
    ZORMtkIntPtSearch::SearchPointsInElements(weights, grid, source.reader, target.reader,
                                              ZORSearchOptions{{0.3, 0.5}, {}}, misses);
  }

  // A 2 x 2 plane mesh of unit "CPE4" squares over [0, 2]^2, element i + 2j at cell (i, j).
  void StoreSquareSource() {
    source.mesh = db.AddMesh();
    std::vector<double> coords;
    for (int j = 0; j <= 2; ++j)
      for (int i = 0; i <= 2; ++i) coords.insert(coords.end(), {1.0 * i, 1.0 * j});
    db.AddNodes(source.mesh, 2, coords);
    std::vector<int> connectivity;
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i < 2; ++i)
        connectivity.insert(connectivity.end(),
                            {i + 3 * j, i + 1 + 3 * j, i + 1 + 3 * (j + 1), i + 3 * (j + 1)});
    db.AddElements(source.mesh, "CPE4", 4, connectivity);
    source.reader.SetElsetRegion(db.Root(), source.mesh, {});
  }
};

// Every point of every element of a perturbed quadrilateral mesh lies in its own element and gets
// that element's shape values at the point: the integration-point table's column.
TEST_F(ZORMtkIntPtSearchTest, IdenticalMeshPlacesEveryPointInItsOwnElement) {
  const TestMesh m = zor_test_mesh::QuadMesh(4, 4, 0.1, 41, "CPE4");
  zor_search_test::StoreElements(db, m, source);
  zor_search_test::StoreElements(db, m, target);
  Search();
  EXPECT_TRUE(misses.misses.empty());
  std::vector<double> N(16);
  ZORMtkElementData::GetIntPtShapeValues("CPE4", N.data());
  ASSERT_EQ(weights.ElementCount(), m.ElementCount());
  for (int e = 0; e < m.ElementCount(); ++e) {
    ASSERT_EQ(weights.ElementMember(e), e);
    ASSERT_EQ(weights.PointCount(e), 4);
    for (int q = 0; q < 4; ++q) {
      EXPECT_EQ(weights.PointSource(e, q), e) << "element " << e << " point " << q;
      ASSERT_EQ(weights.PointWeightCount(e, q), 4);
      for (int k = 0; k < 4; ++k)
        EXPECT_NEAR(weights.PointWeights(e, q)[k], N[static_cast<std::size_t>(k * 4 + q)], 1e-5)
            << "element " << e << " point " << q << " node " << k;
    }
  }
  ASSERT_EQ(weights.SourceElementCount(), m.ElementCount());
  EXPECT_EQ(weights.TargetCount(2), 4);
  EXPECT_EQ(weights.Targets(2)[3], 2);
}

// A target square over [1.5, 3.5] x [0, 1] reaches beyond the source: its points at x = 3.08
// (2 and 4 in point order) are not placed, and keep their places in the element's pairs.
TEST_F(ZORMtkIntPtSearchTest, UnplacedPointsKeepTheirPlaceAndAreReported) {
  StoreSquareSource();
  target.mesh = db.AddMesh();
  db.AddNodes(target.mesh, 2, {1.5, 0, 3.5, 0, 3.5, 1, 1.5, 1});
  db.AddElements(target.mesh, "CPE4", 4, {0, 1, 2, 3});
  target.reader.SetElsetRegion(db.Root(), target.mesh, {});
  Search();
  ASSERT_EQ(weights.ElementCount(), 1);
  ASSERT_EQ(weights.PointCount(0), 4);
  EXPECT_EQ(weights.PointSource(0, 0), 1);
  EXPECT_EQ(weights.PointSource(0, 1), -1);
  EXPECT_EQ(weights.PointSource(0, 2), 1);
  EXPECT_EQ(weights.PointSource(0, 3), -1);
  EXPECT_EQ(zor_search_test::Members(misses, ZORSearchMiss::Kind::PointNotPlaced),
            (std::vector<int>{0, 0}));
  const double g = 0.57735026918963;
  EXPECT_NEAR(misses.misses[0].coords[0], 2.5 + g, 1e-12);
  EXPECT_NEAR(misses.misses[0].coords[1], 0.5 - 0.5 * g, 1e-12);
  EXPECT_NEAR(misses.misses[1].coords[1], 0.5 + 0.5 * g, 1e-12);
  EXPECT_EQ(misses.misses[1].coords[2], 0.0);
  EXPECT_EQ(weights.SourceElementCount(), 1);
  EXPECT_EQ(weights.TargetCount(0), 2);
}

TEST_F(ZORMtkIntPtSearchTest, ClassesWithoutPointTablesAreSkippedAndNamed) {
  StoreSquareSource();
  target.mesh = db.AddMesh();
  db.AddNodes(target.mesh, 3, {0.2, 0.2, 0, 0.8, 0.2, 0, 0.8, 0.8, 0, 0.2, 0.8, 0});
  db.AddElements(target.mesh, "S3", 3, {0, 1, 2});
  db.AddElements(target.mesh, "S4R", 4, {0, 1, 2, 3});
  target.reader.SetElsetRegion(db.Root(), target.mesh, {});
  std::ostringstream errors;
  aio_cerr.SetTarget(&errors);
  Search();
  aio_cerr.SetTarget(nullptr);
  EXPECT_EQ(errors.str(),
            " Integration-point search skips element class S3: it has no integration-point "
            "table\n");
  ASSERT_EQ(weights.ElementCount(), 1);
  EXPECT_EQ(weights.ElementMember(0), 1);
  ASSERT_EQ(weights.PointCount(0), 1);
  EXPECT_EQ(weights.PointSource(0, 0), 0);
}

TEST_F(ZORMtkIntPtSearchTest, TraceNamesElementsAndPointsButNotTolerances) {
  StoreSquareSource();
  target.mesh = db.AddMesh();
  db.AddNodes(target.mesh, 2, {0.25, 0.25, 0.75, 0.25, 0.75, 0.75, 0.25, 0.75});
  db.AddElements(target.mesh, "CPE4R", 4, {0, 1, 2, 3});
  target.reader.SetElsetRegion(db.Root(), target.mesh, {});
  setenv("ODB_MAP_DEBUG", "9", 1);
  std::ostringstream trace;
  aio_cout.SetTarget(&trace);
  Search();
  aio_cout.SetTarget(nullptr);
  unsetenv("ODB_MAP_DEBUG");
  EXPECT_EQ(trace.str(),
            "Target element 0 Integration point 0\n"
            " 0.5 0.5 0\n"
            " FIRST TRY \n"
            "   ... candidate source element 0 \n");
}

}  // namespace
