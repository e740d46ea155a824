#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "api/ZORMtkMeshArrays.h"
#include "distributed/impl/ZORMtkPartRouting.h"
#include "search/impl/ZORMtkMeshNodeB.h"

class ZORMpiExchange;

// What one rank found for a nearest-node query: the squared distance to the nearest of its nodes
// that may answer, and that node's position in the rank's first-use order, -1 when none may. A
// plain value sent as bytes.
struct ZORNodeAnswer {
  double best;
  std::int64_t position;
};

// One rank's share of the whole source's nodes for the nearest-node search. One process numbers
// the whole's nodes in the order the cells, joined in rank order, first use them, and breaks ties
// between equally near nodes by that number; nodes at the same place in several parts (the seams)
// are one node, first used by the lowest of those ranks. So a rank keeps the nodes its cells use
// in the order they first use them, and the order of (rank, position) over the answers agrees
// with one process's order wherever it matters. The node grid is placed as one process would
// place the whole's (the whole's bounds and node count), and every rank with nodes in the buckets
// a point's search visits is asked about it. Owns the coordinates, the grid and the routing.
// Prepared collectively; Answer may run on several threads.
class ZORMtkPartNodes {
 public:
  // The nodes the part's cells use, in first-use order; plane: two axes. Not collective.
  void Take(const ZORMtkMeshArrays& part, bool plane);
  // Learns which nodes lower ranks hold too, the whole's node count and bounds, and places the
  // grid (its lists by up to `threads` threads) and the routing; with spread, also the alignment
  // reach. Collective.
  void Prepare(bool spread, int threads, const ZORMpiExchange& exchange);

  long long WholeCount() const { return wholeCount_; }
  // Nearest nodes farther than the square root of this are misaligned, when the whole has more
  // than one node (with spread; else 0).
  double Reach() const { return reach_; }
  // The ranks whose nodes may be listed for point, ascending: begin[0 .. count - 1].
  const int* Ranks(const double* point, int& count) const;
  // One answer per point (three coordinates each): the nearest listed node, or with all, the
  // nearest of all this rank's nodes.
  std::vector<ZORNodeAnswer> Answer(const std::vector<double>& points, bool all, int threads) const;
  // The part's node index of the node at position.
  int Row(std::int64_t position) const { return rows_[static_cast<std::size_t>(position)]; }
  // The nodes in first-use order: their count, coordinates (Dimension() each) and dimension.
  int Count() const { return static_cast<int>(rows_.size()); }
  const double* Node(std::size_t n) const {
    return coords_.data() + n * static_cast<std::size_t>(dimension_);
  }
  int Dimension() const { return dimension_; }

 private:
  std::vector<unsigned char> HeldBelow(const ZORMpiExchange& exchange) const;
  void Spread(const std::vector<unsigned char>& below, const ZORMpiExchange& exchange);
  void Route(const ZORMpiExchange& exchange);

  int dimension_ = 3;
  std::vector<double> coords_;  // dimension_ per node, in first-use order
  std::vector<int> rows_;       // the part's index of each
  ZORMtkMeshNodeB grid_;
  // Blocks of node buckets, the routing's buckets.
  ZORMtkBucketFrame blocks_;
  std::unique_ptr<ZORMtkPartRouting> routing_;
  long long wholeCount_ = 0;
  double reach_ = 0.0;
};
