#include "platform/ZORSimAPI.h"

#include <algorithm>

#include "platform/impl/ZORSimDatabase.h"

namespace {

ZORSimStoredSet ToStored(ZORSimDatabase& db, const ZORSimCSetID& set, const char* what) {
  ZORSimStoredSet stored;
  if (!set.collection.IsEmpty())
    stored.collection = db.Resolve(set.collection.id, ZORSimObjectKind::kCollection, what);
  stored.members = set.members ? set.members : ZORSimMemberSet::Range(0, 0, 1);
  return stored;
}

ZORSimCSetID FromStored(const ZORSimDatabase& db, const ZORSimStoredSet& stored) {
  return ZORSimCSetID{ZORSimCollectionID(db.Handle(stored.collection)),
                      stored.members ? stored.members : ZORSimMemberSet::Range(0, 0, 1)};
}

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

bool operator==(const ZORSimCSetID& a, const ZORSimCSetID& b) {
  if (a.collection != b.collection) return false;
  if (!a.members || !b.members) return a.Size() == b.Size();
  return a.members->SameMembersInOrder(*b.members);
}

// ---- context, schema, symbols

bool ZORSimContext::IsOpen() const { return db_ != nullptr && !db_->IsClosed(); }

ZORSimDatabase& ZORSimContext::Database() const {
  if (!db_) throw ZORSimError("no database: the position is not set");
  if (db_->IsClosed()) throw ZORSimError("the database " + db_->FileName() + " is closed");
  return *db_;
}

void ZORSimContext::Save() { Database().Save(); }

ZORSimDynamicID ZORSimContext::GetRecord(ZORSimCollectionID collection, int member) const {
  ZORSimDatabase& db = Database();
  const auto& c = db.Object(db.Resolve(collection.id, ZORSimObjectKind::kCollection, "GetRecord"));
  if (member < 0 || member >= static_cast<int>(c.memberRecords.size())) return {};
  return db.Handle(c.memberRecords[static_cast<std::size_t>(member)]);
}

ZORSimDSetID ZORSimContext::CreateDSet(const std::vector<ZORSimCollectionID>& grid,
                                       ZORSimTypeID type) const {
  ZORSimDatabase& db = Database();
  ZORSimObject object;
  object.kind = ZORSimObjectKind::kDSet;
  object.type = type.index;
  for (const auto& c : grid)
    object.grid.push_back(db.Resolve(c.id, ZORSimObjectKind::kCollection, "CreateDSet"));
  return ZORSimDSetID(db.Handle(db.CreateObject(std::move(object))));
}

void ZORSimContext::UpdateDSet(ZORSimDSetID dset, ZORSimDistributionID distribution) const {
  ZORSimDatabase& db = Database();
  const std::int64_t d = db.Resolve(distribution.id, ZORSimObjectKind::kDistribution, "UpdateDSet");
  db.Modify(db.Resolve(dset.id, ZORSimObjectKind::kDSet, "UpdateDSet")).relational = d;
}

ZORSimDistributionID ZORSimContext::CreateDistribution(const std::vector<ZORSimCollectionID>& grid,
                                                       ZORSimRangeType valueType) const {
  ZORSimDatabase& db = Database();
  ZORSimObject object;
  object.kind = ZORSimObjectKind::kDistribution;
  for (const auto& c : grid)
    object.grid.push_back(
        c.IsEmpty() ? 0 : db.Resolve(c.id, ZORSimObjectKind::kCollection, "CreateDistribution"));
  object.valueType = valueType.code;
  if (valueType.code != 2 && valueType.code != 3 && valueType.code != 5)
    throw ZORSimError("CreateDistribution: unknown value type " + std::to_string(valueType.code));
  if (!valueType.target.IsEmpty())
    object.target =
        db.Resolve(valueType.target.id, ZORSimObjectKind::kCollection, "CreateDistribution");
  return ZORSimDistributionID(db.Handle(db.CreateObject(std::move(object))));
}

ZORSimTypeID ZORSimSchema::TypeID(int typeIndex) const { return ZORSimTypeID(typeIndex); }

bool ZORSimSchema::IsA(ZORSimDynamicID record, ZORSimTypeID type) const {
  ZORSimDatabase& db = context_.Database();
  if (record.IsEmpty()) return false;
  const auto& object = db.Object(db.ResolveAny(record, "IsA"));
  return object.kind == ZORSimObjectKind::kRecord && db.Schema().IsA(object.type, type.index);
}

std::string ZORSimSchema::SymbolName(ZORSimTypeID type, int code) const {
  const auto& symbols = context_.Database().SortedSymbols(type.index);
  return code >= 0 && code < static_cast<int>(symbols.size())
             ? symbols[static_cast<std::size_t>(code)]
             : "";
}

ZORSimDynamicID ZORSimSymbols::Get(ZORSimTypeID type, int code,
                                   ZORSimCollectionID collection) const {
  ZORSimDatabase& db = context_.Database();
  const auto& symbols = db.SortedSymbols(type.index);
  if (code < 0 || code >= static_cast<int>(symbols.size())) return {};
  const std::string& name = symbols[static_cast<std::size_t>(code)];
  const auto& c =
      db.Object(db.Resolve(collection.id, ZORSimObjectKind::kCollection, "ZORSimSymbols::Get"));
  for (std::int64_t record : c.memberRecords)
    if (db.Object(record).type == type.index && db.Object(record).symbol == name)
      return db.Handle(record);
  return {};
}

int ZORSimSymbols::Get(ZORSimDynamicID record) const {
  ZORSimDatabase& db = context_.Database();
  if (record.IsEmpty()) return -1;
  const auto& object = db.Object(db.ResolveAny(record, "ZORSimSymbols::Get"));
  const auto& symbols = db.SortedSymbols(object.type);
  auto it = std::lower_bound(symbols.begin(), symbols.end(), object.symbol);
  return it != symbols.end() && *it == object.symbol && !object.symbol.empty()
             ? static_cast<int>(it - symbols.begin())
             : -1;
}

ZORSimSelectionSet::ZORSimSelectionSet(const ZORSimAssociation& association, int side,
                                       ZORSimDynamicID id) {
  if (!association.context.Shared() || id.IsEmpty() || (side != 0 && side != 1)) return;
  ZORSimDatabase& db = association.context.Database();
  const std::int64_t object = db.ResolveAny(id, "ZORSimSelectionSet");
  for (std::int64_t index : db.AssociationsAt(object, association.type, side))
    items_.push_back(db.Handle(db.Association(index).end[1 - side]));
}

// ---- positions

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

bool ZORSimDataRecord::IsA(ZORSimTypeID type) const {
  return ZORSimSchema(position_.Context()).IsA(position_.ID(), type);
}

void ZORSimDataRecord::SetTypeID(int slot, ZORSimTypeID type) const {
  ZORSimDatabase& db = position_.Context().Database();
  const std::int64_t record = db.Resolve(position_.ID(), ZORSimObjectKind::kRecord, "SetTypeID");
  if (slot != 0) throw ZORSimError("SetTypeID: only slot 0 exists");
  db.Modify(record).type = type.index;
}

// ---- collections and sets

int ZORSimCollection::Space() const {
  if (id_.IsEmpty()) return 0;
  ZORSimDatabase& db = context_.Database();
  return static_cast<int>(
      db.Object(db.Resolve(id_.id, ZORSimObjectKind::kCollection, "Space")).space);
}

void ZORSimCollection::ExtendSpace(int space) const {
  ZORSimDatabase& db = context_.Database();
  const std::int64_t number = db.Resolve(id_.id, ZORSimObjectKind::kCollection, "ExtendSpace");
  if (space < 0) throw ZORSimError("ExtendSpace: negative space");
  if (space > db.Object(number).space) db.Modify(number).space = space;
}

ZORSimCSetID ZORSimCollection::Make(ZORSimMemberSetPtr members) const {
  if (!id_.IsEmpty() && members->Size() > 0) {
    const int space = Space();
    if (members->MaxMember() >= space)
      throw ZORSimError("member " + std::to_string(members->MaxMember()) +
                        " lies outside its collection (space " + std::to_string(space) + ")");
  }
  return ZORSimCSetID{id_, std::move(members)};
}

ZORSimCSetID ZORSimCollection::BiggestCSetID() const {
  return Make(ZORSimMemberSet::Range(0, Space(), 1));
}
ZORSimCSetID ZORSimCollection::EmptyCSetID() const { return Make(ZORSimMemberSet::Range(0, 0, 1)); }

ZORSimCSetID ZORSimCollection::CreateCSet(const int* members, int count, bool /*ordered*/) const {
  if (count < 0) throw ZORSimError("CreateCSet: negative count");
  return Make(ZORSimMemberSet::Explicit(std::vector<int>(members, members + count)));
}

ZORSimCSetID ZORSimCollection::CreateCSetStrided(int start, int count, int stride,
                                                 int /*repeat*/) const {
  return Make(ZORSimMemberSet::Range(start, count, stride));
}

ZORSimCSetID ZORSimCollection::CreateTempOrderedCSet(const int* members, int count) const {
  return CreateCSet(members, count, true);
}

ZORSimCSetID ZORSimCollection::CreateTempCSet(const int* members, int count, bool ordered) const {
  return CreateCSet(members, count, ordered);
}

ZORSimCSetID ZORSimCollection::CreateTempCSetStrided(int start, int count, int stride,
                                                     int repeat) const {
  return CreateCSetStrided(start, count, stride, repeat);
}

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
int ZORSimCSet::SeekMember(int member) const {
  return id_.members ? id_.members->Seek(member) : -1;
}

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

// ---- distributions and data sets

std::vector<ZORSimDrawerDescriptor> ZORSimDistribution::QueryDrawers() const {
  std::vector<ZORSimDrawerDescriptor> out;
  if (id_.IsEmpty()) return out;
  ZORSimDatabase& db = context_.Database();
  const auto& dist = db.Object(db.Resolve(id_.id, ZORSimObjectKind::kDistribution, "QueryDrawers"));
  for (std::int64_t drawer : dist.drawers) {
    ZORSimDrawerDescriptor descriptor;
    descriptor.id = ZORSimDrawerID(db.Handle(drawer));
    for (const auto& dim : db.Object(drawer).dims)
      descriptor.dimensions.push_back(FromStored(db, dim));
    out.push_back(std::move(descriptor));
  }
  return out;
}

std::vector<ZORSimCollectionID> ZORSimDistribution::Grid() const {
  std::vector<ZORSimCollectionID> out;
  ZORSimDatabase& db = context_.Database();
  for (std::int64_t c : db.Object(db.Resolve(id_.id, ZORSimObjectKind::kDistribution, "Grid")).grid)
    out.emplace_back(db.Handle(c));
  return out;
}

ZORSimDSet::ZORSimDSet(ZORSimContext context, ZORSimDSetID id)
    : context_(std::move(context)), id_(id) {
  if (id.IsEmpty()) return;
  ZORSimDatabase& db = context_.Database();
  const auto& object = db.Object(db.Resolve(id.id, ZORSimObjectKind::kDSet, "ZORSimDSet"));
  for (std::int64_t c : object.grid) grid_.emplace_back(db.Handle(c));
  for (const auto& compartment : object.compartments) {
    std::vector<ZORSimCSetID> sets;
    for (const auto& s : compartment) sets.push_back(FromStored(db, s));
    compartments_.push_back(std::move(sets));
  }
}

ZORSimDistributionID ZORSimDSet::GetRelationalDistributionID() const {
  if (id_.IsEmpty()) return {};
  ZORSimDatabase& db = context_.Database();
  return ZORSimDistributionID(db.Handle(db.Object(id_.id.object).relational));
}

ZORSimCSetID ZORSimDSet::Collect(ZORSimCollectionID collection) const {
  std::vector<int> members;
  for (const auto& compartment : compartments_)
    for (const auto& set : compartment)
      if (set.collection == collection && set.members) {
        const std::vector<int> some = set.members->Ordered();
        members.insert(members.end(), some.begin(), some.end());
      }
  std::sort(members.begin(), members.end());
  members.erase(std::unique(members.begin(), members.end()), members.end());
  return ZORSimCSetID{collection, ZORSimMemberSet::Explicit(std::move(members))};
}

ZORSimDSet ZORSimDSet::Select(ZORSimCollectionID collection, int member) const {
  std::vector<std::vector<ZORSimCSetID>> kept;
  for (const auto& compartment : compartments_)
    for (const auto& set : compartment)
      if (set.collection == collection && set.members && set.members->Contains(member)) {
        kept.push_back(compartment);
        break;
      }
  return ZORSimDSet(context_, grid_, std::move(kept));
}

// ---- transactions

ZORSimTransaction::ZORSimTransaction(ZORSimContext context) : context_(std::move(context)) {
  context_.Database().BeginTransaction();
  open_ = true;
}

ZORSimTransaction::~ZORSimTransaction() {
  if (open_) context_.Database().RollbackTransaction();
}

void ZORSimTransaction::Commit() {
  if (!open_) throw ZORSimError("Commit: the transaction is not open");
  context_.Database().CommitTransaction();
  open_ = false;
}
