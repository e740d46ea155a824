#pragma once

#include "platform/ZORExport.h"

// A schema type: the index that eds_InputFragmentTypeIndex gives for a (fragment, index) key.
struct ZORMTK_EXPORT ZORSimTypeID {
  int index = 0;
  ZORSimTypeID() = default;
  explicit ZORSimTypeID(int typeIndex) : index(typeIndex) {}
  friend bool operator==(const ZORSimTypeID& a, const ZORSimTypeID& b) {
    return a.index == b.index;
  }
};
