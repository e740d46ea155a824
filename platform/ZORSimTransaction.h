#pragma once

#include "platform/ZORSimContext.h"

// All changes made while it is open and uncommitted are undone when it is destroyed (also while
// an exception unwinds). One transaction per database at a time; reading needs none.
class ZORMTK_EXPORT ZORSimTransaction {
 public:
  explicit ZORSimTransaction(ZORSimContext context);
  ~ZORSimTransaction();
  ZORSimTransaction(const ZORSimTransaction&) = delete;
  ZORSimTransaction& operator=(const ZORSimTransaction&) = delete;
  void Commit();

 private:
  ZORSimContext context_;
  bool open_ = false;
};
