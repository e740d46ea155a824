#include "distributed/impl/ZORMtkDistributedMapperImpl.h"

#include <algorithm>
#include <utility>

#include "distributed/impl/ZORMtkPartRouting.h"
#include "mapper/impl/ZORMtkMappingContext.h"

// The point searches of ZORMtkDistributedMapper::Impl: the element search and the nearest-node
// search of this rank's points in the hosts' parts, the owner's choice among the ranks' answers,
// and the diagnostics of the points no rank placed.

namespace {

// A target point the diagnostics name, as every rank learns of it.
struct ReportedPoint {
  std::int64_t index;
  double coords[3];
};

// Whether answer a beats answer b as one search over the whole source would decide: a point
// placed in the strict pass beats one placed only in the relaxed pass; within a pass an element
// that holds the point beats one taken approximately; then the lesser excess wins (how far
// outside for approximate ones, the distance for lines, 0 for the rest), and the rest go by
// element number, since one process scans the elements in that order.
bool Beats(const ZORPartAnswer& a, const ZORPartAnswer& b) {
  if (a.pass < 0) return false;
  if (b.pass < 0) return true;
  if (a.pass != b.pass) return a.pass < b.pass;
  if (a.approximate != b.approximate) return a.approximate == 0;
  if (a.excess != b.excess) return a.excess < b.excess;
  return a.element < b.element;
}

// Plays again the race of the facets that the replies' parts found in the pass that placed the
// point, in element order, as one search over the whole source would: the facet whose node the
// point coincides with ends it, and facets held outside the race (containing choice) count only
// when none raced, the least outside winning. Returns the winner's reply and record index in
// `chosen`, or false when no part placed the point; entries is working memory.
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
  const ZORFacetEntry* held = nullptr;
  for (const ZORFacetEntry& entry : entries) {
    const ZORFacetRecord& record = *entry.record;
    if (record.coincident != 0) {
      chosen = entry;
      return true;
    }
    if (race.Skips(pass, record.listed != 0)) continue;
    if (record.excess > 0.0) {
      if (held == nullptr || record.excess < held->record->excess) held = &entry;
    } else if (race.Offer(pass, record.listed != 0, record.distance)) {
      chosen = entry;
    }
  }
  if (chosen.reply < 0 && held != nullptr) chosen = *held;
  return chosen.reply >= 0;
}

}  // namespace

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
