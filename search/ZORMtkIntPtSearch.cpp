#include "search/impl/ZORMtkIntPtSearch.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "element/ZORMtkElementData.h"
#include "platform/ZORStream.h"
#include "platform/impl/ZORParallelFor.h"
#include "search/ZORMtkMeshElemB.h"
#include "search/impl/ZORMtkElementWeights.h"
#include "search/impl/ZORMtkPointLocator.h"
#include "search/impl/ZORMtkSearchTrace.h"
#include "search/impl/ZORMtkSourceElements.h"
#include "search/impl/ZORReaderPoints.h"

namespace {

// Target elements per chunk of the parallel search.
constexpr int kPreferredChunk = 256;

// One target element class with what placing its points needs: P points per element, and the
// n x P shape values at the points, entry node * P + point.
struct TargetClass {
  cow_String name;
  int nodesPerElement;
  int points;
  std::vector<double> shapeValues;
  std::vector<int> members;
  std::vector<int> connectivity;
};

// "S3" and "S8" report a point count but have no point table to place the points with.
bool HasPointTable(const cow_String& name, int points) {
  return points > 0 && name != cow_String("S3") && name != cow_String("S8");
}

bool ReadClass(const ZORMtkSimReader& reader, const cow_String& name, TargetClass& out) {
  out.name = name;
  out.points = ZORMtkElementData::GetNumIntPt(name);
  if (!HasPointTable(name, out.points)) return false;
  const int* perElement = reader.nodesPerElementByClass.Find(name);
  out.nodesPerElement = perElement ? *perElement : 0;
  if (out.nodesPerElement > ZORMtkSourceElements::kMaxNodes) return false;
  // The table may have more rows than the element has nodes ("STRI3" uses the first three rows of
  // the 6-node table), so it is sized for the largest element.
  out.shapeValues.assign(static_cast<std::size_t>(ZORMtkSourceElements::kMaxNodes * out.points),
                         0.0);
  ZORMtkElementData::GetIntPtShapeValues(name, out.shapeValues.data());
  const int count = reader.GetElementClassCount(name);
  out.members.resize(static_cast<std::size_t>(count));
  out.connectivity.resize(static_cast<std::size_t>(count) *
                          static_cast<std::size_t>(out.nodesPerElement));
  reader.GetElementClassMembers(name, count, out.members.data());
  reader.GetElementClassConnectivity(name, static_cast<int>(out.connectivity.size()),
                                     out.connectivity.data());
  return true;
}

// p = sum over the element's nodes k of N[k * P + q] x_k.
void PointCoordinates(const TargetClass& block, const ZORReaderPoints& nodes, const int* positions,
                      int q, double* p) {
  p[0] = p[1] = p[2] = 0.0;
  for (int k = 0; k < block.nodesPerElement; ++k) {
    if (positions[k] < 0) continue;
    const double N = block.shapeValues[static_cast<std::size_t>(k * block.points + q)];
    const double* x = nodes.At(positions[k]);
    for (int a = 0; a < 3; ++a) p[a] += N * x[a];
  }
}

// What one chunk of a class's elements found, point after point, joined into the weight object
// in chunk order so that the result does not depend on the thread count.
struct PointChunk {
  std::vector<int> sources;  // source element member per point, -1 when not placed
  std::vector<int> counts;
  std::vector<double> weights;
  std::vector<ZORSearchMiss> misses;
};

// Places the points of elements [begin, end) of one target class.
void SearchElements(const TargetClass& block, const ZORReaderPoints& nodes,
                    const ZORMtkMeshElemB& grid, const ZORMtkPointLocator& locator,
                    ZORMtkSearchTrace* trace, std::size_t begin, std::size_t end,
                    ZORMtkPointLocator::Scratch& scratch, PointChunk& found) {
  ZORPointMatch match;
  int positions[ZORMtkSourceElements::kMaxNodes];
  for (std::size_t e = begin; e < end; ++e) {
    const int element = block.members[e];
    const int* connectivity =
        block.connectivity.data() + e * static_cast<std::size_t>(block.nodesPerElement);
    for (int k = 0; k < block.nodesPerElement; ++k)
      positions[k] = nodes.PositionOf(connectivity[k]);
    for (int q = 0; q < block.points; ++q) {
      double p[3];
      PointCoordinates(block, nodes, positions, q, p);
      if (trace) trace->TargetPoint(element, q, p);
      if (locator.Locate(p, scratch, match, trace)) {
        found.sources.push_back(grid.ElementMember(match.element));
        found.counts.push_back(match.nodeCount);
        found.weights.insert(found.weights.end(), match.weights, match.weights + match.nodeCount);
      } else {
        found.sources.push_back(-1);
        found.counts.push_back(0);
        found.misses.push_back(
            ZORSearchMiss{ZORSearchMiss::Kind::PointNotPlaced, element, {p[0], p[1], p[2]}, 0.0});
      }
    }
  }
}

void Join(const TargetClass& block, std::size_t begin, std::size_t end, PointChunk& found,
          ZORMtkElementWeights& weights, ZORSearchMisses& misses) {
  std::size_t point = 0;
  std::size_t weight = 0;
  for (std::size_t e = begin; e < end; ++e) {
    weights.BeginElement(block.members[e]);
    for (int q = 0; q < block.points; ++q, ++point) {
      if (found.sources[point] < 0) {
        weights.AddUnplacedPoint();
        continue;
      }
      weights.AddPoint(found.sources[point], found.weights.data() + weight, found.counts[point]);
      weight += static_cast<std::size_t>(found.counts[point]);
    }
  }
  misses.misses.insert(misses.misses.end(), found.misses.begin(), found.misses.end());
  found = PointChunk();
}

// Searches the points of one target class, element by element in the class's order, on the
// option's threads (one when traced); done counts the target elements searched so far.
void SearchClass(const TargetClass& block, const ZORReaderPoints& nodes,
                 const ZORMtkMeshElemB& grid, const ZORMtkPointLocator& locator,
                 ZORMtkSearchTrace* trace, const ZORSearchOptions& options, long long total,
                 long long& done, ZORMtkElementWeights& weights, ZORSearchMisses& misses) {
  const int count = static_cast<int>(block.members.size());
  const int threads = trace ? 1 : ZORParallelFor::ResolveThreads(options.threads);
  const int size = ZORParallelFor::ChunkSize(count, threads, kPreferredChunk);
  const int chunks = (count + size - 1) / size;
  const auto begin = [&](int chunk) { return static_cast<std::size_t>(chunk) * size; };
  const auto end = [&](int chunk) { return std::min(block.members.size(), begin(chunk + 1)); };
  std::vector<ZORMtkPointLocator::Scratch> scratch(static_cast<std::size_t>(threads));
  std::vector<PointChunk> found(static_cast<std::size_t>(chunks));
  const auto search = [&](int chunk, int worker) {
    SearchElements(block, nodes, grid, locator, trace, begin(chunk), end(chunk),
                   scratch[static_cast<std::size_t>(worker)],
                   found[static_cast<std::size_t>(chunk)]);
  };
  int joined = 0;
  ZORParallelFor::Run(chunks, threads, search, [&](int prefix) {
    for (; joined < prefix; ++joined)
      Join(block, begin(joined), end(joined), found[static_cast<std::size_t>(joined)], weights,
           misses);
    options.progress.Report(done + static_cast<long long>(end(prefix - 1)), total);
  });
  done += count;
}

}  // namespace

void ZORMtkIntPtSearch::SearchPointsInElements(ZORMtkElementWeights& weights, ZORMtkMeshElemB& grid,
                                               const ZORMtkSimReader& sourceReader,
                                               const ZORMtkSimReader& targetReader,
                                               const ZORSearchOptions& options,
                                               ZORSearchMisses& misses) {
  const std::unique_ptr<ZORMtkSearchTrace> trace =
      ZORMtkSearchTrace::Requested() ? std::make_unique<ZORMtkSearchTrace>(false) : nullptr;
  const int threads = ZORParallelFor::ResolveThreads(options.threads);
  const std::unique_ptr<ZORMtkSourceElements> source =
      ZORMtkSourceElements::TakeOrRead(grid, sourceReader, threads);
  const ZORMtkSourceElements& mesh = *source;
  const ZORMtkPointLocator locator(mesh, grid, options.tolerances,
                                   {false, options.containing, true, threads});
  const ZORReaderPoints nodes = ZORReaderPoints::Read(targetReader, threads);
  cow_List<cow_String> names;
  targetReader.GetElementClassNames(names);
  const long long total = targetReader.numElements;
  long long done = 0;
  for (const cow_String& name : names) {
    TargetClass block;
    if (!ReadClass(targetReader, name, block)) {
      aio_cerr << " Integration-point search skips element class " << name
               << ": it has no integration-point table"
               << "\n";
      continue;
    }
    SearchClass(block, nodes, grid, locator, trace.get(), options, total, done, weights, misses);
  }
  weights.Finish();
  if (done != total) options.progress.Report(total, total);
}
