#include "platform/ZORSimCSet.h"

#include <stdexcept>

#include "platform/ZORSimError.h"
#include "platform/impl/ZORSimDatabase.h"

int ZORSimCSet::operator[](int position) const {
  if (position < 0 || position >= Size())
    throw std::out_of_range("ZORSimCSet: position outside the set");
  return id_.members->At(position);
}

void ZORSimCSet::Members(int* out) const {
  if (id_.members) id_.members->CopyAscending(out);
}
void ZORSimCSet::OrderedMembers(int* out) const {
  if (id_.members) id_.members->CopyOrdered(out);
}
bool ZORSimCSet::IsMember(int member) const { return id_.members && id_.members->Contains(member); }

ZORSimCSetID ZORSimCSet::Intersection(const ZORSimCSetID& other) const {
  if (!id_.members) return id_;
  if (!other.members || other.collection != id_.collection)
    return ZORSimCSetID{id_.collection, ZORSimMemberSet::Range(0, 0, 1)};
  return ZORSimCSetID{id_.collection, id_.members->IntersectWith(*other.members)};
}

ZORSimCSetID ZORSimCSet::AscendingID() const {
  if (!id_.members) return id_;
  return ZORSimCSetID{id_.collection, id_.members->Ascending()};
}
