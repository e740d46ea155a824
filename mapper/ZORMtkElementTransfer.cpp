#include "mapper/ZORMtkElementTransfer.h"

#include <vector>

#include "mapper/ZORMtkMapper.h"
#include "mapper/ZORMtkSourceElementValues.h"
#include "mapper/ZORMtkTargetClassWalk.h"
#include "mapper/ZORMtkTransferFrame.h"
#include "mapper/ZORMtkWeightLinks.h"
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

void ZORMtkElementTransfer::NodeToIntPt(ZORMtkMapper& mapper, const ZORMtkMapSpecs& request,
                                        int sourceStep, int sourceIncrement, int targetStep,
                                        int targetIncrement) {
  const ZORMtkTransferFrame frame(mapper, request, sourceStep, sourceIncrement, targetStep,
                                  targetIncrement);
  if (!frame.IsComplete()) return;
  const ZORMtkElementWeights* weights = ZORMtkWeightLinks::ElementWeights(mapper, request);
  // The host's input buffer replaces the read, but the component count stays the field's.
  const int m = frame.SourceComponents();
  if (m <= 0) return;
  std::vector<double> read;
  const double* values = mapper.InputValues();
  if (values == nullptr) {
    read = frame.ReadNodes(frame.Source(), 0, m);
    values = read.data();
  }
  ZORMtkSourceElementValues source =
      ZORMtkSourceElementValues::FromNodes(frame.Source(), values, m);
  WriteEveryTargetClass(frame, weights, m, source);
}

void ZORMtkElementTransfer::IntPtToIntPt(ZORMtkMapper& mapper, const ZORMtkMapSpecs& request,
                                         int sourceStep, int sourceIncrement, int targetStep,
                                         int targetIncrement) {
  const ZORMtkTransferFrame frame(mapper, request, sourceStep, sourceIncrement, targetStep,
                                  targetIncrement);
  if (!frame.IsComplete()) return;
  const ZORMtkElementWeights* weights = ZORMtkWeightLinks::ElementWeights(mapper, request);
  const int m = frame.SourceComponents();
  if (m <= 0) return;
  ZORMtkSourceElementValues source = ZORMtkSourceElementValues::FromPoints(frame, m);
  WriteEveryTargetClass(frame, weights, m, source);
}
