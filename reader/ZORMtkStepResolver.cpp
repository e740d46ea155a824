#include "reader/impl/ZORMtkStepResolver.h"

#include <algorithm>

#include "platform/ZORSimSchemaKeys.h"

using namespace ZORSimKeys;

ZORMtkStepResolver::ZORMtkStepResolver(const ZORSrvPosition& root, int stepNo, int incrementNo,
                                       bool checkIncrement)
    : status_(Resolve(root, stepNo, incrementNo, checkIncrement)) {}

ZORMtkStepStatus ZORMtkStepResolver::Resolve(const ZORSrvPosition& root, int stepNo,
                                             int incrementNo, bool checkIncrement) {
  const ZORSrvPosition history(root, root.Follow(kHistory, 1));
  // Steps below 1 would ask the database for a negative key; they are refused like steps
  // beyond the last one so that every caller sees one failure for "no such step".
  if (stepNo < 1 || stepNo > history.FollowList(kHistorySteps, 1).Size())
    return ZORMtkStepStatus::kNoSuchStep;
  step_ = ZORSrvPosition(root, history.FollowIntKey(kHistorySteps, 1, stepNo - 1));
  if (step_.ID().IsEmpty()) return ZORMtkStepStatus::kNoSuchStep;
  if (!checkIncrement) return ZORMtkStepStatus::kFound;

  const ZORSimDataRecord record(step_);
  const ZORSimSchema schema(root.Context());
  if (record.IsA(schema.TypeID(kStaticStep)) && incrementNo != 1)
    return ZORMtkStepStatus::kStaticIncrement;
  if (!record.IsA(schema.TypeID(kIncrementBearingStep))) return ZORMtkStepStatus::kFound;

  const ZORSimCSetID increments = ZORSrvPosition(root, step_.Follow(kStepIncrements, 1)).GetCSet();
  if (!ZORSimCSet(increments).IsMember(incrementNo)) return ZORMtkStepStatus::kNoSuchIncrement;
  increment_ = ZORSimCollection(root.Context(), increments.collection)
                   .CreateTempCSetStrided(incrementNo, 1, 1, 1);
  return ZORMtkStepStatus::kFound;
}

std::vector<ZORSimDynamicID> ZORMtkStepResolver::FieldRecords() const {
  return step_.FollowList(kStepFields, 0).Items();
}

bool ZORMtkStepResolver::HoldsField(const ZORSimDynamicID& field) const {
  const std::vector<ZORSimDynamicID> fields = FieldRecords();
  return std::find(fields.begin(), fields.end(), field) != fields.end();
}
