#pragma once

#include <string>

#include "platform/ZORSimContext.h"

// The schema snapshot of a database: type look-up and the subtype relation.
class ZORMTK_EXPORT ZORSimSchema {
 public:
  explicit ZORSimSchema(ZORSimContext context) : context_(std::move(context)) {}
  ZORSimTypeID TypeID(int typeIndex) const;
  // True when the record's type is type or one of its subtypes.
  bool IsA(ZORSimDynamicID record, ZORSimTypeID type) const;
  // Symbol name of the symbol numbered `code` among the symbols of records of this type, numbered
  // by byte-sorted position.
  std::string SymbolName(ZORSimTypeID type, int code) const;

 private:
  ZORSimContext context_;
};
