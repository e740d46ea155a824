#pragma once

#include "platform/ZORExport.h"

// Life cycle of the platform libraries the mapping library stands on. Each pair keeps a use
// count: the first initialize adds 1 to status, the last finalize subtracts 1.
ZORMTK_EXPORT void ZORBasCoreUtils_initialize(int& status);
ZORMTK_EXPORT void ZORBasCoreUtils_finalize(int& status);
ZORMTK_EXPORT void ZORAbuBasicUtils_initialize(int& status);
ZORMTK_EXPORT void ZORAbuBasicUtils_finalize(int& status);
ZORMTK_EXPORT void UTI_CaeUtils_initialize(int& status);
ZORMTK_EXPORT void UTI_CaeUtils_finalize(int& status);
ZORMTK_EXPORT void ZORAbuKelda_initialize(int& status);
ZORMTK_EXPORT void ZORAbuKelda_finalize(int& status);
ZORMTK_EXPORT void ZORSimAPI_initialize(int& status);
ZORMTK_EXPORT void ZORSimAPI_finalize(int& status);
ZORMTK_EXPORT void ZORSrvBasic_initialize(int& status);
ZORMTK_EXPORT void ZORSrvBasic_finalize(int& status);

// Shared body of every module's life-cycle pair: returns true when this call is the first
// initialize (or the last finalize), so the caller can start (or stop) what the module holds.
bool ZORModuleInitialize(int& useCount, int& status);
bool ZORModuleFinalize(int& useCount, int& status);
