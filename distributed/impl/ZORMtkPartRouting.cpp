#include "distributed/impl/ZORMtkPartRouting.h"

#include <algorithm>
#include <array>

#include "distributed/impl/ZORMpiExchange.h"
#include "search/ZORMtkMeshElemB.h"

namespace {

// A box of one-based bucket indices, lower corner then upper; empty while lower > upper.
using IndexBox = std::array<int, 6>;

IndexBox EmptyBox() { return {1 << 30, 1 << 30, 1 << 30, 0, 0, 0}; }

// The boxes of the buckets this rank occupies, one per slab along the longest axis.
std::vector<IndexBox> OccupiedBoxes(const ZORMtkBucketFrame& frame,
                                    const std::vector<unsigned char>& occupied) {
  const int axes = frame.Axes();
  int longest = 0;
  for (int a = 1; a < axes; ++a)
    if (frame.counts[a] > frame.counts[longest]) longest = a;
  const int slabWidth =
      (frame.counts[longest] + ZORMtkPartRouting::kSlabs - 1) / ZORMtkPartRouting::kSlabs;
  std::vector<IndexBox> boxes(ZORMtkPartRouting::kSlabs, EmptyBox());
  for (int k = 1; k <= frame.counts[2]; ++k)
    for (int j = 1; j <= frame.counts[1]; ++j)
      for (int i = 1; i <= frame.counts[0]; ++i) {
        if (occupied[static_cast<std::size_t>(frame.Linear(i, j, k))] == 0) continue;
        const int index[3] = {i, j, k};
        IndexBox& box = boxes[static_cast<std::size_t>((index[longest] - 1) / slabWidth)];
        for (int a = 0; a < 3; ++a) {
          box[static_cast<std::size_t>(a)] = std::min(box[static_cast<std::size_t>(a)], index[a]);
          box[static_cast<std::size_t>(3 + a)] =
              std::max(box[static_cast<std::size_t>(3 + a)], index[a]);
        }
      }
  return boxes;
}

ZORMtkBucketFrame PlacementOf(const ZORMtkMeshElemB& grid) {
  ZORMtkBucketFrame frame;
  frame.dimension = grid.Dimension();
  const int counts[3] = {grid.Count(0), grid.Count(1), grid.Count(2)};
  frame.Place(grid.Origin(), grid.BucketSize(), counts);
  return frame;
}

// The buckets where the part has elements. The middle of a bucket falls in it, so the grid's
// list there is the bucket's own.
std::vector<unsigned char> OccupiedBuckets(const ZORMtkMeshElemB& grid) {
  const ZORMtkBucketFrame frame = PlacementOf(grid);
  std::vector<unsigned char> occupied(static_cast<std::size_t>(frame.BucketCount()), 0);
  for (int k = 1; k <= frame.counts[2]; ++k)
    for (int j = 1; j <= frame.counts[1]; ++j)
      for (int i = 1; i <= frame.counts[0]; ++i) {
        const int index[3] = {i, j, k};
        double middle[3] = {0.0, 0.0, 0.0};
        for (int a = 0; a < frame.Axes(); ++a)
          middle[a] = frame.origin[a] + (index[a] - 0.5) * frame.h;
        int count = 0;
        grid.Bucket(middle, count);
        occupied[static_cast<std::size_t>(frame.Linear(i, j, k))] = count > 0 ? 1 : 0;
      }
  return occupied;
}

}  // namespace

ZORMtkPartRouting::ZORMtkPartRouting(const ZORMtkMeshElemB& grid, const ZORMpiExchange& exchange)
    : ZORMtkPartRouting(PlacementOf(grid), OccupiedBuckets(grid), exchange) {}

ZORMtkPartRouting::ZORMtkPartRouting(const ZORMtkBucketFrame& placement,
                                     const std::vector<unsigned char>& occupied,
                                     const ZORMpiExchange& exchange) {
  frame_.dimension = placement.dimension;
  frame_.Place(placement.origin, placement.h, placement.counts);
  const std::vector<IndexBox> mine = OccupiedBoxes(frame_, occupied);
  std::vector<IndexBox> all(mine.size() * static_cast<std::size_t>(exchange.Size()));
  MPI_Allgather(mine.data(), static_cast<int>(mine.size() * 6), MPI_INT, all.data(),
                static_cast<int>(mine.size() * 6), MPI_INT, exchange.Comm());
  // Items are ranks; rank r enters every bucket of its boxes. Slabs do not overlap, so no rank
  // enters a bucket twice, and the lists come out ascending.
  frame_.Fill(exchange.Size(), [&](int rank, const auto& enter) {
    for (int s = 0; s < kSlabs; ++s) {
      const IndexBox& box = all[static_cast<std::size_t>(rank * kSlabs + s)];
      if (box[0] > box[3]) continue;
      frame_.EnterRange(box.data(), box.data() + 3, enter);
    }
  });
}
