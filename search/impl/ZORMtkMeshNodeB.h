#pragma once

#include <vector>

#include "platform/ZORContainers.h"
#include "platform/ZORSimHandles.h"
#include "search/ZORMtkBucketFrame.h"

class ZORMtkSimReader;

// A uniform grid over the nodes of a source region, for the nearest-node search. By definition the
// bucket of a point lists every node whose reach (one and a half bucket edges per axis, cut at the
// nodes' bounds) overlaps the bucket, and the nearest node is the first nearest of that list. Those
// lists would hold about 64 entries per node; the grid keeps each node once, in the bucket it lies
// in, and answers from the buckets around the point, nearest first, testing reach only for a node
// that would win. The grid may also hold a part of a larger node set, placed as the grid of the
// whole would be (its bounds and node count given), keeping lists only for the block of buckets
// the part's nodes lie in. It owns the source mesh's identity (its cache key), a copy of the node
// coordinates and the per-bucket node positions. Queries are const and may run on any thread.
class ZORMtkMeshNodeB {
 public:
  // The farthest ring of buckets around a point's bucket whose nodes are ever tested for it: a
  // reach of 1.5 edges lets a bucket list nodes up to two buckets from it; one more bucket covers
  // a node sorted across a border by rounding.
  static constexpr int kFarthestRing = 3;

  // Builds the grid from the reader's node coordinates; margin is accepted for symmetry with the
  // element grid and not used, since nodes have no extent to pad. The bucket lists are filled by
  // up to `threads` threads, the same at any count.
  void FormBuckets(ZORMtkSimReader* reader, double& margin, int threads = 1);
  // The ascending node positions listed by the bucket that holds point.
  cow_List<int> GetBucketNodes(double* point) const;

  // The same grid from coordinates at hand: `dimension` doubles per node.
  void FormFromCoordinates(const ZORSimDynamicID& source, int dimension,
                           const std::vector<double>& coords, int threads = 1);
  // The grid of a whole node set whose bounds (per axis, lower and higher) and node count are
  // given, holding only coords, which lie within those bounds.
  void FormPart(const ZORSimDynamicID& source, int dimension, const std::vector<double>& coords,
                const double* lower, const double* higher, long long wholeCount, int threads = 1);

  // The first (lowest position) of the nodes nearest to point among those its bucket lists, or
  // among all nodes when the bucket lists none; -1 without nodes. best receives the squared
  // distance over the grid's axes.
  int Nearest(const double* point, double& best) const;
  // The same among the listed nodes only: -1 when the point's bucket lists none.
  int NearestListed(const double* point, double& best) const;
  // The first of the nodes nearest to point among all of them; -1 without nodes.
  int NearestOfAll(const double* point, double& best) const;
  // One-based bucket indices of point, per axis (1 on the axes a plane grid lacks).
  void CellOf(const double* point, int* cell) const;

  int NodeCount() const { return static_cast<int>(coords_.size() / 3); }
  // The three coordinates of the node at position (z = 0 in two dimensions).
  const double* Node(int position) const {
    return coords_.data() + 3 * static_cast<std::size_t>(position);
  }

  const ZORSimDynamicID& SourceID() const { return sourceID_; }
  int Dimension() const { return frame_.dimension; }
  double BucketSize() const { return frame_.h; }
  int Count(int axis) const { return frame_.counts[axis]; }
  const double* Origin() const { return frame_.origin; }

 private:
  // Copies `dimension` coordinates per node into coords_.
  void Take(const ZORSimDynamicID& source, int dimension, const std::vector<double>& coords);
  // Bounds from the coordinates in coords_, then the placement and the lists of the whole grid.
  void Index(int threads);
  // Placement from lower_, higher_ and the whole's node count.
  void Place(long long wholeCount);
  // The block of buckets that holds this grid's nodes.
  void Window();
  // The lists of coords_ over the block, by up to `threads` threads.
  void Fill(int threads);
  // The linear index in lists_ of the bucket with one-based indices cell, which lies in the block.
  int Listed(int i, int j, int k) const {
    return lists_.Linear(i - first_[0] + 1, j - first_[1] + 1, k - first_[2] + 1);
  }
  // Whether node's reach overlaps the bucket with one-based indices cell.
  bool Lists(int node, const int* cell) const;
  // Calls visit(bucket) for every bucket at Chebyshev distance ring from cell.
  template <typename Visit>
  void VisitRing(const int* cell, int ring, const Visit& visit) const;
  // A lower bound of the distance from point (in bucket cell) to any bucket at least ring away;
  // negative when there is no such bucket.
  double RingGap(const double* point, const int* cell, int ring) const;
  double SquaredDistance(int node, const double* point) const;

  ZORSimDynamicID sourceID_;
  // The placement of the whole grid; its lists stay empty.
  ZORMtkBucketFrame frame_;
  // The lists of the block of buckets that holds this grid's nodes, from bucket first_ on.
  ZORMtkBucketFrame lists_;
  int first_[3] = {1, 1, 1};
  std::vector<double> coords_;  // three per node
  double lower_[3] = {0.0, 0.0, 0.0};
  double higher_[3] = {0.0, 0.0, 0.0};
};
