#pragma once

#include <array>
#include <cstdint>

#include "platform/ZORFreshArray.h"

struct ZORPointBox;

// The order in which a search visits its points: cell by cell along a Morton curve through a grid
// laid over the points' box, each cell's points in their listed order. Points visited one after
// another then lie close together and find the search's cells and element data still in cache,
// where a large target listed row by row, or in no spatial order at all, would fetch the same
// element data from memory again and again. A cell holds about kPointsPerCell points, few enough
// that the source elements around them fit in a core's own cache. Each point's search depends on
// the point alone, so the visit order changes the time and nothing else. Owns the permutation;
// read-only once built, and the same whatever the threads that built it.
class ZORPointVisitOrder {
 public:
  // The listed order itself, for a search that must visit its points as listed (a traced one).
  explicit ZORPointVisitOrder(int count) : count_(count) {}
  // The order of `count` points of three coordinates each, box holding them, found by up to
  // `threads` threads.
  ZORPointVisitOrder(const double* coords, int count, const ZORPointBox& box, int threads = 1);

  int Count() const { return count_; }
  // The position in the list of the point visited visit-th.
  int At(int visit) const {
    return order_.empty() ? visit : order_[static_cast<std::size_t>(visit)];
  }

  static constexpr int kPointsPerCell = 2048;
  static constexpr int kMaxLevel = 6;
  // The grid's cells per axis, 2^level, along each of `axes` axes the points spread over: the
  // least level giving at most kPointsPerCell points a cell on average, kMaxLevel at most; 0
  // (one cell) for points that do not spread at all.
  static int Level(int count, int axes);
  // The Morton key of the cell (i, j, k), each below 2^kMaxLevel: the bits of i, j and k
  // interleaved, i's lowest.
  static std::uint32_t Key(int i, int j, int k) {
    return kSpread[static_cast<std::size_t>(i)] | kSpread[static_cast<std::size_t>(j)] << 1 |
           kSpread[static_cast<std::size_t>(k)] << 2;
  }

 private:
  // Bit b of v moved to bit 3 b, for each v below 2^kMaxLevel.
  static constexpr std::array<std::uint32_t, 1 << kMaxLevel> kSpread = [] {
    std::array<std::uint32_t, 1 << kMaxLevel> spread{};
    for (std::uint32_t v = 0; v < spread.size(); ++v)
      for (int b = 0; b < kMaxLevel; ++b) spread[v] |= ((v >> b) & 1u) << (3 * b);
    return spread;
  }();

  int count_;
  ZORFreshArray<int> order_;
};
