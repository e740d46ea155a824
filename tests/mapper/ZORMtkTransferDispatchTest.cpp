#include "mapper/impl/ZORMtkTransferDispatch.h"

#include <gtest/gtest.h>

#include "MapperTestHelpers.h"
#include "mapper/impl/ZORMtkElementTransfer.h"
#include "mapper/impl/ZORMtkIntPtToNodeTransfer.h"
#include "mapper/impl/ZORMtkNodalTransfer.h"

// The transfer and check chosen for every map tag, conservation option and global flag.
TEST(ZORMtkTransferDispatch, EachTagAndConservationRunsItsTransfer) {
  using Nodal = ZORMtkNodalTransfer;
  using ToNode = ZORMtkIntPtToNodeTransfer;
  struct Case {
    int tag, conserve;
    bool global, supported;
    ZORMtkTransferRoutine transfer, check;
  };
  const Case cases[] = {
      {0, 0, true, true, &Nodal::Interpolate, nullptr},
      {5, 0, false, true, &Nodal::Interpolate, nullptr},
      {0, 1, false, true, &Nodal::ConservativeTransfer, &Nodal::CheckConservation},
      {5, 1, false, true, &Nodal::ConservativeTransfer, &Nodal::CheckConservation},
      {0, 2, false, true, nullptr, nullptr},
      {5, 3, false, true, nullptr, nullptr},
      {1, 0, false, true, &ZORMtkElementTransfer::NodeToIntPt, nullptr},
      {1, 7, false, true, &ZORMtkElementTransfer::NodeToIntPt, nullptr},
      {2, 0, true, true, &ToNode::Averaged, nullptr},
      {2, 2, true, true, &ToNode::GlobalConservative, nullptr},
      {2, 2, false, true, &ToNode::LocalConservative, nullptr},
      {2, 1, true, true, nullptr, nullptr},
      {3, 0, true, true, &ZORMtkElementTransfer::IntPtToIntPt, nullptr},
      {3, 1, false, true, nullptr, nullptr},
      {3, 2, false, true, nullptr, nullptr},
      {9, 2, false, true, &Nodal::NodalRatio, nullptr},
      {4, 0, false, false, nullptr, nullptr},
      {10, 0, false, false, nullptr, nullptr},
      {-1, 0, false, false, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "tag " << c.tag << " conserve " << c.conserve);
    const ZORMtkTransferChoice choice = ZORMtkTransferDispatch::Choose(
        static_cast<Map_Tag>(c.tag), static_cast<Conserve_Tag>(c.conserve), c.global);
    EXPECT_EQ(choice.supported, c.supported);
    EXPECT_EQ(choice.transfer, c.transfer);
    EXPECT_EQ(choice.check, c.check);
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
