#include "distributed/impl/ZORMtkNodeOwners.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>

#include "distributed/impl/ZORMpiExchange.h"
#include "distributed/impl/ZORMtkPartNodes.h"

namespace {

// A node's coordinates as bits (seam copies are equal bit for bit), and where the sender holds it.
struct PlaceQuery {
  std::array<std::uint64_t, 3> place;
  std::int64_t position;
};

PlaceQuery QueryOf(const ZORMtkPartNodes& nodes, int n) {
  PlaceQuery query{{0, 0, 0}, n};
  std::memcpy(query.place.data(), nodes.Node(n),
              sizeof(double) * static_cast<std::size_t>(nodes.Dimension()));
  return query;
}

// Spreads places evenly over the ranks.
int RankOf(const PlaceQuery& query, int ranks) {
  std::uint64_t h = 0x9e3779b97f4a7c15ULL;
  for (const std::uint64_t bits : query.place) {
    h ^= bits + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
    h *= 0xbf58476d1ce4e5b9ULL;
  }
  return static_cast<int>((h ^ (h >> 31)) % static_cast<std::uint64_t>(ranks));
}

// For every place received, the lowest rank that sent the same place and its first position.
std::vector<ZORNodeHolder> LowestSenders(const std::vector<PlaceQuery>& queries,
                                         const std::vector<std::int64_t>& offsets) {
  std::vector<int> sender(queries.size());
  for (std::size_t r = 0; r + 1 < offsets.size(); ++r)
    std::fill(sender.begin() + offsets[r], sender.begin() + offsets[r + 1], static_cast<int>(r));
  std::vector<std::size_t> order(queries.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    if (queries[a].place != queries[b].place) return queries[a].place < queries[b].place;
    if (sender[a] != sender[b]) return sender[a] < sender[b];
    return queries[a].position < queries[b].position;
  });
  std::vector<ZORNodeHolder> lowest(queries.size());
  for (std::size_t k = 0; k < order.size(); ++k) {
    const bool first = k == 0 || queries[order[k]].place != queries[order[k - 1]].place;
    lowest[order[k]] =
        first ? ZORNodeHolder{queries[order[k]].position, sender[order[k]]} : lowest[order[k - 1]];
  }
  return lowest;
}

}  // namespace

std::vector<ZORNodeHolder> ZORMtkNodeOwners::LowestHolders(const ZORMtkPartNodes& nodes,
                                                           const ZORMpiExchange& exchange) {
  const std::size_t count = static_cast<std::size_t>(nodes.Count());
  const std::size_t ranks = static_cast<std::size_t>(exchange.Size());
  std::vector<int> to(count);
  std::vector<std::int64_t> offsets(ranks + 1, 0);
  for (std::size_t n = 0; n < count; ++n) {
    to[n] = RankOf(QueryOf(nodes, static_cast<int>(n)), exchange.Size());
    ++offsets[static_cast<std::size_t>(to[n]) + 1];
  }
  for (std::size_t r = 0; r < ranks; ++r) offsets[r + 1] += offsets[r];
  std::vector<std::int64_t> next = ZORMpiExchange::RunStarts(offsets);
  std::vector<std::int64_t> slot(count);
  std::vector<PlaceQuery> queries(count);
  for (std::size_t n = 0; n < count; ++n) {
    slot[n] = next[static_cast<std::size_t>(to[n])]++;
    queries[static_cast<std::size_t>(slot[n])] = QueryOf(nodes, static_cast<int>(n));
  }
  std::vector<std::int64_t> received;
  std::vector<std::int64_t> returned;
  const std::vector<ZORNodeHolder> lowest = exchange.AllToAll(
      LowestSenders(exchange.AllToAll(queries, offsets, received), received), received, returned);
  std::vector<ZORNodeHolder> holders(count);
  for (std::size_t n = 0; n < count; ++n) holders[n] = lowest[static_cast<std::size_t>(slot[n])];
  return holders;
}

// A node another rank owns is asked of that rank by its position there: 8 bytes out, 8 back.
void ZORMtkNodeOwners::Number(const ZORMtkPartNodes& nodes, int partRows,
                              const ZORMpiExchange& exchange) {
  rank_ = exchange.Rank();
  const std::vector<ZORNodeHolder> holders = LowestHolders(nodes, exchange);
  const std::size_t count = holders.size();
  std::vector<std::int64_t> byPosition(count, -1);
  ownedRows_.clear();
  for (std::size_t n = 0; n < count; ++n)
    if (holders[n].rank == rank_) {
      byPosition[n] = static_cast<std::int64_t>(ownedRows_.size());
      ownedRows_.push_back(nodes.Row(static_cast<std::int64_t>(n)));
    }
  const std::int64_t owned = static_cast<std::int64_t>(ownedRows_.size());
  firsts_.assign(static_cast<std::size_t>(exchange.Size()) + 1, 0);
  MPI_Allgather(&owned, 1, MPI_INT64_T, firsts_.data() + 1, 1, MPI_INT64_T, exchange.Comm());
  for (std::size_t r = 1; r < firsts_.size(); ++r) firsts_[r] += firsts_[r - 1];
  const std::int64_t first = firsts_[static_cast<std::size_t>(rank_)];
  // Positions asked of each owner, in node order within each owner's run.
  std::vector<std::int64_t> offsets(firsts_.size(), 0);
  for (const ZORNodeHolder& holder : holders)
    if (holder.rank != rank_) ++offsets[static_cast<std::size_t>(holder.rank) + 1];
  for (std::size_t r = 1; r < offsets.size(); ++r) offsets[r] += offsets[r - 1];
  std::vector<std::int64_t> next = ZORMpiExchange::RunStarts(offsets);
  std::vector<std::int64_t> asked(static_cast<std::size_t>(offsets.back()));
  for (const ZORNodeHolder& holder : holders)
    if (holder.rank != rank_)
      asked[static_cast<std::size_t>(next[static_cast<std::size_t>(holder.rank)]++)] =
          holder.position;
  std::vector<std::int64_t> received;
  std::vector<std::int64_t> returned;
  std::vector<std::int64_t> answers = exchange.AllToAll(asked, offsets, received);
  for (std::int64_t& answer : answers)
    answer = first + byPosition[static_cast<std::size_t>(answer)];
  answers = exchange.AllToAll(answers, received, returned);
  numbers_.assign(static_cast<std::size_t>(partRows), -1);
  next = ZORMpiExchange::RunStarts(returned);
  for (std::size_t n = 0; n < count; ++n) {
    const std::size_t rank = static_cast<std::size_t>(holders[n].rank);
    numbers_[static_cast<std::size_t>(nodes.Row(static_cast<std::int64_t>(n)))] =
        holders[n].rank == rank_ ? first + byPosition[n]
                                 : answers[static_cast<std::size_t>(next[rank]++)];
  }
}

int ZORMtkNodeOwners::OwnerOf(std::int64_t number) const {
  return static_cast<int>(std::upper_bound(firsts_.begin(), firsts_.end(), number) -
                          firsts_.begin()) -
         1;
}
