#include "platform/ZORSimDataRecord.h"

#include "platform/ZORSimError.h"
#include "platform/ZORSimSchema.h"
#include "platform/impl/ZORSimDatabase.h"

bool ZORSimDataRecord::IsA(ZORSimTypeID type) const {
  return ZORSimSchema(position_.Context()).IsA(position_.ID(), type);
}

void ZORSimDataRecord::SetTypeID(int slot, ZORSimTypeID type) const {
  ZORSimDatabase& db = position_.Context().Database();
  const std::int64_t record = db.Resolve(position_.ID(), ZORSimObjectKind::kRecord, "SetTypeID");
  if (slot != 0) throw ZORSimError("SetTypeID: only slot 0 exists");
  db.Modify(record).type = type.index;
}
