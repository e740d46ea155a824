#pragma once

#include "platform/ZORSimContext.h"

// Numbering of symbols: code = byte-sorted position of a symbol among the records of one type.
class ZORMTK_EXPORT ZORSimSymbols {
 public:
  explicit ZORSimSymbols(ZORSimContext context) : context_(std::move(context)) {}
  // The record of `collection` whose symbol is number `code` of `type` (empty when none).
  ZORSimDynamicID Get(ZORSimTypeID type, int code, ZORSimCollectionID collection) const;
  // The number of a record's symbol within its type, or -1.
  int Get(ZORSimDynamicID record) const;

 private:
  ZORSimContext context_;
};
