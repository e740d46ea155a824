#pragma once

#include "platform/ZORSimTypedID.h"

// Handle of a distribution.
ZOR_SIM_TYPED_ID(ZORSimDistributionID)
