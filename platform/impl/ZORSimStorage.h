#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/impl/ZORSimDatabase.h"

struct sqlite3;

// The file behind a database: an SQLite file with this project's own tables. Objects and
// associations are rows with a checksum; drawer values are checksummed blocks loaded on first
// use. The first save of a new database writes a complete file beside the target and renames
// it into place, so an existing file survives until then; later saves write only what changed,
// in one SQLite transaction, so a crash leaves the old or the new state.
class ZORSimStorage {
 public:
  ~ZORSimStorage();
  ZORSimStorage(const ZORSimStorage&) = delete;
  ZORSimStorage& operator=(const ZORSimStorage&) = delete;

  static std::unique_ptr<ZORSimStorage> CreateFile(const std::string& fileName,
                                                   ZORSimDatabase& database,
                                                   std::int64_t& bytesWritten);
  // Opens a file and loads its metadata into a new database object.
  static std::shared_ptr<ZORSimDatabase> OpenFile(const std::string& fileName);

  // Returns the number of value and metadata bytes written.
  std::int64_t SaveChanges(ZORSimDatabase& database);
  std::shared_ptr<std::vector<unsigned char>> LoadBlock(std::int64_t drawer, std::int64_t block,
                                                        const ZORSimValues& values);

  static constexpr int kFormatVersion = 1;

 private:
  ZORSimStorage(std::string fileName, sqlite3* connection);
  void BeginSnapshot();
  void EndSnapshot();

  std::string fileName_;
  sqlite3* db_;
  bool snapshotOpen_ = false;
};
