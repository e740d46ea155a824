#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/ZORSimAPI.h"
#include "reader/impl/ZORMtkFieldDrawer.h"

// One field record of a source database: its name, whether it is a field at all, and the chain
// of drawers that hold its values (field output records, then their field values records, each
// naming a drawer). Holds only the record's position.
class ZORMtkFieldRecord {
 public:
  explicit ZORMtkFieldRecord(ZORSrvPosition record) : record_(std::move(record)) {}

  // The symbol name of the field's field-type symbol; empty when it has none.
  std::string Name() const;
  bool IsField() const;
  // The drawers in chain order; values records whose drawer is not listed by its distribution
  // are passed over.
  std::vector<ZORMtkFieldDrawer> Drawers(const ZORMtkFieldCollections& collections) const;

 private:
  ZORSimDynamicID First(int association, int side, const ZORSimDynamicID& from) const;
  void AppendDrawer(const ZORSimDynamicID& values, const ZORMtkFieldCollections& collections,
                    std::vector<ZORMtkFieldDrawer>& drawers) const;

  ZORSrvPosition record_;
};
