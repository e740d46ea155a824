#pragma once

#include "platform/ZORExport.h"
#include "platform/ZORSimCollectionID.h"

// Value type of a distribution: 2 doubles, 3 increment values (doubles), 5 references to the
// members of a target collection (32-bit ints).
struct ZORMTK_EXPORT ZORSimRangeType {
  int code = 2;
  ZORSimCollectionID target;
  ZORSimRangeType() = default;
  explicit ZORSimRangeType(int valueCode) : code(valueCode) {}
  ZORSimRangeType(int valueCode, ZORSimCollectionID targetCollection)
      : code(valueCode), target(targetCollection) {}
};
