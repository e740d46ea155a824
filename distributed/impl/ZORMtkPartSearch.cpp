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
constexpr int kPreferredChunk = 2048;

}  // namespace

// What one chunk of points found: their links (keyed by point, or in record order for shells)
// and facet records. Filled by one thread, joined in chunk order.
struct ZORMtkPartSearch::Chunk {
  ZORLinkChunk links;
  std::vector<ZORFacetRecord> records;

  // Appends the links (counts first; offsets are summed once all are in) and records, and gives
  // the memory back. Links by record come in order; links by point go to their point's slot.
  void JoinInto(ZORPartLinks& joined, std::vector<ZORFacetRecord>& allRecords, bool byRecord) {
    std::size_t link = 0;
    for (std::size_t k = 0; k < links.keys.size(); ++k) {
      const std::size_t span = static_cast<std::size_t>(links.counts[k]);
      const auto from = static_cast<std::ptrdiff_t>(link);
      const auto to = static_cast<std::ptrdiff_t>(link + span);
      joined.partners.insert(joined.partners.end(), links.partners.begin() + from,
                             links.partners.begin() + to);
      joined.weights.insert(joined.weights.end(), links.weights.begin() + from,
                            links.weights.begin() + to);
      if (byRecord)
        joined.offsets.push_back(links.counts[k]);
      else
        joined.offsets[static_cast<std::size_t>(links.keys[k]) + 1] = links.counts[k];
      link += span;
    }
    allRecords.insert(allRecords.end(), records.begin(), records.end());
    *this = Chunk();
  }
};

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

void ZORMtkPartSearch::Prepare(bool plane, bool shells, const ZORSearchTolerances& tolerances,
                               bool containing, const ZORMpiExchange& exchange) {
  locator_.reset();
  mesh_.reset();
  shells_ = shells;
  FormGrid(plane ? 2 : 3, std::max(tolerances.boundary, tolerances.normal), exchange);
  if (shells) UseWholeMeanLength(exchange);
  if (!mesh_) return;
  locator_ = std::make_unique<ZORMtkPointLocator>(*mesh_, grid_, tolerances,
                                                  ZORMtkPointLocator::Settings{true, containing});
}

// A facet's normal reach is a fraction of the whole's mean element length: the lengths summed in
// global element order, as one process sums them, over the whole's element count.
void ZORMtkPartSearch::UseWholeMeanLength(const ZORMpiExchange& exchange) {
  std::vector<double> lengths;
  for (int e = 0; mesh_ && e < mesh_->ElementCount(); ++e) lengths.push_back(mesh_->Length(e));
  const std::int64_t count = exchange.Total(static_cast<std::int64_t>(lengths.size()));
  meanLength_ = exchange.OrderedSum(lengths) / static_cast<double>(count);
  if (mesh_) mesh_->UseMeanLength(meanLength_);
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
// the grid one process would build; this part's boxes then fill its buckets. The part's mesh is
// read once, for its boxes and its search.
void ZORMtkPartSearch::FormGrid(int dimension, double margin, const ZORMpiExchange& exchange) {
  if (reader_) mesh_ = std::make_unique<ZORMtkSourceElements>(*reader_, 1);
  const int count = mesh_ ? mesh_->ElementCount() : 0;
  double lower[3] = {0.0, 0.0, 0.0};
  double upper[3] = {0.0, 0.0, 0.0};
  std::fill_n(lower, dimension, std::numeric_limits<double>::infinity());
  std::fill_n(upper, dimension, -std::numeric_limits<double>::infinity());
  std::vector<double> sizes(static_cast<std::size_t>(count), 0.0);
  for (int k = 0; k < count; ++k) {
    const double* box = mesh_->Box(k);
    for (int c = 0; c < dimension; ++c) {
      lower[c] = std::min(lower[c], box[c]);
      upper[c] = std::max(upper[c], box[3 + c]);
      sizes[static_cast<std::size_t>(k)] =
          std::max(sizes[static_cast<std::size_t>(k)], box[3 + c] - box[c]);
    }
  }
  MPI_Allreduce(MPI_IN_PLACE, lower, 3, MPI_DOUBLE, MPI_MIN, exchange.Comm());
  MPI_Allreduce(MPI_IN_PLACE, upper, 3, MPI_DOUBLE, MPI_MAX, exchange.Comm());
  const double mean = exchange.OrderedSum(sizes) / static_cast<double>(exchange.Total(count));
  ZORMtkSourceElements::WidenFlatAxes(dimension, mean, lower, upper);
  if (mesh_) {
    grid_.FormFromMesh(meshID_, *mesh_, mean, lower, upper, margin);
  } else {
    grid_.FormFromBoxes(meshID_, dimension, {}, {}, {}, mean, lower, upper, margin);
  }
}

// The answer about one placed point, its links and, for shells, its facet records: every facet
// that accepted it, and the facet whose node it coincides with, which ended the search.
void ZORMtkPartSearch::Answer(int point, const ZORPointMatch& match,
                              const std::vector<ZORFacetHit>& hits, ZORPartAnswer& answer,
                              Chunk& chunk) const {
  const auto element = [this](int position) {
    return static_cast<std::size_t>(grid_.ElementMember(position));
  };
  const std::size_t chosen = element(match.element);
  answer = ZORPartAnswer{elementNumbers_[chosen],
                         hostCells_[chosen],
                         match.excess,
                         match.pass,
                         match.approximate ? 1 : 0,
                         0};
  int partners[ZORMtkSourceElements::kMaxNodes];
  const auto link = [&](int position, const double* weights, int count) {
    const int* nodes = mesh_->NodePositions(position);
    for (int k = 0; k < count; ++k) partners[k] = mesh_->NodeMember(nodes[k]);
    chunk.links.Add(point, 0, partners, weights, count);
  };
  if (shells_) {
    for (const ZORFacetHit& hit : hits) {
      const std::size_t e = element(hit.element);
      chunk.records.push_back(ZORFacetRecord{elementNumbers_[e], hostCells_[e], hit.distance,
                                             hit.excess, hit.listed ? 1 : 0, 0});
      link(hit.element, hit.weights, mesh_->NodeCountOf(hit.element));
    }
    answer.records = static_cast<std::int32_t>(hits.size());
  }
  if (match.exactNode >= 0) {
    partners[0] = mesh_->NodeMember(match.exactNode);
    const double one = 1.0;
    chunk.links.Add(point, 0, partners, &one, 1);
    if (!shells_) return;
    chunk.records.push_back(
        ZORFacetRecord{elementNumbers_[chosen], hostCells_[chosen], 0.0, 0.0, 0, 1});
    ++answer.records;
  } else if (!shells_) {
    link(match.element, match.weights, match.nodeCount);
  }
}

std::vector<ZORPartAnswer> ZORMtkPartSearch::Locate(const std::vector<double>& points, int threads,
                                                    ZORPartLinks& links,
                                                    std::vector<ZORFacetRecord>& records) const {
  const int count = static_cast<int>(points.size() / 3);
  std::vector<ZORPartAnswer> answers(static_cast<std::size_t>(count),
                                     ZORPartAnswer{-1, -1, 0.0, -1, 0, 0});
  links = ZORPartLinks();
  records.clear();
  if (!shells_) links.offsets.assign(static_cast<std::size_t>(count) + 1, 0);
  if (!locator_ || count == 0) return answers;
  const int workers = ZORParallelFor::ResolveThreads(threads);
  const int size = ZORParallelFor::ChunkSize(count, workers, kPreferredChunk);
  const int chunkCount = (count + size - 1) / size;
  std::vector<Chunk> chunks(static_cast<std::size_t>(chunkCount));
  std::vector<ZORMtkPointLocator::Scratch> scratch(static_cast<std::size_t>(workers));
  // Each worker's list refills at every point, so no two lists' headers share a cache line.
  struct alignas(ZORParallelFor::kCacheLine) WorkerHits {
    std::vector<ZORFacetHit> list;
  };
  std::vector<WorkerHits> hits(static_cast<std::size_t>(workers));
  for (std::size_t w = 0; w < scratch.size() && shells_; ++w)
    scratch[w].RecordFacets(&hits[w].list);
  const auto search = [&](int chunk, int worker) {
    ZORPointMatch match;
    for (int n = chunk * size; n < std::min(count, (chunk + 1) * size); ++n) {
      const double* point = points.data() + 3 * static_cast<std::size_t>(n);
      if (!locator_->Locate(point, scratch[static_cast<std::size_t>(worker)], match, nullptr))
        continue;
      Answer(n, match, hits[static_cast<std::size_t>(worker)].list,
             answers[static_cast<std::size_t>(n)], chunks[static_cast<std::size_t>(chunk)]);
    }
  };
  int joined = 0;
  ZORParallelFor::Run(chunkCount, workers, search, [&](int prefix) {
    for (; joined < prefix; ++joined)
      chunks[static_cast<std::size_t>(joined)].JoinInto(links, records, shells_);
  });
  for (std::size_t n = 0; n + 1 < links.offsets.size(); ++n)
    links.offsets[n + 1] += links.offsets[n];
  return answers;
}
