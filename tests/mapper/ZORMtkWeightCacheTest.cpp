#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <vector>

#include "mapper/impl/ZORMtkMappingContext.h"
#include "mapper/impl/ZORMtkRowForm.h"
#include "mapper/impl/ZORMtkWeightLinks.h"
#include "platform/ZORStream.h"
#include "search/ZORMtkMeshElemB.h"
#include "search/ZORSearchTestMeshes.h"
#include "search/impl/ZORMtkElementWeights.h"
#include "search/impl/ZORMtkMeshNodeB.h"
#include "search/impl/ZORMtkNodalWeights.h"
#include "support/ZORTestCapture.h"

// The mapper's caches as the transfers use them: one search per key, distinct keys kept apart,
// at most 50 objects of a kind, and the reverse mode with its fallback.

namespace {

using zor_search_test::Stored;

class ZORMtkWeightCacheTest : public ::testing::Test {
 protected:
  ZORTestSourceDatabase db;
  Stored coarse;  // one hexahedron over [0, 2]^3
  Stored fine;    // 2 x 2 x 2 hexahedra over the same cube, plus a node outside it
  ZORMtkMappingContext context{0.3, 0.5};

  void SetUp() override {
    coarse.mesh = db.AddHexBox(1, 1, 1, 2.0);
    coarse.reader.SetElsetRegion(db.Root(), coarse.mesh, {});
    fine.mesh = db.AddHexBox(2, 2, 2, 1.0);
    fine.reader.SetElsetRegion(db.Root(), fine.mesh, {});
    context.readers.push_back(&coarse.reader);
    context.readers.push_back(&fine.reader);
  }

  const ZORMtkNodalWeights* Nodal(int method, bool reverse = false, bool noFallback = false) {
    return context.cache.NodalWeights(context, method, coarse.mesh, fine.mesh, reverse, noFallback);
  }
};

// The same request returns the same object without searching again (its flags are not raised
// again); method, direction and meshes each make a key of their own.
TEST_F(ZORMtkWeightCacheTest, EachKeySearchesOnceAndKeysSeparateMethodsDirectionsAndMeshes) {
  Stored outside;
  zor_search_test::StorePoints(db, {{1, 1, 1}, {9, 9, 9}}, outside);
  context.readers.push_back(&outside.reader);
  const ZORMtkNodalWeights* first =
      context.cache.NodalWeights(context, 0, coarse.mesh, outside.mesh, false, false);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->targetMesh, outside.mesh);
  EXPECT_EQ(context.diagnostics.ErrorFlags(), 2 | 4);
  context.diagnostics.ClearErrors();
  EXPECT_EQ(context.cache.NodalWeights(context, 0, coarse.mesh, outside.mesh, false, false), first);
  EXPECT_EQ(context.diagnostics.ErrorFlags(), 0);

  const ZORMtkNodalWeights* shape = Nodal(0);
  EXPECT_EQ(shape->sourceMesh, coarse.mesh);
  EXPECT_EQ(Nodal(2), shape);  // neither is nearest node
  const ZORMtkNodalWeights* nearest = Nodal(1);
  EXPECT_TRUE(nearest->nearestNode);
  const ZORMtkNodalWeights* reversed = Nodal(0, true, true);
  const ZORMtkNodalWeights* swapped =
      context.cache.NodalWeights(context, 0, fine.mesh, coarse.mesh, false, false);
  for (const ZORMtkNodalWeights* other : {nearest, reversed, swapped, first})
    EXPECT_NE(other, shape);
  EXPECT_EQ(context.cache.NodalWeightCount(), 5);
  EXPECT_EQ(Nodal(1), nearest);
  EXPECT_EQ(Nodal(0, true, true), reversed);
}

// Grids are formed once per source mesh; element weights are cached by both meshes; a mesh no
// reader covers gives nothing and caches nothing.
TEST_F(ZORMtkWeightCacheTest, GridsAndElementWeightsAreFormedOncePerKey) {
  ZORMtkMeshElemB* grid = context.cache.ElementGrid(context, coarse.mesh);
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->SourceID(), coarse.mesh);
  EXPECT_EQ(context.cache.ElementGrid(context, coarse.mesh), grid);
  EXPECT_NE(context.cache.ElementGrid(context, fine.mesh), grid);
  ZORMtkMeshNodeB* nodes = context.cache.NodeGrid(context, fine.mesh);
  EXPECT_EQ(context.cache.NodeGrid(context, fine.mesh), nodes);
  const ZORMtkElementWeights* weights =
      context.cache.ElementWeights(context, coarse.mesh, fine.mesh);
  ASSERT_NE(weights, nullptr);
  EXPECT_EQ(weights->sourceMesh, coarse.mesh);
  EXPECT_EQ(context.cache.ElementWeights(context, coarse.mesh, fine.mesh), weights);
  EXPECT_NE(context.cache.ElementWeights(context, fine.mesh, coarse.mesh), weights);
  EXPECT_NE(context.cache.ElementWeights(context, coarse.mesh, coarse.mesh), weights);
  Nodal(0);
  EXPECT_EQ(context.cache.ElementGridCount(), 2);
  EXPECT_EQ(context.cache.NodeGridCount(), 1);
  EXPECT_EQ(context.cache.ElementWeightCount(), 3);

  Stored unknown;
  zor_search_test::StorePoints(db, {{0, 0, 0}}, unknown);
  EXPECT_EQ(context.cache.NodalWeights(context, 0, coarse.mesh, unknown.mesh, false, false),
            nullptr);
  EXPECT_EQ(context.cache.ElementWeights(context, unknown.mesh, coarse.mesh), nullptr);
  EXPECT_EQ(context.cache.NodalWeightCount(), 1);
  EXPECT_EQ(context.cache.ElementWeightCount(), 3);
}

// Reverse: the coarse mesh's 8 nodes are placed in the fine elements, which reaches only 8 of the
// 27 fine nodes. Without the fallback those links stay, reported as source points; with it the
// fine nodes are placed in the coarse element and the links turned round: every coarse node
// spreads over fine nodes with weights summing to one, and every fine node is reached.
TEST_F(ZORMtkWeightCacheTest, ReverseKeepsItsLinksWithoutFallbackAndTransposesTheForwardOnes) {
  const ZORMtkNodalWeights* kept = Nodal(0, true, true);
  EXPECT_TRUE(kept->reversed && kept->noFallback);
  EXPECT_EQ(context.diagnostics.ReportSide(), 0);
  ASSERT_EQ(kept->KeyCount(), 8);
  for (int k = 0; k < 8; ++k) EXPECT_EQ(kept->PartnerCount(k), 1);
  EXPECT_TRUE(kept->HasUncoveredNodes(27));

  const ZORMtkNodalWeights* weights = Nodal(0, true, false);
  EXPECT_TRUE(weights->reversed && !weights->noFallback);
  EXPECT_EQ(context.diagnostics.ReportSide(), 1);
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
  EXPECT_EQ(context.cache.NodalWeightCount(), 2);
}

// A second transfer between the same regions reads the row form the first one left beside the
// weights, copying nothing. A new key region (a changed scope) gets a form of its own, or, when it
// leaves out nodes that have weights between nodes it keeps, links copied for the transfer.
TEST_F(ZORMtkWeightCacheTest, RowLinksAreKeptBesideTheWeightsUntilARegionChanges) {
  const ZORMtkNodalWeights* weights = Nodal(0);
  ZORMtkNodeLinks built;
  const ZORMtkNodeLinkView first = ZORMtkWeightLinks::RowLinks(
      context, weights, fine.reader.nodeRegion, coarse.reader.nodeRegion, built);
  EXPECT_EQ(built.partnerRows.size(), 0u);
  ASSERT_EQ(first.KeyCount(), 27);
  EXPECT_EQ(first.weights, weights->Weights(0));
  const ZORMtkNodeLinkView second = ZORMtkWeightLinks::RowLinks(
      context, weights, fine.reader.nodeRegion, coarse.reader.nodeRegion, built);
  EXPECT_EQ(second.offsets, first.offsets);
  EXPECT_EQ(second.partnerRows, first.partnerRows);
  std::vector<int> counts;
  std::vector<int> all;
  for (int member = 0; member < 27; ++member) {
    counts.push_back(first.LinkCount(member));
    all.push_back(member);
  }

  // The old form, and its view, go when the new one comes.
  const ZORSimCSetID same = db.Set(db.NodeCollection(fine.mesh), all);
  const ZORMtkNodeLinkView renewed =
      ZORMtkWeightLinks::RowLinks(context, weights, same, coarse.reader.nodeRegion, built);
  EXPECT_EQ(built.partnerRows.size(), 0u);
  EXPECT_EQ(context.cache.RowForm(weights)->Fits(same, coarse.reader.nodeRegion), true);
  ASSERT_EQ(renewed.KeyCount(), 27);
  const ZORSimCSetID fewer = db.Set(db.NodeCollection(fine.mesh), {0, 13, 26});
  const ZORMtkNodeLinkView narrowed =
      ZORMtkWeightLinks::RowLinks(context, weights, fewer, coarse.reader.nodeRegion, built);
  EXPECT_EQ(narrowed.offsets, built.offsets.data());
  ASSERT_EQ(narrowed.KeyCount(), 3);
  for (int key = 0; key < 3; ++key)
    EXPECT_EQ(narrowed.LinkCount(key), counts[static_cast<std::size_t>(13 * key)]);
}

TEST_F(ZORMtkWeightCacheTest, FiftyFirstObjectReplacesTheOldestAfterTheMessage) {
  std::vector<std::unique_ptr<Stored>> targets;
  for (int i = 0; i < 51; ++i) {
    targets.push_back(std::make_unique<Stored>());
    zor_search_test::StorePoints(db, {{0.1 * i, 1, 1}}, *targets.back());
    context.readers.push_back(&targets.back()->reader);
  }
  const CapturedStream out(aio_cout);
  for (int i = 0; i < 50; ++i)
    context.cache.NodalWeights(context, 0, coarse.mesh, targets[i]->mesh, false, false);
  EXPECT_EQ(out.Text(), "");
  // A row form goes with its weights and stays beside them when older weights go.
  const ZORMtkNodalWeights* second = context.cache.NodalWeightsAt(1);
  const ZORMtkRowForm* form = context.cache.KeepRowForm(
      second, std::make_unique<ZORMtkRowForm>(*second, targets[1]->reader.nodeRegion,
                                              coarse.reader.nodeRegion, 1));
  context.cache.KeepRowForm(
      context.cache.NodalWeightsAt(0),
      std::make_unique<ZORMtkRowForm>(*context.cache.NodalWeightsAt(0),
                                      targets[0]->reader.nodeRegion, coarse.reader.nodeRegion, 1));
  const ZORMtkNodalWeights* last =
      context.cache.NodalWeights(context, 0, coarse.mesh, targets[50]->mesh, false, false);
  EXPECT_EQ(out.Text(), " ZORMtkMapper::GetNodalWeights exceeds allocated weight objects\n");
  ASSERT_EQ(context.cache.NodalWeightCount(), 50);
  EXPECT_EQ(context.cache.NodalWeightsAt(0)->targetMesh, targets[1]->mesh);
  EXPECT_EQ(context.cache.NodalWeightsAt(49), last);
  EXPECT_EQ(context.cache.RowForm(second), form);
  EXPECT_EQ(context.cache.RowForm(last), nullptr);
}

}  // namespace
