#include "platform/ZORSimCSetID.h"

#include "platform/ZORSimError.h"
#include "platform/impl/ZORSimDatabase.h"

bool operator==(const ZORSimCSetID& a, const ZORSimCSetID& b) {
  if (a.collection != b.collection) return false;
  if (!a.members || !b.members) return a.Size() == b.Size();
  return a.members->SameMembersInOrder(*b.members);
}
