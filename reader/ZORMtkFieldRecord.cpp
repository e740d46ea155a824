#include "reader/impl/ZORMtkFieldRecord.h"

#include "platform/ZORSimSchemaKeys.h"

using namespace ZORSimKeys;

ZORSimDynamicID ZORMtkFieldRecord::First(int association, int side,
                                         const ZORSimDynamicID& from) const {
  return ZORSimSelectionSet(ZORSimAssociation(record_.Context(), association), side, from).Get(0);
}

std::string ZORMtkFieldRecord::Name() const {
  const ZORSimContext context = record_.Context();
  const int code = ZORSimSymbols(context).Get(First(kFieldFieldType, 0, record_.ID()));
  const ZORSimSchema schema(context);
  return schema.SymbolName(schema.TypeID(kFieldTypeSymbol), code);
}

bool ZORMtkFieldRecord::IsField() const {
  return ZORSimDataRecord(record_).IsA(ZORSimSchema(record_.Context()).TypeID(kFieldRecord));
}

std::vector<ZORMtkFieldDrawer> ZORMtkFieldRecord::Drawers(
    const ZORMtkFieldCollections& collections) const {
  std::vector<ZORMtkFieldDrawer> drawers;
  const ZORSimContext context = record_.Context();
  const ZORSimSelectionSet outputs(ZORSimAssociation(context, kFieldOutputs), 0, record_.ID());
  for (int o = 0; o < outputs.Size(); ++o) {
    const ZORSimSelectionSet values(ZORSimAssociation(context, kOutputValues), 1, outputs.Get(o));
    for (int v = 0; v < values.Size(); ++v) AppendDrawer(values.Get(v), collections, drawers);
  }
  return drawers;
}

void ZORMtkFieldRecord::AppendDrawer(const ZORSimDynamicID& values,
                                     const ZORMtkFieldCollections& collections,
                                     std::vector<ZORMtkFieldDrawer>& drawers) const {
  const ZORSimDynamicID drawer = First(kValuesDrawer, 1, values);
  if (drawer.IsEmpty()) return;
  const ZORSimDistributionID distribution = ZORSrvPosition(record_, drawer).GetDistribution();
  for (ZORSimDrawerDescriptor& listed :
       ZORSimDistribution(record_.Context(), distribution).QueryDrawers())
    if (listed.id.id == drawer) {
      drawers.emplace_back(distribution, std::move(listed), collections);
      return;
    }
}
