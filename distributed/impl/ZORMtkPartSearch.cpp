#include "distributed/impl/ZORMtkPartSearch.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "api/impl/ZORMtkMeshBuilder.h"
#include "distributed/impl/ZORMpiExchange.h"
#include "distributed/impl/ZORMtkGlobalCellOrder.h"
#include "platform/impl/ZORParallelFor.h"
#include "search/impl/ZORLinkChunk.h"

namespace {

// The name the in-memory database would take if it were ever saved; it never is.
const char* const kDatabaseName = "distributed source part (in memory)";
// A region flatter than this fraction of the mean element size gets a slab of kSlab sizes to
// either side, as the reader gives the whole source when one process searches it.
constexpr double kFlat = 1e-6;
constexpr double kSlab = 0.01;
constexpr int kPreferredChunk = 2048;

// Appends a finished chunk's links (counts first; offsets are summed once all are in) and gives
// its memory back.
void Join(ZORLinkChunk& chunk, ZORPartLinks& links) {
  std::size_t link = 0;
  for (std::size_t k = 0; k < chunk.keys.size(); ++k) {
    const std::size_t span = static_cast<std::size_t>(chunk.counts[k]);
    const auto from = static_cast<std::ptrdiff_t>(link);
    const auto to = static_cast<std::ptrdiff_t>(link + span);
    links.partners.insert(links.partners.end(), chunk.partners.begin() + from,
                          chunk.partners.begin() + to);
    links.weights.insert(links.weights.end(), chunk.weights.begin() + from,
                         chunk.weights.begin() + to);
    links.offsets[static_cast<std::size_t>(chunk.keys[k]) + 1] = chunk.counts[k];
    link += span;
  }
  chunk.Clear();
}

}  // namespace

void ZORPartLinks::Interpolate(int point, const double* values, int components, double* row) const {
  std::fill(row, row + components, 0.0);
  for (std::int64_t link = offsets[static_cast<std::size_t>(point)];
       link < offsets[static_cast<std::size_t>(point) + 1]; ++link) {
    const double weight = weights[static_cast<std::size_t>(link)];
    const double* source =
        values + static_cast<std::size_t>(partners[static_cast<std::size_t>(link)]) * components;
    for (int c = 0; c < components; ++c) row[c] += weight * source[c];
  }
}

void ZORMtkPartSearch::Prepare(bool plane, const ZORSearchTolerances& tolerances, bool containing,
                               const ZORMpiExchange& exchange) {
  locator_.reset();
  mesh_.reset();
  FormGrid(plane ? 2 : 3, std::max(tolerances.boundary, tolerances.normal), exchange);
  if (!reader_) return;
  mesh_ = std::make_unique<ZORMtkSourceElements>(*reader_, grid_);
  locator_ = std::make_unique<ZORMtkPointLocator>(*mesh_, grid_, tolerances,
                                                  ZORMtkPointLocator::Settings{true, containing});
}

// The part's cells go into the database sorted by their global element numbers; the builder
// keeps that order, since it groups cells by type in the order the types first appear.
void ZORMtkPartSearch::Write(const ZORMtkMeshArrays& part, const ZORMtkGlobalCellOrder& order) {
  writer_.CreateSim(kDatabaseName);
  if (part.cellCount == 0) return;
  std::vector<int> connectivity;
  std::vector<std::int64_t> offsets{0};
  std::vector<std::uint8_t> types;
  for (const int cell : order.cells) {
    connectivity.insert(connectivity.end(), part.connectivity + part.offsets[cell],
                        part.connectivity + part.offsets[cell + 1]);
    offsets.push_back(static_cast<std::int64_t>(connectivity.size()));
    types.push_back(part.types[cell]);
  }
  ZORMtkMeshArrays sorted = part;
  sorted.connectivity = connectivity.data();
  sorted.offsets = offsets.data();
  sorted.types = types.data();
  ZORMtkMeshBuilder builder(sorted, "source part");
  // The part was checked as the host gave it; sorted, it passes again.
  builder.Check();
  meshID_ = builder.Write(writer_);
  reader_ = std::make_unique<ZORMtkSimReader>();
  reader_->SetScope(writer_.GetRootPosition(), ScopeElementRegion, meshID_, cow_List<int>());
  for (const int sortedCell : builder.CellOfElement()) {
    const std::size_t s = static_cast<std::size_t>(sortedCell);
    elementNumbers_.push_back(order.elementNumbers[s]);
    hostCells_.push_back(order.firstCell + order.cells[s]);
  }
}

// The whole source's corners, and its mean element size summed in global element order, give
// the grid one process would build; this part's boxes then fill its buckets.
void ZORMtkPartSearch::FormGrid(int dimension, double margin, const ZORMpiExchange& exchange) {
  const int count = reader_ ? reader_->numElements : 0;
  const std::size_t values = static_cast<std::size_t>(count) * static_cast<std::size_t>(dimension);
  std::vector<int> members(static_cast<std::size_t>(count));
  std::vector<double> boxMin(values);
  std::vector<double> boxMax(values);
  double localMean = 0.0;
  double corners[6];
  if (count > 0)
    reader_->GetElementBoxes(members.data(), boxMin.data(), boxMax.data(), localMean, corners,
                             corners + 3);
  double lower[3] = {0.0, 0.0, 0.0};
  double upper[3] = {0.0, 0.0, 0.0};
  std::fill_n(lower, dimension, std::numeric_limits<double>::infinity());
  std::fill_n(upper, dimension, -std::numeric_limits<double>::infinity());
  std::vector<double> sizes(static_cast<std::size_t>(count), 0.0);
  for (std::size_t k = 0; k < sizes.size(); ++k) {
    for (std::size_t c = 0; c < static_cast<std::size_t>(dimension); ++c) {
      const std::size_t at = k * static_cast<std::size_t>(dimension) + c;
      lower[c] = std::min(lower[c], boxMin[at]);
      upper[c] = std::max(upper[c], boxMax[at]);
      sizes[k] = std::max(sizes[k], boxMax[at] - boxMin[at]);
    }
  }
  MPI_Allreduce(MPI_IN_PLACE, lower, 3, MPI_DOUBLE, MPI_MIN, exchange.Comm());
  MPI_Allreduce(MPI_IN_PLACE, upper, 3, MPI_DOUBLE, MPI_MAX, exchange.Comm());
  const double mean = exchange.OrderedSum(sizes) / static_cast<double>(exchange.Total(count));
  for (int c = 0; c < dimension; ++c) {
    if (upper[c] - lower[c] < kFlat * mean) {
      lower[c] -= kSlab * mean;
      upper[c] += kSlab * mean;
    }
  }
  grid_.FormFromBoxes(meshID_, dimension, std::move(members), std::move(boxMin), std::move(boxMax),
                      mean, lower, upper, margin);
}

std::vector<ZORPartAnswer> ZORMtkPartSearch::Locate(const std::vector<double>& points, int threads,
                                                    ZORPartLinks& links) const {
  const int count = static_cast<int>(points.size() / 3);
  std::vector<ZORPartAnswer> answers(static_cast<std::size_t>(count),
                                     ZORPartAnswer{-1, -1, 0.0, -1, 0});
  links = ZORPartLinks();
  links.offsets.assign(static_cast<std::size_t>(count) + 1, 0);
  if (!locator_ || count == 0) return answers;
  const int workers = ZORParallelFor::ResolveThreads(threads);
  const int size = ZORParallelFor::ChunkSize(count, workers, kPreferredChunk);
  const int chunkCount = (count + size - 1) / size;
  std::vector<ZORLinkChunk> chunks(static_cast<std::size_t>(chunkCount));
  std::vector<ZORMtkPointLocator::Scratch> scratch(static_cast<std::size_t>(workers));
  const auto search = [&](int chunk, int worker) {
    ZORPointMatch match;
    int partners[ZORMtkSourceElements::kMaxNodes];
    const double one = 1.0;
    for (int n = chunk * size; n < std::min(count, (chunk + 1) * size); ++n) {
      const double* point = points.data() + 3 * static_cast<std::size_t>(n);
      if (!locator_->Locate(point, scratch[static_cast<std::size_t>(worker)], match, nullptr))
        continue;
      const std::size_t element = static_cast<std::size_t>(grid_.ElementMember(match.element));
      answers[static_cast<std::size_t>(n)] =
          ZORPartAnswer{elementNumbers_[element], hostCells_[element], match.excess, match.pass,
                        match.approximate ? 1 : 0};
      if (match.exactNode >= 0) {
        partners[0] = mesh_->NodeMember(match.exactNode);
        chunks[static_cast<std::size_t>(chunk)].Add(n, 0, partners, &one, 1);
        continue;
      }
      const int* nodes = mesh_->NodePositions(match.element);
      for (int k = 0; k < match.nodeCount; ++k) partners[k] = mesh_->NodeMember(nodes[k]);
      chunks[static_cast<std::size_t>(chunk)].Add(n, 0, partners, match.weights, match.nodeCount);
    }
  };
  int joined = 0;
  ZORParallelFor::Run(chunkCount, workers, search, [&](int prefix) {
    for (; joined < prefix; ++joined) Join(chunks[static_cast<std::size_t>(joined)], links);
  });
  for (std::size_t n = 0; n < static_cast<std::size_t>(count); ++n)
    links.offsets[n + 1] += links.offsets[n];
  return answers;
}
