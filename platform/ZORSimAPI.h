#pragma once

// The simulation database interface, one header per class, and the containers its signatures
// use.
#include "platform/ZORContainers.h"
#include "platform/ZORSimAssociation.h"
#include "platform/ZORSimCSet.h"
#include "platform/ZORSimCSetID.h"
#include "platform/ZORSimCollection.h"
#include "platform/ZORSimContext.h"
#include "platform/ZORSimDSet.h"
#include "platform/ZORSimDataRecord.h"
#include "platform/ZORSimDistribution.h"
#include "platform/ZORSimDrawerDescriptor.h"
#include "platform/ZORSimSchema.h"
#include "platform/ZORSimSelectionSet.h"
#include "platform/ZORSimSymbols.h"
#include "platform/ZORSimTransaction.h"
#include "platform/ZORSimTransfer.h"
#include "platform/ZORSrvElementSets.h"
#include "platform/ZORSrvInverseConnectivity.h"
#include "platform/ZORSrvIterator.h"
#include "platform/ZORSrvPosition.h"
#include "platform/ZORSrvSimAccess.h"
