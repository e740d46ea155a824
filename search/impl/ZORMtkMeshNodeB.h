#pragma once

#include <vector>

#include "platform/ZORContainers.h"
#include "platform/ZORSimHandles.h"
#include "search/ZORMtkBucketFrame.h"

class ZORMtkSimReader;

// A uniform grid of buckets over the nodes of a source region, for the nearest-node search: a
// bucket lists every node within one and a half bucket edges of it per axis. It owns the source
// mesh's identity (its cache key) and the bucket lists of node positions in the region's node
// list.
class ZORMtkMeshNodeB {
 public:
  // Builds the grid from the reader's node coordinates; margin is accepted for symmetry with the
  // element grid and not used, since nodes have no extent to pad.
  void FormBuckets(ZORMtkSimReader* reader, double& margin);
  // A copy of the ascending node positions of the bucket that holds point.
  cow_List<int> GetBucketNodes(double* point) const;

  // The same grid from coordinates at hand: `dimension` doubles per node.
  void FormFromCoordinates(const ZORSimDynamicID& source, int dimension,
                           const std::vector<double>& coords);

  // The bucket of point read in place: its positions are begin[0 .. count - 1], ascending.
  const int* Bucket(const double* point, int& count) const {
    const int bucket = frame_.BucketOf(point);
    count = frame_.Size(bucket);
    return frame_.Begin(bucket);
  }

  const ZORSimDynamicID& SourceID() const { return sourceID_; }
  int Dimension() const { return frame_.dimension; }
  double BucketSize() const { return frame_.h; }
  int Count(int axis) const { return frame_.counts[axis]; }
  const double* Origin() const { return frame_.origin; }

 private:
  void EnterNodes(const std::vector<double>& coords, int nodeCount, const double* lower,
                  const double* higher);

  ZORSimDynamicID sourceID_;
  ZORMtkBucketFrame frame_;
};
