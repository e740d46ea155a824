#pragma once

#include <vector>

#include "search/ZORMtkBucketFrame.h"

class ZORMpiExchange;
class ZORMtkMeshElemB;

// Which ranks a point must be sent to: those whose part has elements in the point's bucket of
// the whole-source grid, since only the elements of that bucket are ever tested for it. Each
// rank sums up the buckets its part occupies as a few boxes of bucket indices (one per slab of
// the grid along its longest axis, covering the occupied buckets of the slab), every rank gets
// every rank's boxes, and a table from bucket to ranks is built from them. Boxes in bucket
// indices make the routing exact: no rounding of coordinates can lose a rank. Owns the grid's
// placement and the table; read-only after construction, any thread may ask.
class ZORMtkPartRouting {
 public:
  // Slabs, and so boxes, per rank.
  static constexpr int kSlabs = 16;

  // grid: this rank's part of the whole-source grid (every rank's has the same placement).
  // Collective.
  ZORMtkPartRouting(const ZORMtkMeshElemB& grid, const ZORMpiExchange& exchange);

  // The ranks to ask about point (x, y, z), ascending: begin[0 .. count - 1].
  const int* Ranks(const double* point, int& count) const {
    const int bucket = frame_.BucketOf(point);
    count = frame_.Size(bucket);
    return frame_.Begin(bucket);
  }

 private:
  ZORMtkBucketFrame frame_;
};
