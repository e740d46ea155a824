#include "platform/ZORSimDistribution.h"

#include "platform/ZORSimError.h"
#include "platform/impl/ZORSimDatabase.h"
#include "platform/impl/ZORSimSetConversion.h"

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
