#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/ZORContainers.h"
#include "platform/ZORExport.h"
#include "platform/ZORSimHandles.h"
#include "search/ZORMtkBucketFrame.h"

class ZORMtkSimReader;
class ZORMtkSourceElements;

// A uniform grid of buckets over the elements of a source region, so that a point search tests
// only the elements whose padded boxes touch the point's bucket. It owns a copy of the source
// mesh's identity (the key under which the mapper caches it), the element members of the region
// in position order, every element's bounding box and the bucket lists of element positions,
// which are built when first asked for; formed from a reader,
// also the mesh it read, as the point searches read it, until the first search takes it. Once
// formed it may be read by several threads at once, but for TakeMesh.
class ZORMTK_EXPORT ZORMtkMeshElemB {
 public:
  ZORMtkMeshElemB();
  ~ZORMtkMeshElemB();

  // Builds the grid for the reader's current region (at least one element); every element box is
  // widened by margin times the average element size before it is entered. The mesh, the boxes
  // and later the bucket lists are gathered by up to `threads` threads, with the same grid at any
  // count.
  void FormBuckets(ZORMtkSimReader* reader, double& margin, int threads = 1);
  // Hands over the source mesh the grid was formed from, once: the search that takes it frees it
  // when done, so that a cache of grids holds no source mesh and a later search reads its own.
  // Null for a grid formed from boxes, and after the first call.
  std::unique_ptr<ZORMtkSourceElements> TakeMesh();
  // A copy of the ascending element positions of the bucket that holds point (x, y, and z in three
  // dimensions); a point outside the grid gets the nearest boundary bucket.
  cow_List<int> GetBucketElements(double* point) const;

  // The grid of a mesh read on its own (ZORMtkSourceElements(reader, threads)), sized by the
  // given extent: it takes the mesh's element members and boxes, and the mesh reads the boxes
  // here from then on. The mesh stays the caller's.
  void FormFromMesh(const ZORSimDynamicID& source, ZORMtkSourceElements& mesh, double averageSize,
                    const double* overallMin, const double* overallMax, double margin,
                    int threads = 1);
  // The same grid from boxes already at hand: members ascending, boxes of `dimension` doubles per
  // element, overall box of three doubles (z unused in two dimensions).
  void FormFromBoxes(const ZORSimDynamicID& source, int dimension, std::vector<int> members,
                     const std::vector<double>& boxMin, const std::vector<double>& boxMax,
                     double averageSize, const double* overallMin, const double* overallMax,
                     double margin, int threads = 1);

  // The bucket of point read in place: its positions are begin[0 .. count - 1], ascending. The
  // lists are built on the first call (by one thread, while others wait).
  const int* Bucket(const double* point, int& count) const {
    ListElements();
    const int bucket = frame_.BucketOf(point);
    count = frame_.Size(bucket);
    return frame_.Begin(bucket);
  }
  int LargestBucket() const {
    ListElements();
    return frame_.LargestBucket();
  }
  // One-based bucket indices (i, j, k; k = 1 in two dimensions) of the bucket that holds point.
  void BucketIndex(const double* point, int* index) const {
    index[0] = frame_.AxisIndex(point[0], 0);
    index[1] = frame_.AxisIndex(point[1], 1);
    index[2] = frame_.dimension == 2 ? 1 : frame_.AxisIndex(point[2], 2);
  }
  // Whether the bucket of one-based indices `index` lists element position `element`, answered
  // from the element's box as the lists are built from it, so a search that finds its candidates
  // another way needs neither the lists nor a table of every element's buckets: it asks about a
  // few candidates a point, whose boxes it has just read.
  bool Holds(int element, const int* index) const {
    const double* box = Box(element);
    for (int a = 0; a < frame_.Axes(); ++a) {
      int first = 1, last = 1;
      AxisRange(box, a, first, last);
      if (index[a] < first || index[a] > last) return false;
    }
    return frame_.Axes() == 3 || index[2] == 1;
  }

  const ZORSimDynamicID& SourceID() const { return sourceID_; }
  int Dimension() const { return frame_.dimension; }
  bool IsThreeDimensional() const { return threeDimensional_; }
  double BucketSize() const { return frame_.h; }
  int Count(int axis) const { return frame_.counts[axis]; }
  const double* Origin() const { return frame_.origin; }
  const double* Upper() const { return frame_.upper; }
  long long EntryCount() const {
    ListElements();
    return static_cast<long long>(frame_.entries.size());
  }

  int ElementCount() const { return static_cast<int>(members_.size()); }
  int ElementMember(int position) const { return members_[static_cast<std::size_t>(position)]; }
  // Position of an element member in the region, or -1.
  int PositionOf(int member) const { return PositionIn(members_, consecutive_, member); }
  // Position of member in ascending members, arithmetic when they run on without a gap.
  static int PositionIn(const std::vector<int>& members, bool consecutive, int member);
  static bool RunsWithoutGap(const std::vector<int>& members);
  // The element's box and length side by side, as the point searches read them: lower x, y, z,
  // upper x, y, z (z = 0 in two dimensions), then the box diagonal.
  static constexpr std::size_t kBoxStride = 7;
  const double* Box(int position) const {
    return boxes_.data() + kBoxStride * static_cast<std::size_t>(position);
  }

 private:
  void Place(const ZORSimDynamicID& source, int dimension, double averageSize,
             const double* overallMin, const double* overallMax, double margin, int threads);
  void Size(double averageSize, const double* overallMin, const double* overallMax);
  // The one-based buckets first .. last along axis a that an element of this box is entered in:
  // every bucket its widened box touches, and one more upwards, so that a box ending exactly on a
  // bucket boundary is also found from the bucket above.
  void AxisRange(const double* box, int a, int& first, int& last) const {
    const double origin = frame_.origin[a];
    const double lo = std::max(box[a] - widening_, origin);
    const double hi = std::min(box[3 + a] + widening_, widenedUpper_[a]);
    const int n = frame_.counts[a];
    // lo lies at or above the origin, and so does hi unless a negative margin shrinks the box
    // below it: where the quotient is not negative, truncation is its floor, without the rounding
    // sequence std::floor compiles to.
    first = std::min(std::max(FloorWithin((lo - origin) / frame_.h, n) + 1, 1), n);
    last = std::min(FloorWithin((hi - origin) / frame_.h, n) + 2, n);
  }
  // floor(q) held to [-2, n], so that a margin of any size (or not a number) converts safely:
  // at -2 or below an element's range ends before the first bucket, at n or above it reaches the
  // last, and NaN lists the element nowhere.
  static int FloorWithin(double q, int n) {
    if (!(q >= -2.0)) return -2;
    if (q >= static_cast<double>(n)) return n;
    return q >= 0.0 ? static_cast<int>(q) : static_cast<int>(std::floor(q));
  }
  void RangeElements(ZORFreshArray<int>& ranges) const;
  void KeepBoxes(const std::vector<double>& boxMin, const std::vector<double>& boxMax);
  void ListElements() const;

  ZORSimDynamicID sourceID_;
  // The placement, and the bucket lists once ListElements has run.
  mutable ZORMtkBucketFrame frame_;
  mutable std::mutex listing_;
  mutable std::atomic<bool> listed_{false};
  // Each box is widened by this on every side, but not beyond the upper corner of the region.
  double widening_ = 0.0;
  double widenedUpper_[3] = {0.0, 0.0, 0.0};
  bool threeDimensional_;
  int threads_ = 1;
  std::vector<int> members_;
  // Whether the members ascend without a gap (a whole mesh's elements), so that a member's
  // position is its distance from the first.
  bool consecutive_ = false;
  // Per element position its box and length (see Box), kept once for the grid and the searches.
  ZORFreshArray<double> boxes_;
  std::unique_ptr<ZORMtkSourceElements> mesh_;
};
