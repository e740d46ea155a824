#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The three tables of rows a database is kept in; see FORMAT.md.
enum class ZORSimTable { kObjects, kAssociations, kBlocks };

// One row: its key (object, association or drawer number; for blocks also the block number),
// its body and the body's checksum.
struct ZORSimRow {
  std::int64_t key = 0;
  std::int64_t block = 0;
  const unsigned char* body = nullptr;
  std::size_t size = 0;
  std::uint32_t crc = 0;
};

using ZORSimRowVisitor = std::function<void(const ZORSimRow&)>;

// Where the rows of a database live: the seam between the file format (ZORSimStorage) and the
// medium. Reads see the state of the last committed batch as it was when the store was opened
// or last committed, whatever another process saves meanwhile. Writes are batches: Begin,
// Put/Erase, Commit; a batch is all or nothing, and Commit returns only when it is durable. A
// fresh batch replaces the whole content, and until it commits the old content stays intact.
// Every failure throws ZORSimError naming the store. One thread at a time.
class ZORSimStore {
 public:
  virtual ~ZORSimStore() = default;
  // The name errors give: the file name.
  virtual const std::string& Name() const = 0;
  // A value of the meta table, empty when it is absent.
  virtual std::string Meta(const std::string& key) = 0;
  // Every row of a table in ascending key order; block rows come without bodies.
  virtual void Scan(ZORSimTable table, const ZORSimRowVisitor& visit) = 0;
  // One block row; false when it is absent.
  virtual bool ReadBlock(std::int64_t drawer, std::int64_t block,
                         const ZORSimRowVisitor& visit) = 0;

  virtual void Begin(bool fresh) = 0;
  virtual void PutMeta(const std::string& key, const std::string& value) = 0;
  virtual void Put(ZORSimTable table, const ZORSimRow& row) = 0;
  virtual void Erase(ZORSimTable table, std::int64_t key) = 0;
  virtual void Commit() = 0;
  // Drops the open batch; never throws, so it can run while an exception unwinds.
  virtual void Abort() noexcept = 0;
};
