#include "DatabaseCatalog.h"

namespace {

int Key(int fragment, int index) { return eds_InputFragmentTypeIndex(fragment, index); }

bool IsA(const ZORSrvPosition& record, int fragment, int index) {
  return ZORSimDataRecord(record).IsA(ZORSimSchema(record.Context()).TypeID(Key(fragment, index)));
}

}  // namespace

DatabaseCatalog::DatabaseCatalog(ZORSrvPosition root) : root_(std::move(root)) {}

std::vector<ZORSimDynamicID> DatabaseCatalog::Meshes() const {
  const ZORSrvPosition model(root_, root_.Follow(Key(22, 5), 0));
  return model.FollowList(Key(19, 1), 1).Items();
}

std::vector<int> DatabaseCatalog::IncrementsOf(const ZORSrvPosition& step, bool isStatic) const {
  if (isStatic) return {1};
  const ZORSimCSetID set = ZORSrvPosition(step, step.Follow(Key(6, 38), 1)).GetCSet();
  std::vector<int> members(static_cast<std::size_t>(set.Size()));
  if (!members.empty()) ZORSimCSet(set).Members(members.data());
  return members;
}

std::vector<DatabaseCatalog::Field> DatabaseCatalog::FieldsOf(const ZORSrvPosition& step) const {
  std::vector<Field> fields;
  const ZORSimContext context = root_.Context();
  const ZORSimSchema schema(context);
  const ZORSrvIterator records = step.FollowList(Key(10, 31), 0);
  for (const ZORSimDynamicID& record : records.Items()) {
    const ZORSrvPosition at(root_, record);
    if (!IsA(at, 11, 62)) continue;
    const ZORSimDynamicID symbol =
        ZORSimSelectionSet(ZORSimAssociation(context, Key(11, 18)), 0, record).Get(0);
    const int code = ZORSimSymbols(context).Get(symbol);
    fields.push_back(
        Field{record, schema.SymbolName(schema.TypeID(Key(11, 37)), code), IsA(at, 11, 11)});
  }
  return fields;
}

std::vector<DatabaseCatalog::Step> DatabaseCatalog::Steps() const {
  std::vector<Step> steps;
  const ZORSrvPosition history(root_, root_.Follow(Key(22, 11), 1));
  const int count = history.FollowList(Key(14, 17), 1).Size();
  for (int s = 1; s <= count; ++s) {
    const ZORSrvPosition step(root_, history.FollowIntKey(Key(14, 17), 1, s - 1));
    const bool isStatic = !IsA(step, 14, 18);
    steps.push_back(Step{s, isStatic, IncrementsOf(step, isStatic), FieldsOf(step)});
  }
  return steps;
}

std::vector<DatabaseCatalog::Field> DatabaseCatalog::FieldsNamed(int stepNumber,
                                                                 const std::string& name) const {
  std::vector<Field> named;
  for (const Step& step : Steps())
    if (step.number == stepNumber)
      for (const Field& field : step.fields)
        if (field.name == name) named.push_back(field);
  return named;
}
