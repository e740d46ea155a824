#include "distributed/ZORMtkDistributedMapper.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "api/ZORMtkDiagnosticTexts.h"
#include "api/ZORMtkVtkCells.h"
#include "api/impl/ZORMtkMeshBuilder.h"
#include "distributed/impl/ZORMtkDistributedMapperImpl.h"
#include "distributed/impl/ZORMtkGlobalCellOrder.h"

namespace {

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

// mixed: the whole source has shells and solids or lines. One process lets a solid or line that
// accepts a point end the scan only when no facet accepted it before, which no part can know.
ZORMtkArrayStatus CheckPartKinds(const ZORMtkMeshArrays& part, const std::string& role, bool plane,
                                 bool mixed) {
  if (part.cellCount > 0 && LooksPlane(part) && !plane)
    return ZORMtkArrayStatus::Invalid(
        "the " + role + " part lies in z = 0 without solids while the whole " + role +
        " does not; alone it would be taken as plane elements, while one process takes its cells "
        "as shells");
  if (mixed)
    return ZORMtkArrayStatus::Invalid(
        "the " + role +
        " mixes surface cells in three dimensions (shells) with solids or lines; the distributed "
        "search takes shells only on their own");
  return ZORMtkArrayStatus::Ok();
}

// Whether the part has surface cells out of the plane (shells), and whether other cells.
void CountKinds(const ZORMtkMeshArrays& part, bool plane, int* kinds) {
  for (int c = 0; c < part.cellCount && !plane; ++c)
    kinds[ZORMtkVtkCells::Find(part.types[c])->dimension == 2 ? 0 : 1] = 1;
}

ZORMtkArrayStatus CheckOptions(const ZORMtkArrayOptions& options) {
  if (options.method != MethodShapeInterpolation && options.method != MethodNearestNode)
    return ZORMtkArrayStatus::Invalid("the method is shape interpolation (0) or nearest node (1)");
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

ZORMtkArrayStatus ZORMtkDistributedMapper::Impl::CheckReady() const {
  if (!source.search) return ZORMtkArrayStatus::Invalid("no source part was given");
  if (!targetSet) return ZORMtkArrayStatus::Invalid("no target points were given");
  if (source.elements == 0)
    return ZORMtkArrayStatus::Invalid(
        "the source mesh has no cells on any rank; the distributed mapper needs them (its nodes "
        "are the ones its cells use)");
  if (options.conservative && targetBlocks)
    return ZORMtkArrayStatus::Invalid(
        "the target part comes as blocks; a conservative mapping takes it as VTK cells");
  return ZORMtkArrayStatus::Ok();
}

// Part by part, the checks one process makes of the whole mesh, and the part's search and nodes.
// Collective.
ZORMtkArrayStatus ZORMtkDistributedMapper::Impl::MakeSide(const ZORMtkMeshArrays& part,
                                                          const std::string& role,
                                                          ZORMtkPartSide& side) {
  side.search.reset();
  int plane = LooksPlane(part) ? 1 : 0;
  MPI_Allreduce(MPI_IN_PLACE, &plane, 1, MPI_INT, MPI_LAND, exchange.Comm());
  side.plane = plane != 0;
  int kinds[2] = {0, 0};
  CountKinds(part, side.plane, kinds);
  MPI_Allreduce(MPI_IN_PLACE, kinds, 2, MPI_INT, MPI_LOR, exchange.Comm());
  side.shells = kinds[0] != 0;
  ZORMtkArrayStatus status =
      exchange.Agree(CheckPartKinds(part, role, side.plane, kinds[0] != 0 && kinds[1] != 0));
  if (!status) return status;
  const ZORMtkGlobalCellOrder order = ZORMtkGlobalCellOrder::Of(part, side.plane, exchange);
  side.search = std::make_unique<ZORMtkPartSearch>();
  side.search->Write(part, order);
  side.nodes.Take(part, side.plane);
  side.partNodes = part.nodeCount;
  side.elements = exchange.Total(part.cellCount);
  return status;
}

// The target part as a mesh, for a conservative mapping: its nodes must all be used by its cells,
// since the whole's nodes are numbered by the cells that first use them. Collective.
ZORMtkArrayStatus ZORMtkDistributedMapper::Impl::PrepareTarget() {
  const ZORMtkMeshArrays part = targetCells.Arrays();
  ZORMtkArrayStatus status = MakeSide(part, "target", target);
  if (!status) return status;
  if (target.elements == 0)
    return ZORMtkArrayStatus::Invalid(
        "a conservative mapping needs a target mesh with cells, not points alone");
  const int given = static_cast<int>(targetPoints.size() / 3);
  if (target.nodes.Count() != given)
    status = ZORMtkArrayStatus::Invalid(
        "the target part has " + std::to_string(given) + " nodes, of which its cells use " +
        std::to_string(target.nodes.Count()) +
        "; a conservative mapping takes a target part with the nodes its cells use");
  return exchange.Agree(status);
}

void ZORMtkDistributedMapper::Impl::Search() {
  diagnostics = std::make_unique<ZORMtkMapper>(ZORSrvPosition());
  diagnostics->DefineSearchTolerance(options.boundaryTolerance, options.normalTolerance);
  if (options.conservative) {
    SearchConservative();
  } else {
    hosts = &source;
    points = &targetPoints;
    firstPoint = firstTarget;
    SearchPoints(options.method == MethodNearestNode, options.nearestFallback);
    Report();
  }
  ready = true;
}

ZORMtkDistributedMapper::ZORMtkDistributedMapper(MPI_Comm comm)
    : impl_(std::make_unique<Impl>(comm)) {}

ZORMtkDistributedMapper::~ZORMtkDistributedMapper() = default;

ZORMtkArrayStatus ZORMtkDistributedMapper::SetSource(const ZORMtkMeshArrays& part) {
  Impl& impl = *impl_;
  impl.DropWeights();
  impl.source.search.reset();
  ZORMtkArrayStatus status = ZORMtkArrayStatus::Ok();
  if (!part.blocks.empty())
    status = ZORMtkArrayStatus::Invalid(
        "the source part comes as VTK cells; blocks are not taken by the distributed mapper");
  const bool empty = part.nodeCount == 0 && part.cellCount == 0;
  ZORMtkMeshBuilder check(part, "source part");
  if (status && !empty) status = check.Check();
  status = impl.exchange.Agree(status);
  if (!status) return status;
  return impl.MakeSide(part, "source", impl.source);
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
  impl.targetPoints.assign(3 * count, 0.0);
  for (std::size_t i = 0; i < count && status; ++i)
    for (std::size_t a = 0; a < axes; ++a) {
      const double x = points.coordinates[i * axes + a];
      if (!std::isfinite(x))
        status = ZORMtkArrayStatus::Invalid("target point " + std::to_string(i) +
                                            " has a coordinate that is not a finite number");
      impl.targetPoints[3 * i + a] = x;
    }
  if (status && points.cellCount > 0) status = ZORMtkMeshBuilder(points, "target part").Check();
  status = impl.exchange.Agree(status);
  if (!status) return status;
  impl.firstTarget = impl.exchange.ExclusivePrefix(points.nodeCount);
  if (impl.exchange.Total(points.nodeCount) == 0)
    return ZORMtkArrayStatus::Invalid("target points has no nodes");
  impl.targetBlocks = !points.blocks.empty();
  impl.targetCells = ZORMtkTargetCells();
  if (points.cellCount > 0) {
    ZORMtkTargetCells& kept = impl.targetCells;
    kept.dimension = points.dimension;
    kept.coordinates.assign(points.coordinates, points.coordinates + count * axes);
    kept.offsets.assign(points.offsets, points.offsets + points.cellCount + 1);
    kept.connectivity.assign(points.connectivity,
                             points.connectivity + points.offsets[points.cellCount]);
    kept.types.assign(points.types, points.types + points.cellCount);
  }
  impl.targetSet = true;
  return status;
}

// Ranks searching with different options would wait for each other's exchanges for ever, so
// every option but the thread count, which is each rank's own, must be rank 0's.
ZORMtkArrayStatus ZORMtkDistributedMapper::SetOptions(const ZORMtkArrayOptions& options) {
  const double shared[] = {static_cast<double>(options.method),
                           options.boundaryTolerance,
                           options.normalTolerance,
                           options.unplacedFill,
                           static_cast<double>(options.nearestFallback),
                           static_cast<double>(options.conservative),
                           static_cast<double>(options.elementChoice)};
  const bool same = impl_->exchange.SameAsRoot(shared, static_cast<int>(std::size(shared)));
  ZORMtkArrayStatus local = CheckOptions(options);
  if (local && !same)
    local = ZORMtkArrayStatus::Invalid(
        "the options differ from rank 0's; every rank passes the same options (the thread count "
        "may differ)");
  ZORMtkArrayStatus status = impl_->exchange.Agree(local);
  if (!status) return status;
  impl_->DropWeights();
  impl_->options = options;
  return status;
}

ZORMtkArrayStatus ZORMtkDistributedMapper::ComputeWeights() {
  if (impl_->ready) return ZORMtkArrayStatus::Ok();
  ZORMtkArrayStatus status = impl_->exchange.Agree(impl_->CheckReady());
  if (status && impl_->options.conservative) status = impl_->PrepareTarget();
  if (status) impl_->Search();
  return status;
}

ZORMtkArrayStatus ZORMtkDistributedMapper::Map(const double* sourceValues, int sourceRows,
                                               int components, double* targetValues) {
  ZORMtkArrayStatus status = ComputeWeights();
  if (!status) return status;
  Impl& impl = *impl_;
  const std::size_t count = impl.targetPoints.size() / 3;
  if (sourceRows != impl.source.partNodes)
    status = ZORMtkArrayStatus::Invalid("the field has " + std::to_string(sourceRows) +
                                        " rows; the source part has " +
                                        std::to_string(impl.source.partNodes) + " nodes");
  else if (components < 1)
    status = ZORMtkArrayStatus::Invalid("the field needs at least one component, not " +
                                        std::to_string(components));
  else if ((sourceValues == nullptr && sourceRows > 0) || (targetValues == nullptr && count > 0))
    status = ZORMtkArrayStatus::Invalid("the field values and the result need arrays");
  status = impl.exchange.Agree(status);
  if (!status) return status;
  if (impl.options.conservative)
    return impl.MapConservative(sourceValues, components, targetValues);
  const std::size_t width = static_cast<std::size_t>(components);
  std::vector<double> rows(static_cast<std::size_t>(impl.wonLinks.Count()) * width);
  for (int point = 0; point < impl.wonLinks.Count(); ++point)
    impl.wonLinks.Interpolate(point, sourceValues, components,
                              rows.data() + static_cast<std::size_t>(point) * width);
  std::vector<std::int64_t> offsets(impl.wonOffsets);
  for (std::int64_t& offset : offsets) offset *= components;
  std::vector<std::int64_t> returned;
  const std::vector<double> values = impl.exchange.AllToAll(rows, offsets, returned);
  std::vector<std::int64_t> next = ZORMpiExchange::RunStarts(returned);
  for (std::size_t t = 0; t < count; ++t)
    if (impl.giver[t] < 0)
      std::fill(targetValues + t * width, targetValues + (t + 1) * width,
                impl.options.unplacedFill);
  for (int round = 0; round < impl.roundCount; ++round)
    for (std::size_t t = 0; t < count; ++t) {
      if (impl.giverRound[t] != round) continue;
      std::int64_t& at = next[static_cast<std::size_t>(impl.giver[t])];
      std::copy_n(values.data() + at, width, targetValues + t * width);
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
