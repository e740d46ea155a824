#pragma once

// What a host needs of the platform: containers and strings of the exported signatures, the
// output streams, module life cycles, and the simulation database interface.
#include "platform/ZORBitVector.h"
#include "platform/ZORContainers.h"
#include "platform/ZOREnvironmentKeys.h"
#include "platform/ZORExport.h"
#include "platform/ZORPlatformModules.h"
#include "platform/ZORSimAPI.h"
#include "platform/ZORSimHandles.h"
#include "platform/ZORStream.h"
#include "platform/ZORString.h"
