#pragma once

#include <cstddef>
#include <vector>

#include "platform/ZORSimHandles.h"

// Iterator over the results of ZORSrvPosition::FollowList, in insertion order.
class ZORMTK_EXPORT ZORSrvIterator {
 public:
  explicit ZORSrvIterator(std::vector<ZORSimDynamicID> items) : items_(std::move(items)) {}
  int Size() const { return static_cast<int>(items_.size()); }
  void First() { current_ = 0; }
  bool IsDone() const { return current_ >= items_.size(); }
  void Next() { ++current_; }
  ZORSimDynamicID CurrentValueID() const { return items_.at(current_); }
  // On a temporary iterator the items are moved out, so a range-for over
  // position.FollowList(...).Items() never refers into a destroyed iterator.
  const std::vector<ZORSimDynamicID>& Items() const& { return items_; }
  std::vector<ZORSimDynamicID> Items() && { return std::move(items_); }

 private:
  std::vector<ZORSimDynamicID> items_;
  std::size_t current_ = 0;
};
