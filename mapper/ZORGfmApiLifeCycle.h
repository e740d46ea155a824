#pragma once

#include "platform/ZORExport.h"

// Life cycle of the mapping library and its four inner modules. Every function keeps a use
// count: the first initialize of a module adds 1 to status, its last finalize subtracts 1, and
// calls in between change nothing. ZORGfmApi_initialize also brings up, on its first call, the
// platform libraries and the inner modules it stands on (each with the same status), and
// ZORGfmApi_finalize takes them down in reverse order on its last call; a status that starts
// at 0 therefore counts the modules that are up.
ZORMTK_EXPORT void ZORGfmApi_initialize(int& status);
ZORMTK_EXPORT void ZORGfmApi_finalize(int& status);
ZORMTK_EXPORT void ZORMtkApi_initialize(int& status);
ZORMTK_EXPORT void ZORMtkApi_finalize(int& status);
ZORMTK_EXPORT void ZORMtkSimi_initialize(int& status);
ZORMTK_EXPORT void ZORMtkSimi_finalize(int& status);
ZORMTK_EXPORT void ZORMtkDsi_initialize(int& status);
ZORMTK_EXPORT void ZORMtkDsi_finalize(int& status);
ZORMTK_EXPORT void ZORMtkUtl_initialize(int& status);
ZORMTK_EXPORT void ZORMtkUtl_finalize(int& status);
