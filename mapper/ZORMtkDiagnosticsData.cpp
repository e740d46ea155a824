#include "mapper/ZORMtkDiagnosticsData.h"

#include <string>

namespace {

// Report order of the codes: what stops a mapping first, the data of single points after it.
constexpr DiagnosticCode_Tag kReportOrder[] = {
    CodeUnsupportedMapTag, CodePointNotPlaced, CodeMisaligned,      CodeElementNotPlaced,
    CodePointCoordinates,  CodeNotConserved,   CodeNodeCountsDiffer};

}  // namespace

ZORMtkDiagnosticsData::ZORMtkDiagnosticsData()
    : errorFlags_(0), reportSide_(1), nodeCounts_{0, 0} {}

ZORMtkDiagnosticsData::~ZORMtkDiagnosticsData() = default;

void ZORMtkDiagnosticsData::SetError(int code) { errorFlags_ |= code; }

void ZORMtkDiagnosticsData::AddFailedPoint(int node) { failedPoints_.Append(node); }

void ZORMtkDiagnosticsData::AddMisalignedPoint(int node) { misalignedPoints_.Append(node); }

void ZORMtkDiagnosticsData::AddFailedElement(int element) { failedElements_.Append(element); }

void ZORMtkDiagnosticsData::AddFailedCoordinates(double x, double y, double z) {
  failedPointCoordinates_.Append(x);
  failedPointCoordinates_.Append(y);
  failedPointCoordinates_.Append(z);
}

void ZORMtkDiagnosticsData::SetNodeCounts(int first, int second) {
  nodeCounts_[0] = first;
  nodeCounts_[1] = second;
}

void ZORMtkDiagnosticsData::AddConservationRecord(int component, double sourceSum,
                                                  double targetSum) {
  conservedComponents_.Append(component);
  sourceSums_.Append(sourceSum);
  targetSums_.Append(targetSum);
}

void ZORMtkDiagnosticsData::SetReportSide(int side) { reportSide_ = side; }

void ZORMtkDiagnosticsData::ClearErrors() {
  errorFlags_ = 0;
  failedPoints_.Clear();
  misalignedPoints_.Clear();
  failedElements_.Clear();
  failedPointCoordinates_.Clear();
  conservedComponents_.Clear();
  sourceSums_.Clear();
  targetSums_.Clear();
}

int ZORMtkDiagnosticsData::ListErrors(cow_List<int>& codes) const {
  for (const int code : kReportOrder) {
    if (IsSet(code)) codes.Append(code);
  }
  return codes.Size();
}

void ZORMtkDiagnosticsData::ProcessError(const int& code, cow_String& message, cow_List<int>& ints,
                                         cow_List<double>& doubles) const {
  message = cow_String();
  ints.Clear();
  doubles.Clear();
  if (!IsSet(code)) return;
  const bool targets = ReportsTargets();
  switch (code) {
    case CodePointNotPlaced:
      message = targets ? "search failed for the following target points: "
                        : "search failed for the following source points: ";
      ints = failedPoints_;
      break;
    case CodeMisaligned:
      message = targets
                    ? "alignment beyond tolerance is detected for the following target points: "
                    : "alignment beyond tolerance is detected for the following source points: ";
      ints = misalignedPoints_;
      break;
    case CodeElementNotPlaced:
      message = targets ? "search failed for the following target elements: "
                        : "search failed for the following source elements : ";
      ints = failedElements_;
      break;
    case CodePointCoordinates:
      message = targets ? "search failed for the following target-point coordinates: "
                        : "search failed for the following source-point coordinates: ";
      doubles = failedPointCoordinates_;
      break;
    case CodeNodeCountsDiffer:
      message =
          "search is set to nearest node mapping, but the node count does not match between the "
          "source and target  meshes.  The respective node counts are: ";
      ints.Append(nodeCounts_[0]);
      ints.Append(nodeCounts_[1]);
      break;
    case CodeNotConserved:
      DescribeConservation(message, ints, doubles);
      break;
    default:
      break;
  }
}

// One placeholder sentence per record, so the host's expansion pairs each component number with
// its own two sums.
void ZORMtkDiagnosticsData::DescribeConservation(cow_String& message, cow_List<int>& ints,
                                                 cow_List<double>& doubles) const {
  std::string text = "field conservation requirement is not met. ";
  for (int record = 0; record < conservedComponents_.Size(); ++record) {
    text += " Component %I : ";
    ints.Append(conservedComponents_[record] + 1);
    text += "Source mesh field sum is %F.  Target mesh field sum is %F.";
    doubles.Append(sourceSums_[record]);
    doubles.Append(targetSums_[record]);
  }
  message = text;
}
