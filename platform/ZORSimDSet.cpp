#include "platform/ZORSimDSet.h"

#include <algorithm>

#include "platform/ZORSimError.h"
#include "platform/impl/ZORSimDatabase.h"
#include "platform/impl/ZORSimSetConversion.h"

ZORSimDSet::ZORSimDSet(ZORSimContext context, ZORSimDSetID id)
    : context_(std::move(context)), id_(id) {
  if (id.IsEmpty()) return;
  ZORSimDatabase& db = context_.Database();
  const auto& object = db.Object(db.Resolve(id.id, ZORSimObjectKind::kDSet, "ZORSimDSet"));
  for (std::int64_t c : object.grid) grid_.emplace_back(db.Handle(c));
  for (const auto& compartment : object.compartments) {
    std::vector<ZORSimCSetID> sets;
    sets.reserve(compartment.size());
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
  // One ascending set, the common case, needs no sort.
  if (!std::is_sorted(members.begin(), members.end())) std::sort(members.begin(), members.end());
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
