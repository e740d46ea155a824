#pragma once

// The string types of the exported signatures.
#include "platform/DRUUnicodeString.h"
#include "platform/cow_String.h"
