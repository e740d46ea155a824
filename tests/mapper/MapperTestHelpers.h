#pragma once

#include <cstdint>

#include "platform/ZORSimDynamicID.h"
#include "support/ZORTestCapture.h"

// A database ID from its two parts.
inline ZORSimDynamicID Id(int leading, std::int64_t object) {
  ZORSimDynamicID id;
  id.leading = leading;
  id.object = object;
  return id;
}
