#pragma once

#include "platform/ZORSimTypedID.h"

// Handle of a collection.
ZOR_SIM_TYPED_ID(ZORSimCollectionID)
