#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "api/ZORMtkMeshArrays.h"
#include "distributed/ZORMtkDistributedMapper.h"
#include "distributed/impl/ZORMpiExchange.h"
#include "distributed/impl/ZORMtkConservativeScatter.h"
#include "distributed/impl/ZORMtkNodeOwners.h"
#include "distributed/impl/ZORMtkPartNodes.h"
#include "distributed/impl/ZORMtkPartSearch.h"
#include "mapper/ZORMtkMapper.h"

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

// The mapper's state on this rank: the source part, the targets and, after the search, who gives
// each point its value and the links of the points this rank gives values to. A search places
// points in the elements (or at the nearest nodes) of the hosts: the target points in the source,
// or for a conservative mapping the source nodes in the target mesh and, when some target node
// takes nothing, the target nodes in the source. One thread.
// The setup and checks are in ZORMtkDistributedMapper.cpp, the point searches in
// ZORMtkDistributedMapperPointSearch.cpp, the conservative path in
// ZORMtkDistributedMapperConservative.cpp.
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
