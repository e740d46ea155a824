#include "search/impl/ZORMtkNodalWeights.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "platform/ZORStream.h"
#include "platform/impl/ZORHugePages.h"
#include "platform/impl/ZORParallelFor.h"

namespace {

// Weights and sums at or below this magnitude count as nothing.
constexpr double kNegligible = 1e-12;

}  // namespace

void ZORMtkNodalWeights::Reserve(int keys, int links) {
  ZORHugePages::Reserve(keys_, static_cast<std::size_t>(keys));
  ZORHugePages::Reserve(elements_, static_cast<std::size_t>(keys));
  ZORHugePages::Reserve(offsets_, static_cast<std::size_t>(keys) + 1);
  ZORHugePages::Reserve(partners_, static_cast<std::size_t>(links));
  ZORHugePages::Reserve(weights_, static_cast<std::size_t>(links));
}

void ZORMtkNodalWeights::Trim() {
  keys_.shrink_to_fit();
  elements_.shrink_to_fit();
  offsets_.shrink_to_fit();
  partners_.shrink_to_fit();
  weights_.shrink_to_fit();
}

void ZORMtkNodalWeights::AddKey(int key, const int* partners, const double* weights, int count,
                                int element) {
  AppendKeys(1, &key, &element, &count, partners, weights);
}

void ZORMtkNodalWeights::AppendKeys(int keyCount, const int* keys, const int* elements,
                                    const int* counts, const int* partners, const double* weights) {
  keys_.insert(keys_.end(), keys, keys + keyCount);
  elements_.insert(elements_.end(), elements, elements + keyCount);
  const int first = offsets_.back();
  int offset = first;
  for (int k = 0; k < keyCount; ++k) {
    offset += counts[k];
    offsets_.push_back(offset);
  }
  partners_.insert(partners_.end(), partners, partners + (offset - first));
  weights_.insert(weights_.end(), weights, weights + (offset - first));
}

// The room the search writes is first touched here, a range per thread: the search writes
// positions in the order it visits them, all over the arrays, and threads that touch the same
// fresh pages at once wait for one another while the system provides them.
ZORMtkNodalWeights::StagedLinks ZORMtkNodalWeights::Stage(int positions, int stride, int threads) {
  const std::size_t count = static_cast<std::size_t>(positions);
  const std::size_t keyBase = keys_.size();
  const std::size_t linkBase = partners_.size();
  const std::size_t links = count * static_cast<std::size_t>(stride);
  ZORHugePages::Resize(keys_, keyBase + count);
  ZORHugePages::Resize(elements_, keyBase + count);
  ZORHugePages::Resize(offsets_, keyBase + 1 + count);
  ZORHugePages::Resize(partners_, linkBase + links);
  ZORHugePages::Resize(weights_, linkBase + links);
  const auto zero = [threads](auto* values, std::size_t size) {
    ZORParallelFor::Zero(values, static_cast<long long>(size), threads);
  };
  zero(offsets_.data() + keyBase + 1, count);
  zero(elements_.data() + keyBase, count);
  zero(partners_.data() + linkBase, links);
  zero(weights_.data() + linkBase, links);
  return {offsets_.data() + keyBase + 1,
          elements_.data() + keyBase,
          partners_.data() + linkBase,
          weights_.data() + linkBase,
          count,
          static_cast<std::size_t>(stride),
          keyBase,
          linkBase};
}

// Every write lands at or before what the same step reads, and no later step reads it: a
// position's count and element are read before its key's offset and element are written, and
// its links move down to where the keys before it ended.
void ZORMtkNodalWeights::KeepStaged(const StagedLinks& staged, const int* members) {
  std::size_t key = staged.keyBase;
  std::size_t link = staged.linkBase;
  for (std::size_t p = 0; p < staged.positions; ++p) {
    const int count = staged.counts[p];
    if (count == 0) continue;
    const std::size_t from = staged.linkBase + p * staged.stride;
    if (from != link) {
      std::copy_n(partners_.data() + from, count, partners_.data() + link);
      std::copy_n(weights_.data() + from, count, weights_.data() + link);
    }
    elements_[key] = staged.elements[p];
    keys_[key] = members[p];
    link += static_cast<std::size_t>(count);
    offsets_[++key] = static_cast<int>(link);
  }
  keys_.resize(key);
  elements_.resize(key);
  offsets_.resize(key + 1);
  partners_.resize(link);
  weights_.resize(link);
}

int ZORMtkNodalWeights::FindKey(int key) const {
  const int index = FirstKeyNotBelow(key);
  return index < KeyCount() && Key(index) == key ? index : -1;
}

int ZORMtkNodalWeights::FirstKeyNotBelow(int key) const {
  return static_cast<int>(std::lower_bound(keys_.begin(), keys_.end(), key) - keys_.begin());
}

bool ZORMtkNodalWeights::HasUncoveredNodes(int nodeCount) const {
  std::vector<int> covered;
  covered.reserve(partners_.size());
  for (std::size_t i = 0; i < partners_.size(); ++i) {
    if (std::fabs(weights_[i]) > kNegligible) covered.push_back(partners_[i]);
  }
  std::sort(covered.begin(), covered.end());
  const auto distinct = std::unique(covered.begin(), covered.end()) - covered.begin();
  return distinct != nodeCount;
}

// A stable sort of the links by partner keeps, within each new key, the order in which the old
// keys were visited: ascending, with each old key's partner list in its own order.
void ZORMtkNodalWeights::TransposeWeights() {
  std::vector<int> oldKey(partners_.size());
  for (int k = 0; k < KeyCount(); ++k) {
    std::fill(oldKey.begin() + offsets_[static_cast<std::size_t>(k)],
              oldKey.begin() + offsets_[static_cast<std::size_t>(k) + 1],
              keys_[static_cast<std::size_t>(k)]);
  }
  std::vector<int> order(partners_.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
    return partners_[static_cast<std::size_t>(a)] < partners_[static_cast<std::size_t>(b)];
  });
  ZORMtkNodalWeights transposed;
  std::size_t i = 0;
  while (i < order.size()) {
    const int key = partners_[static_cast<std::size_t>(order[i])];
    transposed.keys_.push_back(key);
    for (; i < order.size() && partners_[static_cast<std::size_t>(order[i])] == key; ++i) {
      transposed.partners_.push_back(oldKey[static_cast<std::size_t>(order[i])]);
      transposed.weights_.push_back(weights_[static_cast<std::size_t>(order[i])]);
    }
    transposed.offsets_.push_back(static_cast<int>(transposed.partners_.size()));
  }
  keys_ = std::move(transposed.keys_);
  elements_.assign(keys_.size(), -1);
  offsets_ = std::move(transposed.offsets_);
  partners_ = std::move(transposed.partners_);
  weights_ = std::move(transposed.weights_);
}

void ZORMtkNodalWeights::NormalizeWeights() {
  for (int k = 0; k < KeyCount(); ++k) {
    double* begin = weights_.data() + offsets_[static_cast<std::size_t>(k)];
    double* end = weights_.data() + offsets_[static_cast<std::size_t>(k) + 1];
    const double sum = std::accumulate(begin, end, 0.0);
    if (std::fabs(sum) <= kNegligible) continue;
    for (double* w = begin; w != end; ++w) *w /= sum;
  }
}

void ZORMtkNodalWeights::PrintNodalWeights() const {
  aio_cout << "Nodal Weights "
           << "\n";
  for (int k = 0; k < KeyCount(); ++k) {
    aio_cout << Key(k) << "  ";
    for (int p = 0; p < PartnerCount(k); ++p)
      aio_cout << Partners(k)[p] << "  " << Weights(k)[p] << "  ";
    aio_cout << "\n";
  }
}

long long ZORMtkNodalWeights::StorageBytes() const {
  return static_cast<long long>(
      keys_.capacity() * sizeof(int) + elements_.capacity() * sizeof(int) +
      offsets_.capacity() * sizeof(int) + partners_.capacity() * sizeof(int) +
      weights_.capacity() * sizeof(double));
}
