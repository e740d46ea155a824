#include "mapper/impl/ZORMtkPointLinks.h"

#include <algorithm>

namespace {

bool BySourceThenSlot(const ZORMtkPointLinks::Entry& a, const ZORMtkPointLinks::Entry& b) {
  return a.sourceElement != b.sourceElement ? a.sourceElement < b.sourceElement : a.slot < b.slot;
}

bool SourceBefore(const ZORMtkPointLinks::Entry& entry, int sourceElement) {
  return entry.sourceElement < sourceElement;
}

bool SourceAfter(int sourceElement, const ZORMtkPointLinks::Entry& entry) {
  return sourceElement < entry.sourceElement;
}

}  // namespace

void ZORMtkPointLinks::AddPoint(int sourceElement, int slot, const double* pointWeights,
                                int weightCount) {
  entries_.push_back({sourceElement, slot, static_cast<int>(weights_.size()), weightCount});
  weights_.insert(weights_.end(), pointWeights, pointWeights + weightCount);
}

void ZORMtkPointLinks::Finish() { std::sort(entries_.begin(), entries_.end(), BySourceThenSlot); }

std::vector<int> ZORMtkPointLinks::SourceElements() const {
  std::vector<int> sources;
  for (const Entry& entry : entries_) {
    if (sources.empty() || sources.back() != entry.sourceElement)
      sources.push_back(entry.sourceElement);
  }
  return sources;
}

const ZORMtkPointLinks::Entry* ZORMtkPointLinks::PointsBegin(int sourceElement) const {
  const auto it = std::lower_bound(entries_.begin(), entries_.end(), sourceElement, SourceBefore);
  return entries_.data() + (it - entries_.begin());
}

const ZORMtkPointLinks::Entry* ZORMtkPointLinks::PointsEnd(int sourceElement) const {
  const auto it = std::upper_bound(entries_.begin(), entries_.end(), sourceElement, SourceAfter);
  return entries_.data() + (it - entries_.begin());
}
