#pragma once

#include <mpi.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "api/ZORMtkArrayStatus.h"
#include "platform/impl/ZORHugePages.h"

// The few collective patterns the distributed mapper is built from, over one communicator: an
// all-to-all of variable-length runs of plain values, a status every rank agrees on, and a sum
// taken in rank order so that it rounds exactly as one process adding the same terms would.
// Holds the communicator (not owned) with its size and this rank. Every call is collective.
class ZORMpiExchange {
 public:
  explicit ZORMpiExchange(MPI_Comm comm);

  int Rank() const { return rank_; }
  int Size() const { return size_; }
  MPI_Comm Comm() const { return comm_; }

  // Sends items[offsets[r] .. offsets[r + 1] - 1] to rank r; returns what every rank sent here,
  // rank after rank, with receivedOffsets (size + 1 entries) marking each rank's run. T is a
  // plain value type sent as bytes.
  template <typename T>
  std::vector<T> AllToAll(const std::vector<T>& items, const std::vector<std::int64_t>& offsets,
                          std::vector<std::int64_t>& receivedOffsets) const {
    Counts(offsets, receivedOffsets);
    std::vector<T> received;
    ZORHugePages::Resize(received, static_cast<std::size_t>(receivedOffsets.back()));
    Bytes(reinterpret_cast<const char*>(items.data()), sizeof(T), offsets, receivedOffsets,
          reinterpret_cast<char*>(received.data()));
    return received;
  }

  // Sends each item to the rank destination(item) names, keeping the items' order within each
  // rank's run; returns what every rank sent here, rank after rank, as AllToAll does.
  // The items are given up once sorted, so that no more than two copies are held at once.
  template <typename T, typename Destination>
  std::vector<T> Deliver(std::vector<T> items, const Destination& destination,
                         std::vector<std::int64_t>& receivedOffsets) const {
    std::vector<std::int64_t> offsets(static_cast<std::size_t>(size_) + 1, 0);
    for (const T& item : items) ++offsets[static_cast<std::size_t>(destination(item)) + 1];
    for (std::size_t r = 1; r < offsets.size(); ++r) offsets[r] += offsets[r - 1];
    std::vector<std::int64_t> next = RunStarts(offsets);
    std::vector<T> sorted;
    ZORHugePages::Resize(sorted, items.size());
    for (const T& item : items)
      sorted[static_cast<std::size_t>(next[static_cast<std::size_t>(destination(item))]++)] = item;
    items = std::vector<T>();
    return AllToAll(sorted, offsets, receivedOffsets);
  }

  // Ok on every rank only when it is ok on every rank; otherwise every rank gets the message of
  // the lowest rank that failed, prefixed with that rank when there are several.
  ZORMtkArrayStatus Agree(const ZORMtkArrayStatus& local) const;

  // Whether this rank's values are rank 0's, bit for bit (count values on every rank).
  bool SameAsRoot(const double* values, int count) const;

  // The sum of every rank's terms, taken term by term in rank order and within a rank in the
  // given order: rank r adds its terms to what ranks 0 .. r - 1 passed on. Every rank gets it.
  double OrderedSum(const std::vector<double>& terms) const;
  // `width` such sums at once: terms are rows of width values, sum c adding column c.
  std::vector<double> OrderedSums(const std::vector<double>& terms, int width) const;

  // Each rank's count, and the sum of the counts of the ranks before this one.
  std::int64_t ExclusivePrefix(std::int64_t count) const;
  std::int64_t Total(std::int64_t count) const;

  // Where each rank's run starts in items laid out by offsets (size + 1 entries): one cursor per
  // rank, advanced as the items of that rank are written or read in order.
  static std::vector<std::int64_t> RunStarts(const std::vector<std::int64_t>& offsets) {
    return std::vector<std::int64_t>(offsets.begin(), offsets.end() - 1);
  }

 private:
  // Each rank's count of items for this one, as offsets (size + 1 entries).
  void Counts(const std::vector<std::int64_t>& offsets,
              std::vector<std::int64_t>& receivedOffsets) const;
  // Moves the items, itemSize bytes each, into received at receivedOffsets.
  void Bytes(const char* data, std::size_t itemSize, const std::vector<std::int64_t>& offsets,
             const std::vector<std::int64_t>& receivedOffsets, char* received) const;

  MPI_Comm comm_;
  int rank_ = 0;
  int size_ = 1;
};
