#include "platform/impl/ZORSimStorage.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>

#include "platform/impl/ZORSimByteReader.h"
#include "platform/impl/ZORSimByteWriter.h"
#include "platform/impl/ZORSimSchemaTable.h"

namespace {

const char* const kMagic = "VELZOR simulation database";

std::uint32_t Checksum(const void* data, std::size_t size) {
  return static_cast<std::uint32_t>(
      crc32(crc32(0L, Z_NULL, 0), static_cast<const Bytef*>(data), static_cast<uInt>(size)));
}

// A prepared statement that finalizes itself.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql, const std::string& file) : db_(db), file_(file) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) Fail("prepare");
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void Bind(int i, std::int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
  void Bind(int i, const std::vector<unsigned char>& bytes) {
    sqlite3_bind_blob64(stmt_, i, bytes.data(), bytes.size(), SQLITE_STATIC);
  }
  void BindBlob(int i, const void* data, std::size_t size) {
    sqlite3_bind_blob64(stmt_, i, data, size, SQLITE_STATIC);
  }
  void BindText(int i, const std::string& text) {
    sqlite3_bind_text(stmt_, i, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  bool Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    Fail("step");
    return false;
  }
  void Run() {
    Step();
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  std::int64_t Int(int column) { return sqlite3_column_int64(stmt_, column); }
  const unsigned char* Blob(int column, std::size_t& size) {
    const void* data = sqlite3_column_blob(stmt_, column);
    size = static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column));
    return static_cast<const unsigned char*>(data);
  }
  std::string Text(int column) {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    return text ? reinterpret_cast<const char*>(text) : "";
  }

 private:
  [[noreturn]] void Fail(const char* what) {
    throw ZORSimError(file_ + ": database " + what + " failed: " + sqlite3_errmsg(db_));
  }
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  std::string file_;
};

void Exec(sqlite3* db, const char* sql, const std::string& file) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string text = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    throw ZORSimError(file + ": " + text);
  }
}

sqlite3* OpenConnection(const std::string& file, int flags) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    const std::string message = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    throw ZORSimError(file + ": cannot open: " + message);
  }
  sqlite3_busy_timeout(db, 10000);
  sqlite3_extended_result_codes(db, 1);
  return db;
}

std::int64_t WriteObject(Statement& insert, std::int64_t id, const ZORSimObject& object) {
  ZORSimByteWriter writer;
  writer.Object(object);
  insert.Bind(1, id);
  insert.Bind(2, writer.Bytes());
  insert.Bind(3, Checksum(writer.Bytes().data(), writer.Bytes().size()));
  insert.Run();
  return static_cast<std::int64_t>(writer.Bytes().size());
}

std::int64_t WriteAssociation(Statement& insert, std::int64_t id,
                              const ZORSimAssociationRecord& a) {
  ZORSimByteWriter writer;
  writer.Association(a);
  insert.Bind(1, id);
  insert.Bind(2, writer.Bytes());
  insert.Bind(3, Checksum(writer.Bytes().data(), writer.Bytes().size()));
  insert.Run();
  return static_cast<std::int64_t>(writer.Bytes().size());
}

std::int64_t WriteBlocks(Statement& insert, std::int64_t drawer, const ZORSimValues& values,
                         bool all) {
  std::int64_t written = 0;
  for (std::size_t b = 0; b < values.blocks.size(); ++b) {
    if (!values.blocks[b] || (!all && values.dirty[b] == 0)) continue;
    const std::int64_t bytes = std::min<std::int64_t>(
        ZORSimValues::kBlockBytes,
        values.ByteCount() - static_cast<std::int64_t>(b) * ZORSimValues::kBlockBytes);
    insert.Bind(1, drawer);
    insert.Bind(2, static_cast<std::int64_t>(b));
    insert.BindBlob(3, values.blocks[b]->data(), static_cast<std::size_t>(bytes));
    insert.Bind(4, Checksum(values.blocks[b]->data(), static_cast<std::size_t>(bytes)));
    insert.Run();
    written += bytes;
  }
  return written;
}

void SyncDirectoryOf(const std::string& file) {
  const std::size_t slash = file.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : file.substr(0, slash + 1);
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

std::int64_t WriteEverything(sqlite3* db, const std::string& file, ZORSimDatabase& database) {
  std::int64_t written = 0;
  Exec(
      db,
      "CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);"
      "CREATE TABLE objects(id INTEGER PRIMARY KEY, body BLOB NOT NULL, crc INTEGER NOT NULL);"
      "CREATE TABLE associations(id INTEGER PRIMARY KEY, body BLOB NOT NULL, crc INTEGER NOT NULL);"
      "CREATE TABLE blocks(drawer INTEGER NOT NULL, block INTEGER NOT NULL, body BLOB NOT NULL,"
      " crc INTEGER NOT NULL, PRIMARY KEY(drawer, block)) WITHOUT ROWID;",
      file);
  Statement meta(db, "INSERT INTO meta(key, value) VALUES(?1, ?2)", file);
  meta.BindText(1, "format");
  meta.BindText(2, kMagic);
  meta.Run();
  meta.BindText(1, "version");
  meta.BindText(2, std::to_string(ZORSimStorage::kFormatVersion));
  meta.Run();
  Statement objects(db, "INSERT INTO objects(id, body, crc) VALUES(?1, ?2, ?3)", file);
  Statement blocks(db, "INSERT INTO blocks(drawer, block, body, crc) VALUES(?1, ?2, ?3, ?4)", file);
  auto& all = database.MutableObjects();
  for (std::size_t i = 1; i < all.size(); ++i) {
    written += WriteObject(objects, static_cast<std::int64_t>(i), all[i]);
    if (all[i].values)
      written += WriteBlocks(blocks, static_cast<std::int64_t>(i), *all[i].values, true);
  }
  Statement associations(db, "INSERT INTO associations(id, body, crc) VALUES(?1, ?2, ?3)", file);
  const auto& list = database.MutableAssociations();
  for (std::size_t i = 0; i < list.size(); ++i)
    if (list[i].alive)
      written += WriteAssociation(associations, static_cast<std::int64_t>(i), list[i]);
  auto& fileIds = database.AssociationFileIds();
  fileIds.resize(list.size());
  for (std::size_t i = 0; i < list.size(); ++i) fileIds[i] = static_cast<std::int64_t>(i);
  database.NextAssociationFileId() = static_cast<std::int64_t>(list.size());
  return written;
}

// A row that passed its checksum may still name objects that do not exist (a file written by
// something else); every reference is checked once here so that no later look-up leaves the model.
void CheckReferences(const std::string& file, const std::vector<ZORSimObject>& objects,
                     const std::vector<ZORSimAssociationRecord>& associations) {
  const auto count = static_cast<std::int64_t>(objects.size());
  const auto is = [&](std::int64_t number, ZORSimObjectKind kind, bool optional) {
    if (number == 0) return optional;
    return number > 0 && number < count && objects[static_cast<std::size_t>(number)].kind == kind;
  };
  const auto fail = [&](std::size_t number) {
    throw ZORSimError(file + ": object " + std::to_string(number) +
                      " refers to a missing object (the file is corrupted)");
  };
  for (std::size_t n = 1; n < objects.size(); ++n) {
    const ZORSimObject& o = objects[n];
    bool ok = is(o.set.collection, ZORSimObjectKind::kCollection, true) &&
              is(o.relational, ZORSimObjectKind::kDistribution, true) &&
              is(o.target, ZORSimObjectKind::kCollection, true);
    for (std::int64_t c : o.grid) ok = ok && is(c, ZORSimObjectKind::kCollection, true);
    for (std::int64_t r : o.memberRecords) ok = ok && is(r, ZORSimObjectKind::kRecord, false);
    for (std::int64_t d : o.drawers) ok = ok && is(d, ZORSimObjectKind::kDrawer, false);
    for (const auto& compartment : o.compartments)
      for (const auto& set : compartment)
        ok = ok && is(set.collection, ZORSimObjectKind::kCollection, true);
    if (o.kind == ZORSimObjectKind::kDrawer) {
      std::int64_t values = 1;
      for (const auto& dim : o.dims) {
        ok = ok && dim.members && is(dim.collection, ZORSimObjectKind::kCollection, true);
        if (dim.members) values *= dim.members->Size();
      }
      ok = ok && is(o.distribution, ZORSimObjectKind::kDistribution, false) && o.values &&
           values == o.values->valueCount;
    }
    if (!ok) fail(n);
  }
  for (const ZORSimAssociationRecord& a : associations)
    if (a.end[0] <= 0 || a.end[0] >= count || a.end[1] <= 0 || a.end[1] >= count)
      throw ZORSimError(file +
                        ": an association refers to a missing object (the file is corrupted)");
}

}  // namespace

ZORSimStorage::ZORSimStorage(std::string fileName, sqlite3* connection)
    : fileName_(std::move(fileName)), db_(connection) {}

ZORSimStorage::~ZORSimStorage() { sqlite3_close_v2(db_); }

void ZORSimStorage::BeginSnapshot() {
  // A read transaction held open keeps later lazy loads on the state that was opened, even
  // while another process saves.
  Exec(db_, "BEGIN", fileName_);
  Statement probe(db_, "SELECT count(*) FROM meta", fileName_);
  probe.Step();
  snapshotOpen_ = true;
}

void ZORSimStorage::EndSnapshot() {
  if (snapshotOpen_) Exec(db_, "COMMIT", fileName_);
  snapshotOpen_ = false;
}

std::unique_ptr<ZORSimStorage> ZORSimStorage::CreateFile(const std::string& fileName,
                                                         ZORSimDatabase& database,
                                                         std::int64_t& bytesWritten) {
  const std::string temp = fileName + ".saving-" + std::to_string(::getpid());
  std::remove(temp.c_str());
  sqlite3* db = nullptr;
  try {
    db = OpenConnection(temp, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    Exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; BEGIN", temp);
    bytesWritten = WriteEverything(db, temp, database);
    Exec(db, "COMMIT; PRAGMA wal_checkpoint(TRUNCATE)", temp);
    if (sqlite3_close(db) != SQLITE_OK) throw ZORSimError(temp + ": cannot close");
    db = nullptr;
    // Side files of an older database of that name would be applied to the new one.
    std::remove((fileName + "-wal").c_str());
    std::remove((fileName + "-shm").c_str());
    if (std::rename(temp.c_str(), fileName.c_str()) != 0)
      throw ZORSimError(fileName +
                        ": cannot move the saved file into place: " + std::strerror(errno));
    SyncDirectoryOf(fileName);
  } catch (...) {
    if (db) sqlite3_close(db);
    std::remove(temp.c_str());
    std::remove((temp + "-wal").c_str());
    std::remove((temp + "-shm").c_str());
    throw;
  }
  std::unique_ptr<ZORSimStorage> storage(
      new ZORSimStorage(fileName, OpenConnection(fileName, SQLITE_OPEN_READWRITE)));
  Exec(storage->db_, "PRAGMA synchronous=FULL", fileName);
  storage->BeginSnapshot();
  return storage;
}

std::int64_t ZORSimStorage::SaveChanges(ZORSimDatabase& database) {
  EndSnapshot();
  std::int64_t written = 0;
  Exec(db_, "BEGIN IMMEDIATE", fileName_);
  try {
    Statement objects(db_, "INSERT OR REPLACE INTO objects(id, body, crc) VALUES(?1, ?2, ?3)",
                      fileName_);
    Statement blocks(
        db_, "INSERT OR REPLACE INTO blocks(drawer, block, body, crc) VALUES(?1, ?2, ?3, ?4)",
        fileName_);
    auto& all = database.MutableObjects();
    const auto& dirty = database.DirtyObjects();
    for (std::size_t i = 1; i < all.size(); ++i) {
      if (dirty[i]) written += WriteObject(objects, static_cast<std::int64_t>(i), all[i]);
      if (all[i].values)
        written += WriteBlocks(blocks, static_cast<std::int64_t>(i), *all[i].values, false);
    }
    Statement associations(
        db_, "INSERT OR REPLACE INTO associations(id, body, crc) VALUES(?1, ?2, ?3)", fileName_);
    const auto& list = database.MutableAssociations();
    // Row ids are taken on copies and kept only once the transaction has committed.
    std::vector<std::int64_t> fileIds = database.AssociationFileIds();
    std::int64_t nextFileId = database.NextAssociationFileId();
    for (std::size_t i = fileIds.size(); i < list.size(); ++i) {
      fileIds.push_back(list[i].alive ? nextFileId++ : -1);
      if (list[i].alive) written += WriteAssociation(associations, fileIds.back(), list[i]);
    }
    Statement remove(db_, "DELETE FROM associations WHERE id = ?1", fileName_);
    for (std::int64_t index : database.RemovedSavedAssociations()) {
      remove.Bind(1, fileIds[static_cast<std::size_t>(index)]);
      remove.Run();
    }
    Exec(db_, "COMMIT", fileName_);
    database.AssociationFileIds() = std::move(fileIds);
    database.NextAssociationFileId() = nextFileId;
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    BeginSnapshot();
    throw;
  }
  BeginSnapshot();
  return written;
}

std::shared_ptr<std::vector<unsigned char>> ZORSimStorage::LoadBlock(std::int64_t drawer,
                                                                     std::int64_t block,
                                                                     const ZORSimValues& values) {
  Statement select(db_, "SELECT body, crc FROM blocks WHERE drawer = ?1 AND block = ?2", fileName_);
  select.Bind(1, drawer);
  select.Bind(2, block);
  const std::string where = fileName_ + ": values of drawer " + std::to_string(drawer);
  if (!select.Step()) throw ZORSimError(where + ": block " + std::to_string(block) + " is missing");
  std::size_t size = 0;
  const unsigned char* data = select.Blob(0, size);
  const std::int64_t expected = std::min<std::int64_t>(
      ZORSimValues::kBlockBytes, values.ByteCount() - block * ZORSimValues::kBlockBytes);
  if (static_cast<std::int64_t>(size) != expected)
    throw ZORSimError(where + ": block " + std::to_string(block) + " has the wrong size");
  if (Checksum(data, size) != static_cast<std::uint32_t>(select.Int(1)))
    throw ZORSimError(where + ": checksum mismatch in block " + std::to_string(block) +
                      " (the file is corrupted)");
  auto bytes = std::make_shared<std::vector<unsigned char>>(
      static_cast<std::size_t>(ZORSimValues::kBlockBytes > expected ? expected : expected));
  std::memcpy(bytes->data(), data, size);
  return bytes;
}

std::shared_ptr<ZORSimDatabase> ZORSimStorage::OpenFile(const std::string& fileName) {
  struct stat info {};
  if (::stat(fileName.c_str(), &info) != 0)
    throw ZORSimError(fileName + ": cannot open: " + std::strerror(errno));
  if (info.st_size == 0) throw ZORSimError(fileName + ": the file is empty");
  std::unique_ptr<ZORSimStorage> storage(
      new ZORSimStorage(fileName, OpenConnection(fileName, SQLITE_OPEN_READWRITE)));
  sqlite3* db = storage->db_;
  try {
    Exec(db, "PRAGMA synchronous=FULL", fileName);
    storage->BeginSnapshot();
  } catch (const ZORSimError& error) {
    throw ZORSimError(fileName + ": not a simulation database (" + error.what() + ")");
  }
  std::string format;
  std::string version;
  {
    Statement meta(db, "SELECT key, value FROM meta", fileName);
    while (meta.Step()) {
      if (meta.Text(0) == "format") format = meta.Text(1);
      if (meta.Text(0) == "version") version = meta.Text(1);
    }
  }
  if (format != kMagic) throw ZORSimError(fileName + ": not a simulation database of this format");
  if (version != std::to_string(kFormatVersion))
    throw ZORSimError(fileName + ": format version " + version +
                      " is not supported (this library reads version " +
                      std::to_string(kFormatVersion) + ")");
  auto database =
      std::make_shared<ZORSimDatabase>(fileName, ZORSimSchemaTable::Parse(eds_SSDLallSource_Get()));
  auto& objects = database->MutableObjects();
  {
    Statement select(db, "SELECT id, body, crc FROM objects ORDER BY id", fileName);
    while (select.Step()) {
      const std::int64_t id = select.Int(0);
      if (id != static_cast<std::int64_t>(objects.size()))
        throw ZORSimError(fileName + ": object " + std::to_string(objects.size()) + " is missing");
      std::size_t size = 0;
      const unsigned char* body = select.Blob(1, size);
      const std::string where = fileName + ": object " + std::to_string(id);
      if (Checksum(body, size) != static_cast<std::uint32_t>(select.Int(2)))
        throw ZORSimError(where + ": checksum mismatch (the file is corrupted)");
      objects.push_back(ZORSimByteReader(body, size, where).Object());
    }
  }
  database->DirtyObjects().assign(objects.size(), 0);
  auto& associations = database->MutableAssociations();
  {
    Statement select(db, "SELECT id, body, crc FROM associations ORDER BY id", fileName);
    while (select.Step()) {
      const std::int64_t id = select.Int(0);
      std::size_t size = 0;
      const unsigned char* body = select.Blob(1, size);
      const std::string where = fileName + ": association " + std::to_string(id);
      if (Checksum(body, size) != static_cast<std::uint32_t>(select.Int(2)))
        throw ZORSimError(where + ": checksum mismatch (the file is corrupted)");
      associations.push_back(ZORSimByteReader(body, size, where).Association());
      database->AssociationFileIds().push_back(id);
      database->NextAssociationFileId() = id + 1;
    }
  }
  {
    Statement select(db, "SELECT drawer, block FROM blocks", fileName);
    while (select.Step()) {
      const std::int64_t drawer = select.Int(0);
      const std::int64_t block = select.Int(1);
      if (drawer <= 0 || drawer >= static_cast<std::int64_t>(objects.size()) ||
          !objects[drawer].values || block < 0 || block >= objects[drawer].values->BlockCount())
        throw ZORSimError(fileName +
                          ": a value block belongs to no drawer (the file is corrupted)");
      objects[drawer].values->state[block] = ZORSimValues::BlockState::kOnDisk;
    }
  }
  CheckReferences(fileName, objects, associations);
  database->RebuildAssociationIndex();
  database->MarkAllSaved();
  database->AttachStorage(std::move(storage));
  return database;
}
