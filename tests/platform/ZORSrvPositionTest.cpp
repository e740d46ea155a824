#include <gtest/gtest.h>

#include "platform/ZORSimAPI.h"
#include "platform/ZORSimSchemaKeys.h"
#include "tests/platform/PlatformTestDatabase.h"

namespace {

using namespace ZORSimKeys;

class ZORSrvPositionTest : public ::testing::Test {
 protected:
  void SetUp() override { root_ = CreateDatabase(ScratchFile("position.db")); }
  ZORSrvPosition At(ZORSimDynamicID id) const { return ZORSrvPosition(root_, id); }
  ZORSimDynamicID NewRecord(int fragment, int index) const {
    return root_.CreateDataRecord(ZORSimKeys::Key(fragment, index));
  }
  ZORSimCollectionID CollectionAt(int key, int side) const {
    return At(root_.Follow(key, side)).GetCollection();
  }
  ZORSrvPosition root_;
};

// The writer links field -> output at side 1 and output -> values at side 0; a reader follows
// and selects from either end, by int key, by string key or in insertion order.
TEST_F(ZORSrvPositionTest, AssociationsAreFoundFromEitherEndByKeyAndInInsertionOrder) {
  const ZORSimDynamicID field = NewRecord(11, 62), output = NewRecord(11, 68);
  const ZORSimDynamicID values = NewRecord(11, 60);
  At(field).Associate(kFieldOutputs, 1, output);
  At(output).Associate(kOutputValues, 0, values);
  EXPECT_EQ(At(field).Follow(kFieldOutputs, 1), output);
  EXPECT_EQ(At(output).Follow(kFieldOutputs, 0), field);
  EXPECT_TRUE(At(field).Follow(kFieldOutputs, 0).IsEmpty());
  const ZORSimSelectionSet outputs(ZORSimAssociation(root_.Context(), kFieldOutputs), 0, field);
  const ZORSimSelectionSet valueRecords(ZORSimAssociation(root_.Context(), kOutputValues), 1,
                                        output);
  EXPECT_EQ(outputs.Size(), 1);
  EXPECT_EQ(outputs.Get(0), output);
  EXPECT_EQ(valueRecords.Get(0), values);
  EXPECT_TRUE(valueRecords.Get(1).IsEmpty());

  const ZORSimDynamicID history = NewRecord(22, 17), first = NewRecord(6, 30);
  const ZORSimDynamicID second = NewRecord(6, 30);
  At(history).Associate(kHistorySteps, 1, first, 0);
  At(history).Associate(kHistorySteps, 1, second, 1);
  At(history).Associate(kHistoryStepNames, 1, second, std::string("Loading"));
  EXPECT_EQ(At(history).FollowIntKey(kHistorySteps, 1, 1), second);
  EXPECT_EQ(At(history).FollowIntKey(kHistorySteps, 1, 0), first);
  EXPECT_TRUE(At(history).FollowIntKey(kHistorySteps, 1, -1).IsEmpty());
  EXPECT_EQ(At(history).FollowStringKey(kHistoryStepNames, 1, "Loading"), second);
  EXPECT_TRUE(At(history).FollowStringKey(kHistoryStepNames, 1, "loading").IsEmpty());
  EXPECT_EQ(At(history).FollowList(kHistorySteps, 1).Items(),
            (std::vector<ZORSimDynamicID>{first, second}));
}

TEST_F(ZORSrvPositionTest, RemoveDropsOnlyTheNamedSet) {
  const ZORSimDynamicID step = NewRecord(6, 30);
  const ZORSimCollectionID increments = root_.CreateTypedCollection(0, kIncrementCollectionType);
  ZORSimCollection collection(root_.Context(), increments);
  At(step).Associate(kStepIncrements, 1, collection.EmptyCSetID());
  collection.ExtendSpace(2);
  At(step).Remove(kStepIncrements, 1, collection.EmptyCSetID());
  At(step).Associate(kStepIncrements, 1, collection.BiggestCSetID());
  EXPECT_EQ(At(step).FollowList(kStepIncrements, 1).Size(), 1);
  EXPECT_EQ(At(At(step).Follow(kStepIncrements, 1)).GetCSet().Size(), 2);
  EXPECT_EQ(At(At(step).Follow(kStepIncrements, 1)).GetCollection(), increments);
}

// The dictionary's collections, their first and last records, and the field types numbered by
// the byte order of their symbols.
TEST_F(ZORSrvPositionTest, DataDictionaryCollectionsAndSymbolsAreNumberedAsLoaded) {
  struct Case {
    int key, side, space;
    const char *first, *last;
  };
  for (const Case& c : {Case{kComponentCollection, 0, 38, nullptr, nullptr},
                        Case{kPointCollection, 1, 40, nullptr, nullptr},
                        Case{kFieldTypeCollection, 0, 654, "ACTEMP", nullptr},
                        Case{kElementTypeCollection, 0, 669, "AC1D2", "RIGID_PARABOLIC_SEGMENT"}}) {
    const ZORSimCollectionID collection = CollectionAt(c.key, c.side);
    ASSERT_EQ(ZORSimCollection(root_.Context(), collection).Space(), c.space);
    if (!c.first) continue;
    EXPECT_EQ(At(root_.Context().GetRecord(collection, 0)).GetSymbolName(), c.first);
    EXPECT_TRUE(root_.Context().GetRecord(collection, c.space).IsEmpty());
    if (c.last) {
      EXPECT_EQ(At(root_.Context().GetRecord(collection, c.space - 1)).GetSymbolName(), c.last);
    }
  }
  for (const int key : {kModel, kThirdAuxiliary}) EXPECT_FALSE(root_.Follow(key, 0).IsEmpty());
  for (const int key : {kIntegrationPoints, kSecondAuxiliary})
    EXPECT_FALSE(root_.Follow(key, 1).IsEmpty());
  const ZORSimSymbols symbols(root_.Context());
  const ZORSimTypeID symbolType(kFieldTypeSymbol);
  const ZORSimDynamicID uD = symbols.Get(symbolType, 621, CollectionAt(kFieldTypeCollection, 0));
  EXPECT_EQ(At(uD).GetSymbolName(), "U_D");
  EXPECT_EQ(symbols.Get(uD), 621);
  EXPECT_TRUE(symbols.Get(symbolType, 654, CollectionAt(kFieldTypeCollection, 0)).IsEmpty());
  const ZORSimSchema schema(root_.Context());
  EXPECT_EQ(schema.SymbolName(symbolType, 620), "UNDEFINED");
  EXPECT_EQ(schema.SymbolName(symbolType, 645), "V_D");
}

TEST_F(ZORSrvPositionTest, SubtypesAnswerIsA) {
  const ZORSimSchema schema(root_.Context());
  const ZORSimDynamicID step = NewRecord(6, 30);
  EXPECT_TRUE(schema.IsA(step, ZORSimTypeID(kIncrementBearingStep)));
  EXPECT_FALSE(schema.IsA(step, ZORSimTypeID(kStaticStep)));
  const ZORSimDataRecord field(At(NewRecord(11, 62)));
  field.SetTypeID(0, ZORSimTypeID(kNodalFieldType));
  EXPECT_TRUE(field.IsA(ZORSimTypeID(kFieldRecord)));
  EXPECT_TRUE(field.IsA(ZORSimTypeID(kNodalFieldType)));
  EXPECT_FALSE(field.IsA(ZORSimTypeID(kIntPtFieldType)));
}

// Handles of another or of a closed database are refused; an empty position leads nowhere.
TEST_F(ZORSrvPositionTest, ForeignAndClosedHandlesAreRefusedAndEmptyOnesFollowToNothing) {
  const ZORSrvPosition empty(root_, ZORSimDynamicID{});
  EXPECT_TRUE(empty.Follow(kMeshNodes, 1).IsEmpty());
  EXPECT_EQ(empty.FollowList(kStepFields, 0).Size(), 0);
  EXPECT_EQ(ZORSimCollection(root_.Context(), empty.GetCollection()).Space(), 0);
  const ZORSrvPosition other = CreateDatabase(ScratchFile("other.db"));
  EXPECT_NE(other.ID().leading, root_.ID().leading);
  const ZORSimDynamicID foreign = other.CreateDataRecord(kFieldRecord);
  EXPECT_THROW(root_.Associate(kFieldOutputs, 1, foreign), ZORSimError);
  EXPECT_THROW(At(foreign).Follow(kFieldOutputs, 1), ZORSimError);
  const ZORSimDynamicID record = NewRecord(11, 62);
  ZORSrvSimAccess().Close(root_);
  EXPECT_THROW(At(record).Follow(kFieldOutputs, 1), ZORSimError);
  EXPECT_THROW(root_.CreateDataRecord(kFieldRecord), ZORSimError);
}

}  // namespace
