#include "platform/ZORPlatformModules.h"

bool ZORModuleInitialize(int& useCount, int& status) {
  if (useCount++ != 0) return false;
  status += 1;
  return true;
}

bool ZORModuleFinalize(int& useCount, int& status) {
  if (useCount <= 0) return false;
  if (useCount-- != 1) return false;
  status -= 1;
  return true;
}

#define ZOR_PLATFORM_MODULE(name)                                                      \
  namespace {                                                                          \
  int name##UseCount = 0;                                                              \
  }                                                                                    \
  void name##_initialize(int& status) { ZORModuleInitialize(name##UseCount, status); } \
  void name##_finalize(int& status) { ZORModuleFinalize(name##UseCount, status); }

ZOR_PLATFORM_MODULE(ZORBasCoreUtils)
ZOR_PLATFORM_MODULE(ZORAbuBasicUtils)
ZOR_PLATFORM_MODULE(UTI_CaeUtils)
ZOR_PLATFORM_MODULE(ZORAbuKelda)
ZOR_PLATFORM_MODULE(ZORSimAPI)
ZOR_PLATFORM_MODULE(ZORSrvBasic)
