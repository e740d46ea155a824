#include "distributed/ZORMtkDistributedMapper.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "api/ZORMtkDiagnosticTexts.h"
#include "api/ZORMtkVtkCells.h"
#include "api/impl/ZORMtkMeshBuilder.h"
#include "distributed/impl/ZORMpiExchange.h"
#include "distributed/impl/ZORMtkConservativeScatter.h"
#include "distributed/impl/ZORMtkGlobalCellOrder.h"
#include "distributed/impl/ZORMtkNodeOwners.h"
#include "distributed/impl/ZORMtkPartNodes.h"
#include "distributed/impl/ZORMtkPartRouting.h"
#include "distributed/impl/ZORMtkPartSearch.h"
#include "mapper/ZORMtkMapper.h"
#include "mapper/impl/ZORMtkMappingContext.h"
#include "mapper/impl/ZORMtkNodalKernels.h"
#include "platform/impl/ZORHugePages.h"

namespace {

// A target point the diagnostics name, as every rank learns of it.
struct ReportedPoint {
  std::int64_t index;
  double coords[3];
};

// One exchange of queries about targets: where they went and, for the queries this rank received,
// the links of its answers and which of them won.
struct ZORQueryRound {
  std::vector<std::int64_t> sent;      // per rank, offsets of the queries sent there
  std::vector<std::int64_t> received;  // per rank, offsets of the queries received from it
  ZORPartLinks links;
  // Per query received, its first entry in links; empty when there is one entry per query.
  std::vector<std::int64_t> firstLink;
  // Per query received, which of its entries won (0 but for shells), -1 when none did.
  std::vector<std::int32_t> won;
};

// One rank's answer about a point, with its facet records, as the point's owner reads it.
struct ZORPartReply {
  int rank;
  const ZORPartAnswer* answer;
  const ZORFacetRecord* records;
};

// A facet record in the race the owner plays again: the reply it came with and its place there.
struct ZORFacetEntry {
  const ZORFacetRecord* record;
  int reply;
  int index;
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

// Plays again the race of the facets that the replies' parts found in the pass that placed the
// point, in element order, as one search over the whole source would: the facet whose node the
// point coincides with ends it. Returns the winner's reply and record index in `chosen`, or
// false when no part placed the point; entries is working memory.
bool PickFacet(const std::vector<ZORPartReply>& replies, double meanLength,
               std::vector<ZORFacetEntry>& entries, ZORFacetEntry& chosen) {
  int pass = 2;
  for (const ZORPartReply& reply : replies)
    if (reply.answer->pass >= 0) pass = std::min(pass, reply.answer->pass);
  if (pass == 2) return false;
  entries.clear();
  for (std::size_t r = 0; r < replies.size(); ++r)
    if (replies[r].answer->pass == pass)
      for (int i = 0; i < replies[r].answer->records; ++i)
        entries.push_back(ZORFacetEntry{replies[r].records + i, static_cast<int>(r), i});
  std::sort(entries.begin(), entries.end(), [](const ZORFacetEntry& a, const ZORFacetEntry& b) {
    return a.record->element < b.record->element;
  });
  chosen.reply = -1;
  ZORFacetRace race = ZORFacetRace::Start(meanLength);
  for (const ZORFacetEntry& entry : entries) {
    const ZORFacetRecord& record = *entry.record;
    if (record.coincident != 0) {
      chosen = entry;
      break;
    }
    if (race.Skips(pass, record.listed != 0)) continue;
    if (race.Offer(pass, record.listed != 0, record.distance)) chosen = entry;
  }
  return chosen.reply >= 0;
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

// One mesh spread over the ranks as this rank holds it: its part's element search, its nodes in
// first-use order and, for a conservative mapping, their numbers in the whole.
struct ZORMtkPartSide {
  std::unique_ptr<ZORMtkPartSearch> search;
  ZORMtkPartNodes nodes;
  ZORMtkNodeOwners owners;
  bool plane = false;
  bool shells = false;
  int partNodes = 0;
  std::int64_t elements = 0;
};

// The VTK cells of this rank's target part, kept for a conservative mapping.
struct ZORMtkTargetCells {
  int dimension = 3;
  std::vector<double> coordinates;
  std::vector<int> connectivity;
  std::vector<std::int64_t> offsets;
  std::vector<std::uint8_t> types;

  ZORMtkMeshArrays Arrays() const {
    ZORMtkMeshArrays mesh;
    mesh.coordinates = coordinates.data();
    mesh.nodeCount = static_cast<int>(coordinates.size()) / dimension;
    mesh.dimension = dimension;
    mesh.connectivity = connectivity.data();
    mesh.offsets = offsets.data();
    mesh.types = types.data();
    mesh.cellCount = static_cast<int>(types.size());
    return mesh;
  }
};

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

// The mapper's state on this rank: the source part, the targets and, after the search, who gives
// each point its value and the links of the points this rank gives values to. A search places
// points in the elements (or at the nearest nodes) of the hosts: the target points in the source,
// or for a conservative mapping the source nodes in the target mesh and, when some target node
// takes nothing, the target nodes in the source. One thread.
class ZORMtkDistributedMapper::Impl {
 public:
  explicit Impl(MPI_Comm comm) : exchange(comm) {
    for (int r = 0; r < exchange.Size(); ++r) everyRank.push_back(r);
  }

  void DropWeights() {
    ready = false;
    placed.clear();
  }
  ZORMtkArrayStatus MakeSide(const ZORMtkMeshArrays& part, const std::string& role,
                             ZORMtkPartSide& side);
  ZORMtkArrayStatus CheckReady() const;
  ZORMtkArrayStatus PrepareTarget();
  void Search();
  void SearchPoints(bool nearest, bool fallback);
  void SearchConservative();
  void SearchElements(std::vector<ZORQueryRound>& rounds);
  std::vector<ZORFacetRecord> SendRecords(const std::vector<ZORPartAnswer>& answers,
                                          const std::vector<ZORFacetRecord>& records,
                                          ZORQueryRound& round,
                                          std::vector<std::int64_t>& starts) const;
  void Decide(int t, const std::vector<ZORPartReply>& replies, std::vector<ZORFacetEntry>& entries,
              int round);
  std::vector<int> SearchNodes(const std::vector<int>& asked, bool all,
                               std::vector<ZORQueryRound>& rounds);
  template <typename RanksOf>
  std::vector<double> Ask(const std::vector<int>& asked, const RanksOf& ranksOf,
                          ZORQueryRound& round) const;
  template <typename RanksOf>
  void TellWinners(const std::vector<int>& asked, const RanksOf& ranksOf, int roundIndex,
                   ZORQueryRound& round) const;
  void KeepWon(const std::vector<ZORQueryRound>& rounds);
  std::vector<ZORScatterLink> ScatterLinks(bool sourcePoints) const;
  void Report();
  ZORMtkArrayStatus MapConservative(const double* sourceValues, int components,
                                    double* targetValues);

  ZORMpiExchange exchange;
  std::vector<int> everyRank;
  ZORMtkArrayOptions options;
  ZORMtkPartSide source;
  ZORMtkPartSide target;
  // This rank's target points (three coordinates each), the index of the first in the whole,
  // and the cells of its target part, if it gave any.
  std::vector<double> targetPoints;
  std::int64_t firstTarget = 0;
  bool targetSet = false;
  ZORMtkTargetCells targetCells;
  bool targetBlocks = false;
  // The search under way: the side whose elements or nodes are searched, this rank's points
  // (three coordinates each) and the whole's number of the first.
  ZORMtkPartSide* hosts = nullptr;
  const std::vector<double>* points = nullptr;
  std::int64_t firstPoint = 0;
  // The search's outcome per point: the rank that gives its value (-1: none) and the round in
  // which that rank won it, the host cell, the placed mark, and the squared distance to the
  // nearest node of the nearest-node method. After a conservative search, cells and placed
  // hold the marks of the target part's nodes instead.
  bool ready = false;
  std::vector<int> giver;
  std::vector<int> giverRound;
  // Which of the giver's entries for the point won (0 but for shells).
  std::vector<int> choice;
  int roundCount = 0;
  std::vector<std::int64_t> cells;
  std::vector<unsigned char> placed;
  std::vector<double> nearestDistance;
  // The points this rank gives values to, rank after rank, with their links.
  std::vector<std::int64_t> wonOffsets;
  ZORPartLinks wonLinks;
  ZORMtkConservativeScatter scatter;
  std::unique_ptr<ZORMtkMapper> diagnostics;
};

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
  const ZORMtkArrayStatus status =
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

// Each asked target goes to the ranks ranksOf names, rank after rank, each rank's run in target
// order. Returns the queries this rank received, rank after rank.
template <typename RanksOf>
std::vector<double> ZORMtkDistributedMapper::Impl::Ask(const std::vector<int>& asked,
                                                       const RanksOf& ranksOf,
                                                       ZORQueryRound& round) const {
  const std::size_t ranks = static_cast<std::size_t>(exchange.Size());
  round.sent.assign(ranks + 1, 0);
  for (const int t : asked) {
    int size = 0;
    const int* to = ranksOf(t, size);
    for (int k = 0; k < size; ++k) ++round.sent[static_cast<std::size_t>(to[k]) + 1];
  }
  for (std::size_t r = 0; r < ranks; ++r) round.sent[r + 1] += round.sent[r];
  std::vector<std::int64_t> next = ZORMpiExchange::RunStarts(round.sent);
  std::vector<double> queries(3 * static_cast<std::size_t>(round.sent[ranks]), 0.0);
  for (const int t : asked) {
    int size = 0;
    const int* to = ranksOf(t, size);
    for (int k = 0; k < size; ++k) {
      const std::size_t at = static_cast<std::size_t>(next[static_cast<std::size_t>(to[k])]++);
      std::copy_n(points->data() + 3 * static_cast<std::size_t>(t), 3, queries.data() + 3 * at);
    }
  }
  // Offsets count points; the coordinates travel three to a point.
  std::vector<std::int64_t> coordinateOffsets(round.sent);
  for (std::int64_t& offset : coordinateOffsets) offset *= 3;
  queries = exchange.AllToAll(queries, coordinateOffsets, round.received);
  for (std::int64_t& offset : round.received) offset /= 3;
  return queries;
}

// Tells each rank asked which of its answers won, in the order it was asked.
template <typename RanksOf>
void ZORMtkDistributedMapper::Impl::TellWinners(const std::vector<int>& asked,
                                                const RanksOf& ranksOf, int roundIndex,
                                                ZORQueryRound& round) const {
  std::vector<std::int32_t> won(static_cast<std::size_t>(round.sent.back()), -1);
  std::vector<std::int64_t> next = ZORMpiExchange::RunStarts(round.sent);
  for (const int t : asked) {
    int size = 0;
    const int* to = ranksOf(t, size);
    const std::size_t point = static_cast<std::size_t>(t);
    for (int k = 0; k < size; ++k)
      won[static_cast<std::size_t>(next[static_cast<std::size_t>(to[k])]++)] =
          to[k] == giver[point] && giverRound[point] == roundIndex ? choice[point] : -1;
  }
  std::vector<std::int64_t> returned;
  round.won = exchange.AllToAll(won, round.sent, returned);
}

// Sends each rank the facet records of the answers to its queries; returns those of the replies
// to this rank's queries, rank after rank, with where each rank's run starts, and marks where
// each received query's entries start.
std::vector<ZORFacetRecord> ZORMtkDistributedMapper::Impl::SendRecords(
    const std::vector<ZORPartAnswer>& answers, const std::vector<ZORFacetRecord>& records,
    ZORQueryRound& round, std::vector<std::int64_t>& starts) const {
  round.firstLink.assign(answers.size() + 1, 0);
  for (std::size_t q = 0; q < answers.size(); ++q)
    round.firstLink[q + 1] = round.firstLink[q] + answers[q].records;
  std::vector<std::int64_t> offsets;
  for (const std::int64_t query : round.received)
    offsets.push_back(round.firstLink[static_cast<std::size_t>(query)]);
  return exchange.AllToAll(records, offsets, starts);
}

// The owner's choice for target t among the replies of the ranks asked, in rank order.
void ZORMtkDistributedMapper::Impl::Decide(int t, const std::vector<ZORPartReply>& replies,
                                           std::vector<ZORFacetEntry>& entries, int round) {
  const std::size_t point = static_cast<std::size_t>(t);
  int winner = -1;
  int record = 0;
  ZORFacetEntry chosen{nullptr, -1, 0};
  const bool shells = hosts->shells;
  if (shells && PickFacet(replies, hosts->search->MeanLength(), entries, chosen)) {
    winner = chosen.reply;
    record = chosen.index;
  }
  for (std::size_t r = 0; r < replies.size() && !shells; ++r)
    if (Beats(*replies[r].answer, winner < 0 ? ZORPartAnswer{-1, -1, 0.0, -1, 0, 0}
                                             : *replies[static_cast<std::size_t>(winner)].answer))
      winner = static_cast<int>(r);
  if (winner < 0) return;
  const ZORPartReply& reply = replies[static_cast<std::size_t>(winner)];
  giver[point] = reply.rank;
  giverRound[point] = round;
  choice[point] = record;
  cells[point] = shells ? reply.records[record].cell : reply.answer->cell;
  placed[point] = 1;
}

// Every target is searched in the elements of the ranks whose parts occupy its bucket, and takes
// the answer one process would take.
void ZORMtkDistributedMapper::Impl::SearchElements(std::vector<ZORQueryRound>& rounds) {
  ZORMtkPartSearch& part = *hosts->search;
  part.Prepare(hosts->plane, hosts->shells, diagnostics->Context().tolerances,
               options.elementChoice == ChoiceContaining, exchange);
  const ZORMtkPartRouting routing(part.Grid(), exchange);
  const auto ranksOf = [&](int t, int& size) {
    return routing.Ranks(points->data() + 3 * static_cast<std::size_t>(t), size);
  };
  std::vector<int> asked(giver.size());
  for (std::size_t t = 0; t < asked.size(); ++t) asked[t] = static_cast<int>(t);
  ZORQueryRound round;
  std::vector<ZORFacetRecord> records;
  const std::vector<ZORPartAnswer> answers =
      part.Locate(Ask(asked, ranksOf, round), options.threads, round.links, records);
  std::vector<std::int64_t> returned;
  const std::vector<ZORPartAnswer> replies = exchange.AllToAll(answers, round.received, returned);
  std::vector<std::int64_t> nextRecord(round.sent.size(), 0);
  const std::vector<ZORFacetRecord> facets = hosts->shells
                                                 ? SendRecords(answers, records, round, nextRecord)
                                                 : std::vector<ZORFacetRecord>();
  std::vector<std::int64_t> next = ZORMpiExchange::RunStarts(round.sent);
  std::vector<ZORPartReply> gathered;
  std::vector<ZORFacetEntry> entries;
  for (const int t : asked) {
    int size = 0;
    const int* from = ranksOf(t, size);
    gathered.clear();
    for (int k = 0; k < size; ++k) {
      const std::size_t rank = static_cast<std::size_t>(from[k]);
      const ZORPartAnswer& answer = replies[static_cast<std::size_t>(next[rank]++)];
      gathered.push_back(ZORPartReply{from[k], &answer, facets.data() + nextRecord[rank]});
      nextRecord[rank] += answer.records;
    }
    Decide(t, gathered, entries, static_cast<int>(rounds.size()));
  }
  TellWinners(asked, ranksOf, static_cast<int>(rounds.size()), round);
  rounds.push_back(std::move(round));
}

// Asks about each target the ranks whose nodes its bucket may list (with all, every rank, about
// all of its nodes) and takes the nearest answer; equal distances go to the lower rank, whose
// node one process numbers first, since ranks answer with the first of their nearest. Returns
// the targets no rank answered.
std::vector<int> ZORMtkDistributedMapper::Impl::SearchNodes(const std::vector<int>& asked, bool all,
                                                            std::vector<ZORQueryRound>& rounds) {
  const ZORMtkPartNodes& nodes = hosts->nodes;
  const auto ranksOf = [&](int t, int& size) {
    if (!all) return nodes.Ranks(points->data() + 3 * static_cast<std::size_t>(t), size);
    size = exchange.Size();
    return static_cast<const int*>(everyRank.data());
  };
  ZORQueryRound round;
  const std::vector<ZORNodeAnswer> answers =
      nodes.Answer(Ask(asked, ranksOf, round), all, options.threads);
  round.links.offsets.assign(answers.size() + 1, 0);
  for (std::size_t q = 0; q < answers.size(); ++q) {
    if (answers[q].position >= 0) {
      round.links.partners.push_back(nodes.Row(answers[q].position));
      round.links.weights.push_back(1.0);
    }
    round.links.offsets[q + 1] = static_cast<std::int64_t>(round.links.partners.size());
  }
  std::vector<std::int64_t> returned;
  const std::vector<ZORNodeAnswer> replies = exchange.AllToAll(answers, round.received, returned);
  std::vector<std::int64_t> next = ZORMpiExchange::RunStarts(round.sent);
  std::vector<int> unanswered;
  for (const int t : asked) {
    int size = 0;
    const int* from = ranksOf(t, size);
    const std::size_t point = static_cast<std::size_t>(t);
    for (int k = 0; k < size; ++k) {
      const ZORNodeAnswer& answer =
          replies[static_cast<std::size_t>(next[static_cast<std::size_t>(from[k])]++)];
      if (answer.position < 0 || (giverRound[point] == static_cast<int>(rounds.size()) &&
                                  answer.best >= nearestDistance[point]))
        continue;
      giver[point] = from[k];
      giverRound[point] = static_cast<int>(rounds.size());
      choice[point] = 0;
      nearestDistance[point] = answer.best;
    }
    if (giverRound[point] != static_cast<int>(rounds.size())) unanswered.push_back(t);
  }
  TellWinners(asked, ranksOf, static_cast<int>(rounds.size()), round);
  rounds.push_back(std::move(round));
  return unanswered;
}

// Keeps the links of the points this rank won, rank after rank, and for each rank round after
// round in the order it asked; Map reads the values back in that order.
void ZORMtkDistributedMapper::Impl::KeepWon(const std::vector<ZORQueryRound>& rounds) {
  const std::size_t ranks = static_cast<std::size_t>(exchange.Size());
  wonOffsets.assign(ranks + 1, 0);
  wonLinks = ZORPartLinks();
  for (std::size_t r = 0; r < ranks; ++r) {
    for (const ZORQueryRound& round : rounds)
      for (std::int64_t q = round.received[r]; q < round.received[r + 1]; ++q) {
        const std::int32_t won = round.won[static_cast<std::size_t>(q)];
        if (won < 0) continue;
        const std::size_t entry = static_cast<std::size_t>(
            round.firstLink.empty() ? q : round.firstLink[static_cast<std::size_t>(q)] + won);
        const auto first = round.links.offsets[entry];
        const auto last = round.links.offsets[entry + 1];
        wonLinks.partners.insert(wonLinks.partners.end(), round.links.partners.begin() + first,
                                 round.links.partners.begin() + last);
        wonLinks.weights.insert(wonLinks.weights.end(), round.links.weights.begin() + first,
                                round.links.weights.begin() + last);
        wonLinks.offsets.push_back(static_cast<std::int64_t>(wonLinks.partners.size()));
      }
    wonOffsets[r + 1] = wonLinks.Count();
  }
}

// Every rank learns every point the diagnostics name, in the order of the whole, and records
// them as one process's search would: the unplaced points of the element search, the misaligned
// points of the nearest-node method with the node counts it compares.
void ZORMtkDistributedMapper::Impl::Report() {
  const bool nearest = options.method == MethodNearestNode;
  const ZORMtkPartNodes& nodes = hosts->nodes;
  const bool check = nodes.WholeCount() > 1;
  const std::vector<double>& at = *points;
  std::vector<ReportedPoint> mine;
  for (std::size_t t = 0; t < placed.size(); ++t)
    if (nearest ? check && nearestDistance[t] > nodes.Reach() : placed[t] == 0)
      mine.push_back(ReportedPoint{firstPoint + static_cast<std::int64_t>(t),
                                   {at[3 * t], at[3 * t + 1], at[3 * t + 2]}});
  const int bytes = static_cast<int>(mine.size() * sizeof(ReportedPoint));
  std::vector<int> counts(static_cast<std::size_t>(exchange.Size()));
  MPI_Allgather(&bytes, 1, MPI_INT, counts.data(), 1, MPI_INT, exchange.Comm());
  std::vector<int> displacements(counts.size(), 0);
  for (std::size_t r = 1; r < counts.size(); ++r)
    displacements[r] = displacements[r - 1] + counts[r - 1];
  std::vector<ReportedPoint> all(static_cast<std::size_t>(displacements.back() + counts.back()) /
                                 sizeof(ReportedPoint));
  MPI_Allgatherv(mine.data(), bytes, MPI_BYTE, all.data(), counts.data(), displacements.data(),
                 MPI_BYTE, exchange.Comm());
  ZORSearchMisses misses;
  const auto kind = nearest ? ZORSearchMiss::Kind::Misaligned : ZORSearchMiss::Kind::NodeNotPlaced;
  for (const ReportedPoint& point : all)
    misses.misses.push_back(ZORSearchMiss{kind,
                                          static_cast<int>(point.index),
                                          {point.coords[0], point.coords[1], point.coords[2]},
                                          0.0});
  if (nearest) {
    misses.sourceNodeCount = static_cast<int>(nodes.WholeCount());
    misses.targetNodeCount = static_cast<int>(exchange.Total(static_cast<int>(placed.size())));
    misses.nodeCountsDiffer = misses.sourceNodeCount != misses.targetNodeCount;
  }
  diagnostics->Context().Report(misses);
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

// The element search first (unless nearest), then the nearest-node search for every point
// (nearest) or for those left unplaced (fallback), in the hosts.
void ZORMtkDistributedMapper::Impl::SearchPoints(bool nearest, bool fallback) {
  const std::size_t count = points->size() / 3;
  giver.assign(count, -1);
  giverRound.assign(count, -1);
  choice.assign(count, 0);
  cells.assign(count, -1);
  placed.assign(count, 0);
  nearestDistance.assign(count, 0.0);
  std::vector<ZORQueryRound> rounds;
  if (!nearest) SearchElements(rounds);
  if (nearest || fallback) {
    hosts->nodes.Prepare(nearest, options.threads, exchange);
    std::vector<int> asked;
    for (std::size_t t = 0; t < count; ++t)
      if (giver[t] < 0) asked.push_back(static_cast<int>(t));
    asked = SearchNodes(asked, false, rounds);
    if (exchange.Total(static_cast<std::int64_t>(asked.size())) > 0)
      SearchNodes(asked, true, rounds);
    if (nearest)
      for (std::size_t t = 0; t < count; ++t) placed[t] = giver[t] >= 0 ? 1 : 0;
  }
  KeepWon(rounds);
  roundCount = static_cast<int>(rounds.size());
}

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

ZORMtkArrayStatus ZORMtkDistributedMapper::SetOptions(const ZORMtkArrayOptions& options) {
  const ZORMtkArrayStatus status = impl_->exchange.Agree(CheckOptions(options));
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
