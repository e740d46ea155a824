#include "distributed/impl/ZORMtkDistributedMapperImpl.h"

#include <utility>

#include "mapper/impl/ZORMtkMappingContext.h"
#include "mapper/impl/ZORMtkNodalKernels.h"
#include "platform/impl/ZORHugePages.h"

// The conservative path of ZORMtkDistributedMapper::Impl: the search of the source nodes in the
// target mesh (or, turned round, of the target nodes in the source), the scatter links it
// yields, and the scatter of a field.

namespace {

// The owned nodes of a side, in the whole's order, three coordinates each.
std::vector<double> OwnedPoints(const ZORMtkPartSide& side) {
  std::vector<double> coordinates;
  const int dimension = side.nodes.Dimension();
  std::vector<int> positionOfRow(static_cast<std::size_t>(side.partNodes), -1);
  for (int n = 0; n < side.nodes.Count(); ++n)
    positionOfRow[static_cast<std::size_t>(side.nodes.Row(n))] = n;
  for (const int row : side.owners.OwnedRows()) {
    const double* x = side.nodes.Node(static_cast<std::size_t>(positionOfRow[row]));
    for (int a = 0; a < 3; ++a) coordinates.push_back(a < dimension ? x[a] : 0.0);
  }
  return coordinates;
}

}  // namespace

// Turned round as one process turns it: every source node, once, by its owner, is searched in the
// target's elements (or for its nearest target node) and scatters its value to the partner nodes.
// When some target node takes no weight that way (a source coarser than the target's elements),
// the target nodes are searched in the source's elements instead and the links turned round; the
// diagnostics are then that search's, as on one process.
void ZORMtkDistributedMapper::Impl::SearchConservative() {
  const bool nearest = options.method == MethodNearestNode;
  source.owners.Number(source.nodes, source.partNodes, exchange);
  target.owners.Number(target.nodes, target.partNodes, exchange);
  const std::vector<double> sourceNodes = OwnedPoints(source);
  hosts = &target;
  points = &sourceNodes;
  firstPoint = source.owners.First(exchange.Rank());
  diagnostics->Context().diagnostics.SetReportSide(0);
  SearchPoints(nearest, false);
  Report();
  std::vector<ZORScatterLink> links = ScatterLinks(true);
  wonLinks = ZORPartLinks();
  scatter.Build(std::move(links), source.owners, target.owners, target.partNodes, exchange);
  if (!nearest && !scatter.CoversTarget(exchange)) {
    const std::vector<double> targetNodes = OwnedPoints(target);
    hosts = &source;
    points = &targetNodes;
    firstPoint = target.owners.First(exchange.Rank());
    diagnostics->Context().diagnostics.ClearErrors();
    diagnostics->Context().diagnostics.SetReportSide(1);
    SearchPoints(false, false);
    Report();
    links = ScatterLinks(false);
    wonLinks = ZORPartLinks();
    scatter.Build(ZORMtkConservativeScatter::Transpose(std::move(links), source.owners, exchange),
                  source.owners, target.owners, target.partNodes, exchange);
  }
  points = nullptr;
  placed = scatter.Placed();
  cells.assign(placed.size(), -1);
}

// The links of the points this rank won, as links from source to target nodes: the points are
// the source nodes (sourcePoints) or the target nodes, and the partners the other side's nodes.
// Each point's number comes from the rank that asked, in the order Map reads values back.
std::vector<ZORScatterLink> ZORMtkDistributedMapper::Impl::ScatterLinks(bool sourcePoints) const {
  std::vector<std::int64_t> offsets(everyRank.size() + 1, 0);
  for (const int rank : giver)
    if (rank >= 0) ++offsets[static_cast<std::size_t>(rank) + 1];
  for (std::size_t r = 1; r < offsets.size(); ++r) offsets[r] += offsets[r - 1];
  std::vector<std::int64_t> next = ZORMpiExchange::RunStarts(offsets);
  std::vector<std::int64_t> numbers(static_cast<std::size_t>(offsets.back()));
  for (int round = 0; round < roundCount; ++round)
    for (std::size_t t = 0; t < giver.size(); ++t)
      if (giverRound[t] == round)
        numbers[static_cast<std::size_t>(next[static_cast<std::size_t>(giver[t])]++)] =
            firstPoint + static_cast<std::int64_t>(t);
  std::vector<std::int64_t> arrived;
  const std::vector<std::int64_t> won = exchange.AllToAll(numbers, offsets, arrived);
  const ZORMtkNodeOwners& partners = sourcePoints ? target.owners : source.owners;
  std::vector<ZORScatterLink> links;
  ZORHugePages::Reserve(links, wonLinks.partners.size());
  for (int point = 0; point < wonLinks.Count(); ++point)
    for (std::int64_t link = wonLinks.offsets[static_cast<std::size_t>(point)];
         link < wonLinks.offsets[static_cast<std::size_t>(point) + 1]; ++link) {
      const std::int64_t number = won[static_cast<std::size_t>(point)];
      const std::int64_t partner =
          partners.NumberOf(wonLinks.partners[static_cast<std::size_t>(link)]);
      const double weight = wonLinks.weights[static_cast<std::size_t>(link)];
      links.push_back(sourcePoints ? ZORScatterLink{number, partner, weight}
                                   : ZORScatterLink{partner, number, weight});
    }
  return links;
}

// The scatter, and the conservation check of one process on the sums of the wholes, recorded
// alike on every rank.
ZORMtkArrayStatus ZORMtkDistributedMapper::Impl::MapConservative(const double* sourceValues,
                                                                 int components,
                                                                 double* targetValues) {
  std::vector<double> sums;
  scatter.Apply(sourceValues, components, targetValues, sums, exchange);
  ZORMtkNodalKernels::RecordUnconserved(sums.data(), sums.data() + components, components,
                                        diagnostics->Context().diagnostics);
  return ZORMtkArrayStatus::Ok();
}
