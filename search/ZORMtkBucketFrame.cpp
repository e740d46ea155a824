#include "search/ZORMtkBucketFrame.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "platform/impl/ZORHugePages.h"
#include "platform/impl/ZORParallelFor.h"

// Cardano with p = -S2/(T - 1), q = -P/(T - 1), D = (q/2)^2 + (p/3)^3. With D < 0 there are three
// real roots 2 sqrt(-p/3) cos(phi/3 - 2 pi k/3), phi = acos((-q/2) / sqrt(-(p/3)^3)), of which
// k = 0 is the largest; otherwise the one real root is u - p/(3u) with
// u = -sign(q/2) cbrt(sqrt(D) + |q/2|).
double ZORMtkBucketFrame::LargestCubicRoot(double target, double S2, double P) {
  const double p = -S2 / (target - 1.0);
  const double q = -P / (target - 1.0);
  const double D = (q / 2.0) * (q / 2.0) + (p / 3.0) * (p / 3.0) * (p / 3.0);
  if (D < 0.0) {
    const double r = std::sqrt(-p / 3.0);
    const double phi = std::acos(std::max(-1.0, std::min(1.0, (-q / 2.0) / (r * r * r))));
    return 2.0 * r * std::cos(phi / 3.0);
  }
  const double halfQ = q / 2.0;
  const double sign = halfQ > 0.0 ? 1.0 : (halfQ < 0.0 ? -1.0 : 0.0);
  const double u = -sign * std::cbrt(std::sqrt(D) + std::fabs(halfQ));
  if (std::fabs(u) <= 1e-9 * std::fabs(p / 3.0)) return u;
  return u - p / (3.0 * u);
}

// The floating cube root of 1000000 is 99.999..., whose floor would cost the node grid a bucket
// per axis; the integer is corrected by cubing.
long long ZORMtkBucketFrame::IntegerCubeRoot(long long n) {
  long long k = static_cast<long long>(std::cbrt(static_cast<double>(n)));
  while ((k + 1) * (k + 1) * (k + 1) <= n) ++k;
  while (k > 0 && k * k * k > n) --k;
  return k;
}

int ZORMtkBucketFrame::LargestBucket() const {
  int largest = 0;
  for (std::size_t b = 0; b + 1 < offsets.size(); ++b)
    largest = std::max(largest, offsets[b + 1] - offsets[b]);
  return largest;
}

void ZORMtkBucketFrame::Place(const double* lower, double edge, const int* axisCounts) {
  h = edge;
  for (int a = 0; a < 3; ++a) {
    origin[a] = a < Axes() ? lower[a] : 0.0;
    counts[a] = a < Axes() ? axisCounts[a] : 1;
    upper[a] = a < Axes() ? origin[a] + counts[a] * h : 0.0;
  }
}

void ZORMtkBucketFrame::ClearOffsets(std::size_t count) {
  ZORHugePages::Reserve(offsets, count);
  offsets.assign(count, 0);
}

void ZORMtkBucketFrame::ClearEntries(std::size_t count) {
  ZORHugePages::Reserve(entries, count);
  entries.assign(count, 0);
}

template <typename Source, typename Enter>
void ZORMtkBucketFrame::VisitRows(int itemCount, const Source& rangeOf, int rowBegin, int rowEnd,
                                  const Enter& enter) const {
  const int rowsPerLayer = counts[1];
  const int firstLayer = rowBegin / rowsPerLayer + 1;
  const int lastLayer = (rowEnd - 1) / rowsPerLayer + 1;
  int first[3] = {1, 1, 1};
  int last[3] = {1, 1, 1};
  for (int item = 0; item < itemCount; ++item) {
    if (!rangeOf(item, first, last)) continue;
    const int k0 = dimension == 2 ? 1 : std::max(first[2], firstLayer);
    const int k1 = dimension == 2 ? 1 : std::min(last[2], lastLayer);
    const int span = last[0] - first[0] + 1;
    for (int k = k0; k <= k1; ++k) {
      // Row (k - 1) rowsPerLayer + j - 1 of the item's rows j, kept to [rowBegin, rowEnd); each
      // run of buckets along x then starts at the row's first bucket plus first[0] - 1.
      const int rowBefore = (k - 1) * rowsPerLayer - 1;
      const int j0 = std::max(first[1], rowBegin - rowBefore);
      const int j1 = std::min(last[1], rowEnd - 1 - rowBefore);
      for (int j = j0; j <= j1; ++j) {
        const int start = (rowBefore + j) * counts[0] + first[0] - 1;
        for (int bucket = start; bucket < start + span; ++bucket) enter(bucket, item);
      }
    }
  }
}

// Two passes over the items, as in Fill, but split by rows: the first counts each row's entries
// per bucket and turns the counts into starts within the rows; the rows' totals then give every
// run of rows its base in the entries, and the second pass places the entries from there.
template <typename Source>
void ZORMtkBucketFrame::FillFrom(int itemCount, int threads, const Source& rangeOf) {
  const long long rows = RowCount();
  ZORHugePages::Resize(offsets, static_cast<std::size_t>(BucketCount()) + 1);
  offsets[0] = 0;
  std::vector<long long> totals(static_cast<std::size_t>(ZORParallelFor::Parts(rows, threads)), 0);
  ZORParallelFor::Ranges(rows, threads, [&](int part, long long begin, long long end) {
    totals[static_cast<std::size_t>(part)] =
        CountRows(itemCount, rangeOf, static_cast<int>(begin), static_cast<int>(end));
  });
  std::vector<long long> bases(totals.size() + 1, 0);
  for (std::size_t part = 0; part < totals.size(); ++part)
    bases[part + 1] = bases[part] + totals[part];
  // Entries are found by int offsets. More than they reach (items padded so widely that each
  // lies in most of the buckets) would not fit in memory either, and fails as an allocation does.
  if (bases.back() > std::numeric_limits<int>::max()) throw std::bad_alloc();
  ZORHugePages::Resize(entries, static_cast<std::size_t>(bases.back()));
  ZORParallelFor::Ranges(rows, threads, [&](int part, long long begin, long long end) {
    PlaceRows(itemCount, rangeOf, static_cast<int>(begin), static_cast<int>(end),
              static_cast<int>(bases[static_cast<std::size_t>(part)]));
  });
}

// Leaves in offsets[b + 1], for each bucket b of the rows, the start of b's entries counted from
// the rows' first entry, and returns the rows' entry count. Starts beyond the int range are left
// at its top: FillFrom refuses such a count before any offset is read.
template <typename Source>
long long ZORMtkBucketFrame::CountRows(int itemCount, const Source& rangeOf, int rowBegin,
                                       int rowEnd) {
  const std::size_t first = static_cast<std::size_t>(rowBegin) * counts[0];
  const std::size_t last = static_cast<std::size_t>(rowEnd) * counts[0];
  std::fill(offsets.data() + first + 1, offsets.data() + last + 1, 0);
  VisitRows(itemCount, rangeOf, rowBegin, rowEnd,
            [this](int bucket, int /*item*/) { ++offsets[static_cast<std::size_t>(bucket) + 1]; });
  long long start = 0;
  for (std::size_t b = first; b < last; ++b) {
    const int count = offsets[b + 1];
    offsets[b + 1] = static_cast<int>(std::min<long long>(start, std::numeric_limits<int>::max()));
    start += count;
  }
  return start;
}

// offsets[b + 1] serves as b's cursor: from b's start it advances past each entry placed, and
// ends at b's end, which is the next bucket's start.
template <typename Source>
void ZORMtkBucketFrame::PlaceRows(int itemCount, const Source& rangeOf, int rowBegin, int rowEnd,
                                  int base) {
  const std::size_t first = static_cast<std::size_t>(rowBegin) * counts[0];
  const std::size_t last = static_cast<std::size_t>(rowEnd) * counts[0];
  for (std::size_t b = first; b < last; ++b) offsets[b + 1] += base;
  VisitRows(itemCount, rangeOf, rowBegin, rowEnd, [this](int bucket, int item) {
    entries[static_cast<std::size_t>(offsets[static_cast<std::size_t>(bucket) + 1]++)] = item;
  });
}

void ZORMtkBucketFrame::FillRanges(int itemCount, int threads, const RangeOf& rangeOf) {
  FillFrom(itemCount, threads, rangeOf);
}

void ZORMtkBucketFrame::FillRanges(int itemCount, int threads, const int* ranges) {
  FillFrom(itemCount, threads, [ranges](int item, int* first, int* last) {
    const int* range = ranges + kRangeInts * static_cast<std::size_t>(item);
    if (range[0] == 0) return false;
    std::copy(range, range + kRangeInts / 2, first);
    std::copy(range + kRangeInts / 2, range + kRangeInts, last);
    return true;
  });
}
