#pragma once

#include "platform/ZORSrvPosition.h"

// Record type operations on one record.
class ZORMTK_EXPORT ZORSimDataRecord {
 public:
  explicit ZORSimDataRecord(const ZORSrvPosition& position) : position_(position) {}
  bool IsA(ZORSimTypeID type) const;
  // Slot 0 is the record's own type; it may be replaced by a subtype of the type it was made with.
  void SetTypeID(int slot, ZORSimTypeID type) const;

 private:
  ZORSrvPosition position_;
};
