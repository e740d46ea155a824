#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/impl/ZOROpenDatabaseFiles.h"
#include "platform/impl/ZORSimStore.h"

struct sqlite3;
class ZORSimSqlStatement;

// The rows of a database in an SQLite file in WAL mode (FORMAT.md). A fresh batch writes a
// complete file under a side name holding this process's id and renames it over the file, so
// an existing file survives until then; side files of processes that no longer run are removed
// first. Other batches are one SQLite transaction with synchronous=FULL. A file the process may
// not write, or in a folder it may not write, is opened read-only: no side files, no writes.
class ZORSimSqliteStore : public ZORSimStore {
 public:
  // A store for a file that does not exist yet (or is to be replaced): nothing is touched
  // before the first fresh batch commits.
  static std::unique_ptr<ZORSimSqliteStore> ForNewFile(const std::string& fileName);
  // Opens an existing file and takes the read snapshot.
  static std::unique_ptr<ZORSimSqliteStore> OpenFile(const std::string& fileName);
  ~ZORSimSqliteStore() override;
  ZORSimSqliteStore(const ZORSimSqliteStore&) = delete;
  ZORSimSqliteStore& operator=(const ZORSimSqliteStore&) = delete;

  const std::string& Name() const override { return fileName_; }
  std::string Meta(const std::string& key) override;
  void Scan(ZORSimTable table, const ZORSimRowVisitor& visit) override;
  bool ReadBlock(std::int64_t drawer, std::int64_t block, const ZORSimRowVisitor& visit) override;
  void Begin(bool fresh) override;
  void PutMeta(const std::string& key, const std::string& value) override;
  void Put(ZORSimTable table, const ZORSimRow& row) override;
  void Erase(ZORSimTable table, std::int64_t key) override;
  void Commit() override;
  void Abort() noexcept override;
  bool IsReadOnly() const { return readOnly_; }

 private:
  explicit ZORSimSqliteStore(std::string fileName);
  void Connect(bool readOnly);
  void Disconnect() noexcept;
  void BeginSnapshot();
  void EndSnapshot();
  void CheckFreshTarget() const;
  void BeginFresh();
  void CommitFresh();
  ZORSimSqlStatement& Cached(int slot, const char* sql);
  void DropStatements() noexcept;
  void ParkBlockCursor();

  // The statement slot of the block cursor.
  static constexpr int kBlockCursorSlot = 10;
  // Where the block cursor stands: the drawer and block of the row it last read, or no drawer
  // (-1) when it has to seek.
  struct BlockCursor {
    std::int64_t drawer = -1;
    std::int64_t block = -1;
  };

  std::string fileName_;
  std::string sideName_;
  sqlite3* db_ = nullptr;
  sqlite3* side_ = nullptr;
  bool readOnly_ = false;
  bool snapshotOpen_ = false;
  bool batchOpen_ = false;
  // The file db_ has open, as the process-wide list of open database files holds it.
  ZOROpenDatabaseFiles::Key heldFile_{};
  bool holdsFile_ = false;
  std::map<int, std::unique_ptr<ZORSimSqlStatement>> statements_;
  BlockCursor blockCursor_;
};
