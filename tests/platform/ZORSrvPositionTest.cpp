#include <gtest/gtest.h>

#include "platform/ZORSimAPI.h"
#include "platform/ZORSimSchemaKeys.h"
#include "tests/platform/PlatformTestDatabase.h"

namespace {

class ZORSrvPositionTest : public ::testing::Test {
 protected:
  void SetUp() override { root_ = CreateDatabase(ScratchFile("position.db")); }
  ZORSrvPosition At(ZORSimDynamicID id) const { return ZORSrvPosition(root_, id); }
  ZORSimDynamicID NewRecord(int fragment, int index) const {
    return root_.CreateDataRecord(ZORSimKeys::Key(fragment, index));
  }
  ZORSrvPosition root_;
};

TEST_F(ZORSrvPositionTest, AssociatePutsTargetAtTheGivenSide) {
  const ZORSimDynamicID field = NewRecord(11, 62);
  const ZORSimDynamicID output = NewRecord(11, 68);
  At(field).Associate(ZORSimKeys::kFieldOutputs, 1, output);
  // Following the writer's side from the field reaches the output record...
  EXPECT_EQ(At(field).Follow(ZORSimKeys::kFieldOutputs, 1), output);
  // ...and the other side from the output reaches the field.
  EXPECT_EQ(At(output).Follow(ZORSimKeys::kFieldOutputs, 0), field);
  // Nothing stands at end 0 of an association whose end 1 is the field.
  EXPECT_TRUE(At(field).Follow(ZORSimKeys::kFieldOutputs, 0).IsEmpty());
}

TEST_F(ZORSrvPositionTest, SelectionSetYieldsTheOtherEndsOfAssociationsWithIdAtSide) {
  // The writer links field -> output with side 1 and output -> values with side 0; a reader
  // selecting with side 0 from the field and side 1 from the output reaches the same records.
  const ZORSimDynamicID field = NewRecord(11, 62);
  const ZORSimDynamicID output = NewRecord(11, 68);
  const ZORSimDynamicID values = NewRecord(11, 60);
  At(field).Associate(ZORSimKeys::kFieldOutputs, 1, output);
  At(output).Associate(ZORSimKeys::kOutputValues, 0, values);
  const ZORSimSelectionSet outputs(ZORSimAssociation(root_.Context(), ZORSimKeys::kFieldOutputs), 0,
                                   field);
  ASSERT_EQ(outputs.Size(), 1);
  EXPECT_EQ(outputs.Get(0), output);
  const ZORSimSelectionSet valueRecords(
      ZORSimAssociation(root_.Context(), ZORSimKeys::kOutputValues), 1, output);
  ASSERT_EQ(valueRecords.Size(), 1);
  EXPECT_EQ(valueRecords.Get(0), values);
  EXPECT_TRUE(valueRecords.Get(1).IsEmpty());
}

TEST_F(ZORSrvPositionTest, StepsAreFoundByIntKeyByStringKeyAndListedInInsertionOrder) {
  const ZORSimDynamicID history = NewRecord(22, 17);
  const ZORSimDynamicID first = NewRecord(6, 30);
  const ZORSimDynamicID second = NewRecord(6, 30);
  At(history).Associate(ZORSimKeys::kHistorySteps, 1, first, 0);
  At(history).Associate(ZORSimKeys::kHistorySteps, 1, second, 1);
  At(history).Associate(ZORSimKeys::kHistoryStepNames, 1, second, std::string("Loading"));
  EXPECT_EQ(At(history).FollowIntKey(ZORSimKeys::kHistorySteps, 1, 1), second);
  EXPECT_EQ(At(history).FollowIntKey(ZORSimKeys::kHistorySteps, 1, 0), first);
  EXPECT_TRUE(At(history).FollowIntKey(ZORSimKeys::kHistorySteps, 1, -1).IsEmpty());
  EXPECT_EQ(At(history).FollowStringKey(ZORSimKeys::kHistoryStepNames, 1, "Loading"), second);
  EXPECT_TRUE(At(history).FollowStringKey(ZORSimKeys::kHistoryStepNames, 1, "loading").IsEmpty());
  ZORSrvIterator steps = At(history).FollowList(ZORSimKeys::kHistorySteps, 1);
  ASSERT_EQ(steps.Size(), 2);
  steps.First();
  EXPECT_EQ(steps.CurrentValueID(), first);
  steps.Next();
  EXPECT_EQ(steps.CurrentValueID(), second);
  steps.Next();
  EXPECT_TRUE(steps.IsDone());
}

TEST_F(ZORSrvPositionTest, RemoveDropsOnlyTheNamedSet) {
  const ZORSimDynamicID step = NewRecord(6, 30);
  const ZORSimCollectionID increments =
      root_.CreateTypedCollection(0, ZORSimKeys::kIncrementCollectionType);
  ZORSimCollection collection(root_.Context(), increments);
  At(step).Associate(ZORSimKeys::kStepIncrements, 1, collection.EmptyCSetID());
  collection.ExtendSpace(2);
  At(step).Remove(ZORSimKeys::kStepIncrements, 1, collection.EmptyCSetID());
  At(step).Associate(ZORSimKeys::kStepIncrements, 1, collection.BiggestCSetID());
  const ZORSimCSetID set = At(At(step).Follow(ZORSimKeys::kStepIncrements, 1)).GetCSet();
  EXPECT_EQ(set.Size(), 2);
  EXPECT_EQ(At(step).FollowList(ZORSimKeys::kStepIncrements, 1).Size(), 1);
  EXPECT_EQ(At(At(step).Follow(ZORSimKeys::kStepIncrements, 1)).GetCollection(), increments);
}

TEST_F(ZORSrvPositionTest, DataDictionaryCollectionsAreReachableFromTheFocus) {
  EXPECT_EQ(ZORSimCollection(root_.Context(), ComponentCollection(root_)).Space(), 38);
  const ZORSimCollectionID fieldTypes =
      At(root_.Follow(ZORSimKeys::kFieldTypeCollection, 0)).GetCollection();
  EXPECT_EQ(ZORSimCollection(root_.Context(), fieldTypes).Space(), 654);
  const ZORSimCollectionID elementTypes =
      At(root_.Follow(ZORSimKeys::kElementTypeCollection, 0)).GetCollection();
  ASSERT_EQ(ZORSimCollection(root_.Context(), elementTypes).Space(), 669);
  EXPECT_EQ(At(root_.Context().GetRecord(elementTypes, 0)).GetSymbolName(), "AC1D2");
  EXPECT_EQ(At(root_.Context().GetRecord(elementTypes, 668)).GetSymbolName(),
            "RIGID_PARABOLIC_SEGMENT");
  EXPECT_TRUE(root_.Context().GetRecord(elementTypes, 669).IsEmpty());
  EXPECT_EQ(ZORSimCollection(root_.Context(),
                             At(root_.Follow(ZORSimKeys::kPointCollection, 1)).GetCollection())
                .Space(),
            40);
  EXPECT_FALSE(root_.Follow(ZORSimKeys::kModel, 0).IsEmpty());
  EXPECT_FALSE(root_.Follow(ZORSimKeys::kIntegrationPoints, 1).IsEmpty());
  EXPECT_FALSE(root_.Follow(ZORSimKeys::kSecondAuxiliary, 1).IsEmpty());
  EXPECT_FALSE(root_.Follow(ZORSimKeys::kThirdAuxiliary, 0).IsEmpty());
}

TEST_F(ZORSrvPositionTest, FieldTypeSymbolsAreNumberedByByteSortedPosition) {
  const ZORSimCollectionID fieldTypes =
      At(root_.Follow(ZORSimKeys::kFieldTypeCollection, 0)).GetCollection();
  const ZORSimSymbols symbols(root_.Context());
  const ZORSimTypeID symbolType(ZORSimKeys::kFieldTypeSymbol);
  const ZORSimDynamicID uD = symbols.Get(symbolType, 621, fieldTypes);
  EXPECT_EQ(At(uD).GetSymbolName(), "U_D");
  EXPECT_EQ(symbols.Get(uD), 621);
  EXPECT_EQ(ZORSimSchema(root_.Context()).SymbolName(symbolType, 620), "UNDEFINED");
  EXPECT_EQ(ZORSimSchema(root_.Context()).SymbolName(symbolType, 645), "V_D");
  EXPECT_EQ(ZORSimSchema(root_.Context()).SymbolName(symbolType, 0), "ACTEMP");
  EXPECT_TRUE(symbols.Get(symbolType, 654, fieldTypes).IsEmpty());
}

TEST_F(ZORSrvPositionTest, SubtypesAnswerIsA) {
  const ZORSimSchema schema(root_.Context());
  const ZORSimDynamicID step = NewRecord(6, 30);
  EXPECT_TRUE(schema.IsA(step, ZORSimTypeID(ZORSimKeys::kIncrementBearingStep)));
  EXPECT_FALSE(schema.IsA(step, ZORSimTypeID(ZORSimKeys::kStaticStep)));
  const ZORSimDynamicID field = NewRecord(11, 62);
  ZORSimDataRecord(At(field)).SetTypeID(0, ZORSimTypeID(ZORSimKeys::kNodalFieldType));
  EXPECT_TRUE(ZORSimDataRecord(At(field)).IsA(ZORSimTypeID(ZORSimKeys::kFieldRecord)));
  EXPECT_TRUE(ZORSimDataRecord(At(field)).IsA(ZORSimTypeID(ZORSimKeys::kNodalFieldType)));
  EXPECT_FALSE(ZORSimDataRecord(At(field)).IsA(ZORSimTypeID(ZORSimKeys::kIntPtFieldType)));
}

TEST_F(ZORSrvPositionTest, HandlesOfAnotherDatabaseAreRefused) {
  const ZORSrvPosition other = CreateDatabase(ScratchFile("other.db"));
  EXPECT_NE(other.ID().leading, root_.ID().leading);
  EXPECT_NE(other.ID(), root_.ID());
  const ZORSimDynamicID foreign = other.CreateDataRecord(ZORSimKeys::kFieldRecord);
  EXPECT_THROW(root_.Associate(ZORSimKeys::kFieldOutputs, 1, foreign), ZORSimError);
  EXPECT_THROW(At(foreign).Follow(ZORSimKeys::kFieldOutputs, 1), ZORSimError);
}

TEST_F(ZORSrvPositionTest, EmptyPositionsFollowToNothing) {
  const ZORSrvPosition empty(root_, ZORSimDynamicID{});
  EXPECT_TRUE(empty.Follow(ZORSimKeys::kMeshNodes, 1).IsEmpty());
  EXPECT_EQ(empty.FollowList(ZORSimKeys::kStepFields, 0).Size(), 0);
  EXPECT_TRUE(empty.GetCollection().IsEmpty());
  EXPECT_EQ(ZORSimCollection(root_.Context(), empty.GetCollection()).Space(), 0);
}

TEST_F(ZORSrvPositionTest, ClosedDatabaseRefusesItsHandles) {
  const ZORSimDynamicID record = NewRecord(11, 62);
  ZORSrvSimAccess().Close(root_);
  EXPECT_THROW(At(record).Follow(ZORSimKeys::kFieldOutputs, 1), ZORSimError);
  EXPECT_THROW(root_.CreateDataRecord(ZORSimKeys::kFieldRecord), ZORSimError);
}

TEST_F(ZORSrvPositionTest, NamedElementSetsAreFoundByName) {
  const ZORSimCollectionID elements =
      root_.CreateTypedCollection(0, ZORSimKeys::kElementCollectionType);
  ZORSimCollection collection(root_.Context(), elements);
  collection.ExtendSpace(10);
  const int members[] = {8, 2, 5};
  ZORSrvAddElementSet(root_, "PART-1_TOP", collection.CreateCSet(members, 3, false));
  const ZORSimCSetID found = ZORSrvGetElementSetIDFromScopedName(root_, "PART-1_TOP", "_");
  ASSERT_EQ(found.Size(), 3);
  EXPECT_EQ(ZORSimCSet(ZORSimCSet(found).AscendingID())[0], 2);
  EXPECT_TRUE(ZORSrvGetElementSetIDFromScopedName(root_, "BOTTOM", "_").IsEmpty());
}

}  // namespace
