#include "mapper/impl/ZORMtkTransferDispatch.h"

#include <gtest/gtest.h>

#include "MapperTestHelpers.h"
#include "mapper/impl/ZORMtkElementTransfer.h"
#include "mapper/impl/ZORMtkIntPtToNodeTransfer.h"
#include "mapper/impl/ZORMtkNodalTransfer.h"

namespace {

ZORMtkTransferChoice Choose(int mapTag, int conserve, bool global = false) {
  return ZORMtkTransferDispatch::Choose(static_cast<Map_Tag>(mapTag),
                                        static_cast<Conserve_Tag>(conserve), global);
}

void ExpectRuns(const ZORMtkTransferChoice& choice, ZORMtkTransferRoutine transfer,
                ZORMtkTransferRoutine check = nullptr) {
  EXPECT_TRUE(choice.supported);
  EXPECT_EQ(choice.transfer, transfer);
  EXPECT_EQ(choice.check, check);
}

void ExpectNothing(const ZORMtkTransferChoice& choice) { ExpectRuns(choice, nullptr); }

}  // namespace

TEST(ZORMtkTransferDispatch, NodalTagsInterpolateOrConserveWithCheck) {
  for (const int tag : {0, 5}) {
    SCOPED_TRACE(tag);
    ExpectRuns(Choose(tag, 0), &ZORMtkNodalTransfer::Interpolate);
    ExpectRuns(Choose(tag, 1), &ZORMtkNodalTransfer::ConservativeTransfer,
               &ZORMtkNodalTransfer::CheckConservation);
    ExpectNothing(Choose(tag, 2));
    ExpectNothing(Choose(tag, 3));
  }
}

TEST(ZORMtkTransferDispatch, NodeToIntPtIgnoresConservation) {
  for (const int conserve : {0, 1, 2, 7})
    ExpectRuns(Choose(1, conserve), &ZORMtkElementTransfer::NodeToIntPt);
}

TEST(ZORMtkTransferDispatch, IntPtToNodeChoosesVariantByConservationAndEnvironment) {
  ExpectRuns(Choose(2, 0), &ZORMtkIntPtToNodeTransfer::Averaged);
  ExpectRuns(Choose(2, 2, true), &ZORMtkIntPtToNodeTransfer::GlobalConservative);
  ExpectRuns(Choose(2, 2, false), &ZORMtkIntPtToNodeTransfer::LocalConservative);
  ExpectRuns(Choose(2, 0, true), &ZORMtkIntPtToNodeTransfer::Averaged);
  ExpectNothing(Choose(2, 1));
  ExpectNothing(Choose(2, 1, true));
}

TEST(ZORMtkTransferDispatch, IntPtToIntPtOnlyWithoutConservation) {
  ExpectRuns(Choose(3, 0), &ZORMtkElementTransfer::IntPtToIntPt);
  ExpectNothing(Choose(3, 1));
  ExpectNothing(Choose(3, 2));
}

TEST(ZORMtkTransferDispatch, NodalRatioIgnoresConservation) {
  for (const int conserve : {0, 1, 2})
    ExpectRuns(Choose(9, conserve), &ZORMtkNodalTransfer::NodalRatio);
}

TEST(ZORMtkTransferDispatch, GlobalFlagLeavesOtherTagsAlone) {
  ExpectRuns(Choose(0, 0, true), &ZORMtkNodalTransfer::Interpolate);
  ExpectRuns(Choose(3, 0, true), &ZORMtkElementTransfer::IntPtToIntPt);
}

TEST(ZORMtkTransferDispatch, UnlistedTagsAreUnsupportedAndRunNothing) {
  for (const int tag : {4, 6, 7, 8, 10, 100, -1}) {
    SCOPED_TRACE(tag);
    const ZORMtkTransferChoice choice = Choose(tag, 0);
    EXPECT_FALSE(choice.supported);
    EXPECT_EQ(choice.transfer, nullptr);
    EXPECT_EQ(choice.check, nullptr);
  }
}

TEST(ZORMtkTransferDispatch, GlobalConservationIsOnWheneverTheVariableIsSet) {
  EXPECT_FALSE(ZORMtkTransferDispatch::ConserveGloballyFromEnvironment());
  {
    ScopedEnvironmentVariable empty("ZORMTK_CONSERVE_GLOBAL", "");
    EXPECT_TRUE(ZORMtkTransferDispatch::ConserveGloballyFromEnvironment());
  }
  {
    ScopedEnvironmentVariable zero("ZORMTK_CONSERVE_GLOBAL", "0");
    EXPECT_TRUE(ZORMtkTransferDispatch::ConserveGloballyFromEnvironment());
  }
  EXPECT_FALSE(ZORMtkTransferDispatch::ConserveGloballyFromEnvironment());
}
