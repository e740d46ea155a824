#include "mapper/impl/ZORMtkElementTransfer.h"

#include <vector>

#include "mapper/impl/ZORMtkMappingContext.h"
#include "mapper/impl/ZORMtkSourceElementValues.h"
#include "mapper/impl/ZORMtkTargetClassWalk.h"
#include "mapper/impl/ZORMtkTransferFrame.h"
#include "mapper/impl/ZORMtkWeightLinks.h"
#include "reader/ZORMtkSimReader.h"

namespace {

// Walks every target class and writes its point values; classes without an integration-point
// table are skipped.
void WriteEveryTargetClass(const ZORMtkTransferFrame& frame, const ZORMtkElementWeights* weights,
                           int components, ZORMtkSourceElementValues& source) {
  cow_List<cow_String> names;
  frame.Target().GetElementClassNames(names);
  for (const cow_String& name : names) {
    ZORMtkTargetClassWalk walk(name);
    if (!walk.Fill(frame, weights, components, source)) continue;
    frame.WriteClass(walk.Points(), components, walk.Members(), walk.Values().data());
  }
}

}  // namespace

void ZORMtkElementTransfer::NodeToIntPt(const ZORMtkTransferFrame& frame) {
  if (!frame.IsComplete()) return;
  const ZORMtkElementWeights* weights =
      ZORMtkWeightLinks::ElementWeights(frame.Context(), frame.Request());
  // The host's input buffer replaces the read, but the component count stays the field's.
  const int m = frame.SourceComponents();
  if (m <= 0) return;
  std::vector<double> read;
  const double* values = frame.Buffers().input;
  if (values == nullptr) {
    read = frame.ReadNodes(frame.Source(), 0, m);
    values = read.data();
  }
  ZORMtkSourceElementValues source =
      ZORMtkSourceElementValues::FromNodes(frame.Source(), values, m);
  WriteEveryTargetClass(frame, weights, m, source);
}

void ZORMtkElementTransfer::IntPtToIntPt(const ZORMtkTransferFrame& frame) {
  if (!frame.IsComplete()) return;
  const ZORMtkElementWeights* weights =
      ZORMtkWeightLinks::ElementWeights(frame.Context(), frame.Request());
  const int m = frame.SourceComponents();
  if (m <= 0) return;
  ZORMtkSourceElementValues source = ZORMtkSourceElementValues::FromPoints(frame, m);
  WriteEveryTargetClass(frame, weights, m, source);
}
