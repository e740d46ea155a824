#pragma once

#include "platform/ZORContainers.h"
#include "platform/ZORExport.h"
#include "platform/ZORString.h"

// The diagnostics codes, one bit each, as MapField returns them ORed together.
enum DiagnosticCode_Tag : int {
  CodeUnsupportedMapTag = 1,
  CodePointNotPlaced = 2,     // node members of points no element accepted
  CodePointCoordinates = 4,   // coordinates of those points (and of integration points)
  CodeNodeCountsDiffer = 16,  // nearest-node mapping between meshes of different node counts
  CodeNotConserved = 32,      // a field sum not conserved
  CodeElementNotPlaced = 64,  // elements with an integration point no element accepted
  CodeMisaligned = 128,       // nearest partners beyond the alignment tolerance
};

// The error store of one mapper. Searches and transfers record problems here as bit codes with
// their data instead of failing; the host later lists the codes and fetches a message per code.
// It owns its lists; they only grow until ClearErrors.
class ZORMTK_EXPORT ZORMtkDiagnosticsData {
 public:
  ZORMtkDiagnosticsData();
  virtual ~ZORMtkDiagnosticsData();

  // Recorders. Each sets its code only through SetError; the appends record data alone.
  void SetError(int code);
  void AddFailedPoint(int node);
  void AddMisalignedPoint(int node);
  void AddFailedElement(int element);
  void AddFailedCoordinates(double x, double y, double z);
  void SetNodeCounts(int first, int second);
  void AddConservationRecord(int component, double sourceSum, double targetSum);
  // 1 when the recorded points are target points, anything else for source points; only the
  // wording of the messages depends on it.
  void SetReportSide(int side);

  // Empties the flags and every list; reportSide and the node counts stay.
  void ClearErrors();

  // Appends the codes whose bits are set, in report order (1, 2, 128, 64, 4, 32, 16), to codes,
  // which is not emptied first. Returns the size of codes afterwards.
  int ListErrors(cow_List<int>& codes) const;
  // Replaces message, ints and doubles with the message and data of code. A code that is not
  // recorded leaves all three empty. The message's placeholders are expanded by
  // ZORMtkErrorMessage::Expand.
  void ProcessError(const int& code, cow_String& message, cow_List<int>& ints,
                    cow_List<double>& doubles) const;

  int ErrorFlags() const { return errorFlags_; }
  const cow_List<int>& FailedPoints() const { return failedPoints_; }
  const cow_List<int>& MisalignedPoints() const { return misalignedPoints_; }
  const cow_List<int>& FailedElements() const { return failedElements_; }
  const cow_List<double>& FailedPointCoordinates() const { return failedPointCoordinates_; }
  int ReportSide() const { return reportSide_; }
  int FirstNodeCount() const { return nodeCounts_[0]; }
  int SecondNodeCount() const { return nodeCounts_[1]; }
  const cow_List<int>& ConservedComponents() const { return conservedComponents_; }
  const cow_List<double>& SourceSums() const { return sourceSums_; }
  const cow_List<double>& TargetSums() const { return targetSums_; }

 private:
  bool IsSet(int code) const { return (errorFlags_ & code) != 0; }
  bool ReportsTargets() const { return reportSide_ == 1; }
  void DescribeConservation(cow_String& message, cow_List<int>& ints,
                            cow_List<double>& doubles) const;

  int errorFlags_;
  cow_List<int> failedPoints_;
  cow_List<int> misalignedPoints_;
  cow_List<int> failedElements_;
  cow_List<double> failedPointCoordinates_;
  int reportSide_;
  int nodeCounts_[2];
  cow_List<int> conservedComponents_;
  cow_List<double> sourceSums_;
  cow_List<double> targetSums_;
};
