#include "mapper/ZORMtkDiagnosticsData.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mapper/impl/ZORMtkErrorMessage.h"

namespace {

struct Report {
  std::string message;
  std::vector<int> ints;
  std::vector<double> doubles;
};

Report Process(const ZORMtkDiagnosticsData& store, int code) {
  cow_String message = "left over";
  cow_List<int> ints{42};
  cow_List<double> doubles{4.2};
  store.ProcessError(code, message, ints, doubles);
  return {message.Str(), ints.Items(), doubles.Items()};
}

// A store with data for every code, reported on the given side.
ZORMtkDiagnosticsData EveryCodeRecorded(int side) {
  ZORMtkDiagnosticsData store;
  store.SetReportSide(side);
  for (const int code : {1, 2, 4, 16, 32, 64, 128}) store.SetError(code);
  store.AddFailedPoint(5);
  store.AddFailedPoint(9);
  store.AddMisalignedPoint(11);
  store.AddFailedElement(3);
  store.AddFailedCoordinates(1.0, 2.0, 3.0);
  store.SetNodeCounts(8, 6);
  store.AddConservationRecord(0, 10.0, 8.5);
  return store;
}

}  // namespace

TEST(ZORMtkDiagnosticsData, ListsSetCodesInReportOrderAfterWhatTheListHeld) {
  ZORMtkDiagnosticsData store;
  for (const int code : {16, 4, 32, 64, 1, 128, 2}) store.SetError(code);
  cow_List<int> codes{99};
  EXPECT_EQ(store.ListErrors(codes), 8);
  EXPECT_EQ(codes, (cow_List<int>{99, 1, 2, 128, 64, 4, 32, 16}));
}

TEST(ZORMtkDiagnosticsData, ListsOnlyTheCodesThatWereSet) {
  ZORMtkDiagnosticsData store;
  store.SetError(4);
  store.SetError(2);
  cow_List<int> codes;
  EXPECT_EQ(store.ListErrors(codes), 2);
  EXPECT_EQ(codes, (cow_List<int>{2, 4}));
}

TEST(ZORMtkDiagnosticsData, TargetSideMessagesCarryTheirData) {
  const ZORMtkDiagnosticsData store = EveryCodeRecorded(1);
  Report r = Process(store, 2);
  EXPECT_EQ(r.message, "search failed for the following target points: ");
  EXPECT_EQ(r.ints, (std::vector<int>{5, 9}));
  EXPECT_TRUE(r.doubles.empty());
  r = Process(store, 128);
  EXPECT_EQ(r.message, "alignment beyond tolerance is detected for the following target points: ");
  EXPECT_EQ(r.ints, std::vector<int>{11});
  r = Process(store, 64);
  EXPECT_EQ(r.message, "search failed for the following target elements: ");
  EXPECT_EQ(r.ints, std::vector<int>{3});
  r = Process(store, 4);
  EXPECT_EQ(r.message, "search failed for the following target-point coordinates: ");
  EXPECT_TRUE(r.ints.empty());
  EXPECT_EQ(r.doubles, (std::vector<double>{1.0, 2.0, 3.0}));
}

TEST(ZORMtkDiagnosticsData, SourceSideMessagesNameSourcePoints) {
  const ZORMtkDiagnosticsData store = EveryCodeRecorded(0);
  EXPECT_EQ(Process(store, 2).message, "search failed for the following source points: ");
  EXPECT_EQ(Process(store, 128).message,
            "alignment beyond tolerance is detected for the following source points: ");
  EXPECT_EQ(Process(store, 64).message, "search failed for the following source elements : ");
  EXPECT_EQ(Process(store, 4).message,
            "search failed for the following source-point coordinates: ");
}

TEST(ZORMtkDiagnosticsData, NodeCountMessageGivesFirstThenSecondCount) {
  const Report r = Process(EveryCodeRecorded(1), 16);
  EXPECT_EQ(r.message,
            "search is set to nearest node mapping, but the node count does not match between "
            "the source and target  meshes.  The respective node counts are: ");
  EXPECT_EQ(r.ints, (std::vector<int>{8, 6}));
}

TEST(ZORMtkDiagnosticsData, ConservationMessageHasOneSentencePerRecord) {
  ZORMtkDiagnosticsData store;
  store.SetError(32);
  store.AddConservationRecord(0, 10.0, 8.5);
  store.AddConservationRecord(2, 4.0, 2.0);
  const Report r = Process(store, 32);
  EXPECT_EQ(r.message,
            "field conservation requirement is not met. "
            " Component %I : Source mesh field sum is %F.  Target mesh field sum is %F."
            " Component %I : Source mesh field sum is %F.  Target mesh field sum is %F.");
  EXPECT_EQ(r.ints, (std::vector<int>{1, 3}));
  EXPECT_EQ(r.doubles, (std::vector<double>{10.0, 8.5, 4.0, 2.0}));
}

TEST(ZORMtkDiagnosticsData, ExpandedConservationMessageNumbersComponentsFromOne) {
  ZORMtkDiagnosticsData store;
  store.SetError(32);
  store.AddConservationRecord(0, 10.0, 8.5);
  cow_String message;
  cow_List<int> ints;
  cow_List<double> doubles;
  store.ProcessError(32, message, ints, doubles);
  EXPECT_EQ(ZORMtkErrorMessage::Expand(message.Str(), ints, doubles),
            "field conservation requirement is not met.  Component 1 : Source mesh field sum is "
            "1.00E+01.  Target mesh field sum is 8.50E+00.");
}

TEST(ZORMtkDiagnosticsData, CodeWithoutItsBitOrWithoutMessageGivesEmptyOutputs) {
  ZORMtkDiagnosticsData store;
  store.AddFailedPoint(5);  // data alone does not set the code
  store.SetError(1 | 4);
  for (const int code : {2, 1, 0, 3, 8}) {
    const Report r = Process(store, code);
    EXPECT_TRUE(r.message.empty()) << code;
    EXPECT_TRUE(r.ints.empty()) << code;
    EXPECT_TRUE(r.doubles.empty()) << code;
  }
}

TEST(ZORMtkDiagnosticsData, ClearErrorsEmptiesFlagsAndListsButKeepsSideAndCounts) {
  ZORMtkDiagnosticsData store = EveryCodeRecorded(0);
  store.ClearErrors();
  EXPECT_EQ(store.ErrorFlags(), 0);
  EXPECT_TRUE(store.FailedPoints().IsEmpty());
  EXPECT_TRUE(store.MisalignedPoints().IsEmpty());
  EXPECT_TRUE(store.FailedElements().IsEmpty());
  EXPECT_TRUE(store.FailedPointCoordinates().IsEmpty());
  EXPECT_TRUE(store.ConservedComponents().IsEmpty());
  EXPECT_TRUE(store.SourceSums().IsEmpty());
  EXPECT_TRUE(store.TargetSums().IsEmpty());
  EXPECT_EQ(store.ReportSide(), 0);
  EXPECT_EQ(store.FirstNodeCount(), 8);
  EXPECT_EQ(store.SecondNodeCount(), 6);
  cow_List<int> codes;
  EXPECT_EQ(store.ListErrors(codes), 0);
}
