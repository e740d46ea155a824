#include "mapper/ZORMtkMapSpecs.h"

#include <gtest/gtest.h>

namespace {

ZORSimDynamicID Id(int leading, std::int64_t object) {
  ZORSimDynamicID id;
  id.leading = leading;
  id.object = object;
  return id;
}

}  // namespace

TEST(ZORMtkMapSpecs, FieldConstructorTakesConservationBeforeMethod) {
  const ZORMtkMapSpecs request(Id(1, 10), Id(2, 20), MapIntPtToNode, ConserveIntPt,
                               MethodNearestNode, true, false);
  EXPECT_EQ(request.targetFieldID, Id(2, 20));
  ASSERT_EQ(request.sourceFieldIDs.Size(), 1);
  EXPECT_EQ(request.sourceFieldIDs[0], Id(1, 10));
  EXPECT_EQ(request.sourceMeshIDs.Size(), 0);
  EXPECT_TRUE(request.targetMeshID.IsEmpty());
  EXPECT_EQ(request.mapTag, MapIntPtToNode);
  EXPECT_EQ(request.conserve, ConserveIntPt);
  EXPECT_EQ(request.mapMethod, MethodNearestNode);
  EXPECT_TRUE(request.recordedFlag);
  EXPECT_FALSE(request.noFallback);
}

TEST(ZORMtkMapSpecs, AddSourceIDBeyondTheEndPadsWithEmptyIDs) {
  ZORMtkMapSpecs request;
  request.AddSourceID(2, Id(1, 7));
  ASSERT_EQ(request.sourceFieldIDs.Size(), 3);
  EXPECT_TRUE(request.sourceFieldIDs[0].IsEmpty());
  EXPECT_TRUE(request.sourceFieldIDs[1].IsEmpty());
  EXPECT_EQ(request.sourceFieldIDs[2], Id(1, 7));
  EXPECT_EQ(request.sourceMeshIDs.Size(), 0);
}

TEST(ZORMtkMapSpecs, AddSourceIDOverwritesInsideAppendsAtTheEndIgnoresNegatives) {
  ZORMtkMapSpecs request;
  request.AddSourceID(0, Id(1, 1));
  request.AddSourceID(1, Id(1, 2));
  request.AddSourceID(0, Id(1, 3));
  request.AddSourceID(2, Id(1, 4));
  request.AddSourceID(-1, Id(1, 5));
  ASSERT_EQ(request.sourceFieldIDs.Size(), 3);
  EXPECT_EQ(request.sourceFieldIDs[0], Id(1, 3));
  EXPECT_EQ(request.sourceFieldIDs[1], Id(1, 2));
  EXPECT_EQ(request.sourceFieldIDs[2], Id(1, 4));
}
