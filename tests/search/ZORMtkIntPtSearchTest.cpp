#include <gtest/gtest.h>

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

using zor_test_mesh::TestMesh;

class ZORMtkIntPtSearchTest : public zor_search_test::SearchFixture<ZORMtkElementWeights> {
 protected:
  void Search() {
    double margin = 0.5;
    grid.FormBuckets(&source.reader, margin);
    ZORMtkIntPtSearch::SearchPointsInElements(weights, grid, source.reader, target.reader,
                                              ZORSearchOptions{{0.3, 0.5}, {}}, misses);
  }
  // Source: a 2 x 2 plane mesh of unit "CPE4" squares over [0, 2]^2, element i + 2j at cell
  // (i, j); target: the given elements.
  void Store(const std::vector<TestMesh>& targets) {
    zor_search_test::StoreElements(db, zor_test_mesh::QuadGrid(2, 2, 0, 2, 0, 2, "CPE4"), source);
    target.mesh = db.AddMesh();
    db.AddNodes(target.mesh, targets[0].dimension, targets[0].coords);
    for (const TestMesh& m : targets)
      db.AddElements(target.mesh, m.type, m.nodesPerElement, m.connectivity);
    target.reader.SetElsetRegion(db.Root(), target.mesh, {});
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
  Store({zor_test_mesh::QuadGrid(1, 1, 1.5, 3.5, 0, 1, "CPE4")});
  Search();
  ASSERT_EQ(weights.ElementCount(), 1);
  ASSERT_EQ(weights.PointCount(0), 4);
  for (int q = 0; q < 4; ++q) EXPECT_EQ(weights.PointSource(0, q), q % 2 == 0 ? 1 : -1) << q;
  EXPECT_EQ(zor_search_test::Members(misses, ZORSearchMiss::Kind::PointNotPlaced),
            (std::vector<int>{0, 0}));
  EXPECT_NEAR(misses.misses[1].coords[1], 0.5 + 0.5 * 0.57735026918963, 1e-12);
  EXPECT_EQ(weights.SourceElementCount(), 1);
  EXPECT_EQ(weights.TargetCount(0), 2);
}

// A shell class without a point table is skipped and named; the one-point shell's point is
// placed.
TEST_F(ZORMtkIntPtSearchTest, ClassesWithoutPointTablesAreSkippedAndNamedAndTheRestPlaced) {
  const TestMesh square = zor_test_mesh::QuadGrid(1, 1, 0.25, 0.75, 0.25, 0.75, "S4R", 3);
  Store({{"S3", 3, 3, square.coords, {0, 1, 2}}, square});
  const std::string errors = zor_search_test::Captured(aio_cerr, "0", [this] { Search(); });
  EXPECT_EQ(errors,
            " Integration-point search skips element class S3: it has no integration-point "
            "table\n");
  ASSERT_EQ(weights.ElementCount(), 1);
  EXPECT_EQ(weights.ElementMember(0), 1);
  ASSERT_EQ(weights.PointCount(0), 1);
  EXPECT_EQ(weights.PointSource(0, 0), 0);
}

}  // namespace
