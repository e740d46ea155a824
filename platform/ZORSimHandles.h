#pragma once

// The value types of the simulation database interface: its error, handles, type keys and
// the schema source.
#include "platform/ZORSimCollectionID.h"
#include "platform/ZORSimDSetID.h"
#include "platform/ZORSimDistributionID.h"
#include "platform/ZORSimDrawerID.h"
#include "platform/ZORSimDynamicID.h"
#include "platform/ZORSimError.h"
#include "platform/ZORSimRangeType.h"
#include "platform/ZORSimSchemaSource.h"
#include "platform/ZORSimTypeID.h"
