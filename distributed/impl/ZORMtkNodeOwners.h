#pragma once

#include <cstdint>
#include <vector>

class ZORMpiExchange;
class ZORMtkPartNodes;

// The lowest rank holding a node's place, and the node's position in that rank's first-use order.
// A plain value sent as bytes.
struct ZORNodeHolder {
  std::int64_t position;
  std::int32_t rank;
};

// Who owns each node of this rank's part of a mesh spread over the ranks, and its number in the
// whole. The whole's nodes are numbered in the order its cells, joined in rank order, first use
// them; nodes at the same place (bit for bit) in several parts are one node, first used by, and
// owned by, the lowest rank that holds it. So the whole's order is every rank's owned nodes in
// its first-use order, rank after rank: rank r owns the numbers First(r) .. First(r + 1) - 1. A
// rank learns the lowest holder of each of its nodes from a rank chosen by the place's bits, and
// the number of a node it does not own from the owner. Owns per-node tables; built
// collectively, read-only afterwards.
class ZORMtkNodeOwners {
 public:
  // For each node of `nodes` (first-use order), the lowest rank that holds its place and the
  // node's position there. Collective: 32 bytes per node out, 16 back.
  static std::vector<ZORNodeHolder> LowestHolders(const ZORMtkPartNodes& nodes,
                                                  const ZORMpiExchange& exchange);

  // Numbers the nodes of `nodes`, the first-use order of a part with partRows nodes. Collective.
  void Number(const ZORMtkPartNodes& nodes, int partRows, const ZORMpiExchange& exchange);

  // The whole's node count, and the first number rank r owns (r = ranks: the count).
  std::int64_t WholeCount() const { return firsts_.back(); }
  std::int64_t First(int rank) const { return firsts_[static_cast<std::size_t>(rank)]; }
  // The rank owning node number.
  int OwnerOf(std::int64_t number) const;
  // The part rows of the nodes this rank owns, in the whole's order.
  const std::vector<int>& OwnedRows() const { return ownedRows_; }
  // The part row of an owned node's number.
  int RowOf(std::int64_t number) const {
    return ownedRows_[static_cast<std::size_t>(number - firsts_[static_cast<std::size_t>(rank_)])];
  }
  // The whole's number of the node at part row, -1 for a row no cell uses.
  std::int64_t NumberOf(int row) const { return numbers_[static_cast<std::size_t>(row)]; }

 private:
  int rank_ = 0;
  std::vector<std::int64_t> firsts_{0};
  std::vector<int> ownedRows_;
  std::vector<std::int64_t> numbers_;
};
