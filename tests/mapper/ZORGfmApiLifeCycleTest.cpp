#include "mapper/ZORGfmApiLifeCycle.h"

#include <gtest/gtest.h>

// The library, the six platform libraries and the four inner modules.
constexpr int kModulesUnderTheLibrary = 1 + 6 + 4;

// Status changes only on the first initialize and the last finalize; a finalize without an
// initialize leaves the count at zero.
TEST(ZORGfmApiLifeCycle, NestedCallsChangeStatusOnlyOnFirstInitializeAndLastFinalize) {
  int status = 0;
  ZORGfmApi_finalize(status);
  EXPECT_EQ(status, 0);
  for (const int expected : {kModulesUnderTheLibrary, kModulesUnderTheLibrary}) {
    ZORGfmApi_initialize(status);
    EXPECT_EQ(status, expected);
  }
  for (const int expected : {kModulesUnderTheLibrary, 0}) {
    ZORGfmApi_finalize(status);
    EXPECT_EQ(status, expected);
  }
}

// Each inner module counts its own uses, so one the host started outlives the library.
TEST(ZORGfmApiLifeCycle, InnerModuleStartedByTheHostOutlivesTheLibrary) {
  void (*const initializers[])(int&) = {ZORMtkApi_initialize, ZORMtkSimi_initialize,
                                        ZORMtkDsi_initialize, ZORMtkUtl_initialize};
  void (*const finalizers[])(int&) = {ZORMtkApi_finalize, ZORMtkSimi_finalize, ZORMtkDsi_finalize,
                                      ZORMtkUtl_finalize};
  for (int module = 0; module < 4; ++module) {
    int status = 0;
    initializers[module](status);
    EXPECT_EQ(status, 1) << module;
    ZORGfmApi_initialize(status);
    EXPECT_EQ(status, kModulesUnderTheLibrary) << module;
    ZORGfmApi_finalize(status);
    EXPECT_EQ(status, 1) << module;
    finalizers[module](status);
    EXPECT_EQ(status, 0) << module;
  }
}
