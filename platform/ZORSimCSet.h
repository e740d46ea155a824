#pragma once

#include "platform/ZORSimCSetID.h"

// Read-only operations on a set.
class ZORMTK_EXPORT ZORSimCSet {
 public:
  explicit ZORSimCSet(ZORSimCSetID id) : id_(std::move(id)) {}
  int Size() const { return id_.Size(); }
  int operator[](int position) const;
  void Members(int* out) const;         // ascending
  void OrderedMembers(int* out) const;  // in the set's order
  bool IsMember(int member) const;
  // Position of member in the set's order, or -1.
  int SeekMember(int member) const { return id_.members ? id_.members->Seek(member) : -1; }
  // Members of this set that are also in other, in this set's order.
  ZORSimCSetID Intersection(const ZORSimCSetID& other) const;
  ZORSimCSetID AscendingID() const;
  // Temporary sets need no registration here; kept so callers read as the interface is used.
  void RegisterWithTempCollection() const {}
  ZORSimCollectionID Collection() const { return id_.collection; }
  const ZORSimCSetID& ID() const { return id_; }

 private:
  ZORSimCSetID id_;
};
