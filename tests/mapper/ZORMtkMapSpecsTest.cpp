#include "mapper/ZORMtkMapSpecs.h"

#include <gtest/gtest.h>

#include "MapperTestHelpers.h"

TEST(ZORMtkMapSpecs, FieldConstructorTakesConservationBeforeMethod) {
  const ZORMtkMapSpecs request(Id(1, 10), Id(2, 20), MapIntPtToNode, ConserveIntPt,
                               MethodNearestNode, true, false);
  EXPECT_EQ(request.targetFieldID, Id(2, 20));
  ASSERT_EQ(request.sourceFieldIDs.Size(), 1);
  EXPECT_EQ(request.sourceFieldIDs[0], Id(1, 10));
  EXPECT_EQ(request.sourceMeshIDs.Size(), 0);
  EXPECT_EQ(request.conserve, ConserveIntPt);
  EXPECT_EQ(request.mapMethod, MethodNearestNode);
  EXPECT_TRUE(request.recordedFlag && !request.noFallback);
}

// Beyond the end the list is padded with empty IDs; inside it an entry is overwritten; negative
// positions are ignored.
TEST(ZORMtkMapSpecs, AddSourceIDPadsOverwritesAndIgnoresNegatives) {
  ZORMtkMapSpecs request;
  request.AddSourceID(2, Id(1, 7));
  request.AddSourceID(0, Id(1, 3));
  request.AddSourceID(4, Id(1, 4));
  request.AddSourceID(-1, Id(1, 5));
  ASSERT_EQ(request.sourceFieldIDs.Size(), 5);
  const ZORSimDynamicID expected[5] = {Id(1, 3), {}, Id(1, 7), {}, Id(1, 4)};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(request.sourceFieldIDs[i], expected[i]) << i;
  EXPECT_EQ(request.sourceMeshIDs.Size(), 0);
}
