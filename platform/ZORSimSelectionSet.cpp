#include "platform/ZORSimSelectionSet.h"

#include "platform/ZORSimError.h"
#include "platform/impl/ZORSimDatabase.h"

ZORSimSelectionSet::ZORSimSelectionSet(const ZORSimAssociation& association, int side,
                                       ZORSimDynamicID id) {
  if (!association.context.Shared() || id.IsEmpty() || (side != 0 && side != 1)) return;
  ZORSimDatabase& db = association.context.Database();
  const std::int64_t object = db.ResolveAny(id, "ZORSimSelectionSet");
  for (std::int64_t index : db.AssociationsAt(object, association.type, side))
    items_.push_back(db.Handle(db.Association(index).end[1 - side]));
}
