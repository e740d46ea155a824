#include "distributed/ZORMtkDistributedMapper.h"

#include <algorithm>
#include <cmath>

#include "api/ZORMtkDiagnosticTexts.h"
#include "api/ZORMtkVtkCells.h"
#include "api/impl/ZORMtkMeshBuilder.h"
#include "distributed/impl/ZORMpiExchange.h"
#include "distributed/impl/ZORMtkGlobalCellOrder.h"
#include "distributed/impl/ZORMtkPartRouting.h"
#include "distributed/impl/ZORMtkPartSearch.h"
#include "mapper/ZORMtkMapper.h"
#include "mapper/impl/ZORMtkMappingContext.h"

namespace {

// A target point nobody placed, as every rank learns of it for the diagnostics.
struct UnplacedPoint {
  std::int64_t index;
  double coords[3];
};

// Whether answer a beats answer b as one search over the whole source would decide: a point
// placed in the strict pass beats one placed only in the relaxed pass; within a pass an element
// that holds the point beats one taken approximately, approximate ones go by their excess, and
// the rest by element number, since one process scans the elements in that order.
bool Beats(const ZORPartAnswer& a, const ZORPartAnswer& b) {
  if (a.pass < 0) return false;
  if (b.pass < 0) return true;
  if (a.pass != b.pass) return a.pass < b.pass;
  if (a.approximate != b.approximate) return a.approximate == 0;
  if (a.approximate != 0 && a.excess != b.excess) return a.excess < b.excess;
  return a.element < b.element;
}

// Whether one process would take the part as plane elements: two coordinates, or no solid
// and every z zero.
bool LooksPlane(const ZORMtkMeshArrays& part) {
  if (part.dimension == 2) return true;
  for (int c = 0; c < part.cellCount; ++c) {
    const ZORMtkVtkCell* cell = ZORMtkVtkCells::Find(part.types[c]);
    if (cell != nullptr && cell->dimension == 3) return false;
  }
  for (int i = 0; i < part.nodeCount; ++i)
    if (part.coordinates[3 * static_cast<std::size_t>(i) + 2] != 0.0) return false;
  return true;
}

ZORMtkArrayStatus CheckPartKinds(const ZORMtkMeshArrays& part, bool plane) {
  if (part.cellCount > 0 && LooksPlane(part) && !plane)
    return ZORMtkArrayStatus::Invalid(
        "the source part lies in z = 0 without solids while the whole source does not; one "
        "process would take its cells as shells, which the distributed search does not take");
  for (int c = 0; c < part.cellCount; ++c)
    if (!plane && ZORMtkVtkCells::Find(part.types[c])->dimension == 2)
      return ZORMtkArrayStatus::Invalid(
          "source cell " + std::to_string(c) +
          " is a surface cell in three dimensions (a shell); the distributed search takes "
          "solid, plane and line cells only");
  return ZORMtkArrayStatus::Ok();
}

ZORMtkArrayStatus CheckOptions(const ZORMtkArrayOptions& options) {
  if (options.method != MethodShapeInterpolation)
    return ZORMtkArrayStatus::Invalid("the distributed mapper maps by shape interpolation only");
  if (options.nearestFallback || options.conservative)
    return ZORMtkArrayStatus::Invalid(
        "the distributed mapper has no nearest-node fallback and no conservative mapping");
  if (options.elementChoice != ChoiceFirstAccepted && options.elementChoice != ChoiceContaining)
    return ZORMtkArrayStatus::Invalid("the element choice is first accepted (0) or containing (1)");
  if (options.threads < 0 || !(options.boundaryTolerance >= 0.0) ||
      !(options.normalTolerance >= 0.0) || !std::isfinite(options.boundaryTolerance) ||
      !std::isfinite(options.normalTolerance))
    return ZORMtkArrayStatus::Invalid(
        "threads and tolerances are finite and not negative (0 keeps the library's value)");
  return ZORMtkArrayStatus::Ok();
}

}  // namespace

class ZORMtkDistributedMapper::Impl {
 public:
  explicit Impl(MPI_Comm comm) : exchange(comm) {}

  void DropWeights() {
    ready = false;
    placed.clear();
  }
  ZORMtkArrayStatus CheckReady() const;
  void Search();
  std::vector<std::int64_t> SendQueries(const ZORMtkPartRouting& routing,
                                        std::vector<double>& queries) const;
  void Decide(const ZORMtkPartRouting& routing, const std::vector<std::int64_t>& offsets,
              const std::vector<ZORPartAnswer>& answers);
  void KeepWon(const std::vector<std::int64_t>& queryOffsets, const ZORPartLinks& links,
               const std::vector<unsigned char>& won);
  void Report();

  ZORMpiExchange exchange;
  ZORMtkArrayOptions options;
  // The source part.
  std::unique_ptr<ZORMtkPartSearch> part;
  bool plane = false;
  int sourceNodes = 0;
  std::int64_t sourceElements = 0;
  // This rank's targets: three coordinates each, and the index of the first in the whole.
  std::vector<double> targets;
  std::int64_t firstTarget = 0;
  bool targetSet = false;
  // The search's outcome: for each target the rank that placed it (-1: none) and its cell.
  bool ready = false;
  std::vector<int> winner;
  std::vector<std::int64_t> cells;
  std::vector<unsigned char> placed;
  // The points this rank placed for others, rank after rank, with their links.
  std::vector<std::int64_t> wonOffsets;
  ZORPartLinks wonLinks;
  std::unique_ptr<ZORMtkMapper> diagnostics;
};

ZORMtkArrayStatus ZORMtkDistributedMapper::Impl::CheckReady() const {
  if (!part) return ZORMtkArrayStatus::Invalid("no source part was given");
  if (!targetSet) return ZORMtkArrayStatus::Invalid("no target points were given");
  if (sourceElements == 0)
    return ZORMtkArrayStatus::Invalid(
        "the source mesh has no cells on any rank; shape interpolation needs them");
  return ZORMtkArrayStatus::Ok();
}

// Each target goes to the ranks whose parts have elements in its bucket, rank after rank, each
// rank's run in target order. Returns the run offsets.
std::vector<std::int64_t> ZORMtkDistributedMapper::Impl::SendQueries(
    const ZORMtkPartRouting& routing, std::vector<double>& queries) const {
  const std::size_t ranks = static_cast<std::size_t>(exchange.Size());
  const std::size_t count = targets.size() / 3;
  std::vector<std::int64_t> offsets(ranks + 1, 0);
  for (std::size_t t = 0; t < count; ++t) {
    int size = 0;
    const int* to = routing.Ranks(targets.data() + 3 * t, size);
    for (int k = 0; k < size; ++k) ++offsets[static_cast<std::size_t>(to[k]) + 1];
  }
  for (std::size_t r = 0; r < ranks; ++r) offsets[r + 1] += offsets[r];
  std::vector<std::int64_t> next(offsets.begin(), offsets.end() - 1);
  queries.assign(3 * static_cast<std::size_t>(offsets[ranks]), 0.0);
  for (std::size_t t = 0; t < count; ++t) {
    int size = 0;
    const int* to = routing.Ranks(targets.data() + 3 * t, size);
    for (int k = 0; k < size; ++k) {
      const std::size_t at = static_cast<std::size_t>(next[static_cast<std::size_t>(to[k])]++);
      std::copy_n(targets.data() + 3 * t, 3, queries.data() + 3 * at);
    }
  }
  return offsets;
}

// Takes for every target the best of the answers its ranks sent back, in the order they were
// asked.
void ZORMtkDistributedMapper::Impl::Decide(const ZORMtkPartRouting& routing,
                                           const std::vector<std::int64_t>& offsets,
                                           const std::vector<ZORPartAnswer>& answers) {
  const std::size_t count = targets.size() / 3;
  std::vector<std::int64_t> next(offsets.begin(), offsets.end() - 1);
  winner.assign(count, -1);
  cells.assign(count, -1);
  placed.assign(count, 0);
  for (std::size_t t = 0; t < count; ++t) {
    int size = 0;
    const int* from = routing.Ranks(targets.data() + 3 * t, size);
    ZORPartAnswer best{-1, -1, 0.0, -1, 0};
    for (int k = 0; k < size; ++k) {
      const ZORPartAnswer& answer =
          answers[static_cast<std::size_t>(next[static_cast<std::size_t>(from[k])]++)];
      if (!Beats(answer, best)) continue;
      best = answer;
      winner[t] = from[k];
    }
    cells[t] = best.cell;
    placed[t] = winner[t] >= 0 ? 1 : 0;
  }
}

// Keeps the links of the points this rank won, rank after rank in the order they were asked.
void ZORMtkDistributedMapper::Impl::KeepWon(const std::vector<std::int64_t>& queryOffsets,
                                            const ZORPartLinks& links,
                                            const std::vector<unsigned char>& won) {
  const std::size_t ranks = static_cast<std::size_t>(exchange.Size());
  wonOffsets.assign(ranks + 1, 0);
  wonLinks = ZORPartLinks();
  for (std::size_t r = 0; r < ranks; ++r) {
    for (std::int64_t q = queryOffsets[r]; q < queryOffsets[r + 1]; ++q) {
      if (won[static_cast<std::size_t>(q)] == 0) continue;
      const auto first = links.offsets[static_cast<std::size_t>(q)];
      const auto last = links.offsets[static_cast<std::size_t>(q) + 1];
      wonLinks.partners.insert(wonLinks.partners.end(), links.partners.begin() + first,
                               links.partners.begin() + last);
      wonLinks.weights.insert(wonLinks.weights.end(), links.weights.begin() + first,
                              links.weights.begin() + last);
      wonLinks.offsets.push_back(static_cast<std::int64_t>(wonLinks.partners.size()));
    }
    wonOffsets[r + 1] = wonLinks.Count();
  }
}

// Every rank learns every unplaced point, in the order of the whole, and records them as one
// process's search would.
void ZORMtkDistributedMapper::Impl::Report() {
  std::vector<UnplacedPoint> mine;
  for (std::size_t t = 0; t < winner.size(); ++t)
    if (winner[t] < 0)
      mine.push_back(UnplacedPoint{firstTarget + static_cast<std::int64_t>(t),
                                   {targets[3 * t], targets[3 * t + 1], targets[3 * t + 2]}});
  const int bytes = static_cast<int>(mine.size() * sizeof(UnplacedPoint));
  std::vector<int> counts(static_cast<std::size_t>(exchange.Size()));
  MPI_Allgather(&bytes, 1, MPI_INT, counts.data(), 1, MPI_INT, exchange.Comm());
  std::vector<int> displacements(counts.size(), 0);
  for (std::size_t r = 1; r < counts.size(); ++r)
    displacements[r] = displacements[r - 1] + counts[r - 1];
  std::vector<UnplacedPoint> all(static_cast<std::size_t>(displacements.back() + counts.back()) /
                                 sizeof(UnplacedPoint));
  MPI_Allgatherv(mine.data(), bytes, MPI_BYTE, all.data(), counts.data(), displacements.data(),
                 MPI_BYTE, exchange.Comm());
  ZORSearchMisses misses;
  for (const UnplacedPoint& point : all)
    misses.misses.push_back(ZORSearchMiss{ZORSearchMiss::Kind::NodeNotPlaced,
                                          static_cast<int>(point.index),
                                          {point.coords[0], point.coords[1], point.coords[2]},
                                          0.0});
  diagnostics->Context().Report(misses);
}

void ZORMtkDistributedMapper::Impl::Search() {
  diagnostics = std::make_unique<ZORMtkMapper>(ZORSrvPosition());
  diagnostics->DefineSearchTolerance(options.boundaryTolerance, options.normalTolerance);
  const ZORSearchTolerances tolerances = diagnostics->Context().tolerances;
  part->Prepare(plane, tolerances, options.elementChoice == ChoiceContaining, exchange);
  const ZORMtkPartRouting routing(part->Grid(), exchange);
  std::vector<double> queries;
  const std::vector<std::int64_t> sent = SendQueries(routing, queries);
  // Offsets count points; the coordinates travel three to a point.
  std::vector<std::int64_t> coordinateOffsets(sent);
  for (std::int64_t& offset : coordinateOffsets) offset *= 3;
  std::vector<std::int64_t> received;
  queries = exchange.AllToAll(queries, coordinateOffsets, received);
  for (std::int64_t& offset : received) offset /= 3;
  ZORPartLinks links;
  const std::vector<ZORPartAnswer> answers = part->Locate(queries, options.threads, links);
  queries = std::vector<double>();
  std::vector<std::int64_t> returned;
  Decide(routing, sent, exchange.AllToAll(answers, received, returned));
  // Tell each rank which of the points it answered it won, in the order they were asked.
  std::vector<unsigned char> won(static_cast<std::size_t>(sent.back()), 0);
  std::vector<std::int64_t> next(sent.begin(), sent.end() - 1);
  for (std::size_t t = 0; t < winner.size(); ++t) {
    int size = 0;
    const int* to = routing.Ranks(targets.data() + 3 * t, size);
    for (int k = 0; k < size; ++k)
      won[static_cast<std::size_t>(next[static_cast<std::size_t>(to[k])]++)] =
          to[k] == winner[t] ? 1 : 0;
  }
  KeepWon(received, links, exchange.AllToAll(won, sent, returned));
  Report();
  ready = true;
}

ZORMtkDistributedMapper::ZORMtkDistributedMapper(MPI_Comm comm)
    : impl_(std::make_unique<Impl>(comm)) {}

ZORMtkDistributedMapper::~ZORMtkDistributedMapper() = default;

ZORMtkArrayStatus ZORMtkDistributedMapper::SetSource(const ZORMtkMeshArrays& part) {
  Impl& impl = *impl_;
  impl.DropWeights();
  impl.part.reset();
  ZORMtkArrayStatus status = ZORMtkArrayStatus::Ok();
  if (!part.blocks.empty())
    status = ZORMtkArrayStatus::Invalid(
        "the source part comes as VTK cells; blocks are not taken by the distributed mapper");
  const bool empty = part.nodeCount == 0 && part.cellCount == 0;
  ZORMtkMeshBuilder check(part, "source part");
  if (status && !empty) status = check.Check();
  status = impl.exchange.Agree(status);
  if (!status) return status;
  int plane = LooksPlane(part) ? 1 : 0;
  MPI_Allreduce(MPI_IN_PLACE, &plane, 1, MPI_INT, MPI_LAND, impl.exchange.Comm());
  impl.plane = plane != 0;
  status = impl.exchange.Agree(CheckPartKinds(part, impl.plane));
  if (!status) return status;
  const ZORMtkGlobalCellOrder order = ZORMtkGlobalCellOrder::Of(part, impl.plane, impl.exchange);
  impl.part = std::make_unique<ZORMtkPartSearch>();
  impl.part->Write(part, order);
  impl.sourceNodes = part.nodeCount;
  impl.sourceElements = impl.exchange.Total(part.cellCount);
  return status;
}

ZORMtkArrayStatus ZORMtkDistributedMapper::SetTarget(const ZORMtkMeshArrays& points) {
  Impl& impl = *impl_;
  impl.DropWeights();
  impl.targetSet = false;
  ZORMtkArrayStatus status = ZORMtkArrayStatus::Ok();
  if (points.dimension != 2 && points.dimension != 3)
    status = ZORMtkArrayStatus::Invalid("target points have 2 or 3 coordinates, not " +
                                        std::to_string(points.dimension));
  else if (points.nodeCount < 0 || (points.nodeCount > 0 && points.coordinates == nullptr))
    status = ZORMtkArrayStatus::Invalid("the target points need coordinates");
  const std::size_t count = status ? static_cast<std::size_t>(points.nodeCount) : 0;
  const std::size_t axes = static_cast<std::size_t>(points.dimension);
  impl.targets.assign(3 * count, 0.0);
  for (std::size_t i = 0; i < count && status; ++i)
    for (std::size_t a = 0; a < axes; ++a) {
      const double x = points.coordinates[i * axes + a];
      if (!std::isfinite(x))
        status = ZORMtkArrayStatus::Invalid("target point " + std::to_string(i) +
                                            " has a coordinate that is not a finite number");
      impl.targets[3 * i + a] = x;
    }
  status = impl.exchange.Agree(status);
  if (!status) return status;
  impl.firstTarget = impl.exchange.ExclusivePrefix(points.nodeCount);
  if (impl.exchange.Total(points.nodeCount) == 0)
    return ZORMtkArrayStatus::Invalid("target points has no nodes");
  impl.targetSet = true;
  return status;
}

ZORMtkArrayStatus ZORMtkDistributedMapper::SetOptions(const ZORMtkArrayOptions& options) {
  const ZORMtkArrayStatus status = impl_->exchange.Agree(CheckOptions(options));
  if (!status) return status;
  impl_->DropWeights();
  impl_->options = options;
  return status;
}

ZORMtkArrayStatus ZORMtkDistributedMapper::ComputeWeights() {
  if (impl_->ready) return ZORMtkArrayStatus::Ok();
  const ZORMtkArrayStatus status = impl_->exchange.Agree(impl_->CheckReady());
  if (status) impl_->Search();
  return status;
}

ZORMtkArrayStatus ZORMtkDistributedMapper::Map(const double* sourceValues, int sourceRows,
                                               int components, double* targetValues) {
  ZORMtkArrayStatus status = ComputeWeights();
  if (!status) return status;
  Impl& impl = *impl_;
  const std::size_t count = impl.winner.size();
  if (sourceRows != impl.sourceNodes)
    status = ZORMtkArrayStatus::Invalid("the field has " + std::to_string(sourceRows) +
                                        " rows; the source part has " +
                                        std::to_string(impl.sourceNodes) + " nodes");
  else if (components < 1)
    status = ZORMtkArrayStatus::Invalid("the field needs at least one component, not " +
                                        std::to_string(components));
  else if ((sourceValues == nullptr && sourceRows > 0) || (targetValues == nullptr && count > 0))
    status = ZORMtkArrayStatus::Invalid("the field values and the result need arrays");
  status = impl.exchange.Agree(status);
  if (!status) return status;
  const std::size_t width = static_cast<std::size_t>(components);
  std::vector<double> rows(static_cast<std::size_t>(impl.wonLinks.Count()) * width);
  for (int point = 0; point < impl.wonLinks.Count(); ++point)
    impl.wonLinks.Interpolate(point, sourceValues, components,
                              rows.data() + static_cast<std::size_t>(point) * width);
  std::vector<std::int64_t> offsets(impl.wonOffsets);
  for (std::int64_t& offset : offsets) offset *= components;
  std::vector<std::int64_t> returned;
  const std::vector<double> values = impl.exchange.AllToAll(rows, offsets, returned);
  std::vector<std::int64_t> next(returned.begin(), returned.end() - 1);
  for (std::size_t t = 0; t < count; ++t) {
    double* row = targetValues + t * width;
    const int from = impl.winner[t];
    if (from < 0) {
      std::fill(row, row + width, impl.options.unplacedFill);
      continue;
    }
    std::int64_t& at = next[static_cast<std::size_t>(from)];
    std::copy_n(values.data() + at, width, row);
    at += components;
  }
  return status;
}

const std::vector<unsigned char>& ZORMtkDistributedMapper::Placed() const { return impl_->placed; }

std::vector<std::int64_t> ZORMtkDistributedMapper::SourceCells() const {
  return impl_->ready ? impl_->cells : std::vector<std::int64_t>();
}

int ZORMtkDistributedMapper::Flags() const {
  return impl_->diagnostics ? impl_->diagnostics->Diagnostics().ErrorFlags() : 0;
}

std::vector<std::string> ZORMtkDistributedMapper::DiagnosticTexts() const {
  if (!impl_->diagnostics) return {};
  return ZORMtkDiagnosticTexts::Of(*impl_->diagnostics);
}
