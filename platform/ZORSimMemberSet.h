#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// The members of a set of one collection, in the set's own order. A strided set stays a range
// (start, count, stride) and costs nothing per member; an explicit set keeps its members in the
// caller's order with a sorted index beside it, so that position look-ups and intersections are
// O(log n) per member rather than a scan, even for sets of ten million members.
class ZORSimMemberSet : public std::enable_shared_from_this<ZORSimMemberSet> {
 public:
  static std::shared_ptr<const ZORSimMemberSet> Range(int start, int count, int stride);
  static std::shared_ptr<const ZORSimMemberSet> Explicit(std::vector<int> members);

  int Size() const { return count_; }
  int At(int position) const {
    return isRange_ ? start_ + position * stride_ : members_[static_cast<std::size_t>(position)];
  }
  // Position of member in the set's order, or -1. Inline for a set of consecutive members (a
  // whole mesh's nodes), which a transfer asks once per link.
  int Seek(int member) const {
    if (!isRange_ || stride_ != 1) return SeekStridedOrListed(member);
    const std::int64_t offset = std::int64_t{member} - start_;
    return offset >= 0 && offset < count_ ? static_cast<int>(offset) : -1;
  }
  // Seek of count members into positions; whether every one is in the set.
  bool SeekEach(const int* members, int count, int* positions) const;
  bool Contains(int member) const { return Seek(member) >= 0; }
  bool IsAscending() const { return ascending_; }
  bool IsRange() const { return isRange_; }
  int RangeStart() const { return start_; }
  int RangeStride() const { return stride_; }
  // The largest member, or -1 for an empty set.
  int MaxMember() const { return maxMember_; }
  int MinMember() const { return minMember_; }
  bool HasDuplicates() const { return hasDuplicates_; }

  void CopyOrdered(int* out) const;
  void CopyAscending(int* out) const;
  std::vector<int> Ordered() const;

  // Members of this set that also lie in other, in this set's order.
  std::shared_ptr<const ZORSimMemberSet> IntersectWith(const ZORSimMemberSet& other) const;
  // The members in ascending order, each once.
  std::shared_ptr<const ZORSimMemberSet> Ascending() const;
  // A copy with extra members appended in order (used when a drawer grows).
  std::shared_ptr<const ZORSimMemberSet> Appended(const std::vector<int>& extra) const;

  bool SameMembersInOrder(const ZORSimMemberSet& other) const;

 private:
  ZORSimMemberSet() = default;
  void BuildIndex();
  int SeekStridedOrListed(int member) const;

  bool isRange_ = true;
  int start_ = 0;
  int count_ = 0;
  int stride_ = 1;
  std::vector<int> members_;
  // Positions of members_ sorted by member; empty when members_ is already ascending.
  std::vector<int> sortedPositions_;
  bool ascending_ = true;
  bool hasDuplicates_ = false;
  int minMember_ = -1;
  int maxMember_ = -1;
};

using ZORSimMemberSetPtr = std::shared_ptr<const ZORSimMemberSet>;
