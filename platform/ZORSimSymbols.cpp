#include "platform/ZORSimSymbols.h"

#include <algorithm>

#include "platform/ZORSimError.h"
#include "platform/impl/ZORSimDatabase.h"

ZORSimDynamicID ZORSimSymbols::Get(ZORSimTypeID type, int code,
                                   ZORSimCollectionID collection) const {
  ZORSimDatabase& db = context_.Database();
  const auto& symbols = db.SortedSymbols(type.index);
  if (code < 0 || code >= static_cast<int>(symbols.size())) return {};
  const std::string& name = symbols[static_cast<std::size_t>(code)];
  const auto& c =
      db.Object(db.Resolve(collection.id, ZORSimObjectKind::kCollection, "ZORSimSymbols::Get"));
  for (std::int64_t record : c.memberRecords)
    if (db.Object(record).type == type.index && db.Object(record).symbol == name)
      return db.Handle(record);
  return {};
}

int ZORSimSymbols::Get(ZORSimDynamicID record) const {
  ZORSimDatabase& db = context_.Database();
  if (record.IsEmpty()) return -1;
  const auto& object = db.Object(db.ResolveAny(record, "ZORSimSymbols::Get"));
  const auto& symbols = db.SortedSymbols(object.type);
  auto it = std::lower_bound(symbols.begin(), symbols.end(), object.symbol);
  return it != symbols.end() && *it == object.symbol && !object.symbol.empty()
             ? static_cast<int>(it - symbols.begin())
             : -1;
}
