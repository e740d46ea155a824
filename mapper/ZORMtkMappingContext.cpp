#include "mapper/impl/ZORMtkMappingContext.h"

#include "reader/ZORMtkSimReader.h"

ZORMtkSimReader* ZORMtkMappingContext::FindReader(const ZORSimDynamicID& meshID) const {
  for (ZORMtkSimReader* reader : readers) {
    if (reader != nullptr && reader->meshID == meshID) return reader;
  }
  return nullptr;
}

void ZORMtkMappingContext::Report(const ZORSearchMisses& misses) {
  if (misses.nodeCountsDiffer) {
    diagnostics.SetNodeCounts(misses.sourceNodeCount, misses.targetNodeCount);
    diagnostics.SetError(CodeNodeCountsDiffer);
  }
  for (const ZORSearchMiss& miss : misses.misses) {
    switch (miss.kind) {
      case ZORSearchMiss::Kind::NodeNotPlaced:
        diagnostics.AddFailedPoint(miss.member);
        diagnostics.AddFailedCoordinates(miss.coords[0], miss.coords[1], miss.coords[2]);
        diagnostics.SetError(CodePointNotPlaced);
        diagnostics.SetError(CodePointCoordinates);
        break;
      case ZORSearchMiss::Kind::PointNotPlaced:
        diagnostics.AddFailedElement(miss.member);
        diagnostics.AddFailedCoordinates(miss.coords[0], miss.coords[1], miss.coords[2]);
        diagnostics.SetError(CodeElementNotPlaced);
        diagnostics.SetError(CodePointCoordinates);
        break;
      case ZORSearchMiss::Kind::Misaligned:
        diagnostics.AddMisalignedPoint(miss.member);
        diagnostics.SetError(CodeMisaligned);
        break;
    }
  }
}
