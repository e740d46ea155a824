#include "distributed/impl/ZORMtkPartRouting.h"

#include <algorithm>
#include <array>

#include "distributed/impl/ZORMpiExchange.h"
#include "search/ZORMtkMeshElemB.h"

namespace {

// A box of one-based bucket indices, lower corner then upper; empty while lower > upper.
using IndexBox = std::array<int, 6>;

IndexBox EmptyBox() { return {1 << 30, 1 << 30, 1 << 30, 0, 0, 0}; }

// The boxes of the buckets where this part has elements, one per slab along the longest axis.
std::vector<IndexBox> OccupiedBoxes(const ZORMtkMeshElemB& grid, const ZORMtkBucketFrame& frame) {
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
        const int index[3] = {i, j, k};
        // The middle of the bucket falls in it, so its list is the bucket's own.
        double middle[3] = {0.0, 0.0, 0.0};
        for (int a = 0; a < axes; ++a) middle[a] = frame.origin[a] + (index[a] - 0.5) * frame.h;
        int count = 0;
        grid.Bucket(middle, count);
        if (count == 0) continue;
        IndexBox& box = boxes[static_cast<std::size_t>((index[longest] - 1) / slabWidth)];
        for (int a = 0; a < 3; ++a) {
          box[static_cast<std::size_t>(a)] = std::min(box[static_cast<std::size_t>(a)], index[a]);
          box[static_cast<std::size_t>(3 + a)] =
              std::max(box[static_cast<std::size_t>(3 + a)], index[a]);
        }
      }
  return boxes;
}

}  // namespace

ZORMtkPartRouting::ZORMtkPartRouting(const ZORMtkMeshElemB& grid, const ZORMpiExchange& exchange) {
  frame_.dimension = grid.Dimension();
  const int counts[3] = {grid.Count(0), grid.Count(1), grid.Count(2)};
  frame_.Place(grid.Origin(), grid.BucketSize(), counts);
  const std::vector<IndexBox> mine = OccupiedBoxes(grid, frame_);
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
