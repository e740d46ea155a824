#pragma once

// The containers of the exported signatures, one header each.
#include "platform/ZORSimArray.h"
#include "platform/ZORString.h"
#include "platform/cow_2DArray.h"
#include "platform/cow_FixedArray.h"
#include "platform/cow_List.h"
#include "platform/cow_Map.h"
