#pragma once

#include "platform/ZORSimTypedID.h"

// Handle of a data set.
ZOR_SIM_TYPED_ID(ZORSimDSetID)
