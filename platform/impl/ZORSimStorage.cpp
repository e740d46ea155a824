#include "platform/impl/ZORSimStorage.h"

#include <algorithm>
#include <cstring>

#include "platform/impl/ZORCrc32.h"
#include "platform/impl/ZORSimByteReader.h"
#include "platform/impl/ZORSimByteWriter.h"
#include "platform/impl/ZORSimDatabase.h"
#include "platform/impl/ZORSimSchemaTable.h"

namespace {

const char* const kMagic = "VELZOR simulation database";

std::uint32_t Checksum(const void* data, std::size_t size) { return ZORCrc32::Of(data, size); }

ZORSimError Corrupted(const std::string& text) {
  return ZORSimError(text, ZORSimErrorKind::kCorruption);
}

std::int64_t PutBytes(ZORSimStore& store, ZORSimTable table, std::int64_t key, std::int64_t block,
                      const unsigned char* data, std::size_t size) {
  ZORSimRow row;
  row.key = key;
  row.block = block;
  row.body = data;
  row.size = size;
  row.crc = Checksum(data, size);
  store.Put(table, row);
  return static_cast<std::int64_t>(size);
}

// A block this save writes: every block with values on a fresh save, the changed ones later.
bool Writes(const ZORSimValues& values, std::size_t block, bool fresh) {
  return values.blocks[block] && (fresh || values.dirty[block] != 0);
}

std::int64_t StoredAfterSave(const ZORSimValues& values, bool fresh) {
  std::int64_t count = 0;
  for (std::size_t b = 0; b < values.blocks.size(); ++b)
    count += (!fresh && values.stored[b]) || Writes(values, b, fresh) ? 1 : 0;
  return count;
}

// A row that passed its checksum may still name objects that do not exist (a file written by
// something else); every reference is checked once here so that no later look-up leaves the model.
bool ReferencesHold(const std::vector<ZORSimObject>& objects, const ZORSimObject& o) {
  const auto count = static_cast<std::int64_t>(objects.size());
  const auto is = [&](std::int64_t number, ZORSimObjectKind kind, bool optional) {
    if (number == 0) return optional;
    return number > 0 && number < count && objects[static_cast<std::size_t>(number)].kind == kind;
  };
  bool ok = is(o.set.collection, ZORSimObjectKind::kCollection, true) &&
            is(o.relational, ZORSimObjectKind::kDistribution, true) &&
            is(o.target, ZORSimObjectKind::kCollection, true);
  for (std::int64_t c : o.grid) ok = ok && is(c, ZORSimObjectKind::kCollection, true);
  for (std::int64_t r : o.memberRecords) ok = ok && is(r, ZORSimObjectKind::kRecord, false);
  for (std::int64_t d : o.drawers) ok = ok && is(d, ZORSimObjectKind::kDrawer, false);
  for (const auto& compartment : o.compartments)
    for (const auto& set : compartment)
      ok = ok && is(set.collection, ZORSimObjectKind::kCollection, true);
  if (o.kind != ZORSimObjectKind::kDrawer) return ok;
  std::int64_t values = 1;
  for (const auto& dim : o.dims) {
    ok = ok && dim.members && is(dim.collection, ZORSimObjectKind::kCollection, true);
    if (dim.members) values *= dim.members->Size();
  }
  return ok && is(o.distribution, ZORSimObjectKind::kDistribution, false) && o.values &&
         values == o.values->valueCount;
}

void CheckReferences(const std::string& file, const std::vector<ZORSimObject>& objects,
                     const std::vector<ZORSimAssociationRecord>& associations) {
  for (std::size_t n = 1; n < objects.size(); ++n)
    if (!ReferencesHold(objects, objects[n]))
      throw Corrupted(file + ": object " + std::to_string(n) +
                      " refers to a missing object (the file is corrupted)");
  const auto count = static_cast<std::int64_t>(objects.size());
  for (const ZORSimAssociationRecord& a : associations)
    if (a.end[0] <= 0 || a.end[0] >= count || a.end[1] <= 0 || a.end[1] >= count)
      throw Corrupted(file + ": an association refers to a missing object (the file is corrupted)");
}

void CheckHeader(ZORSimStore& store) {
  const std::string& file = store.Name();
  if (store.Meta("format") != kMagic)
    throw Corrupted(file + ": not a simulation database of this format");
  const std::string version = store.Meta("version");
  if (version != std::to_string(ZORSimStorage::kFormatVersion))
    throw Corrupted(file + ": format version " + version +
                    " is not supported (this library reads version " +
                    std::to_string(ZORSimStorage::kFormatVersion) + ")");
}

// The meta table records how many rows a save left; fewer rows mean rows were lost.
void CheckCount(ZORSimStore& store, const char* key, std::size_t rows, const char* what) {
  if (store.Meta(key) != std::to_string(rows))
    throw Corrupted(store.Name() + ": the file holds " + std::to_string(rows) + " " + what +
                    " where it recorded " + store.Meta(key) + " (the file is corrupted)");
}

void LoadObjects(ZORSimStore& store, ZORSimDatabase& database) {
  auto& objects = database.MutableObjects();
  const std::string& file = store.Name();
  store.Scan(ZORSimTable::kObjects, [&](const ZORSimRow& row) {
    if (row.key != static_cast<std::int64_t>(objects.size()))
      throw Corrupted(file + ": object " + std::to_string(objects.size()) + " is missing");
    const std::string where = file + ": object " + std::to_string(row.key);
    if (Checksum(row.body, row.size) != row.crc)
      throw Corrupted(where + ": checksum mismatch (the file is corrupted)");
    objects.push_back(ZORSimByteReader(row.body, row.size, where).Object());
  });
  CheckCount(store, "objects", objects.size() - 1, "objects");
  database.DirtyObjects().assign(objects.size(), 0);
}

void LoadAssociations(ZORSimStore& store, ZORSimDatabase& database) {
  auto& associations = database.MutableAssociations();
  store.Scan(ZORSimTable::kAssociations, [&](const ZORSimRow& row) {
    const std::string where = store.Name() + ": association " + std::to_string(row.key);
    if (Checksum(row.body, row.size) != row.crc)
      throw Corrupted(where + ": checksum mismatch (the file is corrupted)");
    associations.push_back(ZORSimByteReader(row.body, row.size, where).Association());
    database.AssociationFileIds().push_back(row.key);
    database.NextAssociationFileId() = row.key + 1;
  });
  CheckCount(store, "associations", associations.size(), "associations");
}

void LoadBlockKeys(ZORSimStore& store, std::vector<ZORSimObject>& objects) {
  const std::string& file = store.Name();
  store.Scan(ZORSimTable::kBlocks, [&](const ZORSimRow& row) {
    const std::int64_t drawer = row.key;
    if (drawer <= 0 || drawer >= static_cast<std::int64_t>(objects.size()) ||
        !objects[drawer].values || row.block < 0 ||
        row.block >= objects[drawer].values->BlockCount())
      throw Corrupted(file + ": a value block belongs to no drawer (the file is corrupted)");
    ZORSimValues& values = *objects[drawer].values;
    values.state[row.block] = ZORSimValues::BlockState::kOnDisk;
    values.stored[row.block] = 1;
  });
  for (std::size_t n = 1; n < objects.size(); ++n) {
    const ZORSimValues* values = objects[n].values.get();
    if (values && StoredAfterSave(*values, false) != values->storedCount)
      throw Corrupted(file + ": values of drawer " + std::to_string(n) + ": " +
                      std::to_string(values->storedCount - StoredAfterSave(*values, false)) +
                      " blocks are missing (the file is corrupted)");
  }
}

}  // namespace

std::shared_ptr<ZORSimDatabase> ZORSimStorage::Open(std::unique_ptr<ZORSimStore> store) {
  CheckHeader(*store);
  auto database = std::make_shared<ZORSimDatabase>(
      store->Name(), ZORSimSchemaTable::Parse(eds_SSDLallSource_Get()));
  LoadObjects(*store, *database);
  LoadAssociations(*store, *database);
  LoadBlockKeys(*store, database->MutableObjects());
  CheckReferences(store->Name(), database->MutableObjects(), database->MutableAssociations());
  database->RebuildAssociationIndex();
  database->MarkAllSaved();
  database->AttachStorage(std::make_unique<ZORSimStorage>(std::move(store), true));
  return database;
}

std::int64_t ZORSimStorage::WriteObjects(ZORSimDatabase& database) {
  const bool fresh = !saved_;
  std::int64_t written = 0;
  auto& all = database.MutableObjects();
  const auto& dirty = database.DirtyObjects();
  for (std::size_t i = 1; i < all.size(); ++i) {
    const auto id = static_cast<std::int64_t>(i);
    ZORSimValues* values = all[i].values.get();
    const std::int64_t storedNow = values ? values->storedCount : 0;
    const std::int64_t storedAfter = values ? StoredAfterSave(*values, fresh) : 0;
    if (fresh || dirty[i] || storedAfter != storedNow) {
      // The row records the count this save leaves; the model takes it once the batch commits.
      if (values) values->storedCount = storedAfter;
      ZORSimByteWriter writer;
      writer.Object(all[i]);
      if (values) values->storedCount = storedNow;
      written += PutBytes(*store_, ZORSimTable::kObjects, id, 0, writer.Bytes().data(),
                          writer.Bytes().size());
    }
    if (!values) continue;
    for (std::size_t b = 0; b < values->blocks.size(); ++b)
      if (Writes(*values, b, fresh))
        written += PutBytes(
            *store_, ZORSimTable::kBlocks, id, static_cast<std::int64_t>(b),
            values->blocks[b]->data(),
            static_cast<std::size_t>(values->BlockByteCount(static_cast<std::int64_t>(b))));
  }
  return written;
}

std::int64_t ZORSimStorage::WriteAssociations(ZORSimDatabase& database,
                                              std::vector<std::int64_t>& fileIds,
                                              std::int64_t& nextFileId) {
  std::int64_t written = 0;
  const auto& list = database.MutableAssociations();
  for (std::size_t i = fileIds.size(); i < list.size(); ++i) {
    fileIds.push_back(list[i].alive ? nextFileId++ : -1);
    if (!list[i].alive) continue;
    ZORSimByteWriter writer;
    writer.Association(list[i]);
    written += PutBytes(*store_, ZORSimTable::kAssociations, fileIds.back(), 0,
                        writer.Bytes().data(), writer.Bytes().size());
  }
  if (saved_)
    for (std::int64_t index : database.RemovedSavedAssociations())
      store_->Erase(ZORSimTable::kAssociations, fileIds[static_cast<std::size_t>(index)]);
  return written;
}

void ZORSimStorage::WriteMeta(const ZORSimDatabase& database) {
  if (!saved_) {
    store_->PutMeta("format", kMagic);
    store_->PutMeta("version", std::to_string(kFormatVersion));
  }
  std::int64_t alive = 0;
  for (std::int64_t i = 0;
       i < static_cast<std::int64_t>(
               const_cast<ZORSimDatabase&>(database).MutableAssociations().size());
       ++i)
    alive += database.Association(i).alive ? 1 : 0;
  store_->PutMeta("objects", std::to_string(database.ObjectCount() - 1));
  store_->PutMeta("associations", std::to_string(alive));
}

std::int64_t ZORSimStorage::Save(ZORSimDatabase& database) {
  // Row ids are taken on copies and kept only once the batch has committed.
  std::vector<std::int64_t> fileIds =
      saved_ ? database.AssociationFileIds() : std::vector<std::int64_t>{};
  std::int64_t nextFileId = saved_ ? database.NextAssociationFileId() : 0;
  std::int64_t written = 0;
  store_->Begin(!saved_);
  try {
    WriteMeta(database);
    written += WriteObjects(database);
    written += WriteAssociations(database, fileIds, nextFileId);
    store_->Commit();
  } catch (...) {
    store_->Abort();
    throw;
  }
  for (auto& object : database.MutableObjects()) {
    if (!object.values) continue;
    object.values->storedCount = StoredAfterSave(*object.values, !saved_);
    for (std::size_t b = 0; b < object.values->blocks.size(); ++b)
      if (Writes(*object.values, b, !saved_)) object.values->stored[b] = 1;
  }
  database.AssociationFileIds() = std::move(fileIds);
  database.NextAssociationFileId() = nextFileId;
  saved_ = true;
  return written;
}

void ZORSimStorage::VisitBlock(std::int64_t drawer, std::int64_t block, const ZORSimValues& values,
                               const std::function<void(const unsigned char* body)>& take) {
  const std::string where = store_->Name() + ": values of drawer " + std::to_string(drawer);
  const std::int64_t expected = values.BlockByteCount(block);
  const bool found = store_->ReadBlock(drawer, block, [&](const ZORSimRow& row) {
    if (static_cast<std::int64_t>(row.size) != expected)
      throw Corrupted(where + ": block " + std::to_string(block) + " has the wrong size");
    if (Checksum(row.body, row.size) != row.crc)
      throw Corrupted(where + ": checksum mismatch in block " + std::to_string(block) +
                      " (the file is corrupted)");
    take(row.body);
  });
  if (!found) throw Corrupted(where + ": block " + std::to_string(block) + " is missing");
}

std::shared_ptr<std::vector<unsigned char>> ZORSimStorage::LoadBlock(std::int64_t drawer,
                                                                     std::int64_t block,
                                                                     const ZORSimValues& values) {
  const auto size = static_cast<std::size_t>(values.BlockByteCount(block));
  std::shared_ptr<std::vector<unsigned char>> bytes;
  VisitBlock(drawer, block, values, [&](const unsigned char* body) {
    bytes = std::make_shared<std::vector<unsigned char>>(body, body + size);
  });
  return bytes;
}

void ZORSimStorage::CopyBlock(std::int64_t drawer, std::int64_t block, const ZORSimValues& values,
                              unsigned char* bytes) {
  const auto size = static_cast<std::size_t>(values.BlockByteCount(block));
  VisitBlock(drawer, block, values,
             [&](const unsigned char* body) { std::memcpy(bytes, body, size); });
}
