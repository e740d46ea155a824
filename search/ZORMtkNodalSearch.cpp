#include "search/impl/ZORMtkNodalSearch.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "platform/impl/ZORParallelFor.h"
#include "search/ZORMtkMeshElemB.h"
#include "search/impl/ZORLinkChunk.h"
#include "search/impl/ZORMtkMeshNodeB.h"
#include "search/impl/ZORMtkNodalWeights.h"
#include "search/impl/ZORMtkPointLocator.h"
#include "search/impl/ZORMtkSearchTrace.h"
#include "search/impl/ZORMtkSourceElements.h"
#include "search/impl/ZORPointBox.h"
#include "search/impl/ZORReaderPoints.h"

namespace {

ZORSearchMiss Miss(ZORSearchMiss::Kind kind, int member, const double* p, double distance) {
  return ZORSearchMiss{kind, member, {p[0], p[1], p[2]}, distance};
}

void RecordMatch(const ZORMtkSourceElements& mesh, const ZORMtkMeshElemB& grid,
                 const ZORPointMatch& match, int key, ZORLinkChunk& links) {
  const int element = grid.ElementMember(match.element);
  if (match.exactNode >= 0) {
    const int partner = mesh.NodeMember(match.exactNode);
    const double one = 1.0;
    links.Add(key, element, &partner, &one, 1);
    return;
  }
  int partners[ZORMtkSourceElements::kMaxNodes];
  const int* nodes = mesh.NodePositions(match.element);
  for (int k = 0; k < match.nodeCount; ++k) partners[k] = mesh.NodeMember(nodes[k]);
  links.Add(key, element, partners, match.weights, match.nodeCount);
}

// Appends a finished chunk to the weight object and gives its memory back.
void Join(ZORLinkChunk& chunk, ZORMtkNodalWeights& weights, ZORSearchMisses& misses) {
  weights.AppendKeys(static_cast<int>(chunk.keys.size()), chunk.keys.data(), chunk.elements.data(),
                     chunk.counts.data(), chunk.partners.data(), chunk.weights.data());
  misses.misses.insert(misses.misses.end(), chunk.misses.begin(), chunk.misses.end());
  chunk.Clear();
}

// The mean of |x_i - c|^2 over the source nodes, c their centroid. It equals the mean of
// |x_i - x_j|^2 / 2 over all ordered pairs, in linear instead of quadratic time.
double MeanSquaredSpread(const ZORMtkMeshNodeB& nodes) {
  double centroid[3] = {0.0, 0.0, 0.0};
  for (int n = 0; n < nodes.NodeCount(); ++n)
    for (int a = 0; a < 3; ++a) centroid[a] += nodes.Node(n)[a];
  for (double& c : centroid) c /= static_cast<double>(nodes.NodeCount());
  double sum = 0.0;
  for (int n = 0; n < nodes.NodeCount(); ++n)
    for (int a = 0; a < 3; ++a)
      sum += (nodes.Node(n)[a] - centroid[a]) * (nodes.Node(n)[a] - centroid[a]);
  return sum / static_cast<double>(nodes.NodeCount());
}

// Links an unplaced node to its nearest source node, when the caller asked for that.
void FallBackToNearest(const ZORMtkMeshNodeB* grid, const ZORMtkSourceElements& mesh, int key,
                       const double* p, ZORLinkChunk& links) {
  if (grid == nullptr) return;
  double best = 0.0;
  const int nearest = grid->Nearest(p, best);
  if (nearest < 0) return;
  const int partner = mesh.NodeMember(nearest);
  const double one = 1.0;
  links.Add(key, -1, &partner, &one, 1);
}

// Chunks of points and the threads that search them: one thread when traced, so the trace
// reads point after point.
struct ChunkPlan {
  int threads;
  int size;
  int chunks;

  ChunkPlan(int count, int requestedThreads, bool traced)
      : threads(traced ? 1 : ZORParallelFor::ResolveThreads(requestedThreads)),
        size(ZORParallelFor::ChunkSize(count, threads, kPreferredChunk)),
        chunks((count + size - 1) / size) {}
  int Begin(int chunk) const { return chunk * size; }
  int End(int chunk, int count) const { return std::min(count, (chunk + 1) * size); }

  static constexpr int kPreferredChunk = 2048;
};

}  // namespace

void ZORMtkNodalSearch::SearchNodesInElements(ZORMtkNodalWeights& weights, ZORMtkMeshElemB& grid,
                                              const ZORMtkSimReader& elementReader,
                                              const ZORMtkSimReader& pointReader,
                                              const ZORSearchOptions& options,
                                              ZORSearchMisses& misses) {
  const std::unique_ptr<ZORMtkSearchTrace> trace =
      ZORMtkSearchTrace::Requested() ? std::make_unique<ZORMtkSearchTrace>(true) : nullptr;
  const int count = std::max(pointReader.numNodes, 0);
  const ChunkPlan plan(count, options.threads, trace != nullptr);
  const ZORReaderPoints points = ZORReaderPoints::Read(pointReader, plan.threads);
  const std::unique_ptr<ZORMtkSourceElements> source =
      ZORMtkSourceElements::TakeOrRead(grid, elementReader, plan.threads);
  const ZORMtkSourceElements& mesh = *source;
  if (trace) trace->SourceLength(mesh.MeanLength());
  const ZORMtkPointLocator locator(
      mesh, grid, options.tolerances,
      {true, options.containing, true, plan.threads, ZORPointBox::Of(points.At(0), count)});
  std::vector<ZORMtkPointLocator::Scratch> scratch(static_cast<std::size_t>(plan.threads));
  std::vector<ZORLinkChunk> chunks(static_cast<std::size_t>(plan.chunks));
  const auto search = [&](int chunk, int worker) {
    ZORLinkChunk& links = chunks[static_cast<std::size_t>(chunk)];
    links.Reserve(plan.End(chunk, count) - plan.Begin(chunk), mesh.LargestNodeCount());
    ZORPointMatch match;
    for (int n = plan.Begin(chunk); n < plan.End(chunk, count); ++n) {
      const int node = points.members[static_cast<std::size_t>(n)];
      if (trace) trace->TargetNode(node, points.At(n));
      if (locator.Locate(points.At(n), scratch[static_cast<std::size_t>(worker)], match,
                         trace.get())) {
        RecordMatch(mesh, grid, match, node, links);
      } else {
        links.misses.push_back(Miss(ZORSearchMiss::Kind::NodeNotPlaced, node, points.At(n), 0.0));
        FallBackToNearest(options.nearestFallback, mesh, node, points.At(n), links);
      }
    }
  };
  // Every point placed in an element of the largest kind is the most the links can take.
  weights.Reserve(weights.KeyCount() + count,
                  weights.LinkCount() + count * mesh.LargestNodeCount());
  int joined = 0;
  ZORParallelFor::Run(plan.chunks, plan.threads, search, [&](int prefix) {
    for (; joined < prefix; ++joined)
      Join(chunks[static_cast<std::size_t>(joined)], weights, misses);
    options.progress.Report(plan.End(prefix - 1, count), count);
  });
  weights.Trim();
}

void ZORMtkNodalSearch::FindNearestNodes(ZORMtkNodalWeights& weights, const ZORMtkMeshNodeB& grid,
                                         const ZORMtkSimReader& sourceReader,
                                         const ZORMtkSimReader& targetReader,
                                         const ZORSearchOptions& options, ZORSearchMisses& misses) {
  // The source's coordinates are the grid's; its members are all that is read again.
  std::vector<int> sourceMembers(static_cast<std::size_t>(grid.NodeCount()));
  sourceReader.GetNodes(grid.NodeCount(), sourceMembers.data());
  const ZORReaderPoints target =
      ZORReaderPoints::Read(targetReader, ZORParallelFor::ResolveThreads(options.threads));
  misses.sourceNodeCount = grid.NodeCount();
  misses.targetNodeCount = target.Count();
  misses.nodeCountsDiffer = grid.NodeCount() != target.Count();
  const bool check = grid.NodeCount() > 1;
  const double reach = check ? ZORMtkNodalSearch::kAlignment * MeanSquaredSpread(grid) : 0.0;
  const int count = target.Count();
  const ChunkPlan plan(count, options.threads, false);
  std::vector<ZORLinkChunk> chunks(static_cast<std::size_t>(plan.chunks));
  const auto search = [&](int chunk, int /*worker*/) {
    ZORLinkChunk& links = chunks[static_cast<std::size_t>(chunk)];
    const double one = 1.0;
    for (int t = plan.Begin(chunk); t < plan.End(chunk, count); ++t) {
      const int node = target.members[static_cast<std::size_t>(t)];
      double best = 0.0;
      const int nearest = grid.Nearest(target.At(t), best);
      if (nearest < 0 || (check && best > reach)) {
        const double distance = nearest < 0 ? 0.0 : std::sqrt(best);
        links.misses.push_back(Miss(ZORSearchMiss::Kind::Misaligned, node, target.At(t), distance));
      }
      if (nearest < 0) continue;
      links.Add(node, -1, &sourceMembers[static_cast<std::size_t>(nearest)], &one, 1);
    }
  };
  weights.Reserve(weights.KeyCount() + count, weights.LinkCount() + count);
  int joined = 0;
  ZORParallelFor::Run(plan.chunks, plan.threads, search, [&](int prefix) {
    for (; joined < prefix; ++joined)
      Join(chunks[static_cast<std::size_t>(joined)], weights, misses);
    options.progress.Report(plan.End(prefix - 1, count), count);
  });
  weights.nearestNode = true;
}
