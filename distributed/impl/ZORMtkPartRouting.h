#pragma once

#include <vector>

#include "search/ZORMtkBucketFrame.h"

class ZORMpiExchange;
class ZORMtkMeshElemB;

// Which ranks a point must be sent to: those whose part has something in the point's bucket of a
// grid every rank places alike, since only that bucket's contents are ever tested for it. For the
// element search the grid is the whole source's element grid and a rank occupies the buckets
// where it has elements. Each rank sums up the buckets it occupies as a few boxes of bucket
// indices (one per slab of the grid along its longest axis, covering the occupied buckets of the
// slab), every rank gets every rank's boxes, and a table from bucket to ranks is built from them.
// Boxes in bucket indices make the routing exact: no rounding of coordinates can lose a rank.
// Owns the grid's placement and the table; read-only after construction, any thread may ask.
class ZORMtkPartRouting {
 public:
  // Slabs, and so boxes, per rank.
  static constexpr int kSlabs = 16;

  // placement: the routing grid, alike on every rank (its lists are not looked at); occupied:
  // per bucket of it, whether this rank must be asked about the points there. Collective.
  ZORMtkPartRouting(const ZORMtkBucketFrame& placement, const std::vector<unsigned char>& occupied,
                    const ZORMpiExchange& exchange);
  // grid: this rank's part of the whole-source element grid. Collective.
  ZORMtkPartRouting(const ZORMtkMeshElemB& grid, const ZORMpiExchange& exchange);

  // The ranks to ask about point (x, y, z), or about the points of a bucket, ascending:
  // begin[0 .. count - 1].
  const int* Ranks(const double* point, int& count) const {
    return Ranks(frame_.BucketOf(point), count);
  }
  const int* Ranks(int bucket, int& count) const {
    count = frame_.Size(bucket);
    return frame_.Begin(bucket);
  }

 private:
  ZORMtkBucketFrame frame_;
};
