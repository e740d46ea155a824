#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/impl/ZORSimStore.h"

// The failures a medium shows a saving database, injected on demand.
enum class ZORSimFault {
  kNone,
  kFailWrite,   // write number `at` fails with an I/O error and writes nothing
  kShortWrite,  // write number `at` keeps only the first half of its bytes and reports success
  kFailSync,    // the commit that would make the batch durable fails
  kDiskFull,    // writes fail with "disk full" once the batch holds more than `at` bytes
};

// A store that passes everything to another store and fails as armed: the tests' stand-in
// for a failing disk. Writes are PutMeta, Put and Erase calls, counted from 0 over the store's
// life. Reads are never failed.
class ZORSimFaultStore : public ZORSimStore {
 public:
  explicit ZORSimFaultStore(std::unique_ptr<ZORSimStore> inner) : inner_(std::move(inner)) {}
  void Arm(ZORSimFault fault, std::int64_t at) {
    fault_ = fault;
    at_ = at;
  }
  std::int64_t Writes() const { return writes_; }

  const std::string& Name() const override { return inner_->Name(); }
  std::string Meta(const std::string& key) override { return inner_->Meta(key); }
  void Scan(ZORSimTable table, const ZORSimRowVisitor& visit) override {
    inner_->Scan(table, visit);
  }
  bool ReadBlock(std::int64_t drawer, std::int64_t block, const ZORSimRowVisitor& visit) override {
    return inner_->ReadBlock(drawer, block, visit);
  }
  void Begin(bool fresh) override;
  void PutMeta(const std::string& key, const std::string& value) override;
  void Put(ZORSimTable table, const ZORSimRow& row) override;
  void Erase(ZORSimTable table, std::int64_t key) override;
  void Commit() override;
  void Abort() noexcept override { inner_->Abort(); }

 private:
  // Counts one write of `bytes` bytes; true when this write is to be cut short.
  bool Write(std::size_t bytes);
  std::unique_ptr<ZORSimStore> inner_;
  ZORSimFault fault_ = ZORSimFault::kNone;
  std::int64_t at_ = 0;
  std::int64_t writes_ = 0;
  std::int64_t batchBytes_ = 0;
};
