#include "mapper/ZORGfmApiLifeCycle.h"

#include <gtest/gtest.h>

namespace {

// The library, the six platform libraries and the four inner modules.
constexpr int kModulesUnderTheLibrary = 1 + 6 + 4;

}  // namespace

TEST(ZORGfmApiLifeCycle, NestedCallsChangeStatusOnlyOnFirstInitializeAndLastFinalize) {
  int status = 0;
  ZORGfmApi_initialize(status);
  EXPECT_EQ(status, kModulesUnderTheLibrary);
  ZORGfmApi_initialize(status);
  EXPECT_EQ(status, kModulesUnderTheLibrary);
  ZORGfmApi_finalize(status);
  EXPECT_EQ(status, kModulesUnderTheLibrary);
  ZORGfmApi_finalize(status);
  EXPECT_EQ(status, 0);
}

TEST(ZORGfmApiLifeCycle, InnerModuleStartedByTheHostOutlivesTheLibrary) {
  int status = 0;
  ZORMtkApi_initialize(status);
  EXPECT_EQ(status, 1);
  ZORGfmApi_initialize(status);
  EXPECT_EQ(status, kModulesUnderTheLibrary);
  ZORGfmApi_finalize(status);
  EXPECT_EQ(status, 1);
  ZORMtkApi_finalize(status);
  EXPECT_EQ(status, 0);
}

TEST(ZORGfmApiLifeCycle, EachInnerModuleCountsItsOwnUses) {
  void (*const initializers[])(int&) = {ZORMtkApi_initialize, ZORMtkSimi_initialize,
                                        ZORMtkDsi_initialize, ZORMtkUtl_initialize};
  void (*const finalizers[])(int&) = {ZORMtkApi_finalize, ZORMtkSimi_finalize, ZORMtkDsi_finalize,
                                      ZORMtkUtl_finalize};
  for (int module = 0; module < 4; ++module) {
    int status = 0;
    initializers[module](status);
    initializers[module](status);
    EXPECT_EQ(status, 1) << module;
    finalizers[module](status);
    EXPECT_EQ(status, 1) << module;
    finalizers[module](status);
    EXPECT_EQ(status, 0) << module;
  }
}

TEST(ZORGfmApiLifeCycle, FinalizeWithoutInitializeLeavesTheCountAtZero) {
  int status = 0;
  ZORGfmApi_finalize(status);
  ZORMtkDsi_finalize(status);
  EXPECT_EQ(status, 0);
  ZORGfmApi_initialize(status);
  EXPECT_EQ(status, kModulesUnderTheLibrary);
  ZORGfmApi_finalize(status);
  EXPECT_EQ(status, 0);
}
