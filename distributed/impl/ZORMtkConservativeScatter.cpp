#include "distributed/impl/ZORMtkConservativeScatter.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

#include "distributed/impl/ZORMpiExchange.h"
#include "distributed/impl/ZORMtkNodeOwners.h"
#include "mapper/impl/ZORMtkNodalKernels.h"
#include "platform/impl/ZORHugePages.h"

namespace {

// Weights and sums at or below this magnitude count as nothing, as in the library's weights.
constexpr double kNegligible = 1e-12;

bool BySource(const ZORScatterLink& a, const ZORScatterLink& b) { return a.source < b.source; }

// Links in source node order, those of one source node (which all come from the rank that found
// them) in the order they came. Each rank's run is sorted already when a single search round
// found them; merging the runs then costs less than sorting them all.
void SortBySource(std::vector<ZORScatterLink>& links, const std::vector<std::int64_t>& runs) {
  const auto at = [&](std::size_t r) { return links.begin() + runs[r]; };
  bool sortedRuns = true;
  for (std::size_t r = 0; r + 1 < runs.size() && sortedRuns; ++r)
    sortedRuns = std::is_sorted(at(r), at(r + 1), BySource);
  if (!sortedRuns) {
    std::stable_sort(links.begin(), links.end(), BySource);
    return;
  }
  for (std::size_t r = 1; r + 1 < runs.size(); ++r)
    std::inplace_merge(links.begin(), at(r), at(r + 1), BySource);
}

// rows x width values taken from values at the given rows, in their order.
std::vector<double> RowsOf(const double* values, const std::vector<int>& rows, int width) {
  const std::size_t columns = static_cast<std::size_t>(width);
  std::vector<double> picked(rows.size() * columns);
  for (std::size_t k = 0; k < rows.size(); ++k)
    std::copy_n(values + static_cast<std::size_t>(rows[k]) * columns, columns,
                picked.data() + k * columns);
  return picked;
}

std::vector<std::int64_t> Scaled(std::vector<std::int64_t> offsets, int width) {
  for (std::int64_t& offset : offsets) offset *= width;
  return offsets;
}

}  // namespace

void ZORMtkConservativeScatter::Build(std::vector<ZORScatterLink> links,
                                      const ZORMtkNodeOwners& sourceOwners,
                                      const ZORMtkNodeOwners& targetOwners, int targetRows,
                                      const ZORMpiExchange& exchange) {
  source_ = &sourceOwners;
  target_ = &targetOwners;
  targetRows_ = targetRows;
  std::vector<std::int64_t> arrived;
  std::vector<ZORScatterLink> mine = exchange.Deliver(
      std::move(links),
      [&](const ZORScatterLink& link) { return targetOwners.OwnerOf(link.target); }, arrived);
  SortBySource(mine, arrived);
  links_ = ZORMtkNodeLinks();
  ZORHugePages::Reserve(links_.partnerRows, mine.size());
  ZORHugePages::Reserve(links_.weights, mine.size());
  placed_.assign(static_cast<std::size_t>(targetRows), 0);
  std::vector<unsigned char> covered(placed_.size(), 0);
  std::vector<std::int64_t> needed;
  for (std::size_t k = 0; k < mine.size(); ++k) {
    if (k > 0 && mine[k].source != mine[k - 1].source) links_.CloseKey();
    if (k == 0 || mine[k].source != mine[k - 1].source) needed.push_back(mine[k].source);
    const int row = targetOwners.RowOf(mine[k].target);
    links_.AddLink(row, mine[k].weight);
    placed_[static_cast<std::size_t>(row)] = 1;
    if (std::fabs(mine[k].weight) > kNegligible) covered[static_cast<std::size_t>(row)] = 1;
  }
  if (!mine.empty()) links_.CloseKey();
  covered_ = std::count(covered.begin(), covered.end(), 1);
  // Keys ascend, and so do their owners: the values come back rank after rank in key order.
  std::vector<std::int64_t> asked = exchange.Deliver(
      std::move(needed), [&](std::int64_t number) { return sourceOwners.OwnerOf(number); },
      valueOffsets_);
  valueRows_.resize(asked.size());
  for (std::size_t k = 0; k < asked.size(); ++k) valueRows_[k] = sourceOwners.RowOf(asked[k]);
  SettleSeams(exchange);
  CopyToSeams(placed_.data(), 1, exchange);
}

// Each rank asks the owners of the seam copies it holds for their rows, in row order per owner.
void ZORMtkConservativeScatter::SettleSeams(const ZORMpiExchange& exchange) {
  std::vector<int> copies;
  for (int row = 0; row < targetRows_; ++row) {
    const std::int64_t number = target_->NumberOf(row);
    if (number >= 0 && target_->OwnerOf(number) != exchange.Rank()) copies.push_back(row);
  }
  const auto ownerOfRow = [&](int row) { return target_->OwnerOf(target_->NumberOf(row)); };
  std::stable_sort(copies.begin(), copies.end(),
                   [&](int a, int b) { return ownerOfRow(a) < ownerOfRow(b); });
  copyRows_ = copies;
  copyOffsets_.assign(static_cast<std::size_t>(exchange.Size()) + 1, 0);
  std::vector<std::int64_t> numbers;
  for (const int row : copies) {
    ++copyOffsets_[static_cast<std::size_t>(ownerOfRow(row)) + 1];
    numbers.push_back(target_->NumberOf(row));
  }
  for (std::size_t r = 1; r < copyOffsets_.size(); ++r) copyOffsets_[r] += copyOffsets_[r - 1];
  const std::vector<std::int64_t> asked = exchange.AllToAll(numbers, copyOffsets_, ownedOffsets_);
  ownedRows_.resize(asked.size());
  for (std::size_t k = 0; k < asked.size(); ++k) ownedRows_[k] = target_->RowOf(asked[k]);
}

// The owners' rows go to their seam copies.
template <typename T>
void ZORMtkConservativeScatter::CopyToSeams(T* rows, int width,
                                            const ZORMpiExchange& exchange) const {
  const std::size_t columns = static_cast<std::size_t>(width);
  std::vector<T> out(ownedRows_.size() * columns);
  for (std::size_t k = 0; k < ownedRows_.size(); ++k)
    std::copy_n(rows + static_cast<std::size_t>(ownedRows_[k]) * columns, columns,
                out.data() + k * columns);
  std::vector<std::int64_t> returned;
  const std::vector<T> in = exchange.AllToAll(out, Scaled(ownedOffsets_, width), returned);
  for (std::size_t k = 0; k < copyRows_.size(); ++k)
    std::copy_n(in.data() + k * columns, columns,
                rows + static_cast<std::size_t>(copyRows_[k]) * columns);
}

std::vector<ZORScatterLink> ZORMtkConservativeScatter::Transpose(
    std::vector<ZORScatterLink> links, const ZORMtkNodeOwners& sourceOwners,
    const ZORMpiExchange& exchange) {
  std::vector<std::int64_t> arrived;
  std::vector<ZORScatterLink> mine = exchange.Deliver(
      std::move(links),
      [&](const ZORScatterLink& link) { return sourceOwners.OwnerOf(link.source); }, arrived);
  std::stable_sort(mine.begin(), mine.end(), [](const ZORScatterLink& a, const ZORScatterLink& b) {
    return a.source != b.source ? a.source < b.source : a.target < b.target;
  });
  for (auto first = mine.begin(); first != mine.end();) {
    const auto last = std::upper_bound(first, mine.end(), *first, BySource);
    const double sum = std::accumulate(
        first, last, 0.0, [](double s, const ZORScatterLink& link) { return s + link.weight; });
    if (std::fabs(sum) > kNegligible)
      for (auto link = first; link != last; ++link) link->weight /= sum;
    first = last;
  }
  return mine;
}

bool ZORMtkConservativeScatter::CoversTarget(const ZORMpiExchange& exchange) const {
  return exchange.Total(covered_) == target_->WholeCount();
}

void ZORMtkConservativeScatter::Apply(const double* sourceValues, int components, double* result,
                                      std::vector<double>& sums,
                                      const ZORMpiExchange& exchange) const {
  std::vector<std::int64_t> arrived;
  const std::vector<double> values = exchange.AllToAll(RowsOf(sourceValues, valueRows_, components),
                                                       Scaled(valueOffsets_, components), arrived);
  ZORMtkNodalKernels::Scatter(links_, values.data(), components, targetRows_, result);
  CopyToSeams(result, components, exchange);
  sums = exchange.OrderedSums(RowsOf(sourceValues, source_->OwnedRows(), components), components);
  const std::vector<double> targetSums =
      exchange.OrderedSums(RowsOf(result, target_->OwnedRows(), components), components);
  sums.insert(sums.end(), targetSums.begin(), targetSums.end());
}
