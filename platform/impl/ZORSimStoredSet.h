#pragma once

#include <cstdint>

#include "platform/ZORSimMemberSet.h"

// A set stored inside another object: its collection and members.
struct ZORSimStoredSet {
  std::int64_t collection = 0;
  ZORSimMemberSetPtr members;
};
