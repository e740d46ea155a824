#pragma once

#include "platform/ZORExport.h"

// The type index stored in files for the schema key (fragment, index); the same in every process.
ZORMTK_EXPORT int eds_InputFragmentTypeIndex(int fragment, int index);
// This project's schema source: every record, association, collection, distribution and data
// set type the library names by key, with the subtype relation.
ZORMTK_EXPORT const char* eds_SSDLallSource_Get();
