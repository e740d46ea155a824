#include "mapper/impl/ZORMtkTransferDispatch.h"

#include <gtest/gtest.h>

#include "MapperTestHelpers.h"
#include "mapper/impl/ZORMtkElementTransfer.h"

// The end-to-end tests run every transfer through its tag and conservation option; these are the
// combinations they do not reach: conservation that has no transfer for the tag, and node to
// point, which has no conservative form and ignores the option.
TEST(ZORMtkTransferDispatch, CombinationsWithoutAConservativeTransferRunNothingOrIgnoreIt) {
  struct Case {
    int tag, conserve;
    bool global;
  };
  for (const Case& c : {Case{5, 3, false}, Case{2, 1, true}, Case{3, 1, false}, Case{3, 2, true},
                        Case{0, 2, false}, Case{1, 7, false}}) {
    const ZORMtkTransferChoice choice = ZORMtkTransferDispatch::Choose(
        static_cast<Map_Tag>(c.tag), static_cast<Conserve_Tag>(c.conserve), c.global);
    EXPECT_TRUE(choice.supported) << c.tag << " " << c.conserve;
    EXPECT_EQ(choice.transfer, c.tag == 1 ? &ZORMtkElementTransfer::NodeToIntPt : nullptr)
        << c.tag << " " << c.conserve;
    EXPECT_EQ(choice.check, nullptr);
  }
}

TEST(ZORMtkTransferDispatch, GlobalConservationIsOnWheneverTheVariableIsSet) {
  EXPECT_FALSE(ZORMtkTransferDispatch::ConserveGloballyFromEnvironment());
  for (const char* value : {"", "0"}) {
    ScopedEnvironmentVariable variable("ZORMTK_CONSERVE_GLOBAL", value);
    EXPECT_TRUE(ZORMtkTransferDispatch::ConserveGloballyFromEnvironment()) << value;
  }
  EXPECT_FALSE(ZORMtkTransferDispatch::ConserveGloballyFromEnvironment());
}
