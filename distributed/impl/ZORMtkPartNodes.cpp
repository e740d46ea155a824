#include "distributed/impl/ZORMtkPartNodes.h"

#include <algorithm>
#include <limits>

#include "distributed/impl/ZORMpiExchange.h"
#include "distributed/impl/ZORMtkNodeOwners.h"
#include "platform/impl/ZORParallelFor.h"
#include "search/impl/ZORMtkNodalSearch.h"

namespace {

// Node buckets per routing bucket along each axis: about 500 nodes of a solid per routing
// bucket, so the routing table stays a small fraction of the nodes.
constexpr int kBlock = 8;
constexpr int kNodeQueryChunk = 2048;

}  // namespace

void ZORMtkPartNodes::Take(const ZORMtkMeshArrays& part, bool plane) {
  dimension_ = plane ? 2 : 3;
  std::vector<int> position(static_cast<std::size_t>(part.nodeCount), -1);
  coords_.clear();
  rows_.clear();
  const std::int64_t entries = part.cellCount > 0 ? part.offsets[part.cellCount] : 0;
  for (std::int64_t k = 0; k < entries; ++k) {
    const int node = part.connectivity[k];
    if (position[static_cast<std::size_t>(node)] >= 0) continue;
    position[static_cast<std::size_t>(node)] = static_cast<int>(rows_.size());
    rows_.push_back(node);
    const double* x = part.coordinates + static_cast<std::size_t>(node) * part.dimension;
    for (int a = 0; a < dimension_; ++a) coords_.push_back(a < part.dimension ? x[a] : 0.0);
  }
}

// Every node's place goes to a rank chosen by its bits, which tells the sender the lowest rank
// that holds the same place.
std::vector<unsigned char> ZORMtkPartNodes::HeldBelow(const ZORMpiExchange& exchange) const {
  const std::vector<ZORNodeHolder> holders = ZORMtkNodeOwners::LowestHolders(*this, exchange);
  std::vector<unsigned char> below(holders.size());
  for (std::size_t n = 0; n < holders.size(); ++n)
    below[n] = holders[n].rank < exchange.Rank() ? 1 : 0;
  return below;
}

void ZORMtkPartNodes::Prepare(bool spread, int threads, const ZORMpiExchange& exchange) {
  const std::vector<unsigned char> below = HeldBelow(exchange);
  wholeCount_ =
      exchange.Total(static_cast<std::int64_t>(std::count(below.begin(), below.end(), 0)));
  double lower[3];
  double higher[3];
  std::fill_n(lower, 3, std::numeric_limits<double>::infinity());
  std::fill_n(higher, 3, -std::numeric_limits<double>::infinity());
  for (std::size_t n = 0; n < rows_.size(); ++n)
    for (int a = 0; a < dimension_; ++a) {
      lower[a] = std::min(lower[a], Node(n)[a]);
      higher[a] = std::max(higher[a], Node(n)[a]);
    }
  MPI_Allreduce(MPI_IN_PLACE, lower, 3, MPI_DOUBLE, MPI_MIN, exchange.Comm());
  MPI_Allreduce(MPI_IN_PLACE, higher, 3, MPI_DOUBLE, MPI_MAX, exchange.Comm());
  grid_.FormPart(ZORSimDynamicID(), dimension_, coords_, lower, higher, wholeCount_,
                 ZORParallelFor::ResolveThreads(threads));
  reach_ = 0.0;
  if (spread && wholeCount_ > 1) Spread(below, exchange);
  Route(exchange);
}

// The mean squared distance of the whole's nodes from their centroid, with every sum taken in the
// whole's node order, as one process takes it (over three axes, z = 0 in a plane), so the reach
// rounds the same.
void ZORMtkPartNodes::Spread(const std::vector<unsigned char>& below,
                             const ZORMpiExchange& exchange) {
  std::vector<double> terms;
  for (int n = 0; n < grid_.NodeCount(); ++n)
    if (below[static_cast<std::size_t>(n)] == 0)
      terms.insert(terms.end(), grid_.Node(n), grid_.Node(n) + 3);
  std::vector<double> centroid = exchange.OrderedSums(terms, 3);
  for (double& c : centroid) c /= static_cast<double>(wholeCount_);
  for (std::size_t t = 0; t < terms.size(); ++t)
    terms[t] = (terms[t] - centroid[t % 3]) * (terms[t] - centroid[t % 3]);
  reach_ =
      ZORMtkNodalSearch::kAlignment * exchange.OrderedSum(terms) / static_cast<double>(wholeCount_);
}

// A rank is asked about the points of every block within kFarthestRing buckets of its nodes.
void ZORMtkPartNodes::Route(const ZORMpiExchange& exchange) {
  blocks_.dimension = dimension_;
  int counts[3] = {1, 1, 1};
  for (int a = 0; a < dimension_; ++a) counts[a] = (grid_.Count(a) + kBlock - 1) / kBlock;
  const double origin[3] = {0.0, 0.0, 0.0};
  blocks_.Place(origin, 1.0, counts);
  std::vector<unsigned char> occupied(static_cast<std::size_t>(blocks_.BucketCount()), 0);
  const int ring = ZORMtkMeshNodeB::kFarthestRing;
  for (int n = 0; n < grid_.NodeCount(); ++n) {
    int cell[3];
    grid_.CellOf(grid_.Node(n), cell);
    int first[3] = {1, 1, 1};
    int last[3] = {1, 1, 1};
    for (int a = 0; a < dimension_; ++a) {
      first[a] = (std::max(1, cell[a] - ring) - 1) / kBlock + 1;
      last[a] = (std::min(grid_.Count(a), cell[a] + ring) - 1) / kBlock + 1;
    }
    blocks_.EnterRange(first, last,
                       [&](int block) { occupied[static_cast<std::size_t>(block)] = 1; });
  }
  routing_ = std::make_unique<ZORMtkPartRouting>(blocks_, occupied, exchange);
}

const int* ZORMtkPartNodes::Ranks(const double* point, int& count) const {
  int cell[3];
  grid_.CellOf(point, cell);
  for (int& index : cell) index = (index - 1) / kBlock + 1;
  return routing_->Ranks(blocks_.Linear(cell[0], cell[1], cell[2]), count);
}

std::vector<ZORNodeAnswer> ZORMtkPartNodes::Answer(const std::vector<double>& points, bool all,
                                                   int threads) const {
  const int count = static_cast<int>(points.size() / 3);
  std::vector<ZORNodeAnswer> answers(static_cast<std::size_t>(count), ZORNodeAnswer{0.0, -1});
  const int workers = ZORParallelFor::ResolveThreads(threads);
  const int size = ZORParallelFor::ChunkSize(count, workers, kNodeQueryChunk);
  const auto search = [&](int chunk, int /*worker*/) {
    for (int n = chunk * size; n < std::min(count, (chunk + 1) * size); ++n) {
      const double* point = points.data() + 3 * static_cast<std::size_t>(n);
      ZORNodeAnswer& answer = answers[static_cast<std::size_t>(n)];
      answer.position =
          all ? grid_.NearestOfAll(point, answer.best) : grid_.NearestListed(point, answer.best);
    }
  };
  ZORParallelFor::Run((count + size - 1) / size, workers, search, [](int) {});
  return answers;
}
