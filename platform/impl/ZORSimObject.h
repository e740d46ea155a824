#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/impl/ZORSimStoredSet.h"
#include "platform/impl/ZORSimValues.h"

enum class ZORSimObjectKind : std::uint8_t {
  kNone = 0,
  kRecord = 1,
  kCollection = 2,
  kSet = 3,
  kDSet = 4,
  kDistribution = 5,
  kDrawer = 6,
};

// Everything the database knows of one object. Only the members of its kind are used.
struct ZORSimObject {
  ZORSimObjectKind kind = ZORSimObjectKind::kNone;
  int type = 0;
  std::string tag;
  std::string symbol;
  // Collection.
  std::int64_t space = 0;
  std::vector<std::int64_t> memberRecords;
  // Stored set.
  ZORSimStoredSet set;
  // Data set and distribution grid.
  std::vector<std::int64_t> grid;
  std::vector<std::vector<ZORSimStoredSet>> compartments;
  std::int64_t relational = 0;
  // Distribution.
  int valueType = 2;
  std::int64_t target = 0;
  std::vector<std::int64_t> drawers;
  // Drawer.
  std::int64_t distribution = 0;
  std::vector<ZORSimStoredSet> dims;
  std::vector<int> chunk;
  int extendableDim = 0;
  std::shared_ptr<ZORSimValues> values;
};
