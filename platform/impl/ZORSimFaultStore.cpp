#include "platform/impl/ZORSimFaultStore.h"

#include "platform/ZORSimError.h"

void ZORSimFaultStore::Begin(bool fresh) {
  batchBytes_ = 0;
  inner_->Begin(fresh);
}

bool ZORSimFaultStore::Write(std::size_t bytes) {
  const std::int64_t index = writes_++;
  batchBytes_ += static_cast<std::int64_t>(bytes);
  if (fault_ == ZORSimFault::kFailWrite && index == at_)
    throw ZORSimError(Name() + ": cannot save: Input/output error", ZORSimErrorKind::kIO);
  if (fault_ == ZORSimFault::kDiskFull && batchBytes_ > at_)
    throw ZORSimError(Name() + ": cannot save: disk full", ZORSimErrorKind::kIO);
  return fault_ == ZORSimFault::kShortWrite && index == at_;
}

void ZORSimFaultStore::PutMeta(const std::string& key, const std::string& value) {
  const bool cut = Write(key.size() + value.size());
  inner_->PutMeta(key, cut ? value.substr(0, value.size() / 2) : value);
}

void ZORSimFaultStore::Put(ZORSimTable table, const ZORSimRow& row) {
  ZORSimRow written = row;
  if (Write(row.size)) written.size = row.size / 2;
  inner_->Put(table, written);
}

void ZORSimFaultStore::Erase(ZORSimTable table, std::int64_t key) {
  Write(0);
  inner_->Erase(table, key);
}

void ZORSimFaultStore::Commit() {
  if (fault_ == ZORSimFault::kFailSync)
    throw ZORSimError(Name() + ": cannot save: Input/output error", ZORSimErrorKind::kIO);
  inner_->Commit();
}
