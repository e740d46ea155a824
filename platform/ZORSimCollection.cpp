#include "platform/ZORSimCollection.h"

#include "platform/ZORSimError.h"
#include "platform/impl/ZORSimDatabase.h"

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
