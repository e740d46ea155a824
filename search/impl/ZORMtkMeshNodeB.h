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
// that would win. It owns the source mesh's identity (its cache key), a copy of the node
// coordinates and the per-bucket node positions. Queries are const and may run on any thread.
class ZORMtkMeshNodeB {
 public:
  // Builds the grid from the reader's node coordinates; margin is accepted for symmetry with the
  // element grid and not used, since nodes have no extent to pad. The bucket lists are filled by
  // up to `threads` threads, the same at any count.
  void FormBuckets(ZORMtkSimReader* reader, double& margin, int threads = 1);
  // The ascending node positions listed by the bucket that holds point.
  cow_List<int> GetBucketNodes(double* point) const;

  // The same grid from coordinates at hand: `dimension` doubles per node.
  void FormFromCoordinates(const ZORSimDynamicID& source, int dimension,
                           const std::vector<double>& coords, int threads = 1);

  // The first (lowest position) of the nodes nearest to point among those its bucket lists, or
  // among all nodes when the bucket lists none; -1 without nodes. best receives the squared
  // distance over the grid's axes.
  int Nearest(const double* point, double& best) const;

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
  // Bounds, placement and bucket lists from the coordinates in coords_.
  void Index(int threads);
  // One-based bucket indices of point, per axis.
  void CellOf(const double* point, int* cell) const;
  // Whether node's reach overlaps the bucket with one-based indices cell.
  bool Lists(int node, const int* cell) const;
  // Calls visit(bucket) for every bucket at Chebyshev distance ring from cell.
  template <typename Visit>
  void VisitRing(const int* cell, int ring, const Visit& visit) const;
  // A lower bound of the distance from point (in bucket cell) to any bucket at least ring away;
  // negative when there is no such bucket.
  double RingGap(const double* point, const int* cell, int ring) const;
  double SquaredDistance(int node, const double* point) const;
  int NearestOfAll(const double* point, double& best) const;

  ZORSimDynamicID sourceID_;
  ZORMtkBucketFrame frame_;
  std::vector<double> coords_;  // three per node
  double lower_[3] = {0.0, 0.0, 0.0};
  double higher_[3] = {0.0, 0.0, 0.0};
};
