#pragma once

#include "platform/ZORSimCSetID.h"
#include "platform/impl/ZORSimDatabase.h"

// A set handed in by a caller as the database stores it inside an object, and back: the
// collection as an object number, an absent member set as the empty range.
inline ZORSimStoredSet ToStored(ZORSimDatabase& db, const ZORSimCSetID& set, const char* what) {
  ZORSimStoredSet stored;
  if (!set.collection.IsEmpty())
    stored.collection = db.Resolve(set.collection.id, ZORSimObjectKind::kCollection, what);
  stored.members = set.members ? set.members : ZORSimMemberSet::Range(0, 0, 1);
  return stored;
}

inline ZORSimCSetID FromStored(const ZORSimDatabase& db, const ZORSimStoredSet& stored) {
  return ZORSimCSetID{ZORSimCollectionID(db.Handle(stored.collection)),
                      stored.members ? stored.members : ZORSimMemberSet::Range(0, 0, 1)};
}
