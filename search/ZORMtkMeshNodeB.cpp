#include "search/impl/ZORMtkMeshNodeB.h"

#include <algorithm>
#include <cmath>

#include "reader/ZORMtkSimReader.h"

namespace {

// A node reaches this many bucket edges to either side, so that the bucket of a point lists the
// nodes around it even when the point lies near the bucket's border.
constexpr double kReach = 1.5;
// Half the edge of the single bucket of a region whose nodes all coincide.
constexpr double kPointPadding = 1e-9;

}  // namespace

void ZORMtkMeshNodeB::FormBuckets(ZORMtkSimReader* reader, double& /*margin*/) {
  std::vector<double> coords(static_cast<std::size_t>(reader->numNodes) *
                             static_cast<std::size_t>(reader->numCoordComponents));
  reader->FillCoordinates(static_cast<int>(coords.size()), coords.data());
  FormFromCoordinates(reader->meshID, reader->numCoordComponents, coords);
}

cow_List<int> ZORMtkMeshNodeB::GetBucketNodes(double* point) const {
  int count = 0;
  const int* begin = Bucket(point, count);
  return cow_List<int>(std::vector<int>(begin, begin + count));
}

// About one node per bucket: the largest extent is cut into floor(N^(1/3)) buckets and the other
// axes get buckets of the same edge.
void ZORMtkMeshNodeB::FormFromCoordinates(const ZORSimDynamicID& source, int dimension,
                                          const std::vector<double>& coords) {
  sourceID_ = source;
  frame_.dimension = dimension;
  const int axes = frame_.Axes();
  const int nodeCount = dimension > 0 ? static_cast<int>(coords.size()) / dimension : 0;
  double lower[3] = {0.0, 0.0, 0.0};
  double higher[3] = {0.0, 0.0, 0.0};
  for (int a = 0; a < axes && nodeCount > 0; ++a) {
    lower[a] = higher[a] = coords[static_cast<std::size_t>(a)];
    for (int n = 1; n < nodeCount; ++n) {
      const double x = coords[static_cast<std::size_t>(n * dimension + a)];
      lower[a] = std::min(lower[a], x);
      higher[a] = std::max(higher[a], x);
    }
  }
  double extent = 0.0;
  for (int a = 0; a < axes; ++a) extent = std::max(extent, higher[a] - lower[a]);
  int counts[3] = {1, 1, 1};
  if (extent != 0.0) {
    const double h = extent / static_cast<double>(ZORMtkBucketFrame::IntegerCubeRoot(nodeCount));
    for (int a = 0; a < axes; ++a)
      counts[a] = static_cast<int>(std::floor((higher[a] - lower[a]) / h)) + 1;
    frame_.Place(lower, h, counts);
  } else {
    for (int a = 0; a < axes; ++a) {
      lower[a] -= kPointPadding;
      higher[a] += kPointPadding;
    }
    frame_.Place(lower, 2.0 * kPointPadding, counts);
  }
  EnterNodes(coords, nodeCount, lower, higher);
}

void ZORMtkMeshNodeB::EnterNodes(const std::vector<double>& coords, int nodeCount,
                                 const double* lower, const double* higher) {
  const int axes = frame_.Axes();
  const bool single = frame_.BucketCount() == 1;
  const double h = frame_.h;
  frame_.Fill(nodeCount, [&](int node, const auto& enter) {
    if (single) {
      enter(0);
      return;
    }
    int first[3] = {1, 1, 1};
    int last[3] = {1, 1, 1};
    for (int a = 0; a < axes; ++a) {
      const double x = coords[static_cast<std::size_t>(node * frame_.dimension + a)];
      const double lo = std::max(x - kReach * h, lower[a]);
      const double hi = std::min(x + kReach * h, higher[a]);
      const int n = frame_.counts[a];
      first[a] = std::min(static_cast<int>(std::floor((lo - frame_.origin[a]) / h)) + 1, n);
      last[a] = std::min(static_cast<int>(std::floor((hi - frame_.origin[a]) / h)) + 1, n);
    }
    frame_.EnterRange(first, last, enter);
  });
}
