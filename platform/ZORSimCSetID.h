#pragma once

#include "platform/ZORSimHandles.h"
#include "platform/ZORSimMemberSet.h"

// A set of members of one collection, as a value: copying it copies a pointer to immutable
// members. Temporary sets and stored sets are the same kind of value; a set becomes part of the
// database when it is associated, used as a drawer dimension or put into a data set.
struct ZORMTK_EXPORT ZORSimCSetID {
  ZORSimCollectionID collection;
  ZORSimMemberSetPtr members;

  bool IsEmpty() const { return collection.IsEmpty() || !members; }
  int Size() const { return members ? members->Size() : 0; }
  // Same collection and same members in the same order.
  friend ZORMTK_EXPORT bool operator==(const ZORSimCSetID& a, const ZORSimCSetID& b);
};
