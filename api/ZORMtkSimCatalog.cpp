#include "api/ZORMtkSimCatalog.h"

#include "platform/ZORSimAPI.h"
#include "platform/ZORSimSchemaKeys.h"

namespace {

bool IsA(const ZORSrvPosition& record, int fragment, int index) {
  return ZORSimDataRecord(record).IsA(
      ZORSimSchema(record.Context()).TypeID(ZORSimKeys::Key(fragment, index)));
}

}  // namespace

ZORMtkSimCatalog::ZORMtkSimCatalog(ZORSrvPosition root) : root_(std::move(root)) {}

std::vector<ZORSimDynamicID> ZORMtkSimCatalog::Meshes() const {
  const ZORSrvPosition model(root_, root_.Follow(ZORSimKeys::kModel, 0));
  return model.FollowList(ZORSimKeys::kModelMesh, 1).Items();
}

std::vector<int> ZORMtkSimCatalog::IncrementsOf(const ZORSrvPosition& step, bool isStatic) const {
  if (isStatic) return {1};
  const ZORSimCSetID set =
      ZORSrvPosition(step, step.Follow(ZORSimKeys::kStepIncrements, 1)).GetCSet();
  std::vector<int> members(static_cast<std::size_t>(set.Size()));
  if (!members.empty()) ZORSimCSet(set).Members(members.data());
  return members;
}

std::vector<ZORMtkSimCatalog::Field> ZORMtkSimCatalog::FieldsOf(const ZORSrvPosition& step) const {
  std::vector<Field> fields;
  const ZORSimContext context = root_.Context();
  const ZORSimSchema schema(context);
  const ZORSrvIterator records = step.FollowList(ZORSimKeys::kStepFields, 0);
  for (const ZORSimDynamicID& record : records.Items()) {
    const ZORSrvPosition at(root_, record);
    if (!IsA(at, 11, 62)) continue;
    const ZORSimDynamicID symbol =
        ZORSimSelectionSet(ZORSimAssociation(context, ZORSimKeys::kFieldFieldType), 0, record)
            .Get(0);
    const int code = ZORSimSymbols(context).Get(symbol);
    fields.push_back(Field{record,
                           schema.SymbolName(schema.TypeID(ZORSimKeys::kFieldTypeSymbol), code),
                           IsA(at, 11, 11)});
  }
  return fields;
}

std::vector<ZORMtkSimCatalog::Step> ZORMtkSimCatalog::Steps() const {
  std::vector<Step> steps;
  const ZORSrvPosition history(root_, root_.Follow(ZORSimKeys::kHistory, 1));
  const int count = history.FollowList(ZORSimKeys::kHistorySteps, 1).Size();
  for (int s = 1; s <= count; ++s) {
    const ZORSrvPosition step(root_, history.FollowIntKey(ZORSimKeys::kHistorySteps, 1, s - 1));
    const bool isStatic = !IsA(step, 14, 18);
    steps.push_back(Step{s, isStatic, IncrementsOf(step, isStatic), FieldsOf(step)});
  }
  return steps;
}

std::vector<ZORMtkSimCatalog::Field> ZORMtkSimCatalog::FieldsNamed(int stepNumber,
                                                                   const std::string& name) const {
  std::vector<Field> named;
  for (const Step& step : Steps())
    if (step.number == stepNumber)
      for (const Field& field : step.fields)
        if (field.name == name) named.push_back(field);
  return named;
}
