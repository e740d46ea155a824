#pragma once

#include <cstdint>
#include <vector>

#include "mapper/impl/ZORMtkNodeLinks.h"

class ZORMpiExchange;
class ZORMtkNodeOwners;

// One link of a conservative transfer: source node `source` gives weight x its values to target
// node `target`, both numbered in their wholes' node orders. A plain value sent as bytes.
struct ZORScatterLink {
  std::int64_t source;
  std::int64_t target;
  double weight;
};

// The conservative transfer over the ranks, added as one process adds it: every target row starts
// from zero and adds weight x value over its links in source node order, with the library's own
// scatter kernel. The owner of a target node holds every link to it, sorted by source node, so no
// sum is split between ranks; it gets the values of the source nodes it needs from their owners
// and sends its rows on to the ranks that hold seam copies of its nodes. The conservation check's
// sums run over each whole's nodes in its order, in a chain of sends through the ranks. Owns the
// links and the lists of which rows go where; keeps the two numberings it was built with (which
// must outlive it). Built and applied collectively; one thread.
class ZORMtkConservativeScatter {
 public:
  // Sends each link to the owner of its target node, which keeps them in source node order, and
  // settles which source values and which seam rows travel where. targetRows: the rows of this
  // rank's target part. Collective.
  void Build(std::vector<ZORScatterLink> links, const ZORMtkNodeOwners& sourceOwners,
             const ZORMtkNodeOwners& targetOwners, int targetRows, const ZORMpiExchange& exchange);
  // The links of a search of the target nodes in the source elements turned round as one process
  // turns them: each source node's links in target node order, scaled to sum to one unless the sum
  // is negligible. Returns them at the owners of their source nodes. Collective.
  static std::vector<ZORScatterLink> Transpose(std::vector<ZORScatterLink> links,
                                               const ZORMtkNodeOwners& sourceOwners,
                                               const ZORMpiExchange& exchange);

  // Whether every node of the whole target takes a weight above the negligible one. Collective.
  bool CoversTarget(const ZORMpiExchange& exchange) const;
  // Per row of the target part: 1 where some link reaches it, else 0.
  const std::vector<unsigned char>& Placed() const { return placed_; }
  // result (one row of `components` per target part row) = the scattered field; sums receives
  // the whole source's sum of every component, then the whole target's. Collective.
  void Apply(const double* sourceValues, int components, double* result, std::vector<double>& sums,
             const ZORMpiExchange& exchange) const;

 private:
  void SettleSeams(const ZORMpiExchange& exchange);
  template <typename T>
  void CopyToSeams(T* rows, int width, const ZORMpiExchange& exchange) const;

  const ZORMtkNodeOwners* source_ = nullptr;
  const ZORMtkNodeOwners* target_ = nullptr;
  int targetRows_ = 0;
  // Keys: the source nodes this rank's target nodes take from, ascending; partners: part rows.
  ZORMtkNodeLinks links_;
  // Per rank, the rows of this rank's source part whose values it needs, in its key order.
  std::vector<std::int64_t> valueOffsets_;
  std::vector<int> valueRows_;
  // Per rank, the owned target rows whose copies it holds; per owner, the rows of those copies.
  std::vector<std::int64_t> ownedOffsets_;
  std::vector<int> ownedRows_;
  std::vector<std::int64_t> copyOffsets_;
  std::vector<int> copyRows_;
  std::vector<unsigned char> placed_;
  std::int64_t covered_ = 0;
};
