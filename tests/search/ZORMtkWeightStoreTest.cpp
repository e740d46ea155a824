#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

#include "mapper/ZORMtkMapper.h"
#include "platform/ZORStream.h"
#include "search/ZORMtkElementWeights.h"
#include "search/ZORMtkMeshElemB.h"
#include "search/ZORMtkMeshNodeB.h"
#include "search/ZORMtkNodalWeights.h"
#include "search/ZORMtkWeightStore.h"
#include "search/ZORSearchTestMeshes.h"

// The mapper's caches as the transfers use them: one search per key, distinct keys kept apart,
// at most 50 objects of a kind, and the reverse mode with its fallback.

namespace {

using zor_search_test::Stored;

class ZORMtkWeightStoreTest : public ::testing::Test {
 protected:
  ZORTestSourceDatabase db;
  Stored coarse;  // one hexahedron over [0, 2]^3
  Stored fine;    // 2 x 2 x 2 hexahedra over the same cube, plus a node outside it
  ZORMtkMapper mapper;

  void SetUp() override {
    coarse.mesh = db.AddHexBox(1, 1, 1, 2.0);
    coarse.reader.SetElsetRegion(db.Root(), coarse.mesh, {});
    fine.mesh = db.AddHexBox(2, 2, 2, 1.0);
    fine.reader.SetElsetRegion(db.Root(), fine.mesh, {});
    mapper.SetReader(&coarse.reader);
    mapper.SetReader(&fine.reader);
  }

  ZORMtkNodalWeights* Nodal(int method, bool reverse = false, bool noFallback = false) {
    return ZORMtkWeightStore::GetNodalWeights(mapper, method, coarse.mesh, fine.mesh, reverse,
                                              noFallback);
  }
};

TEST_F(ZORMtkWeightStoreTest, SameRequestReturnsTheSameObjectAndSearchesOnce) {
  Stored outside;
  zor_search_test::StorePoints(db, {{1, 1, 1}, {9, 9, 9}}, outside);
  mapper.SetReader(&outside.reader);
  ZORMtkNodalWeights* first =
      ZORMtkWeightStore::GetNodalWeights(mapper, 0, coarse.mesh, outside.mesh, false, false);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(mapper.Diagnostics().ErrorFlags(), 2 | 4);
  mapper.Diagnostics().ClearErrors();
  EXPECT_EQ(ZORMtkWeightStore::GetNodalWeights(mapper, 0, coarse.mesh, outside.mesh, false, false),
            first);
  EXPECT_EQ(mapper.Diagnostics().ErrorFlags(), 0);
  EXPECT_EQ(mapper.NodalWeights().Count(), 1);
  EXPECT_EQ(first->sourceMesh, coarse.mesh);
  EXPECT_EQ(first->targetMesh, outside.mesh);
}

TEST_F(ZORMtkWeightStoreTest, KeysSeparateMethodsDirectionsAndMeshes) {
  ZORMtkNodalWeights* shape = Nodal(0);
  EXPECT_EQ(Nodal(2), shape);  // neither is nearest node
  ZORMtkNodalWeights* nearest = Nodal(1);
  EXPECT_NE(nearest, shape);
  EXPECT_TRUE(nearest->nearestNode);
  ZORMtkNodalWeights* reversed = Nodal(0, true, true);
  EXPECT_NE(reversed, shape);
  EXPECT_TRUE(reversed->reversed);
  ZORMtkNodalWeights* swapped =
      ZORMtkWeightStore::GetNodalWeights(mapper, 0, fine.mesh, coarse.mesh, false, false);
  EXPECT_NE(swapped, shape);
  EXPECT_EQ(mapper.NodalWeights().Count(), 4);
  EXPECT_EQ(Nodal(1), nearest);
  EXPECT_EQ(Nodal(0, true, true), reversed);
}

TEST_F(ZORMtkWeightStoreTest, GridsAreFormedOncePerSourceMesh) {
  ZORMtkMeshElemB* grid = ZORMtkWeightStore::GetElementBuckets(mapper, coarse.mesh);
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->SourceID(), coarse.mesh);
  EXPECT_EQ(ZORMtkWeightStore::GetElementBuckets(mapper, coarse.mesh), grid);
  EXPECT_NE(ZORMtkWeightStore::GetElementBuckets(mapper, fine.mesh), grid);
  ZORMtkMeshNodeB* nodes = ZORMtkWeightStore::GetNodeBuckets(mapper, fine.mesh);
  EXPECT_EQ(ZORMtkWeightStore::GetNodeBuckets(mapper, fine.mesh), nodes);
  EXPECT_EQ(mapper.ElementGrids().Count(), 2);
  EXPECT_EQ(mapper.NodeGrids().Count(), 1);
  Nodal(0);
  EXPECT_EQ(mapper.ElementGrids().Count(), 2);
}

TEST_F(ZORMtkWeightStoreTest, ElementWeightsAreCachedByBothMeshes) {
  ZORMtkElementWeights* weights =
      ZORMtkWeightStore::GetElementWeights(mapper, coarse.mesh, fine.mesh);
  ASSERT_NE(weights, nullptr);
  EXPECT_EQ(ZORMtkWeightStore::GetElementWeights(mapper, coarse.mesh, fine.mesh), weights);
  EXPECT_NE(ZORMtkWeightStore::GetElementWeights(mapper, fine.mesh, coarse.mesh), weights);
  EXPECT_EQ(mapper.ElementWeights().Count(), 2);
  EXPECT_EQ(weights->sourceMesh, coarse.mesh);
}

TEST_F(ZORMtkWeightStoreTest, MissingReaderGivesNothingAndCachesNothing) {
  Stored unknown;
  zor_search_test::StorePoints(db, {{0, 0, 0}}, unknown);
  EXPECT_EQ(ZORMtkWeightStore::GetNodalWeights(mapper, 0, coarse.mesh, unknown.mesh, false, false),
            nullptr);
  EXPECT_EQ(ZORMtkWeightStore::GetElementWeights(mapper, unknown.mesh, coarse.mesh), nullptr);
  EXPECT_EQ(mapper.NodalWeights().Count(), 0);
  EXPECT_EQ(mapper.ElementWeights().Count(), 0);
}

// Reverse: the coarse mesh's 8 nodes are placed in the fine elements, which reaches only 8 of the
// 27 fine nodes. Without the fallback those links stay, reported as source points; with it the
// fine nodes are placed in the coarse element and the links turned round: every coarse node
// spreads over fine nodes with weights summing to one, and every fine node is reached.
TEST_F(ZORMtkWeightStoreTest, ReverseKeepsItsLinksWithoutFallback) {
  ZORMtkNodalWeights* weights = Nodal(0, true, true);
  EXPECT_TRUE(weights->reversed);
  EXPECT_TRUE(weights->noFallback);
  EXPECT_EQ(mapper.Diagnostics().ReportSide(), 0);
  ASSERT_EQ(weights->KeyCount(), 8);
  for (int k = 0; k < 8; ++k) EXPECT_EQ(weights->PartnerCount(k), 1);
  EXPECT_TRUE(weights->HasUncoveredNodes(27));
}

TEST_F(ZORMtkWeightStoreTest, ReverseFallsBackToTheTransposedForwardLinks) {
  ZORMtkNodalWeights* weights = Nodal(0, true, false);
  EXPECT_TRUE(weights->reversed);
  EXPECT_FALSE(weights->noFallback);
  EXPECT_EQ(mapper.Diagnostics().ReportSide(), 1);
  EXPECT_EQ(weights->sourceMesh, coarse.mesh);
  ASSERT_EQ(weights->KeyCount(), 8);
  std::set<int> reached;
  for (int k = 0; k < 8; ++k) {
    double sum = 0.0;
    for (int p = 0; p < weights->PartnerCount(k); ++p) {
      sum += weights->Weights(k)[p];
      if (std::fabs(weights->Weights(k)[p]) > 1e-12) reached.insert(weights->Partners(k)[p]);
    }
    EXPECT_NEAR(sum, 1.0, 1e-12) << "key " << weights->Key(k);
  }
  EXPECT_EQ(reached.size(), 27u);
  EXPECT_EQ(mapper.NodalWeights().Count(), 1);
}

TEST_F(ZORMtkWeightStoreTest, FiftyFirstObjectReplacesTheOldestAfterTheMessage) {
  std::vector<std::unique_ptr<Stored>> targets;
  for (int i = 0; i < 51; ++i) {
    targets.push_back(std::make_unique<Stored>());
    zor_search_test::StorePoints(db, {{0.1 * i, 1, 1}}, *targets.back());
    mapper.SetReader(&targets.back()->reader);
  }
  std::ostringstream out;
  aio_cout.SetTarget(&out);
  for (int i = 0; i < 50; ++i)
    ZORMtkWeightStore::GetNodalWeights(mapper, 0, coarse.mesh, targets[i]->mesh, false, false);
  EXPECT_EQ(out.str(), "");
  ZORMtkNodalWeights* last =
      ZORMtkWeightStore::GetNodalWeights(mapper, 0, coarse.mesh, targets[50]->mesh, false, false);
  aio_cout.SetTarget(nullptr);
  EXPECT_EQ(out.str(), " ZORMtkMapper::GetNodalWeights exceeds allocated weight objects\n");
  ASSERT_EQ(mapper.NodalWeights().Count(), 50);
  EXPECT_EQ(mapper.NodalWeights().At(0)->targetMesh, targets[1]->mesh);
  EXPECT_EQ(mapper.NodalWeights().At(49), last);
}

}  // namespace
