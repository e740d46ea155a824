#include "search/impl/ZORMtkElementWeights.h"

#include <algorithm>
#include <numeric>

// The last entry of elements_ is always the open sentinel: opening an element turns it into the
// element's entry and appends a new sentinel, and each point moves the sentinel's firstPoint on.
void ZORMtkElementWeights::BeginElement(int member) {
  elements_.back().member = member;
  elements_.push_back({0, elements_.back().firstPoint});
}

void ZORMtkElementWeights::AddPoint(int sourceElement, const double* weights, int count) {
  pointSource_.push_back(sourceElement);
  weights_.insert(weights_.end(), weights, weights + count);
  EndPoint();
}

void ZORMtkElementWeights::AddUnplacedPoint() {
  pointSource_.push_back(-1);
  EndPoint();
}

void ZORMtkElementWeights::EndPoint() {
  pointWeightBegin_.push_back(static_cast<int>(weights_.size()));
  ++elements_.back().firstPoint;
}

void ZORMtkElementWeights::Finish() {
  order_.resize(elements_.size() - 1);
  std::iota(order_.begin(), order_.end(), 0);
  std::stable_sort(order_.begin(), order_.end(), [this](int a, int b) {
    return elements_[static_cast<std::size_t>(a)].member <
           elements_[static_cast<std::size_t>(b)].member;
  });
  BuildSourceTargets();
}

int ZORMtkElementWeights::FindElement(int member) const {
  const auto it = std::lower_bound(order_.begin(), order_.end(), member, [this](int slot, int m) {
    return elements_[static_cast<std::size_t>(slot)].member < m;
  });
  if (it == order_.end() || elements_[static_cast<std::size_t>(*it)].member != member) return -1;
  return static_cast<int>(it - order_.begin());
}

int ZORMtkElementWeights::FindSourceElement(int member) const {
  const auto it = std::lower_bound(sourceKeys_.begin(), sourceKeys_.end(), member);
  return it != sourceKeys_.end() && *it == member ? static_cast<int>(it - sourceKeys_.begin()) : -1;
}

// Target elements are visited in ascending member order and their points in point order; a
// stable sort by source element keeps that order within each source element's list.
void ZORMtkElementWeights::BuildSourceTargets() {
  std::vector<int> source;
  std::vector<int> target;
  for (int i = 0; i < ElementCount(); ++i) {
    for (int q = 0; q < PointCount(i); ++q) {
      if (PointSource(i, q) < 0) continue;
      source.push_back(PointSource(i, q));
      target.push_back(ElementMember(i));
    }
  }
  std::vector<int> byPoint(source.size());
  std::iota(byPoint.begin(), byPoint.end(), 0);
  std::stable_sort(byPoint.begin(), byPoint.end(), [&source](int a, int b) {
    return source[static_cast<std::size_t>(a)] < source[static_cast<std::size_t>(b)];
  });
  sourceKeys_.clear();
  sourceOffsets_.assign(1, 0);
  sourceTargets_.clear();
  for (const int point : byPoint) {
    const int s = source[static_cast<std::size_t>(point)];
    if (sourceKeys_.empty() || sourceKeys_.back() != s) {
      if (!sourceKeys_.empty()) sourceOffsets_.push_back(static_cast<int>(sourceTargets_.size()));
      sourceKeys_.push_back(s);
    }
    sourceTargets_.push_back(target[static_cast<std::size_t>(point)]);
  }
  if (!sourceKeys_.empty()) sourceOffsets_.push_back(static_cast<int>(sourceTargets_.size()));
}

long long ZORMtkElementWeights::StorageBytes() const {
  const auto bytes = [](const auto& v) {
    return static_cast<long long>(v.capacity() * sizeof(v[0]));
  };
  return bytes(elements_) + bytes(order_) + bytes(pointSource_) + bytes(pointWeightBegin_) +
         bytes(weights_) + bytes(sourceKeys_) + bytes(sourceOffsets_) + bytes(sourceTargets_);
}
