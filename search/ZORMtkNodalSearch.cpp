#include "search/impl/ZORMtkNodalSearch.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/impl/ZORParallelFor.h"
#include "search/ZORMtkMeshElemB.h"
#include "search/impl/ZORMtkMeshNodeB.h"
#include "search/impl/ZORMtkNodalWeights.h"
#include "search/impl/ZORMtkPointLocator.h"
#include "search/impl/ZORMtkSearchTrace.h"
#include "search/impl/ZORMtkSourceElements.h"
#include "search/impl/ZORPointBox.h"
#include "search/impl/ZORPointVisitOrder.h"
#include "search/impl/ZORReaderPoints.h"

namespace {

ZORSearchMiss Miss(ZORSearchMiss::Kind kind, int member, const double* p, double distance) {
  return ZORSearchMiss{kind, member, {p[0], p[1], p[2]}, distance};
}

// A point's links written to its position's staged slots.
void StageMatch(const ZORMtkSourceElements& mesh, const ZORMtkMeshElemB& grid,
                const ZORPointMatch& match, std::size_t position,
                const ZORMtkNodalWeights::StagedLinks& staged) {
  const int element = grid.ElementMember(match.element);
  if (match.exactNode >= 0) {
    staged.Single(position, element, mesh.NodeMember(match.exactNode));
    return;
  }
  staged.elements[position] = element;
  staged.counts[position] = match.nodeCount;
  int* partners = staged.partners + position * staged.stride;
  double* weights = staged.weights + position * staged.stride;
  const int* nodes = mesh.NodePositions(match.element);
  for (int k = 0; k < match.nodeCount; ++k) {
    partners[k] = mesh.NodeMember(nodes[k]);
    weights[k] = match.weights[k];
  }
}

// The misses of one chunk of visits, each with the list position of its point.
struct ChunkMisses {
  std::vector<ZORSearchMiss> misses;
  std::vector<int> positions;

  void Add(const ZORSearchMiss& miss, std::size_t position) {
    misses.push_back(miss);
    positions.push_back(static_cast<int>(position));
  }
};

// The misses of chunks that visited points out of list order, appended in list order. A point
// has one miss at most, so a bit per point marks those with one, and a miss's place is the number
// of marked points listed before its own: a count per word of bits and one within the word.
void JoinMisses(std::vector<ChunkMisses>& chunks, int pointCount, ZORSearchMisses& misses) {
  constexpr std::size_t kBits = 64;
  std::vector<std::uint64_t> marked((static_cast<std::size_t>(pointCount) + kBits - 1) / kBits, 0);
  std::size_t total = 0;
  for (const ChunkMisses& chunk : chunks) {
    total += chunk.misses.size();
    for (const int position : chunk.positions)
      marked[static_cast<std::size_t>(position) / kBits] |= std::uint64_t{1} << (position % kBits);
  }
  std::vector<std::size_t> before(marked.size());
  std::size_t running = misses.misses.size();
  for (std::size_t word = 0; word < marked.size(); ++word) {
    before[word] = running;
    running += std::bitset<kBits>(marked[word]).count();
  }
  misses.misses.resize(misses.misses.size() + total);
  for (ChunkMisses& chunk : chunks) {
    for (std::size_t k = 0; k < chunk.misses.size(); ++k) {
      const std::size_t position = static_cast<std::size_t>(chunk.positions[k]);
      const std::uint64_t lower = (std::uint64_t{1} << (position % kBits)) - 1;
      const std::size_t word = position / kBits;
      misses.misses[before[word] + std::bitset<kBits>(marked[word] & lower).count()] =
          chunk.misses[k];
    }
    chunk = ChunkMisses();
  }
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

// Links an unplaced node to its nearest source node, when the caller asked for that; else the
// node's position is left without links.
void FallBackToNearest(const ZORMtkMeshNodeB* grid, const ZORMtkSourceElements& mesh,
                       std::size_t position, const double* p,
                       const ZORMtkNodalWeights::StagedLinks& staged) {
  double best = 0.0;
  const int nearest = grid == nullptr ? -1 : grid->Nearest(p, best);
  if (nearest < 0)
    staged.Empty(position);
  else
    staged.Single(position, -1, mesh.NodeMember(nearest));
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
  const ZORPointBox box = ZORPointBox::Of(points.At(0), count);
  // A trace reads point after point in list order.
  const ZORPointVisitOrder visits =
      trace ? ZORPointVisitOrder(count)
            : ZORPointVisitOrder(points.At(0), count, box, plan.threads);
  const ZORMtkPointLocator locator(mesh, grid, options.tolerances,
                                   {true, options.containing, true, plan.threads, box});
  std::vector<ZORMtkPointLocator::Scratch> scratch(static_cast<std::size_t>(plan.threads));
  // Links go to their point's position, whatever the visit order, and misses to their chunk.
  const ZORMtkNodalWeights::StagedLinks staged =
      weights.Stage(count, std::max(mesh.LargestNodeCount(), 1), plan.threads);
  std::vector<ChunkMisses> chunkMisses(static_cast<std::size_t>(plan.chunks));
  const auto search = [&](int chunk, int worker) {
    ZORPointMatch match;
    for (int visit = plan.Begin(chunk); visit < plan.End(chunk, count); ++visit) {
      const std::size_t slot = static_cast<std::size_t>(visits.At(visit));
      const double* point = points.At(static_cast<int>(slot));
      if (trace) trace->TargetNode(points.members[slot], point);
      if (locator.Locate(point, scratch[static_cast<std::size_t>(worker)], match, trace.get())) {
        StageMatch(mesh, grid, match, slot, staged);
      } else {
        chunkMisses[static_cast<std::size_t>(chunk)].Add(
            Miss(ZORSearchMiss::Kind::NodeNotPlaced, points.members[slot], point, 0.0), slot);
        FallBackToNearest(options.nearestFallback, mesh, slot, point, staged);
      }
    }
  };
  ZORParallelFor::Run(plan.chunks, plan.threads, search, [&](int prefix) {
    options.progress.Report(plan.End(prefix - 1, count), count);
  });
  weights.KeepStaged(staged, points.members.data());
  weights.Trim();
  JoinMisses(chunkMisses, count, misses);
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
  const ZORPointVisitOrder visits(target.At(0), count, ZORPointBox::Of(target.At(0), count));
  const ZORMtkNodalWeights::StagedLinks staged = weights.Stage(count, 1, plan.threads);
  std::vector<ChunkMisses> chunkMisses(static_cast<std::size_t>(plan.chunks));
  const auto search = [&](int chunk, int /*worker*/) {
    for (int visit = plan.Begin(chunk); visit < plan.End(chunk, count); ++visit) {
      const std::size_t slot = static_cast<std::size_t>(visits.At(visit));
      const double* point = target.At(static_cast<int>(slot));
      double best = 0.0;
      const int nearest = grid.Nearest(point, best);
      if (nearest < 0 || (check && best > reach)) {
        const double distance = nearest < 0 ? 0.0 : std::sqrt(best);
        chunkMisses[static_cast<std::size_t>(chunk)].Add(
            Miss(ZORSearchMiss::Kind::Misaligned, target.members[slot], point, distance), slot);
      }
      if (nearest < 0)
        staged.Empty(slot);
      else
        staged.Single(slot, -1, sourceMembers[static_cast<std::size_t>(nearest)]);
    }
  };
  ZORParallelFor::Run(plan.chunks, plan.threads, search, [&](int prefix) {
    options.progress.Report(plan.End(prefix - 1, count), count);
  });
  weights.KeepStaged(staged, target.members.data());
  JoinMisses(chunkMisses, count, misses);
  weights.nearestNode = true;
}
