#pragma once

#include <vector>

#include "platform/ZORSimAssociation.h"

// The associations of a type that have `id` at end `side`, yielding their other ends in
// insertion order.
class ZORMTK_EXPORT ZORSimSelectionSet {
 public:
  ZORSimSelectionSet(const ZORSimAssociation& association, int side, ZORSimDynamicID id);
  int Size() const { return static_cast<int>(items_.size()); }
  // The other end of selected association i (empty when i is out of range).
  ZORSimDynamicID Get(int i) const {
    return i >= 0 && i < Size() ? items_[static_cast<std::size_t>(i)] : ZORSimDynamicID{};
  }

 private:
  std::vector<ZORSimDynamicID> items_;
};
