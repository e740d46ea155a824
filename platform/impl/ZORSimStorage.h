#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/impl/ZORSimStore.h"

class ZORSimDatabase;
struct ZORSimValues;

// The file format of a database over any store (FORMAT.md): objects and associations are
// rows with a checksum, drawer values are checksummed blocks loaded on first use, and the
// meta table holds the format, its version and the row counts that let a deleted row be told
// from one never written. The first save writes everything in a fresh batch; later saves write
// only what changed. The model learns that a save happened only once the batch committed, so
// a failed save can be repeated.
class ZORSimStorage {
 public:
  // `saved`: the store already holds this database (it was opened from it).
  ZORSimStorage(std::unique_ptr<ZORSimStore> store, bool saved)
      : store_(std::move(store)), saved_(saved) {}

  // Opens the rows of a store as a new database object: metadata now, values on first use.
  static std::shared_ptr<ZORSimDatabase> Open(std::unique_ptr<ZORSimStore> store);
  // Returns the number of value and metadata bytes written.
  std::int64_t Save(ZORSimDatabase& database);
  std::shared_ptr<std::vector<unsigned char>> LoadBlock(std::int64_t drawer, std::int64_t block,
                                                        const ZORSimValues& values);
  // Copies a whole block, checked as LoadBlock checks it, into `bytes` (room for the block) and
  // keeps nothing: for a reader that takes the block in full and holds its own copy.
  void CopyBlock(std::int64_t drawer, std::int64_t block, const ZORSimValues& values,
                 unsigned char* bytes);
  ZORSimStore& Store() { return *store_; }

  static constexpr int kFormatVersion = 2;

 private:
  std::int64_t WriteObjects(ZORSimDatabase& database);
  std::int64_t WriteAssociations(ZORSimDatabase& database, std::vector<std::int64_t>& fileIds,
                                 std::int64_t& nextFileId);
  void WriteMeta(const ZORSimDatabase& database);
  // Reads a block's row, refuses it unless its size and checksum hold, and hands its bytes on.
  void VisitBlock(std::int64_t drawer, std::int64_t block, const ZORSimValues& values,
                  const std::function<void(const unsigned char* body)>& take);

  std::unique_ptr<ZORSimStore> store_;
  bool saved_;
};
