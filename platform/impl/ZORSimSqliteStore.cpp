#include "platform/impl/ZORSimSqliteStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/ZORSimError.h"
#include "platform/impl/ZOROpenDatabaseFiles.h"

namespace {

const char* const kSideInfix = ".saving-";

bool IsDiskFull(int code, int systemErrno) {
  return (code & 0xff) == SQLITE_FULL || systemErrno == ENOSPC || systemErrno == EFBIG ||
         systemErrno == EDQUOT;
}

ZORSimErrorKind KindOf(int code, int systemErrno) {
  if (systemErrno == EACCES || systemErrno == EPERM || systemErrno == EROFS)
    return ZORSimErrorKind::kPermission;
  switch (code & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
    case SQLITE_ERROR:  // a valid SQLite file without this format's tables
      return ZORSimErrorKind::kCorruption;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return ZORSimErrorKind::kPermission;
    default:
      return ZORSimErrorKind::kIO;
  }
}

// The error of a failed SQLite call. While saving, the text says why the file could not be
// saved ("disk full" or the system's text); otherwise it is the database's own message.
ZORSimError SqlError(sqlite3* db, int code, const std::string& file, bool saving,
                     const std::string& what) {
  // The system's error number of the failed call; SQLite does not keep it for every failure.
  const int callErrno = errno;
  const int systemErrno =
      db && sqlite3_system_errno(db) != 0 ? sqlite3_system_errno(db) : callErrno;
  const std::string message = db ? sqlite3_errmsg(db) : "out of memory";
  if (saving && IsDiskFull(code, systemErrno))
    return ZORSimError(file + ": cannot save: disk full", ZORSimErrorKind::kIO);
  if (saving)
    return ZORSimError(
        file + ": cannot save: " + (systemErrno != 0 ? std::strerror(systemErrno) : message),
        KindOf(code, systemErrno));
  return ZORSimError(file + ": " + what + message, KindOf(code, systemErrno));
}

void Exec(sqlite3* db, const char* sql, const std::string& file, bool saving) {
  const int code = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) throw SqlError(db, code, file, saving, "");
}

std::string DirectoryOf(const std::string& file) {
  const std::size_t slash = file.find_last_of('/');
  return slash == std::string::npos ? "." : file.substr(0, slash + 1);
}

void SyncDirectoryOf(const std::string& file) {
  const int fd = ::open(DirectoryOf(file).c_str(), O_RDONLY | O_DIRECTORY);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

void RemoveWithSideFiles(const std::string& file) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((file + suffix).c_str());
}

// Side files "<name>.saving-<pid>[-wal|-shm|-journal]" of a save that was killed: removed when
// their process no longer runs.
void RemoveStaleSideFiles(const std::string& file) {
  const std::string directory = DirectoryOf(file);
  const std::size_t slash = file.find_last_of('/');
  const std::string prefix =
      (slash == std::string::npos ? file : file.substr(slash + 1)) + kSideInfix;
  DIR* dir = ::opendir(directory.c_str());
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    char* end = nullptr;
    const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
    const std::string rest = end;
    if (pid <= 0 || end == name.c_str() + prefix.size() ||
        (!rest.empty() && rest != "-wal" && rest != "-shm" && rest != "-journal"))
      continue;
    if (pid != ::getpid() && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
      std::string path = directory;
      if (directory == ".") path += '/';
      path += name;
      std::remove(path.c_str());
    }
  }
  ::closedir(dir);
}

// A file URI for SQLite: the characters that end a path in a URI are escaped.
std::string FileUri(const std::string& file, const char* query) {
  std::string uri = "file:";
  for (const char c : file) {
    if (c == '%' || c == '?' || c == '#') {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
      uri += escaped;
    } else {
      uri += c;
    }
  }
  return uri + query;
}

sqlite3* Connect(const std::string& file, const std::string& path, int flags) {
  sqlite3* db = nullptr;
  const int code = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  if (code != SQLITE_OK) {
    const ZORSimError error = SqlError(db, code, file, false, "cannot open: ");
    sqlite3_close(db);
    throw error;
  }
  sqlite3_busy_timeout(db, 10000);
  sqlite3_extended_result_codes(db, 1);
  return db;
}

// Whether this process, as the user it now acts for, may write the path.
bool MayWrite(const std::string& path) {
  return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

bool NonEmptyFile(const std::string& file) {
  struct stat info {};
  return ::stat(file.c_str(), &info) == 0 && info.st_size > 0;
}

}  // namespace

// A prepared statement that finalizes itself.
class ZORSimSqlStatement {
 public:
  ZORSimSqlStatement(sqlite3* db, const char* sql, const std::string& file, bool saving)
      : db_(db), file_(file), saving_(saving) {
    const int code = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
    if (code != SQLITE_OK) throw SqlError(db_, code, file_, saving_, "database prepare failed: ");
  }
  ~ZORSimSqlStatement() { sqlite3_finalize(stmt_); }
  ZORSimSqlStatement(const ZORSimSqlStatement&) = delete;
  ZORSimSqlStatement& operator=(const ZORSimSqlStatement&) = delete;

  void Bind(int i, std::int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
  void BindBlob(int i, const void* data, std::size_t size) {
    sqlite3_bind_blob64(stmt_, i, data, size, SQLITE_STATIC);
  }
  void BindText(int i, const std::string& text) {
    sqlite3_bind_text(stmt_, i, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  bool Step() {
    const int code = sqlite3_step(stmt_);
    if (code == SQLITE_ROW) return true;
    if (code == SQLITE_DONE) return false;
    throw SqlError(db_, code, file_, saving_, "database step failed: ");
  }
  void Run() {
    Step();
    Reset();
  }
  void Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  std::int64_t Int(int column) { return sqlite3_column_int64(stmt_, column); }
  ZORSimRow Row(bool withBody) {
    ZORSimRow row;
    row.key = Int(0);
    row.block = Int(1);
    if (!withBody) return row;
    row.body = static_cast<const unsigned char*>(sqlite3_column_blob(stmt_, 2));
    row.size = static_cast<std::size_t>(sqlite3_column_bytes(stmt_, 2));
    row.crc = static_cast<std::uint32_t>(Int(3));
    return row;
  }
  std::string Text(int column) {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    return text ? reinterpret_cast<const char*>(text) : "";
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  std::string file_;
  bool saving_;
};

ZORSimSqliteStore::ZORSimSqliteStore(std::string fileName) : fileName_(std::move(fileName)) {}

ZORSimSqliteStore::~ZORSimSqliteStore() {
  Abort();
  Disconnect();
}

void ZORSimSqliteStore::Disconnect() noexcept {
  snapshotOpen_ = false;
  sqlite3_close_v2(db_);
  db_ = nullptr;
  if (holdsFile_) ZOROpenDatabaseFiles::Remove(heldFile_);
  holdsFile_ = false;
}

std::unique_ptr<ZORSimSqliteStore> ZORSimSqliteStore::ForNewFile(const std::string& fileName) {
  return std::unique_ptr<ZORSimSqliteStore>(new ZORSimSqliteStore(fileName));
}

std::unique_ptr<ZORSimSqliteStore> ZORSimSqliteStore::OpenFile(const std::string& fileName) {
  if (fileName.empty())
    throw ZORSimError("cannot open a database without a file name", ZORSimErrorKind::kNotFound);
  struct stat info {};
  if (::stat(fileName.c_str(), &info) != 0)
    throw ZORSimError(fileName + ": cannot open: " + std::strerror(errno),
                      errno == ENOENT || errno == ENOTDIR ? ZORSimErrorKind::kNotFound
                                                          : KindOf(SQLITE_CANTOPEN, errno));
  if (info.st_size == 0)
    throw ZORSimError(fileName + ": the file is empty", ZORSimErrorKind::kCorruption);
  if (::faccessat(AT_FDCWD, fileName.c_str(), R_OK, AT_EACCESS) != 0)
    throw ZORSimError(fileName + ": cannot open: " + std::strerror(errno),
                      KindOf(SQLITE_CANTOPEN, errno));
  std::unique_ptr<ZORSimSqliteStore> store(new ZORSimSqliteStore(fileName));
  try {
    store->Connect(!MayWrite(fileName) || !MayWrite(DirectoryOf(fileName)));
    store->BeginSnapshot();
  } catch (const ZORSimError& error) {
    if (error.Kind() != ZORSimErrorKind::kCorruption) throw;
    throw ZORSimError(fileName + ": not a simulation database (" + error.what() + ")",
                      ZORSimErrorKind::kCorruption);
  }
  return store;
}

void ZORSimSqliteStore::Connect(bool readOnly) {
  readOnly_ = readOnly;
  if (!readOnly) {
    db_ = ::Connect(fileName_, fileName_, SQLITE_OPEN_READWRITE);
    Exec(db_, "PRAGMA synchronous=FULL", fileName_, false);
  } else {
    // A file that may not be written is read as it stands, without the side files a WAL reader
    // makes; only a log left beside it by a save that was never checkpointed needs them.
    const bool pendingLog = NonEmptyFile(fileName_ + "-wal");
    db_ = ::Connect(fileName_, FileUri(fileName_, pendingLog ? "?mode=ro" : "?immutable=1"),
                    SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
  }
  holdsFile_ = ZOROpenDatabaseFiles::KeyOf(fileName_, heldFile_);
  if (holdsFile_) ZOROpenDatabaseFiles::Add(heldFile_);
}

void ZORSimSqliteStore::BeginSnapshot() {
  // A read transaction held open keeps later lazy loads on the state that was opened, even
  // while another process saves.
  Exec(db_, "BEGIN", fileName_, false);
  ZORSimSqlStatement probe(db_, "SELECT count(*) FROM meta", fileName_, false);
  probe.Step();
  snapshotOpen_ = true;
}

void ZORSimSqliteStore::EndSnapshot() {
  if (snapshotOpen_) Exec(db_, "COMMIT", fileName_, false);
  snapshotOpen_ = false;
}

std::string ZORSimSqliteStore::Meta(const std::string& key) {
  ZORSimSqlStatement select(db_, "SELECT value FROM meta WHERE key = ?1", fileName_, false);
  select.BindText(1, key);
  return select.Step() ? select.Text(0) : "";
}

void ZORSimSqliteStore::Scan(ZORSimTable table, const ZORSimRowVisitor& visit) {
  static const char* const kScans[] = {"SELECT id, 0, body, crc FROM objects ORDER BY id",
                                       "SELECT id, 0, body, crc FROM associations ORDER BY id",
                                       "SELECT drawer, block FROM blocks ORDER BY drawer, block"};
  ZORSimSqlStatement select(db_, kScans[static_cast<int>(table)], fileName_, false);
  while (select.Step()) visit(select.Row(table != ZORSimTable::kBlocks));
}

// A block row is a key in the blocks b-tree, and SQLite compares a key it seeks with whole cells:
// each of the half dozen cells a seek passes costs a read of its megabyte of values. Blocks are
// mostly read a drawer at a time in order, so the cursor stays on the row it read, and the next
// block of the same drawer is taken by one step, with no comparison; any other block is sought.
bool ZORSimSqliteStore::ReadBlock(std::int64_t drawer, std::int64_t block,
                                  const ZORSimRowVisitor& visit) {
  ZORSimSqlStatement& select = Cached(kBlockCursorSlot,
                                      "SELECT drawer, block, body, crc FROM blocks WHERE (drawer, "
                                      "block) >= (?1, ?2) ORDER BY drawer, block");
  const bool next = blockCursor_.drawer == drawer && blockCursor_.block + 1 == block;
  blockCursor_ = BlockCursor{};
  if (!next) {
    select.Reset();
    select.Bind(1, drawer);
    select.Bind(2, block);
  }
  if (!select.Step()) {
    select.Reset();
    return false;
  }
  const ZORSimRow row = select.Row(true);
  if (row.key != drawer || row.block != block) {
    select.Reset();
    return false;
  }
  visit(row);
  blockCursor_ = BlockCursor{drawer, block};
  return true;
}

ZORSimSqlStatement& ZORSimSqliteStore::Cached(int slot, const char* sql) {
  auto& statement = statements_[slot];
  if (!statement)
    statement =
        std::make_unique<ZORSimSqlStatement>(side_ ? side_ : db_, sql, fileName_, batchOpen_);
  return *statement;
}

void ZORSimSqliteStore::DropStatements() noexcept {
  statements_.clear();
  blockCursor_ = BlockCursor{};
}

// Writes never meet a read cursor left standing in the table.
void ZORSimSqliteStore::ParkBlockCursor() {
  const auto cursor = statements_.find(kBlockCursorSlot);
  if (cursor != statements_.end()) cursor->second->Reset();
  blockCursor_ = BlockCursor{};
}

void ZORSimSqliteStore::Begin(bool fresh) {
  if (readOnly_)
    throw ZORSimError(fileName_ +
                          ": cannot save: the file, or its folder, may not be written, so it "
                          "was opened read-only",
                      ZORSimErrorKind::kPermission);
  DropStatements();
  if (fresh) {
    BeginFresh();
  } else {
    EndSnapshot();
    Exec(db_, "BEGIN IMMEDIATE", fileName_, true);
  }
  batchOpen_ = true;
}

// What would keep a new database from its place, found before anything is written: a folder
// that is missing or may not be written, a folder where the file should be, a file another
// database of this process has open, or one its owner made read-only (replacing goes by the
// folder's permission alone, so it is refused here as it is when a database opened from it saves).
void ZORSimSqliteStore::CheckFreshTarget() const {
  const std::string folder = DirectoryOf(fileName_);
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    throw ZORSimError(fileName_ + ": cannot save: the folder " + folder + " does not exist",
                      ZORSimErrorKind::kNotFound);
  if (!MayWrite(folder))
    throw ZORSimError(fileName_ + ": cannot save: the folder " + folder + " may not be written",
                      ZORSimErrorKind::kPermission);
  if (::stat(fileName_.c_str(), &info) != 0) return;
  if (S_ISDIR(info.st_mode))
    throw ZORSimError(fileName_ + ": cannot save: a folder has that name",
                      ZORSimErrorKind::kInvalidArgument);
  if (ZOROpenDatabaseFiles::Holds(ZOROpenDatabaseFiles::Key(info.st_dev, info.st_ino)))
    throw ZORSimError(fileName_ +
                          ": cannot save: another database of this process has that file open, "
                          "and a new database saved there would replace it",
                      ZORSimErrorKind::kInvalidArgument);
  if (!MayWrite(fileName_))
    throw ZORSimError(fileName_ +
                          ": cannot save: the file there may not be written, and a new "
                          "database does not replace it",
                      ZORSimErrorKind::kPermission);
}

// The side file is written once, without a journal: until it is renamed into place nothing
// depends on it, and a failed or killed save only leaves it behind to be removed. Commit syncs it
// (synchronous=FULL) before the rename, and then puts it into WAL mode for later saves. Pages of
// 64 KiB hold a 1 MiB value block in 16 pages rather than 256.
void ZORSimSqliteStore::BeginFresh() {
  CheckFreshTarget();
  RemoveStaleSideFiles(fileName_);
  sideName_ = fileName_ + kSideInfix + std::to_string(::getpid());
  RemoveWithSideFiles(sideName_);
  try {
    side_ = ::Connect(fileName_, sideName_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    Exec(side_,
         "PRAGMA page_size=65536; PRAGMA journal_mode=OFF; PRAGMA synchronous=FULL; BEGIN;"
         "CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);"
         "CREATE TABLE objects(id INTEGER PRIMARY KEY, body BLOB NOT NULL, crc INTEGER NOT NULL);"
         "CREATE TABLE associations(id INTEGER PRIMARY KEY, body BLOB NOT NULL,"
         " crc INTEGER NOT NULL);"
         "CREATE TABLE blocks(drawer INTEGER NOT NULL, block INTEGER NOT NULL, body BLOB NOT NULL,"
         " crc INTEGER NOT NULL, PRIMARY KEY(drawer, block)) WITHOUT ROWID;",
         fileName_, true);
  } catch (...) {
    Abort();
    throw;
  }
}

void ZORSimSqliteStore::PutMeta(const std::string& key, const std::string& value) {
  ParkBlockCursor();
  ZORSimSqlStatement& insert = Cached(0, "INSERT OR REPLACE INTO meta(key, value) VALUES(?1, ?2)");
  insert.BindText(1, key);
  insert.BindText(2, value);
  insert.Run();
}

void ZORSimSqliteStore::Put(ZORSimTable table, const ZORSimRow& row) {
  ParkBlockCursor();
  static const char* const kPuts[] = {
      "INSERT OR REPLACE INTO objects(id, body, crc) VALUES(?1, ?3, ?4)",
      "INSERT OR REPLACE INTO associations(id, body, crc) VALUES(?1, ?3, ?4)",
      "INSERT OR REPLACE INTO blocks(drawer, block, body, crc) VALUES(?1, ?2, ?3, ?4)"};
  ZORSimSqlStatement& insert = Cached(1 + static_cast<int>(table), kPuts[static_cast<int>(table)]);
  insert.Bind(1, row.key);
  if (table == ZORSimTable::kBlocks) insert.Bind(2, row.block);
  insert.BindBlob(3, row.body, row.size);
  insert.Bind(4, row.crc);
  insert.Run();
}

void ZORSimSqliteStore::Erase(ZORSimTable table, std::int64_t key) {
  ParkBlockCursor();
  if (table != ZORSimTable::kAssociations)
    throw ZORSimError(fileName_ + ": only association rows are erased");
  ZORSimSqlStatement& remove = Cached(5, "DELETE FROM associations WHERE id = ?1");
  remove.Bind(1, key);
  remove.Run();
}

void ZORSimSqliteStore::Commit() {
  DropStatements();
  if (side_) {
    CommitFresh();
  } else {
    Exec(db_, "COMMIT", fileName_, true);
  }
  batchOpen_ = false;
  BeginSnapshot();
}

void ZORSimSqliteStore::CommitFresh() {
  try {
    Exec(side_, "COMMIT; PRAGMA journal_mode=WAL", fileName_, true);
    const int code = sqlite3_close(side_);
    side_ = nullptr;
    if (code != SQLITE_OK) throw SqlError(nullptr, code, fileName_, true, "");
    // Side files of an older database of that name would be applied to the new one.
    std::remove((fileName_ + "-wal").c_str());
    std::remove((fileName_ + "-shm").c_str());
    if (std::rename(sideName_.c_str(), fileName_.c_str()) != 0)
      throw ZORSimError(
          fileName_ + ": cannot move the saved file into place: " + std::strerror(errno),
          KindOf(SQLITE_IOERR, errno));
  } catch (...) {
    Abort();
    throw;
  }
  sideName_.clear();
  SyncDirectoryOf(fileName_);
  Disconnect();
  Connect(false);
}

void ZORSimSqliteStore::Abort() noexcept {
  DropStatements();
  if (!batchOpen_ && !side_ && sideName_.empty()) return;
  batchOpen_ = false;
  if (side_ || !sideName_.empty()) {
    sqlite3_close(side_);
    side_ = nullptr;
    RemoveWithSideFiles(sideName_);
    sideName_.clear();
    return;
  }
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  try {
    BeginSnapshot();
  } catch (const ZORSimError&) {
    snapshotOpen_ = false;
  }
}
