#pragma once

#include <cstdint>

#include "platform/ZORExport.h"

// Handle of one object of a database (record, collection, stored set, data set, distribution or
// drawer). The leading int identifies the open database (a process-unique serial, never 0), so
// handles of two databases open at once never compare equal; 0 means the empty handle.
struct ZORMTK_EXPORT ZORSimDynamicID {
  int leading = 0;
  std::int64_t object = 0;

  bool IsEmpty() const { return leading == 0; }
  friend bool operator==(const ZORSimDynamicID& a, const ZORSimDynamicID& b) {
    return a.leading == b.leading && a.object == b.object;
  }
  friend bool operator!=(const ZORSimDynamicID& a, const ZORSimDynamicID& b) { return !(a == b); }
  friend bool operator<(const ZORSimDynamicID& a, const ZORSimDynamicID& b) {
    return a.leading != b.leading ? a.leading < b.leading : a.object < b.object;
  }
};
