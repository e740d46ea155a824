#include "search/impl/ZORMtkMeshNodeB.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/impl/ZORHugePages.h"
#include "reader/ZORMtkSimReader.h"

namespace {

// A node reaches this many bucket edges to either side, so that the bucket of a point lists the
// nodes around it even when the point lies near the bucket's border.
constexpr double kReach = 1.5;
// Half the edge of the single bucket of a region whose nodes all coincide.
constexpr double kPointPadding = 1e-9;
// Bucket borders are recomputed from origin and edge, so a node may lie a little beyond the
// border of the bucket it was sorted into: this many edges, plus rounding at the coordinates'
// magnitude.
constexpr double kBorderSlack = 1e-6;
constexpr double kMagnitudeRounding = 8.0 * std::numeric_limits<double>::epsilon();
constexpr double kNoBucket = std::numeric_limits<double>::infinity();

}  // namespace

// Three-dimensional coordinates are read straight into the grid's copy.
void ZORMtkMeshNodeB::FormBuckets(ZORMtkSimReader* reader, double& /*margin*/, int threads) {
  const std::size_t values = static_cast<std::size_t>(std::max(reader->numNodes, 0)) *
                             static_cast<std::size_t>(std::max(reader->numCoordComponents, 0));
  if (reader->numCoordComponents != 3) {
    std::vector<double> coords(values);
    reader->FillCoordinates(static_cast<int>(values), coords.data());
    FormFromCoordinates(reader->meshID, reader->numCoordComponents, coords, threads);
    return;
  }
  sourceID_ = reader->meshID;
  frame_.dimension = 3;
  ZORHugePages::Resize(coords_, values);
  reader->FillCoordinates(static_cast<int>(values), coords_.data());
  Index(threads);
}

void ZORMtkMeshNodeB::FormFromCoordinates(const ZORSimDynamicID& source, int dimension,
                                          const std::vector<double>& coords, int threads) {
  Take(source, dimension, coords);
  Index(threads);
}

void ZORMtkMeshNodeB::FormPart(const ZORSimDynamicID& source, int dimension,
                               const std::vector<double>& coords, const double* lower,
                               const double* higher, long long wholeCount, int threads) {
  Take(source, dimension, coords);
  for (int a = 0; a < 3; ++a) {
    lower_[a] = a < frame_.Axes() ? lower[a] : 0.0;
    higher_[a] = a < frame_.Axes() ? higher[a] : 0.0;
  }
  Place(wholeCount);
  Window();
  Fill(threads);
}

void ZORMtkMeshNodeB::Take(const ZORSimDynamicID& source, int dimension,
                           const std::vector<double>& coords) {
  sourceID_ = source;
  frame_.dimension = dimension;
  const int axes = std::min(frame_.Axes(), dimension);
  const int nodeCount = dimension > 0 ? static_cast<int>(coords.size()) / dimension : 0;
  coords_.assign(3 * static_cast<std::size_t>(nodeCount), 0.0);
  for (int n = 0; n < nodeCount; ++n)
    for (int a = 0; a < axes; ++a)
      coords_[3 * static_cast<std::size_t>(n) + a] =
          coords[static_cast<std::size_t>(n) * dimension + a];
}

void ZORMtkMeshNodeB::Index(int threads) {
  const int axes = frame_.Axes();
  const int nodeCount = NodeCount();
  for (int a = 0; a < 3; ++a) lower_[a] = higher_[a] = 0.0;
  for (int a = 0; a < axes && nodeCount > 0; ++a) {
    lower_[a] = higher_[a] = coords_[static_cast<std::size_t>(a)];
    for (int n = 1; n < nodeCount; ++n) {
      const double x = coords_[3 * static_cast<std::size_t>(n) + a];
      lower_[a] = std::min(lower_[a], x);
      higher_[a] = std::max(higher_[a], x);
    }
  }
  // The nodes span the grid, so the lists cover all of it.
  Place(nodeCount);
  for (int a = 0; a < 3; ++a) {
    first_[a] = 1;
    lists_.counts[a] = frame_.counts[a];
  }
  Fill(threads);
}

// About one node of the whole per bucket: the largest extent is cut into floor(N^(1/3)) buckets
// and the other axes get buckets of the same edge.
void ZORMtkMeshNodeB::Place(long long wholeCount) {
  const int axes = frame_.Axes();
  double extent = 0.0;
  for (int a = 0; a < axes; ++a) extent = std::max(extent, higher_[a] - lower_[a]);
  int counts[3] = {1, 1, 1};
  if (extent != 0.0) {
    const double h = extent / static_cast<double>(ZORMtkBucketFrame::IntegerCubeRoot(wholeCount));
    for (int a = 0; a < axes; ++a)
      counts[a] = static_cast<int>(std::floor((higher_[a] - lower_[a]) / h)) + 1;
    frame_.Place(lower_, h, counts);
  } else {
    for (int a = 0; a < axes; ++a) {
      lower_[a] -= kPointPadding;
      higher_[a] += kPointPadding;
    }
    frame_.Place(lower_, 2.0 * kPointPadding, counts);
  }
}

// The block from the lowest to the highest bucket index of this grid's nodes along every axis.
void ZORMtkMeshNodeB::Window() {
  int lastCell[3] = {1, 1, 1};
  for (int a = 0; a < 3; ++a) first_[a] = NodeCount() > 0 ? frame_.counts[a] : 1;
  for (int n = 0; n < NodeCount(); ++n) {
    int cell[3];
    CellOf(Node(n), cell);
    for (int a = 0; a < 3; ++a) {
      first_[a] = std::min(first_[a], cell[a]);
      lastCell[a] = std::max(lastCell[a], cell[a]);
    }
  }
  for (int a = 0; a < 3; ++a) lists_.counts[a] = lastCell[a] - first_[a] + 1;
}

void ZORMtkMeshNodeB::Fill(int threads) {
  lists_.dimension = frame_.dimension;
  lists_.FillRanges(NodeCount(), threads, [this](int node, int* first, int* last) {
    CellOf(Node(node), first);
    for (int a = 0; a < 3; ++a) first[a] -= first_[a] - 1;
    std::copy(first, first + 3, last);
    return true;
  });
}

void ZORMtkMeshNodeB::CellOf(const double* point, int* cell) const {
  for (int a = 0; a < 3; ++a) cell[a] = a < frame_.Axes() ? frame_.AxisIndex(point[a], a) : 1;
}

// The bucket range a node's reach covers along each axis, as the lists would be filled.
bool ZORMtkMeshNodeB::Lists(int node, const int* cell) const {
  if (frame_.BucketCount() == 1) return true;
  const double h = frame_.h;
  for (int a = 0; a < frame_.Axes(); ++a) {
    const double x = coords_[3 * static_cast<std::size_t>(node) + a];
    const double lo = std::max(x - kReach * h, lower_[a]);
    const double hi = std::min(x + kReach * h, higher_[a]);
    const int n = frame_.counts[a];
    const int first = std::min(static_cast<int>(std::floor((lo - frame_.origin[a]) / h)) + 1, n);
    const int last = std::min(static_cast<int>(std::floor((hi - frame_.origin[a]) / h)) + 1, n);
    if (cell[a] < first || cell[a] > last) return false;
  }
  return true;
}

// Only the buckets of the block are visited; the others list no node of this grid.
template <typename Visit>
void ZORMtkMeshNodeB::VisitRing(const int* cell, int ring, const Visit& visit) const {
  int first[3] = {1, 1, 1};
  int last[3] = {1, 1, 1};
  for (int a = 0; a < frame_.Axes(); ++a) {
    first[a] = std::max(first_[a], cell[a] - ring);
    last[a] = std::min(first_[a] + lists_.counts[a] - 1, cell[a] + ring);
  }
  for (int k = first[2]; k <= last[2]; ++k)
    for (int j = first[1]; j <= last[1]; ++j) {
      if (std::abs(j - cell[1]) == ring || std::abs(k - cell[2]) == ring) {
        for (int i = first[0]; i <= last[0]; ++i) visit(Listed(i, j, k));
        continue;
      }
      const int left = cell[0] - ring;
      const int right = cell[0] + ring;
      if (left >= first[0] && left <= last[0]) visit(Listed(left, j, k));
      if (right >= first[0] && right <= last[0]) visit(Listed(right, j, k));
    }
}

// A node in a bucket at least ring away from cell lies, along some axis, beyond the border of
// the block of buckets within ring - 1; its distance is at least the point's gap to that border.
double ZORMtkMeshNodeB::RingGap(const double* point, const int* cell, int ring) const {
  double gap = kNoBucket;
  const auto slack = [&](double x, double border) {
    return kBorderSlack * frame_.h + kMagnitudeRounding * (std::fabs(x) + std::fabs(border));
  };
  for (int a = 0; a < frame_.Axes(); ++a) {
    if (cell[a] - ring >= 1) {
      const double border = frame_.origin[a] + (cell[a] - ring) * frame_.h;
      gap = std::min(gap, point[a] - border - slack(point[a], border));
    }
    if (cell[a] + ring <= frame_.counts[a]) {
      const double border = frame_.origin[a] + (cell[a] + ring - 1) * frame_.h;
      gap = std::min(gap, border - point[a] - slack(point[a], border));
    }
  }
  return gap;
}

double ZORMtkMeshNodeB::SquaredDistance(int node, const double* point) const {
  const double* x = coords_.data() + 3 * static_cast<std::size_t>(node);
  double sum = 0.0;
  for (int a = 0; a < frame_.Axes(); ++a) sum += (x[a] - point[a]) * (x[a] - point[a]);
  return sum;
}

int ZORMtkMeshNodeB::Nearest(const double* point, double& best) const {
  const int nearest = NearestListed(point, best);
  return nearest >= 0 ? nearest : NearestOfAll(point, best);
}

// Buckets are visited nearest first and a ring is skipped once its gap exceeds the best distance
// found, so a node only competes when its distance could still win; it wins if the point's bucket
// lists it. Ties go to the lowest position, as a scan of the ascending list would give them.
int ZORMtkMeshNodeB::NearestListed(const double* point, double& best) const {
  if (coords_.empty()) return -1;
  int cell[3];
  CellOf(point, cell);
  int nearest = -1;
  for (int ring = 0; ring <= kFarthestRing; ++ring) {
    if (ring > 0) {
      const double gap = RingGap(point, cell, ring);
      if (gap == kNoBucket || (nearest >= 0 && gap > 0.0 && gap * gap > best)) break;
    }
    VisitRing(cell, ring, [&](int bucket) {
      const int* nodes = lists_.Begin(bucket);
      for (int k = 0; k < lists_.Size(bucket); ++k) {
        const int node = nodes[k];
        const double d = SquaredDistance(node, point);
        if (nearest >= 0 && (d > best || (d == best && node > nearest))) continue;
        if (!Lists(node, cell)) continue;
        nearest = node;
        best = d;
      }
    });
  }
  return nearest;
}

int ZORMtkMeshNodeB::NearestOfAll(const double* point, double& best) const {
  int nearest = -1;
  const int nodeCount = static_cast<int>(coords_.size() / 3);
  for (int n = 0; n < nodeCount; ++n) {
    const double d = SquaredDistance(n, point);
    if (nearest < 0 || d < best) {
      nearest = n;
      best = d;
    }
  }
  return nearest;
}

cow_List<int> ZORMtkMeshNodeB::GetBucketNodes(double* point) const {
  int cell[3];
  CellOf(point, cell);
  std::vector<int> listed;
  for (int ring = 0; ring <= kFarthestRing; ++ring)
    VisitRing(cell, ring, [&](int bucket) {
      const int* nodes = lists_.Begin(bucket);
      for (int k = 0; k < lists_.Size(bucket); ++k)
        if (Lists(nodes[k], cell)) listed.push_back(nodes[k]);
    });
  std::sort(listed.begin(), listed.end());
  return cow_List<int>(listed);
}
