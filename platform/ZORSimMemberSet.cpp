#include "platform/ZORSimMemberSet.h"

#include <algorithm>
#include <numeric>

#include "platform/ZORSimHandles.h"

std::shared_ptr<const ZORSimMemberSet> ZORSimMemberSet::Range(int start, int count, int stride) {
  if (count < 0 || start < 0 || stride < 1)
    throw ZORSimError("member set: invalid range (start " + std::to_string(start) + ", count " +
                      std::to_string(count) + ", stride " + std::to_string(stride) + ")");
  std::shared_ptr<ZORSimMemberSet> set(new ZORSimMemberSet());
  set->isRange_ = true;
  set->start_ = start;
  set->count_ = count;
  set->stride_ = stride;
  if (count > 0) {
    const std::int64_t last = std::int64_t{start} + std::int64_t{count - 1} * stride;
    if (last > INT32_MAX) throw ZORSimError("member set: range exceeds the member limit");
    set->minMember_ = start;
    set->maxMember_ = static_cast<int>(last);
  }
  return set;
}

// Members that run on without a gap (a mesh's nodes or elements, as a rule) are kept as a range:
// the same members in the same order, without the list, with lookups by arithmetic, and with the
// block copies that transfers take between ranges.
std::shared_ptr<const ZORSimMemberSet> ZORSimMemberSet::Explicit(std::vector<int> members) {
  const bool consecutive = !members.empty() && members.front() >= 0 &&
                           std::adjacent_find(members.begin(), members.end(), [](int a, int b) {
                             return std::int64_t{b} != std::int64_t{a} + 1;
                           }) == members.end();
  if (consecutive) return Range(members.front(), static_cast<int>(members.size()), 1);
  std::shared_ptr<ZORSimMemberSet> set(new ZORSimMemberSet());
  set->isRange_ = false;
  set->count_ = static_cast<int>(members.size());
  set->members_ = std::move(members);
  set->BuildIndex();
  return set;
}

void ZORSimMemberSet::BuildIndex() {
  for (int m : members_)
    if (m < 0) throw ZORSimError("member set: negative member " + std::to_string(m));
  ascending_ = std::is_sorted(members_.begin(), members_.end());
  if (ascending_) {
    hasDuplicates_ = std::adjacent_find(members_.begin(), members_.end()) != members_.end();
    if (!members_.empty()) {
      minMember_ = members_.front();
      maxMember_ = members_.back();
    }
    return;
  }
  sortedPositions_.resize(members_.size());
  std::iota(sortedPositions_.begin(), sortedPositions_.end(), 0);
  std::stable_sort(sortedPositions_.begin(), sortedPositions_.end(),
                   [this](int a, int b) { return members_[a] < members_[b]; });
  for (std::size_t i = 1; i < sortedPositions_.size(); ++i)
    if (members_[sortedPositions_[i]] == members_[sortedPositions_[i - 1]]) hasDuplicates_ = true;
  minMember_ = members_[sortedPositions_.front()];
  maxMember_ = members_[sortedPositions_.back()];
}

int ZORSimMemberSet::SeekStridedOrListed(int member) const {
  if (isRange_) {
    if (count_ == 0 || member < start_) return -1;
    const std::int64_t offset = std::int64_t{member} - start_;
    if (offset % stride_ != 0 || offset / stride_ >= count_) return -1;
    return static_cast<int>(offset / stride_);
  }
  if (sortedPositions_.empty()) {
    auto it = std::lower_bound(members_.begin(), members_.end(), member);
    return it != members_.end() && *it == member ? static_cast<int>(it - members_.begin()) : -1;
  }
  auto it =
      std::lower_bound(sortedPositions_.begin(), sortedPositions_.end(), member,
                       [this](int position, int value) { return members_[position] < value; });
  return it != sortedPositions_.end() && members_[*it] == member ? *it : -1;
}

// The range's bounds are read into locals once: stores through positions could otherwise alias
// them and force a reload per member.
bool ZORSimMemberSet::SeekEach(const int* members, int count, int* positions) const {
  bool every = true;
  if (isRange_ && stride_ == 1) {
    const std::int64_t start = start_, size = count_;
    for (int i = 0; i < count; ++i) {
      const std::int64_t offset = members[i] - start;
      positions[i] = offset >= 0 && offset < size ? static_cast<int>(offset) : -1;
      every = every && positions[i] >= 0;
    }
    return every;
  }
  for (int i = 0; i < count; ++i) {
    positions[i] = SeekStridedOrListed(members[i]);
    every = every && positions[i] >= 0;
  }
  return every;
}

void ZORSimMemberSet::CopyOrdered(int* out) const {
  if (!isRange_) {
    std::copy(members_.begin(), members_.end(), out);
    return;
  }
  for (int i = 0; i < count_; ++i) out[i] = start_ + i * stride_;
}

void ZORSimMemberSet::CopyAscending(int* out) const {
  if (isRange_ || sortedPositions_.empty()) {
    CopyOrdered(out);
    return;
  }
  for (std::size_t i = 0; i < sortedPositions_.size(); ++i) out[i] = members_[sortedPositions_[i]];
}

std::vector<int> ZORSimMemberSet::Ordered() const {
  std::vector<int> out(static_cast<std::size_t>(count_));
  CopyOrdered(out.data());
  return out;
}

std::shared_ptr<const ZORSimMemberSet> ZORSimMemberSet::IntersectWith(
    const ZORSimMemberSet& other) const {
  if (isRange_ && other.isRange_ && stride_ == 1 && other.stride_ == 1) {
    const int lo = std::max(start_, other.start_);
    const int hi = std::min(start_ + count_, other.start_ + other.count_);
    return Range(hi > lo ? lo : 0, hi > lo ? hi - lo : 0, 1);
  }
  std::vector<int> kept;
  kept.reserve(static_cast<std::size_t>(std::min(count_, other.count_)));
  // Against a dense list (a mesh's element or node list, as a rule) a mark per member of its span
  // answers each membership at once, where a search would cost a logarithm per member.
  const std::int64_t span = std::int64_t{other.maxMember_} - other.minMember_ + 1;
  if (!other.isRange_ && other.count_ > 0 && span <= 4 * std::int64_t{other.count_} + 64) {
    std::vector<char> marked(static_cast<std::size_t>(span), 0);
    for (const int m : other.members_) marked[static_cast<std::size_t>(m - other.minMember_)] = 1;
    for (int i = 0; i < count_; ++i) {
      const int m = At(i);
      if (m >= other.minMember_ && m <= other.maxMember_ &&
          marked[static_cast<std::size_t>(m - other.minMember_)] != 0)
        kept.push_back(m);
    }
    return Explicit(std::move(kept));
  }
  for (int i = 0; i < count_; ++i) {
    const int m = At(i);
    if (other.Contains(m)) kept.push_back(m);
  }
  return Explicit(std::move(kept));
}

// A list that names a member twice still selects it once: counts taken from the ascending form
// (a region's elements, say) then match what is read for it.
std::shared_ptr<const ZORSimMemberSet> ZORSimMemberSet::Ascending() const {
  if (ascending_ && !hasDuplicates_) return shared_from_this();
  std::vector<int> sorted(static_cast<std::size_t>(count_));
  CopyAscending(sorted.data());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  return Explicit(std::move(sorted));
}

std::shared_ptr<const ZORSimMemberSet> ZORSimMemberSet::Appended(
    const std::vector<int>& extra) const {
  if (extra.empty()) return shared_from_this();
  if (isRange_ && (stride_ == 1 || count_ == 0)) {
    const int first = count_ > 0 ? start_ : extra.front();
    bool contiguous = true;
    for (std::size_t i = 0; i < extra.size() && contiguous; ++i)
      contiguous = extra[i] == first + count_ + static_cast<int>(i);
    if (contiguous) return Range(first, count_ + static_cast<int>(extra.size()), 1);
  }
  std::vector<int> all = Ordered();
  all.insert(all.end(), extra.begin(), extra.end());
  return Explicit(std::move(all));
}

bool ZORSimMemberSet::SameMembersInOrder(const ZORSimMemberSet& other) const {
  if (count_ != other.count_) return false;
  for (int i = 0; i < count_; ++i)
    if (At(i) != other.At(i)) return false;
  return true;
}
