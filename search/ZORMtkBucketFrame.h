#pragma once

#include <algorithm>
#include <functional>
#include <vector>

#include "platform/ZORExport.h"
#include "platform/ZORFreshArray.h"

// The uniform grid shared by the element and the node bucket grids: its placement (origin, edge
// length h, counts per axis) and its bucket lists, held as one flat array of entries with an
// offset per bucket, so a search reads a bucket in place and a grid of a million elements costs
// two allocations instead of one per bucket.
//
// Bucket indices per axis are one-based as in the sizing rules; the linear index of (i, j, k) is
// ((k - 1) ny + (j - 1)) nx + (i - 1).
class ZORMTK_EXPORT ZORMtkBucketFrame {
 public:
  int dimension = 3;
  double h = 0.0;
  double origin[3] = {0.0, 0.0, 0.0};
  double upper[3] = {0.0, 0.0, 0.0};
  int counts[3] = {1, 1, 1};
  // Bucket b holds entries offsets[b] .. offsets[b + 1] - 1.
  ZORFreshArray<int> offsets = ZORFreshArray<int>(2, 0);
  ZORFreshArray<int> entries;

  // Ints of one kept bucket range: first i, j, k, then last i, j, k.
  static constexpr int kRangeInts = 6;

  int Axes() const { return dimension == 2 ? 2 : 3; }
  long long BucketCount() const {
    return static_cast<long long>(counts[0]) * counts[1] * counts[2];
  }
  int Linear(int i, int j, int k) const {
    return ((k - 1) * counts[1] + (j - 1)) * counts[0] + i - 1;
  }

  // Largest real root of (T - 1) h^3 - S2 h - P = 0, the bucket edge for about T buckets.
  static double LargestCubicRoot(double target, double S2, double P);
  // floor(n^(1/3)), exact also where the floating cube root falls just below an integer.
  static long long IntegerCubeRoot(long long n);

  // One-based index of the bucket that holds coordinate x along an axis; coordinates outside the
  // grid fall into the nearest boundary bucket. The quotient is truncated toward zero, so points
  // just below the origin still land in bucket 1.
  int AxisIndex(double x, int axis) const {
    const int n = counts[axis];
    if (n == 1) return 1;
    const double q = (x - origin[axis]) / h;
    if (!(q >= 0.0)) return 1;
    if (q >= static_cast<double>(n)) return n;
    return std::min(static_cast<int>(q) + 1, n);
  }

  int BucketOf(const double* point) const {
    const int i = AxisIndex(point[0], 0);
    const int j = AxisIndex(point[1], 1);
    const int k = dimension == 2 ? 1 : AxisIndex(point[2], 2);
    return Linear(i, j, k);
  }

  const int* Begin(int bucket) const { return entries.data() + offsets[bucket]; }
  int Size(int bucket) const { return offsets[bucket + 1] - offsets[bucket]; }

  int LargestBucket() const;

  // Sets origin, h and the counts, and the upper corner origin + n h.
  void Place(const double* lower, double edge, const int* axisCounts);

  // Fills the lists in two passes over the items: visit(item, enter) calls enter(bucket) for
  // every bucket the item belongs to, first to count, then to place. Items are visited in
  // ascending order, so every list comes out ascending.
  template <typename Visit>
  void Fill(int itemCount, const Visit& visit) {
    const std::size_t buckets = static_cast<std::size_t>(BucketCount());
    ClearOffsets(buckets + 1);
    for (int item = 0; item < itemCount; ++item)
      visit(item, [this](int bucket) { ++offsets[static_cast<std::size_t>(bucket) + 1]; });
    for (std::size_t b = 0; b < buckets; ++b) offsets[b + 1] += offsets[b];
    ClearEntries(static_cast<std::size_t>(offsets[buckets]));
    std::vector<int> next(offsets.begin(), offsets.end() - 1);
    for (int item = 0; item < itemCount; ++item)
      visit(item, [this, &next, item](int bucket) {
        entries[static_cast<std::size_t>(next[static_cast<std::size_t>(bucket)]++)] = item;
      });
  }

  // The one-based bucket box first[a] .. last[a] of an item (k = 1 in two dimensions), or false
  // for an item in no bucket.
  using RangeOf = std::function<bool(int item, int* first, int* last)>;
  // The lists Fill makes, built by up to `threads` threads: each owns a run of whole bucket rows
  // (one j and k, every i), walks all items in ascending order and enters them only in its own
  // rows, so every list comes out ascending as Fill's, no two threads write the same count or
  // entry, and each row's counts and entries are first touched by their owner.
  void FillRanges(int itemCount, int threads, const RangeOf& rangeOf);
  // The same from ranges kept kRangeInts one-based indices an item (first i, j, k, last i, j, k),
  // one item after another; an item whose first i is 0 is in no bucket. Read in place, without a
  // call per item.
  void FillRanges(int itemCount, int threads, const int* ranges);

  // The lists' arrays, zeroed, in huge pages when large: a grid of a million elements is filled
  // once and fresh memory costs more to touch than to fill.
  void ClearOffsets(std::size_t count);
  void ClearEntries(std::size_t count);

  // Enters an item in every bucket of the one-based ranges first[a] .. last[a] (k = 1 only in two
  // dimensions).
  template <typename Enter>
  void EnterRange(const int* first, const int* last, const Enter& enter) const {
    const int k0 = dimension == 2 ? 1 : first[2];
    const int k1 = dimension == 2 ? 1 : last[2];
    for (int k = k0; k <= k1; ++k)
      for (int j = first[1]; j <= last[1]; ++j)
        for (int i = first[0]; i <= last[0]; ++i) enter(Linear(i, j, k));
  }

 private:
  long long RowCount() const { return static_cast<long long>(counts[1]) * counts[2]; }
  // The lists from any source of ranges (the callable rangeOf(item, first, last) is).
  template <typename Source>
  void FillFrom(int itemCount, int threads, const Source& rangeOf);
  template <typename Source>
  long long CountRows(int itemCount, const Source& rangeOf, int rowBegin, int rowEnd);
  template <typename Source>
  void PlaceRows(int itemCount, const Source& rangeOf, int rowBegin, int rowEnd, int base);
  // Calls enter(bucket, item) for every bucket of rows rowBegin .. rowEnd - 1 that holds an item,
  // items ascending.
  template <typename Source, typename Enter>
  void VisitRows(int itemCount, const Source& rangeOf, int rowBegin, int rowEnd,
                 const Enter& enter) const;
};
