#pragma once

#include <string>

#include "platform/ZORSimCSetID.h"
#include "platform/ZORSrvPosition.h"

// The element set stored under `name` (scoped names join scope and set with the separator); an
// empty set when there is none.
ZORMTK_EXPORT ZORSimCSetID ZORSrvGetElementSetIDFromScopedName(const ZORSrvPosition& position,
                                                               const std::string& name,
                                                               const char* separator);
// Stores an element set under a name, for hosts that name their regions.
ZORMTK_EXPORT void ZORSrvAddElementSet(const ZORSrvPosition& root, const std::string& name,
                                       const ZORSimCSetID& elements);
