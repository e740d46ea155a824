#pragma once

#include <vector>

#include "platform/ZORSimCSetID.h"

// One drawer of a distribution, as QueryDrawers lists it.
struct ZORMTK_EXPORT ZORSimDrawerDescriptor {
  ZORSimDrawerID id;
  std::vector<ZORSimCSetID> dimensions;
};
