#include "platform/ZORSrvPosition.h"

#include "platform/ZORSimCollection.h"
#include "platform/ZORSimError.h"
#include "platform/impl/ZORSimDatabase.h"
#include "platform/impl/ZORSimSetConversion.h"

namespace {

// Ends of the associations of `type` whose end 1-side is `from`, at end `side`.
std::vector<ZORSimDynamicID> FollowAll(const ZORSrvPosition& at, int type, int side) {
  std::vector<ZORSimDynamicID> out;
  if (!at.Context().Shared() || at.ID().IsEmpty() || (side != 0 && side != 1)) return out;
  ZORSimDatabase& db = at.Context().Database();
  const std::int64_t from = db.ResolveAny(at.ID(), "Follow");
  for (std::int64_t index : db.AssociationsAt(from, type, 1 - side))
    out.push_back(db.Handle(db.Association(index).end[side]));
  return out;
}

}  // namespace

ZORSimDynamicID ZORSrvPosition::Follow(int type, int side) const {
  const auto all = FollowAll(*this, type, side);
  return all.empty() ? ZORSimDynamicID{} : all.front();
}

ZORSimDynamicID ZORSrvPosition::FollowIntKey(int type, int side, int key) const {
  if (!context_.Shared() || id_.IsEmpty() || (side != 0 && side != 1)) return {};
  ZORSimDatabase& db = context_.Database();
  for (std::int64_t index : db.AssociationsAt(db.ResolveAny(id_, "FollowIntKey"), type, 1 - side)) {
    const auto& a = db.Association(index);
    if (a.hasIntKey && a.intKey == key) return db.Handle(a.end[side]);
  }
  return {};
}

ZORSimDynamicID ZORSrvPosition::FollowStringKey(int type, int side, const std::string& key) const {
  if (!context_.Shared() || id_.IsEmpty() || (side != 0 && side != 1)) return {};
  ZORSimDatabase& db = context_.Database();
  for (std::int64_t index :
       db.AssociationsAt(db.ResolveAny(id_, "FollowStringKey"), type, 1 - side)) {
    const auto& a = db.Association(index);
    if (a.hasStringKey && a.stringKey == key) return db.Handle(a.end[side]);
  }
  return {};
}

std::string ZORSrvPosition::StringKeyTo(int type, int side, ZORSimDynamicID target) const {
  if (!context_.Shared() || id_.IsEmpty() || target.IsEmpty() || (side != 0 && side != 1))
    return {};
  ZORSimDatabase& db = context_.Database();
  const std::int64_t other = db.ResolveAny(target, "StringKeyTo target");
  for (std::int64_t index : db.AssociationsAt(db.ResolveAny(id_, "StringKeyTo"), type, 1 - side)) {
    const auto& a = db.Association(index);
    if (a.end[side] == other && a.hasStringKey) return a.stringKey;
  }
  return {};
}

ZORSrvIterator ZORSrvPosition::FollowList(int type, int side) const {
  return ZORSrvIterator(FollowAll(*this, type, side));
}

ZORSimCollectionID ZORSrvPosition::GetCollection() const {
  if (!context_.Shared() || id_.IsEmpty()) return {};
  ZORSimDatabase& db = context_.Database();
  const auto& object = db.Object(db.ResolveAny(id_, "GetCollection"));
  if (object.kind == ZORSimObjectKind::kCollection) return ZORSimCollectionID(id_);
  if (object.kind == ZORSimObjectKind::kSet)
    return ZORSimCollectionID(db.Handle(object.set.collection));
  return {};
}

ZORSimCSetID ZORSrvPosition::GetCSet() const {
  if (!context_.Shared() || id_.IsEmpty()) return {};
  ZORSimDatabase& db = context_.Database();
  const auto& object = db.Object(db.ResolveAny(id_, "GetCSet"));
  if (object.kind == ZORSimObjectKind::kSet) return FromStored(db, object.set);
  if (object.kind == ZORSimObjectKind::kCollection)
    return ZORSimCollection(context_, ZORSimCollectionID(id_)).BiggestCSetID();
  return {};
}

ZORSimDSetID ZORSrvPosition::GetDSet() const {
  if (!context_.Shared() || id_.IsEmpty()) return {};
  ZORSimDatabase& db = context_.Database();
  return db.Object(db.ResolveAny(id_, "GetDSet")).kind == ZORSimObjectKind::kDSet
             ? ZORSimDSetID(id_)
             : ZORSimDSetID();
}

ZORSimDistributionID ZORSrvPosition::GetDistribution() const {
  if (!context_.Shared() || id_.IsEmpty()) return {};
  ZORSimDatabase& db = context_.Database();
  const auto& object = db.Object(db.ResolveAny(id_, "GetDistribution"));
  if (object.kind == ZORSimObjectKind::kDistribution) return ZORSimDistributionID(id_);
  if (object.kind == ZORSimObjectKind::kDrawer)
    return ZORSimDistributionID(db.Handle(object.distribution));
  return {};
}

std::string ZORSrvPosition::GetSymbolName() const {
  if (!context_.Shared() || id_.IsEmpty()) return "";
  ZORSimDatabase& db = context_.Database();
  return db.Object(db.ResolveAny(id_, "GetSymbolName")).symbol;
}

ZORSimDynamicID ZORSrvPosition::CreateDataRecord(int type) const {
  ZORSimDatabase& db = context_.Database();
  ZORSimObject object;
  object.kind = ZORSimObjectKind::kRecord;
  object.type = type;
  return db.Handle(db.CreateObject(std::move(object)));
}

ZORSimCollectionID ZORSrvPosition::CreateTypedCollection(int /*flags*/, int type) const {
  ZORSimDatabase& db = context_.Database();
  ZORSimObject object;
  object.kind = ZORSimObjectKind::kCollection;
  object.type = type;
  return ZORSimCollectionID(db.Handle(db.CreateObject(std::move(object))));
}

ZORSimDistributionID ZORSrvPosition::CreateTypedDistribution(
    const std::vector<ZORSimCollectionID>& grid, int type, ZORSimRangeType valueType) const {
  const ZORSimDistributionID id = context_.CreateDistribution(grid, valueType);
  context_.Database().Modify(id.id.object).type = type;
  return id;
}

ZORSimDSetID ZORSrvPosition::CreateTypedDSet(
    const std::vector<std::vector<ZORSimCSetID>>& compartments, int type) const {
  ZORSimDatabase& db = context_.Database();
  ZORSimObject object;
  object.kind = ZORSimObjectKind::kDSet;
  object.type = type;
  for (const auto& compartment : compartments) {
    std::vector<ZORSimStoredSet> stored;
    stored.reserve(compartment.size());
    for (const auto& set : compartment) stored.push_back(ToStored(db, set, "CreateTypedDSet"));
    if (object.grid.empty())
      for (const auto& s : stored) object.grid.push_back(s.collection);
    object.compartments.push_back(std::move(stored));
  }
  return ZORSimDSetID(db.Handle(db.CreateObject(std::move(object))));
}

void ZORSrvPosition::Associate(int type, int side, ZORSimDynamicID target) const {
  ZORSimDatabase& db = context_.Database();
  if (side != 0 && side != 1) throw ZORSimError("Associate: side must be 0 or 1");
  const std::int64_t self = db.ResolveAny(id_, "Associate");
  const std::int64_t other = db.ResolveAny(target, "Associate target");
  db.Associate(type, side == 0 ? other : self, side == 0 ? self : other, nullptr, nullptr);
}

void ZORSrvPosition::Associate(int type, int side, ZORSimDynamicID target, int intKey) const {
  ZORSimDatabase& db = context_.Database();
  if (side != 0 && side != 1) throw ZORSimError("Associate: side must be 0 or 1");
  const std::int64_t self = db.ResolveAny(id_, "Associate");
  const std::int64_t other = db.ResolveAny(target, "Associate target");
  db.Associate(type, side == 0 ? other : self, side == 0 ? self : other, &intKey, nullptr);
}

void ZORSrvPosition::Associate(int type, int side, ZORSimDynamicID target,
                               const std::string& stringKey) const {
  ZORSimDatabase& db = context_.Database();
  if (side != 0 && side != 1) throw ZORSimError("Associate: side must be 0 or 1");
  const std::int64_t self = db.ResolveAny(id_, "Associate");
  const std::int64_t other = db.ResolveAny(target, "Associate target");
  db.Associate(type, side == 0 ? other : self, side == 0 ? self : other, nullptr, &stringKey);
}

void ZORSrvPosition::Associate(int type, int side, const ZORSimCSetID& set) const {
  Associate(type, side, StoreSet(set));
}

ZORSimDynamicID ZORSrvPosition::StoreSet(const ZORSimCSetID& set) const {
  ZORSimDatabase& db = context_.Database();
  return db.Handle(db.StoreSet(ToStored(db, set, "StoreSet")));
}

void ZORSrvPosition::Remove(int type, int side, ZORSimDynamicID target) const {
  ZORSimDatabase& db = context_.Database();
  db.RemoveAssociations(type, db.ResolveAny(id_, "Remove"), side,
                        db.ResolveAny(target, "Remove target"));
}

void ZORSrvPosition::Remove(int type, int side, const ZORSimCSetID& set) const {
  for (const ZORSimDynamicID& target : FollowAll(*this, type, side))
    if (ZORSrvPosition(*this, target).GetCSet() == set) Remove(type, side, target);
}
