#pragma once

#include <string>
#include <vector>

#include "platform/ZORSimCSetID.h"
#include "platform/ZORSimContext.h"
#include "platform/ZORSrvIterator.h"

// A navigation position: an open database plus one of its objects. Associations are followed
// from here, and new objects are created from here. Positions are plain values.
//
// Association ends: every association has ends 0 and 1. Associate(type, side, target) from P
// puts target at end `side` and P at the other end; Follow(type, side) from P returns what
// stands at end `side` of the associations whose other end is P, in insertion order.
class ZORMTK_EXPORT ZORSrvPosition {
 public:
  ZORSrvPosition() = default;
  ZORSrvPosition(ZORSimContext context, ZORSimDynamicID id)
      : context_(std::move(context)), id_(id) {}
  // The same database, moved to another object.
  ZORSrvPosition(const ZORSrvPosition& at, ZORSimDynamicID id) : context_(at.context_), id_(id) {}

  ZORSimDynamicID ID() const { return id_; }
  ZORSimContext Context() const { return context_; }
  bool IsValid() const { return context_.IsOpen() && !id_.IsEmpty(); }

  ZORSimDynamicID Follow(int type, int side) const;
  ZORSimDynamicID FollowIntKey(int type, int side, int key) const;
  ZORSimDynamicID FollowStringKey(int type, int side, const std::string& key) const;
  // The string key of the association of `type` that puts target at end `side` and this
  // position at the other (as Associate made it); empty when there is none or it has no key.
  std::string StringKeyTo(int type, int side, ZORSimDynamicID target) const;
  ZORSrvIterator FollowList(int type, int side) const;

  // What the object at this position is, as the matching handle (empty when it is not one).
  ZORSimCollectionID GetCollection() const;
  ZORSimCSetID GetCSet() const;
  ZORSimDSetID GetDSet() const;
  ZORSimDistributionID GetDistribution() const;
  std::string GetSymbolName() const;

  ZORSimDynamicID CreateDataRecord(int type) const;
  ZORSimCollectionID CreateTypedCollection(int flags, int type) const;
  ZORSimDistributionID CreateTypedDistribution(const std::vector<ZORSimCollectionID>& grid,
                                               int type, ZORSimRangeType valueType) const;
  ZORSimDSetID CreateTypedDSet(const std::vector<std::vector<ZORSimCSetID>>& compartments,
                               int type) const;
  void Associate(int type, int side, ZORSimDynamicID target) const;
  void Associate(int type, int side, ZORSimDynamicID target, int intKey) const;
  void Associate(int type, int side, ZORSimDynamicID target, const std::string& stringKey) const;
  // Stores the set as an object of the database and associates it.
  void Associate(int type, int side, const ZORSimCSetID& set) const;
  // Stores the set as an object of the database, to be associated by handle.
  ZORSimDynamicID StoreSet(const ZORSimCSetID& set) const;
  void Remove(int type, int side, ZORSimDynamicID target) const;
  // Removes the association to a stored set with the same members.
  void Remove(int type, int side, const ZORSimCSetID& set) const;

 private:
  ZORSimContext context_;
  ZORSimDynamicID id_;
};
