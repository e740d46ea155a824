#include "FieldArrayNames.h"

#include "platform/ZORSimSchemaKeys.h"

void FieldArrayNames::Set(const ZORSrvPosition& root, const ZORSimDynamicID& field,
                          const std::string& name) {
  if (name.empty()) return;
  const ZORSrvPosition at(root, field);
  const ZORSimDynamicID output = at.Follow(ZORSimKeys::kFieldOutputs, 1);
  if (output.IsEmpty()) return;
  ZORSimTransaction transaction(root.Context());
  at.Remove(ZORSimKeys::kFieldOutputs, 1, output);
  at.Associate(ZORSimKeys::kFieldOutputs, 1, output, name);
  transaction.Commit();
}

std::string FieldArrayNames::Get(const ZORSrvPosition& root, const ZORSimDynamicID& field) {
  const ZORSrvPosition at(root, field);
  const ZORSimDynamicID output = at.Follow(ZORSimKeys::kFieldOutputs, 1);
  return output.IsEmpty() ? "" : at.StringKeyTo(ZORSimKeys::kFieldOutputs, 1, output);
}
