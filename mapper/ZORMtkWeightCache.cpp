#include "mapper/impl/ZORMtkWeightCache.h"

#include <algorithm>
#include <memory>

#include "mapper/ZORMtkMapSpecs.h"
#include "mapper/impl/ZORMtkMappingContext.h"
#include "mapper/impl/ZORMtkRowForm.h"
#include "platform/ZORStream.h"
#include "platform/impl/ZORParallelFor.h"
#include "reader/ZORMtkSimReader.h"
#include "search/ZORMtkMeshElemB.h"
#include "search/impl/ZORMtkElementWeights.h"
#include "search/impl/ZORMtkIntPtSearch.h"
#include "search/impl/ZORMtkMeshNodeB.h"
#include "search/impl/ZORMtkNodalSearch.h"
#include "search/impl/ZORMtkNodalWeights.h"

namespace {

constexpr int kCacheCapacity = 50;

// Keeps a cache within its capacity by giving up its oldest object for the new one.
template <typename T>
T* Store(ZORMtkOwnedTable<T>& cache, std::unique_ptr<T> object) {
  return cache.IsFull() ? cache.ReplaceOldest(std::move(object)) : cache.Append(std::move(object));
}

template <typename Grid>
Grid* FormGrid(ZORMtkMappingContext& context, ZORMtkOwnedTable<Grid>& cache,
               const ZORSimDynamicID& source) {
  for (int slot = 0; slot < cache.Count(); ++slot) {
    if (cache.At(slot)->SourceID() == source) return cache.At(slot);
  }
  ZORMtkSimReader* reader = context.FindReader(source);
  if (reader == nullptr) return nullptr;
  auto grid = std::make_unique<Grid>();
  double margin = std::max(context.tolerances.boundary, context.tolerances.normal);
  grid->FormBuckets(reader, margin, ZORParallelFor::ResolveThreads(context.options.threads));
  return Store(cache, std::move(grid));
}

bool SameKey(const ZORMtkNodalWeights& weights, int mapMethod, const ZORSimDynamicID& source,
             const ZORSimDynamicID& target, bool reverse, bool noFallback, bool fallback,
             bool containing) {
  return weights.sourceMesh == source && weights.targetMesh == target &&
         weights.reversed == reverse && weights.noFallback == noFallback &&
         weights.nearestNode == (mapMethod == MethodNearestNode) &&
         weights.nearestFallback == (fallback && !reverse) && weights.containing == containing;
}

// Shape interpolation with the elements of hostMesh as hosts and the nodes of pointMesh as keys;
// both readers are known to exist.
// With nearestFallback, unplaced nodes are linked to their nearest host node.
std::unique_ptr<ZORMtkNodalWeights> SearchNodes(ZORMtkMappingContext& context,
                                                const ZORSimDynamicID& hostMesh,
                                                const ZORSimDynamicID& pointMesh,
                                                bool nearestFallback) {
  auto weights = std::make_unique<ZORMtkNodalWeights>();
  ZORSearchOptions options = context.SearchOptions();
  if (nearestFallback) options.nearestFallback = context.cache.NodeGrid(context, hostMesh);
  ZORSearchMisses misses;
  ZORMtkMeshElemB* grid = context.cache.ElementGrid(context, hostMesh);
  ZORMtkNodalSearch::SearchNodesInElements(*weights, *grid, *context.FindReader(hostMesh),
                                           *context.FindReader(pointMesh), options, misses);
  context.Report(misses);
  return weights;
}

// Reverse links leave target nodes without a partner when the source mesh is coarser than the
// target's elements; then the usual direction is searched and turned round, each source node
// taking the target nodes that interpolate from it, with weights scaled to sum to one.
std::unique_ptr<ZORMtkNodalWeights> FallBack(ZORMtkMappingContext& context,
                                             const ZORSimDynamicID& source,
                                             const ZORSimDynamicID& target) {
  context.diagnostics.ClearErrors();
  context.diagnostics.SetReportSide(1);
  std::unique_ptr<ZORMtkNodalWeights> weights = SearchNodes(context, source, target, false);
  weights->TransposeWeights();
  weights->NormalizeWeights();
  return weights;
}

std::unique_ptr<ZORMtkNodalWeights> NearestNodes(ZORMtkMappingContext& context,
                                                 const ZORSimDynamicID& hostMesh,
                                                 const ZORSimDynamicID& pointMesh) {
  auto weights = std::make_unique<ZORMtkNodalWeights>();
  ZORSearchMisses misses;
  ZORMtkNodalSearch::FindNearestNodes(*weights, *context.cache.NodeGrid(context, hostMesh),
                                      *context.FindReader(hostMesh), *context.FindReader(pointMesh),
                                      context.SearchOptions(), misses);
  context.Report(misses);
  return weights;
}

std::unique_ptr<ZORMtkNodalWeights> ComputeNodalWeights(ZORMtkMappingContext& context,
                                                        int mapMethod,
                                                        const ZORSimDynamicID& source,
                                                        const ZORSimDynamicID& target, bool reverse,
                                                        bool noFallback) {
  const ZORSimDynamicID& hostMesh = reverse ? target : source;
  const ZORSimDynamicID& pointMesh = reverse ? source : target;
  // Only gathering can fall back: a scattering transfer keys by source nodes.
  const bool nearestFallback = context.options.nearestFallback && !reverse;
  ZORMtkSimReader* hostReader = context.FindReader(hostMesh);
  if (hostReader == nullptr || context.FindReader(pointMesh) == nullptr) return nullptr;
  if (reverse) {
    context.diagnostics.ClearErrors();
    context.diagnostics.SetReportSide(0);
  }
  auto weights = std::make_unique<ZORMtkNodalWeights>();
  if (mapMethod == MethodShapeInterpolation) {
    weights = SearchNodes(context, hostMesh, pointMesh, nearestFallback);
    if (reverse && !noFallback && weights->HasUncoveredNodes(hostReader->numNodes))
      weights = FallBack(context, source, target);
  } else if (mapMethod == MethodNearestNode) {
    weights = NearestNodes(context, hostMesh, pointMesh);
  }
  // Every reverse object carries the flag, whatever its method, so that its cache key matches
  // the request that made it.
  weights->reversed = reverse;
  weights->noFallback = noFallback;
  weights->targetMesh = target;
  weights->sourceMesh = source;
  weights->nearestFallback = nearestFallback;
  weights->containing = context.options.containing;
  return weights;
}

}  // namespace

ZORMtkWeightCache::ZORMtkWeightCache()
    : elementGrids_(kCacheCapacity),
      nodeGrids_(kCacheCapacity),
      nodalWeights_(kCacheCapacity),
      elementWeights_(kCacheCapacity) {}

ZORMtkWeightCache::~ZORMtkWeightCache() = default;

ZORMtkMeshElemB* ZORMtkWeightCache::ElementGrid(ZORMtkMappingContext& context,
                                                const ZORSimDynamicID& source) {
  return FormGrid(context, elementGrids_, source);
}

ZORMtkMeshNodeB* ZORMtkWeightCache::NodeGrid(ZORMtkMappingContext& context,
                                             const ZORSimDynamicID& source) {
  return FormGrid(context, nodeGrids_, source);
}

const ZORMtkNodalWeights* ZORMtkWeightCache::NodalWeights(ZORMtkMappingContext& context,
                                                          int mapMethod,
                                                          const ZORSimDynamicID& source,
                                                          const ZORSimDynamicID& target,
                                                          bool reverse, bool noFallback) {
  for (int slot = 0; slot < nodalWeights_.Count(); ++slot) {
    if (SameKey(*nodalWeights_.At(slot), mapMethod, source, target, reverse, noFallback,
                context.options.nearestFallback, context.options.containing))
      return nodalWeights_.At(slot);
  }
  if (nodalWeights_.IsFull())
    aio_cout << " ZORMtkMapper::GetNodalWeights exceeds allocated weight objects"
             << "\n";
  std::unique_ptr<ZORMtkNodalWeights> weights =
      ComputeNodalWeights(context, mapMethod, source, target, reverse, noFallback);
  if (!weights) return nullptr;
  if (nodalWeights_.IsFull()) rowForms_.erase(rowForms_.begin());
  rowForms_.emplace_back();
  return Store(nodalWeights_, std::move(weights));
}

const ZORMtkRowForm* ZORMtkWeightCache::RowForm(const ZORMtkNodalWeights* weights) const {
  for (int slot = 0; slot < nodalWeights_.Count(); ++slot) {
    if (nodalWeights_.At(slot) == weights) return rowForms_[static_cast<std::size_t>(slot)].get();
  }
  return nullptr;
}

const ZORMtkRowForm* ZORMtkWeightCache::KeepRowForm(const ZORMtkNodalWeights* weights,
                                                    std::unique_ptr<ZORMtkRowForm> form) {
  for (int slot = 0; slot < nodalWeights_.Count(); ++slot) {
    if (nodalWeights_.At(slot) != weights) continue;
    rowForms_[static_cast<std::size_t>(slot)] = std::move(form);
    return rowForms_[static_cast<std::size_t>(slot)].get();
  }
  return nullptr;
}

const ZORMtkElementWeights* ZORMtkWeightCache::ElementWeights(ZORMtkMappingContext& context,
                                                              const ZORSimDynamicID& source,
                                                              const ZORSimDynamicID& target) {
  for (int slot = 0; slot < elementWeights_.Count(); ++slot) {
    const ZORMtkElementWeights& weights = *elementWeights_.At(slot);
    if (weights.sourceMesh == source && weights.targetMesh == target &&
        weights.containing == context.options.containing)
      return elementWeights_.At(slot);
  }
  ZORMtkMeshElemB* grid = ElementGrid(context, source);
  ZORMtkSimReader* targetReader = context.FindReader(target);
  if (grid == nullptr || targetReader == nullptr) return nullptr;
  if (elementWeights_.IsFull())
    aio_cout << " ZORMtkMapper::GetElementWeights exceeds allocated weight objects"
             << "\n";
  auto weights = std::make_unique<ZORMtkElementWeights>();
  weights->targetMesh = target;
  weights->sourceMesh = source;
  weights->containing = context.options.containing;
  ZORSearchMisses misses;
  ZORMtkIntPtSearch::SearchPointsInElements(*weights, *grid, *context.FindReader(source),
                                            *targetReader, context.SearchOptions(), misses);
  context.Report(misses);
  return Store(elementWeights_, std::move(weights));
}
