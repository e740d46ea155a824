#include "platform/ZORSimContext.h"

#include "platform/ZORSimError.h"
#include "platform/impl/ZORSimDatabase.h"

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
