#include "platform/ZORSimTransaction.h"

#include "platform/ZORSimError.h"
#include "platform/impl/ZORSimDatabase.h"

ZORSimTransaction::ZORSimTransaction(ZORSimContext context) : context_(std::move(context)) {
  context_.Database().BeginTransaction();
  open_ = true;
}

ZORSimTransaction::~ZORSimTransaction() {
  if (open_) context_.Database().RollbackTransaction();
}

void ZORSimTransaction::Commit() {
  if (!open_) throw ZORSimError("Commit: the transaction is not open");
  context_.Database().CommitTransaction();
  open_ = false;
}
