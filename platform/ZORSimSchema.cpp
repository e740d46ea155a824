#include "platform/ZORSimSchema.h"

#include "platform/ZORSimError.h"
#include "platform/impl/ZORSimDatabase.h"

ZORSimTypeID ZORSimSchema::TypeID(int typeIndex) const { return ZORSimTypeID(typeIndex); }

bool ZORSimSchema::IsA(ZORSimDynamicID record, ZORSimTypeID type) const {
  ZORSimDatabase& db = context_.Database();
  if (record.IsEmpty()) return false;
  const auto& object = db.Object(db.ResolveAny(record, "IsA"));
  return object.kind == ZORSimObjectKind::kRecord && db.Schema().IsA(object.type, type.index);
}

std::string ZORSimSchema::SymbolName(ZORSimTypeID type, int code) const {
  const auto& symbols = context_.Database().SortedSymbols(type.index);
  return code >= 0 && code < static_cast<int>(symbols.size())
             ? symbols[static_cast<std::size_t>(code)]
             : "";
}
