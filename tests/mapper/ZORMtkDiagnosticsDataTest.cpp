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
  for (const int code : {16, 4, 32, 64, 1, 128, 2}) store.SetError(code);
  store.AddFailedPoint(5);
  store.AddFailedPoint(9);
  store.AddMisalignedPoint(11);
  store.AddFailedElement(3);
  store.AddFailedCoordinates(1.0, 2.0, 3.0);
  store.SetNodeCounts(8, 6);
  store.AddConservationRecord(0, 10.0, 8.5);
  store.AddConservationRecord(2, 4.0, 2.0);
  return store;
}

}  // namespace

TEST(ZORMtkDiagnosticsData, ListsSetCodesInReportOrderAfterWhatTheListHeld) {
  cow_List<int> codes{99};
  EXPECT_EQ(EveryCodeRecorded(1).ListErrors(codes), 8);
  EXPECT_EQ(codes, (cow_List<int>{99, 1, 2, 128, 64, 4, 32, 16}));
  ZORMtkDiagnosticsData store;
  store.SetError(4);
  store.SetError(2);
  codes.Clear();
  EXPECT_EQ(store.ListErrors(codes), 2);
  EXPECT_EQ(codes, (cow_List<int>{2, 4}));
}

// Every message text on both sides, with the data that goes with it.
TEST(ZORMtkDiagnosticsData, EachCodeGivesItsTextAndDataOnEitherSide) {
  const std::string counts =
      "search is set to nearest node mapping, but the node count does not match between the "
      "source and target  meshes.  The respective node counts are: ";
  const std::string conservation =
      "field conservation requirement is not met. "
      " Component %I : Source mesh field sum is %F.  Target mesh field sum is %F."
      " Component %I : Source mesh field sum is %F.  Target mesh field sum is %F.";
  // SIDE stands for "target" or "source" in a text that names the side.
  struct Case {
    int code;
    std::string message;
    std::vector<int> ints;
    std::vector<double> doubles;
  };
  const Case cases[] = {
      {2, "search failed for the following SIDE points: ", {5, 9}, {}},
      {128, "alignment beyond tolerance is detected for the following SIDE points: ", {11}, {}},
      {64, "search failed for the following SIDE elements: ", {3}, {}},
      {4, "search failed for the following SIDE-point coordinates: ", {}, {1.0, 2.0, 3.0}},
      {16, counts, {8, 6}, {}},
      {32, conservation, {1, 3}, {10.0, 8.5, 4.0, 2.0}},
      {1, "", {}, {}},
  };
  for (const int side : {0, 1})
    for (Case c : cases) {
      SCOPED_TRACE(std::to_string(c.code) + (side == 1 ? " target" : " source"));
      const std::size_t at = c.message.find("SIDE");
      if (at != std::string::npos) c.message.replace(at, 4, side == 1 ? "target" : "source");
      // The source side's element text has always had a blank before its colon.
      if (side == 0 && c.code == 64) c.message.replace(c.message.size() - 2, 1, " :");
      const Report r = Process(EveryCodeRecorded(side), c.code);
      EXPECT_EQ(r.message, c.message);
      EXPECT_EQ(r.ints, c.ints);
      EXPECT_EQ(r.doubles, c.doubles);
    }
}
TEST(ZORMtkDiagnosticsData, CodeWithoutItsBitOrWithoutMessageGivesEmptyOutputs) {
  ZORMtkDiagnosticsData store;
  store.AddFailedPoint(5);  // data alone does not set the code
  store.SetError(1 | 4);
  for (const int code : {2, 1, 0, 3, 8}) {
    const Report r = Process(store, code);
    EXPECT_TRUE(r.message.empty() && r.ints.empty() && r.doubles.empty()) << code;
  }
}

TEST(ZORMtkDiagnosticsData, ClearErrorsEmptiesFlagsAndListsButKeepsSideAndCounts) {
  ZORMtkDiagnosticsData store = EveryCodeRecorded(0);
  store.ClearErrors();
  EXPECT_EQ(store.ErrorFlags(), 0);
  for (const cow_List<int>* list : {&store.FailedPoints(), &store.MisalignedPoints(),
                                    &store.FailedElements(), &store.ConservedComponents()})
    EXPECT_TRUE(list->IsEmpty());
  for (const cow_List<double>* list :
       {&store.FailedPointCoordinates(), &store.SourceSums(), &store.TargetSums()})
    EXPECT_TRUE(list->IsEmpty());
  EXPECT_EQ(store.ReportSide(), 0);
  EXPECT_EQ(store.FirstNodeCount(), 8);
  EXPECT_EQ(store.SecondNodeCount(), 6);
}
