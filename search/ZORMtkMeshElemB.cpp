#include "search/ZORMtkMeshElemB.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/impl/ZORHugePages.h"
#include "platform/impl/ZORParallelFor.h"
#include "reader/ZORMtkSimReader.h"
#include "search/impl/ZORMtkSourceElements.h"

namespace {

// The bucket count is held between these so that the grid neither collapses into a single bucket
// nor outgrows memory on fine meshes.
constexpr double kMostBuckets = 100000.0;
constexpr double kFewestBuckets = 8.0;
// The most buckets any grid gets, whatever the extents: far above what the sizing asks for.
constexpr double kHeldBuckets = 1e7;

double AxisCount(double extent, double h) { return std::floor(extent / h) + 1.0; }

}  // namespace

ZORMtkMeshElemB::ZORMtkMeshElemB() : threeDimensional_(true) {}

ZORMtkMeshElemB::~ZORMtkMeshElemB() = default;

// The mesh is read once, boxes and all, and kept for the first search to take.
void ZORMtkMeshElemB::FormBuckets(ZORMtkSimReader* reader, double& margin, int threads) {
  auto mesh = std::make_unique<ZORMtkSourceElements>(*reader, threads);
  const ZORMtkSourceElements::Extent& extent = mesh->GetExtent();
  FormFromMesh(reader->meshID, *mesh, extent.averageSize, extent.lower, extent.upper, margin,
               threads);
  mesh_ = std::move(mesh);
}

void ZORMtkMeshElemB::FormFromMesh(const ZORSimDynamicID& source, ZORMtkSourceElements& mesh,
                                   double averageSize, const double* overallMin,
                                   const double* overallMax, double margin, int threads) {
  members_ = mesh.TakeElementMembers();
  boxes_ = mesh.TakeBoxes();
  mesh.UseBoxes(boxes_.data());
  mesh_.reset();
  Place(source, mesh.Dimension(), averageSize, overallMin, overallMax, margin, threads);
}

std::unique_ptr<ZORMtkSourceElements> ZORMtkMeshElemB::TakeMesh() { return std::move(mesh_); }

cow_List<int> ZORMtkMeshElemB::GetBucketElements(double* point) const {
  int count = 0;
  const int* begin = Bucket(point, count);
  return cow_List<int>(std::vector<int>(begin, begin + count));
}

void ZORMtkMeshElemB::FormFromBoxes(const ZORSimDynamicID& source, int dimension,
                                    std::vector<int> members, const std::vector<double>& boxMin,
                                    const std::vector<double>& boxMax, double averageSize,
                                    const double* overallMin, const double* overallMax,
                                    double margin, int threads) {
  // Any dimension but two is three; members beyond the boxes given are not entered.
  frame_.dimension = dimension == 2 ? 2 : 3;
  members_ = std::move(members);
  const std::size_t boxed =
      std::min(boxMin.size(), boxMax.size()) / static_cast<std::size_t>(frame_.dimension);
  if (members_.size() > boxed) members_.resize(boxed);
  threads_ = threads;
  KeepBoxes(boxMin, boxMax);
  mesh_.reset();
  Place(source, frame_.dimension, averageSize, overallMin, overallMax, margin, threads);
}

void ZORMtkMeshElemB::Place(const ZORSimDynamicID& source, int dimension, double averageSize,
                            const double* overallMin, const double* overallMax, double margin,
                            int threads) {
  sourceID_ = source;
  threads_ = threads;
  frame_.dimension = dimension;
  threeDimensional_ = dimension != 2;
  consecutive_ = RunsWithoutGap(members_);
  Size(averageSize, overallMin, overallMax);
  widening_ = margin * averageSize;
  std::copy_n(overallMax, frame_.Axes(), widenedUpper_);
  listed_.store(false, std::memory_order_release);
}

// The boxes given per axis become one run of seven doubles per element, with the diagonal over
// the mesh's axes last; elements by ranges on all threads, each writing its own.
void ZORMtkMeshElemB::KeepBoxes(const std::vector<double>& boxMin,
                                const std::vector<double>& boxMax) {
  const int axes = frame_.dimension == 2 ? 2 : 3;
  ZORHugePages::Resize(boxes_, kBoxStride * members_.size());
  ZORParallelFor::Ranges(
      ElementCount(), threads_, [&](int /*part*/, long long begin, long long end) {
        for (long long e = begin; e < end; ++e) {
          double* box = boxes_.data() + kBoxStride * static_cast<std::size_t>(e);
          std::fill(box, box + kBoxStride, 0.0);
          double squared = 0.0;
          for (int a = 0; a < axes; ++a) {
            box[a] = boxMin[static_cast<std::size_t>(e) * frame_.dimension + a];
            box[3 + a] = boxMax[static_cast<std::size_t>(e) * frame_.dimension + a];
            squared += (box[3 + a] - box[a]) * (box[3 + a] - box[a]);
          }
          box[6] = std::sqrt(squared);
        }
      });
}

bool ZORMtkMeshElemB::RunsWithoutGap(const std::vector<int>& members) {
  return !members.empty() &&
         std::int64_t{members.back()} - members.front() + 1 ==
             static_cast<std::int64_t>(members.size()) &&
         std::is_sorted(members.begin(), members.end());
}

int ZORMtkMeshElemB::PositionIn(const std::vector<int>& members, bool consecutive, int member) {
  if (consecutive) {
    const std::int64_t position = std::int64_t{member} - members.front();
    return position >= 0 && position < static_cast<std::int64_t>(members.size())
               ? static_cast<int>(position)
               : -1;
  }
  const auto it = std::lower_bound(members.begin(), members.end(), member);
  return it != members.end() && *it == member ? static_cast<int>(it - members.begin()) : -1;
}

// Buckets start at the average element size; when that gives fewer than 8 or more than 100000
// buckets, h is chosen so that the bucket count is close to the bound: a box of extents L split
// into cubes of edge h holds about (Lx + h)(Ly + h)(Lz + h) / h^3 buckets, and equating that with
// T leads (dropping the h^2 term) to the cubic (T - 1) h^3 - S2 h - P = 0.
void ZORMtkMeshElemB::Size(double averageSize, const double* overallMin, const double* overallMax) {
  const int axes = frame_.Axes();
  double L[3] = {0.0, 0.0, 0.0};
  for (int a = 0; a < axes; ++a) L[a] = overallMax[a] - overallMin[a];
  double h = averageSize;
  const auto bucketCount = [&](double edge) {
    double n = 1.0;
    for (int a = 0; a < axes; ++a) n *= AxisCount(L[a], edge);
    return n;
  };
  const double N = h > 0.0 ? bucketCount(h) : kMostBuckets + 1.0;
  if (N > kMostBuckets || N < kFewestBuckets) {
    const double target = N > kMostBuckets ? kMostBuckets : kFewestBuckets;
    const double S2 = L[0] * L[1] + L[1] * L[2] + L[2] * L[0];
    const double P = axes == 3 ? L[0] * L[1] * L[2] : L[0] * L[1];
    h = ZORMtkBucketFrame::LargestCubicRoot(target, S2, P);
  }
  // A region without extent (a single point) has no size to divide; one unit keeps it one bucket.
  if (!(h > 0.0) || !std::isfinite(h)) h = 1.0;
  // Extents the cubic misjudges (one far longer than the others, or beyond the doubles' range)
  // would still ask for more buckets than memory holds: h grows until they are few enough. An
  // extent that is not a finite number is not divided.
  const auto heldCounts = [&](double edge, int* counts) {
    double total = 1.0;
    for (int a = 0; a < axes; ++a) {
      const double n = std::isfinite(L[a]) ? AxisCount(L[a], edge) : 1.0;
      counts[a] = n < kHeldBuckets ? static_cast<int>(n) : static_cast<int>(kHeldBuckets);
      total *= n;
    }
    return total;
  };
  int counts[3] = {1, 1, 1};
  for (double total = heldCounts(h, counts); total > kHeldBuckets; total = heldCounts(h, counts))
    h *= std::cbrt(total / kHeldBuckets) * 1.01;
  frame_.Place(overallMin, h, counts);
}

// Every element's ranges, first i, j, k, last i, j, k (k = 1 in two dimensions), by ranges of
// elements on all threads, each writing its own.
void ZORMtkMeshElemB::RangeElements(ZORFreshArray<int>& ranges) const {
  ZORHugePages::Resize(ranges,
                       ZORMtkBucketFrame::kRangeInts * static_cast<std::size_t>(ElementCount()));
  ZORParallelFor::Ranges(
      ElementCount(), threads_, [&](int /*part*/, long long begin, long long end) {
        for (int position = static_cast<int>(begin); position < end; ++position) {
          int* range =
              ranges.data() + ZORMtkBucketFrame::kRangeInts * static_cast<std::size_t>(position);
          std::fill(range, range + ZORMtkBucketFrame::kRangeInts, 1);
          for (int a = 0; a < frame_.Axes(); ++a)
            AxisRange(Box(position), a, range[a], range[3 + a]);
        }
      });
}

void ZORMtkMeshElemB::ListElements() const {
  if (listed_.load(std::memory_order_acquire)) return;
  const std::lock_guard<std::mutex> hold(listing_);
  if (listed_.load(std::memory_order_relaxed)) return;
  ZORFreshArray<int> ranges;
  RangeElements(ranges);
  frame_.FillRanges(ElementCount(), threads_, ranges.data());
  listed_.store(true, std::memory_order_release);
}
