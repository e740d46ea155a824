#include "distributed/impl/ZORMpiExchange.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// Runs longer than one MPI count can say go in pieces of this many bytes.
constexpr std::int64_t kLargestPiece = std::numeric_limits<int>::max() / 2;

}  // namespace

ZORMpiExchange::ZORMpiExchange(MPI_Comm comm) : comm_(comm) {
  MPI_Comm_rank(comm_, &rank_);
  MPI_Comm_size(comm_, &size_);
}

void ZORMpiExchange::Counts(const std::vector<std::int64_t>& offsets,
                            std::vector<std::int64_t>& receivedOffsets) const {
  const std::size_t ranks = static_cast<std::size_t>(size_);
  std::vector<std::int64_t> sendCounts(ranks);
  for (std::size_t r = 0; r < ranks; ++r) sendCounts[r] = offsets[r + 1] - offsets[r];
  std::vector<std::int64_t> receiveCounts(ranks);
  MPI_Alltoall(sendCounts.data(), 1, MPI_INT64_T, receiveCounts.data(), 1, MPI_INT64_T, comm_);
  receivedOffsets.assign(ranks + 1, 0);
  for (std::size_t r = 0; r < ranks; ++r)
    receivedOffsets[r + 1] = receivedOffsets[r] + receiveCounts[r];
}

// The runs travel as point-to-point messages of at most kLargestPiece bytes, so a rank may
// exchange more than 2 GiB in all.
void ZORMpiExchange::Bytes(const char* data, std::size_t itemSize,
                           const std::vector<std::int64_t>& offsets,
                           const std::vector<std::int64_t>& receivedOffsets, char* received) const {
  const std::size_t ranks = static_cast<std::size_t>(size_);
  const std::int64_t step = static_cast<std::int64_t>(itemSize);
  std::vector<MPI_Request> requests;
  for (std::size_t r = 0; r < ranks; ++r) {
    const std::int64_t bytes = (receivedOffsets[r + 1] - receivedOffsets[r]) * step;
    for (std::int64_t at = 0; at < bytes; at += kLargestPiece) {
      requests.emplace_back();
      MPI_Irecv(received + receivedOffsets[r] * step + at,
                static_cast<int>(std::min(kLargestPiece, bytes - at)), MPI_BYTE,
                static_cast<int>(r), 0, comm_, &requests.back());
    }
  }
  for (std::size_t r = 0; r < ranks; ++r) {
    const std::int64_t bytes = (offsets[r + 1] - offsets[r]) * step;
    for (std::int64_t at = 0; at < bytes; at += kLargestPiece) {
      requests.emplace_back();
      MPI_Isend(data + offsets[r] * step + at,
                static_cast<int>(std::min(kLargestPiece, bytes - at)), MPI_BYTE,
                static_cast<int>(r), 0, comm_, &requests.back());
    }
  }
  MPI_Waitall(static_cast<int>(requests.size()), requests.data(), MPI_STATUSES_IGNORE);
}

ZORMtkArrayStatus ZORMpiExchange::Agree(const ZORMtkArrayStatus& local) const {
  const int mine = local ? size_ : rank_;
  int first = size_;
  MPI_Allreduce(&mine, &first, 1, MPI_INT, MPI_MIN, comm_);
  if (first == size_) return ZORMtkArrayStatus::Ok();
  int length = static_cast<int>(local.Message().size());
  MPI_Bcast(&length, 1, MPI_INT, first, comm_);
  std::string message = rank_ == first ? local.Message() : std::string(length, ' ');
  MPI_Bcast(message.data(), length, MPI_CHAR, first, comm_);
  if (size_ > 1) message = "rank " + std::to_string(first) + ": " + message;
  return ZORMtkArrayStatus::Invalid(message);
}

bool ZORMpiExchange::SameAsRoot(const double* values, int count) const {
  std::vector<double> root(values, values + count);
  MPI_Bcast(root.data(), count, MPI_DOUBLE, 0, comm_);
  return std::memcmp(root.data(), values, sizeof(double) * static_cast<std::size_t>(count)) == 0;
}

// A chain: each rank waits for the running sum of the ranks before it. P - 1 messages in a row,
// which at a thousand ranks costs milliseconds, and buys a grid placed exactly where one process
// would place it.
double ZORMpiExchange::OrderedSum(const std::vector<double>& terms) const {
  return OrderedSums(terms, 1)[0];
}

std::vector<double> ZORMpiExchange::OrderedSums(const std::vector<double>& terms, int width) const {
  const std::size_t columns = static_cast<std::size_t>(width);
  std::vector<double> sums(columns, 0.0);
  if (rank_ > 0) MPI_Recv(sums.data(), width, MPI_DOUBLE, rank_ - 1, 1, comm_, MPI_STATUS_IGNORE);
  for (std::size_t t = 0; t < terms.size(); ++t) sums[t % columns] += terms[t];
  if (rank_ + 1 < size_) MPI_Send(sums.data(), width, MPI_DOUBLE, rank_ + 1, 1, comm_);
  MPI_Bcast(sums.data(), width, MPI_DOUBLE, size_ - 1, comm_);
  return sums;
}

std::int64_t ZORMpiExchange::ExclusivePrefix(std::int64_t count) const {
  std::int64_t before = 0;
  MPI_Exscan(&count, &before, 1, MPI_INT64_T, MPI_SUM, comm_);
  return rank_ == 0 ? 0 : before;
}

std::int64_t ZORMpiExchange::Total(std::int64_t count) const {
  std::int64_t total = 0;
  MPI_Allreduce(&count, &total, 1, MPI_INT64_T, MPI_SUM, comm_);
  return total;
}
