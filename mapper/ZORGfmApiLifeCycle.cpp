#include "mapper/ZORGfmApiLifeCycle.h"

#include "platform/ZORPlatformModules.h"

namespace {

int gfmApiUseCount = 0;
int mtkApiUseCount = 0;
int mtkSimiUseCount = 0;
int mtkDsiUseCount = 0;
int mtkUtlUseCount = 0;

}  // namespace

// Lower layers first: utilities, then the database interface, then this library's modules from
// the innermost outwards, so that every module finds what it uses already up.
void ZORGfmApi_initialize(int& status) {
  if (!ZORModuleInitialize(gfmApiUseCount, status)) return;
  ZORBasCoreUtils_initialize(status);
  ZORAbuBasicUtils_initialize(status);
  UTI_CaeUtils_initialize(status);
  ZORAbuKelda_initialize(status);
  ZORSimAPI_initialize(status);
  ZORSrvBasic_initialize(status);
  ZORMtkUtl_initialize(status);
  ZORMtkDsi_initialize(status);
  ZORMtkSimi_initialize(status);
  ZORMtkApi_initialize(status);
}

void ZORGfmApi_finalize(int& status) {
  if (!ZORModuleFinalize(gfmApiUseCount, status)) return;
  ZORMtkApi_finalize(status);
  ZORMtkSimi_finalize(status);
  ZORMtkDsi_finalize(status);
  ZORMtkUtl_finalize(status);
  ZORSrvBasic_finalize(status);
  ZORSimAPI_finalize(status);
  ZORAbuKelda_finalize(status);
  UTI_CaeUtils_finalize(status);
  ZORAbuBasicUtils_finalize(status);
  ZORBasCoreUtils_finalize(status);
}

// The inner modules hold no state of their own yet; their counts let a host pair its calls.
void ZORMtkApi_initialize(int& status) { ZORModuleInitialize(mtkApiUseCount, status); }
void ZORMtkApi_finalize(int& status) { ZORModuleFinalize(mtkApiUseCount, status); }
void ZORMtkSimi_initialize(int& status) { ZORModuleInitialize(mtkSimiUseCount, status); }
void ZORMtkSimi_finalize(int& status) { ZORModuleFinalize(mtkSimiUseCount, status); }
void ZORMtkDsi_initialize(int& status) { ZORModuleInitialize(mtkDsiUseCount, status); }
void ZORMtkDsi_finalize(int& status) { ZORModuleFinalize(mtkDsiUseCount, status); }
void ZORMtkUtl_initialize(int& status) { ZORModuleInitialize(mtkUtlUseCount, status); }
void ZORMtkUtl_finalize(int& status) { ZORModuleFinalize(mtkUtlUseCount, status); }
