#include "search/ZORMtkWeightStore.h"

#include <algorithm>
#include <memory>

#include "mapper/ZORMtkMapper.h"
#include "platform/ZORStream.h"
#include "reader/ZORMtkSimReader.h"
#include "search/ZORMtkElementWeights.h"
#include "search/ZORMtkIntPtSearch.h"
#include "search/ZORMtkMeshElemB.h"
#include "search/ZORMtkMeshNodeB.h"
#include "search/ZORMtkNodalSearch.h"
#include "search/ZORMtkNodalWeights.h"

namespace {

constexpr int kShapeInterpolation = 0;
constexpr int kNearestNode = 1;

// Keeps a cache within its capacity by giving up its oldest object for the new one.
template <typename T>
T* Store(ZORMtkOwnedTable<T>& cache, std::unique_ptr<T> object) {
  return cache.IsFull() ? cache.ReplaceOldest(std::move(object)) : cache.Append(std::move(object));
}

template <typename Grid>
Grid* FindGrid(const ZORMtkOwnedTable<Grid>& cache, const ZORSimDynamicID& source) {
  for (int slot = 0; slot < cache.Count(); ++slot) {
    if (cache.At(slot)->SourceID() == source) return cache.At(slot);
  }
  return nullptr;
}

template <typename Grid>
Grid* FormGrid(ZORMtkMapper& mapper, ZORMtkOwnedTable<Grid>& cache, const ZORSimDynamicID& source) {
  if (Grid* cached = FindGrid(cache, source)) return cached;
  ZORMtkSimReader* reader = mapper.FindReader(source);
  if (reader == nullptr) return nullptr;
  auto grid = std::make_unique<Grid>();
  double margin = std::max(mapper.BoundaryTolerance(), mapper.NormalTolerance());
  grid->FormBuckets(reader, margin);
  return Store(cache, std::move(grid));
}

struct Tolerances {
  double values[2];
  explicit Tolerances(const ZORMtkMapper& mapper)
      : values{mapper.BoundaryTolerance(), mapper.NormalTolerance()} {}
};

// Shape interpolation with the elements of hostMesh as hosts and the nodes of pointMesh as keys.
std::unique_ptr<ZORMtkNodalWeights> SearchNodes(ZORMtkMapper& mapper,
                                                const ZORSimDynamicID& hostMesh,
                                                const ZORSimDynamicID& pointMesh) {
  auto weights = std::make_unique<ZORMtkNodalWeights>();
  const Tolerances tolerances(mapper);
  ZORMtkNodalSearch::SearchNodesInElements(
      *weights, ZORMtkWeightStore::GetElementBuckets(mapper, hostMesh), mapper.FindReader(hostMesh),
      mapper.FindReader(pointMesh), mapper.Diagnostics(), tolerances.values);
  return weights;
}

// Reverse links leave target nodes without a partner when the source mesh is coarser than the
// target's elements; then the usual direction is searched and turned round, each source node
// taking the target nodes that interpolate from it, with weights scaled to sum to one.
std::unique_ptr<ZORMtkNodalWeights> FallBack(ZORMtkMapper& mapper, const ZORSimDynamicID& source,
                                             const ZORSimDynamicID& target) {
  mapper.Diagnostics().ClearErrors();
  mapper.Diagnostics().SetReportSide(1);
  std::unique_ptr<ZORMtkNodalWeights> weights = SearchNodes(mapper, source, target);
  weights->TransposeWeights();
  weights->NormalizeWeights();
  return weights;
}

std::unique_ptr<ZORMtkNodalWeights> ComputeNodalWeights(ZORMtkMapper& mapper, int mapMethod,
                                                        const ZORSimDynamicID& source,
                                                        const ZORSimDynamicID& target, bool reverse,
                                                        bool noFallback) {
  const ZORSimDynamicID& hostMesh = reverse ? target : source;
  const ZORSimDynamicID& pointMesh = reverse ? source : target;
  ZORMtkSimReader* hostReader = mapper.FindReader(hostMesh);
  if (hostReader == nullptr || mapper.FindReader(pointMesh) == nullptr) return nullptr;
  if (reverse) {
    mapper.Diagnostics().ClearErrors();
    mapper.Diagnostics().SetReportSide(0);
  }
  auto weights = std::make_unique<ZORMtkNodalWeights>();
  if (mapMethod == kShapeInterpolation) {
    weights = SearchNodes(mapper, hostMesh, pointMesh);
    if (reverse && !noFallback && weights->HasUncoveredNodes(hostReader->numNodes))
      weights = FallBack(mapper, source, target);
  } else if (mapMethod == kNearestNode) {
    ZORMtkNodalSearch::FindNearestNodes(
        *weights, ZORMtkWeightStore::GetNodeBuckets(mapper, hostMesh), hostReader,
        mapper.FindReader(pointMesh), mapper.Diagnostics());
  }
  // Every reverse object carries the flag, whatever its method, so that its cache key matches
  // the request that made it.
  weights->reversed = reverse;
  weights->noFallback = noFallback;
  weights->targetMesh = target;
  weights->sourceMesh = source;
  return weights;
}

bool SameKey(const ZORMtkNodalWeights& weights, int mapMethod, const ZORSimDynamicID& source,
             const ZORSimDynamicID& target, bool reverse, bool noFallback) {
  return weights.sourceMesh == source && weights.targetMesh == target &&
         weights.reversed == reverse && weights.noFallback == noFallback &&
         weights.nearestNode == (mapMethod == kNearestNode);
}

}  // namespace

ZORMtkMeshElemB* ZORMtkWeightStore::GetElementBuckets(ZORMtkMapper& mapper,
                                                      const ZORSimDynamicID& source) {
  return FormGrid(mapper, mapper.ElementGrids(), source);
}

ZORMtkMeshNodeB* ZORMtkWeightStore::GetNodeBuckets(ZORMtkMapper& mapper,
                                                   const ZORSimDynamicID& source) {
  return FormGrid(mapper, mapper.NodeGrids(), source);
}

ZORMtkNodalWeights* ZORMtkWeightStore::GetNodalWeights(ZORMtkMapper& mapper, int mapMethod,
                                                       const ZORSimDynamicID& source,
                                                       const ZORSimDynamicID& target, bool reverse,
                                                       bool noFallback) {
  ZORMtkOwnedTable<ZORMtkNodalWeights>& cache = mapper.NodalWeights();
  for (int slot = 0; slot < cache.Count(); ++slot) {
    if (SameKey(*cache.At(slot), mapMethod, source, target, reverse, noFallback))
      return cache.At(slot);
  }
  if (cache.IsFull())
    aio_cout << " ZORMtkMapper::GetNodalWeights exceeds allocated weight objects"
             << "\n";
  std::unique_ptr<ZORMtkNodalWeights> weights =
      ComputeNodalWeights(mapper, mapMethod, source, target, reverse, noFallback);
  return weights ? Store(cache, std::move(weights)) : nullptr;
}

ZORMtkElementWeights* ZORMtkWeightStore::GetElementWeights(ZORMtkMapper& mapper,
                                                           const ZORSimDynamicID& source,
                                                           const ZORSimDynamicID& target) {
  ZORMtkOwnedTable<ZORMtkElementWeights>& cache = mapper.ElementWeights();
  for (int slot = 0; slot < cache.Count(); ++slot) {
    const ZORMtkElementWeights& weights = *cache.At(slot);
    if (weights.sourceMesh == source && weights.targetMesh == target) return cache.At(slot);
  }
  ZORMtkMeshElemB* grid = GetElementBuckets(mapper, source);
  ZORMtkSimReader* sourceReader = mapper.FindReader(source);
  ZORMtkSimReader* targetReader = mapper.FindReader(target);
  if (grid == nullptr || targetReader == nullptr) return nullptr;
  if (cache.IsFull())
    aio_cout << " ZORMtkMapper::GetElementWeights exceeds allocated weight objects"
             << "\n";
  auto weights = std::make_unique<ZORMtkElementWeights>();
  weights->targetMesh = target;
  weights->sourceMesh = source;
  const Tolerances tolerances(mapper);
  ZORMtkIntPtSearch::SearchPointsInElements(*weights, grid, sourceReader, targetReader,
                                            mapper.Diagnostics(), tolerances.values);
  return Store(cache, std::move(weights));
}
