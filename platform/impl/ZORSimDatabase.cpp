#include "platform/impl/ZORSimDatabase.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/impl/ZORSimSqliteStore.h"
#include "platform/impl/ZORSimStorage.h"

namespace {
std::atomic<int> nextSerial{1};

const char* KindName(ZORSimObjectKind kind) {
  switch (kind) {
    case ZORSimObjectKind::kRecord:
      return "record";
    case ZORSimObjectKind::kCollection:
      return "collection";
    case ZORSimObjectKind::kSet:
      return "set";
    case ZORSimObjectKind::kDSet:
      return "data set";
    case ZORSimObjectKind::kDistribution:
      return "distribution";
    case ZORSimObjectKind::kDrawer:
      return "drawer";
    default:
      return "object";
  }
}

const std::vector<std::int64_t> kNoAssociations;
}  // namespace

ZORSimDatabase::ZORSimDatabase(std::string fileName, ZORSimSchemaTable schema)
    : serial_(nextSerial++), fileName_(std::move(fileName)), schema_(std::move(schema)) {
  objects_.emplace_back();  // object 0 is "none"
  dirtyObjects_.push_back(0);
}

ZORSimDatabase::~ZORSimDatabase() = default;

std::int64_t ZORSimDatabase::ResolveAny(const ZORSimDynamicID& id, const char* what) const {
  if (closed_) throw ZORSimError(std::string(what) + ": the database " + fileName_ + " is closed");
  if (id.leading != serial_)
    throw ZORSimError(std::string(what) + ": handle " +
                      (id.leading == 0 ? "is empty" : "belongs to another or a closed database") +
                      " (" + fileName_ + ")");
  if (id.object <= 0 || id.object >= ObjectCount())
    throw ZORSimError(std::string(what) + ": handle names no object of " + fileName_);
  return id.object;
}

std::int64_t ZORSimDatabase::Resolve(const ZORSimDynamicID& id, ZORSimObjectKind expected,
                                     const char* what) const {
  const std::int64_t number = ResolveAny(id, what);
  if (objects_[number].kind != expected)
    throw ZORSimError(std::string(what) + ": handle names a " + KindName(objects_[number].kind) +
                      ", not a " + KindName(expected));
  return number;
}

void ZORSimDatabase::MarkDirty(std::int64_t number) {
  if (inTransaction_ && number < static_cast<std::int64_t>(objectsAtBegin_) &&
      !dirtyBefore_.count(number))
    dirtyBefore_[number] = dirtyObjects_[number];
  dirtyObjects_[number] = 1;
}

ZORSimObject& ZORSimDatabase::Modify(std::int64_t number) {
  if (inTransaction_ && number < static_cast<std::int64_t>(objectsAtBegin_) &&
      !objectBefore_.count(number))
    objectBefore_[number] = objects_[number];
  MarkDirty(number);
  return objects_[number];
}

std::int64_t ZORSimDatabase::CreateObject(ZORSimObject object) {
  if (object.kind == ZORSimObjectKind::kRecord && !object.symbol.empty())
    symbolCache_.erase(object.type);
  objects_.push_back(std::move(object));
  dirtyObjects_.push_back(1);
  return ObjectCount() - 1;
}

std::int64_t ZORSimDatabase::StoreSet(const ZORSimStoredSet& set) {
  ZORSimObject object;
  object.kind = ZORSimObjectKind::kSet;
  object.set = set;
  return CreateObject(std::move(object));
}

void ZORSimDatabase::IndexAssociation(std::int64_t index) {
  const ZORSimAssociationRecord& a = associations_[static_cast<std::size_t>(index)];
  if (!a.alive) return;
  index_[IndexKey{a.end[0], a.type, 0}].push_back(index);
  index_[IndexKey{a.end[1], a.type, 1}].push_back(index);
}

void ZORSimDatabase::RebuildAssociationIndex() {
  index_.clear();
  for (std::size_t i = 0; i < associations_.size(); ++i)
    IndexAssociation(static_cast<std::int64_t>(i));
}

void ZORSimDatabase::Associate(int type, std::int64_t end0, std::int64_t end1, const int* intKey,
                               const std::string* stringKey) {
  ZORSimAssociationRecord record;
  record.type = type;
  record.end[0] = end0;
  record.end[1] = end1;
  if (intKey) {
    record.hasIntKey = true;
    record.intKey = *intKey;
  }
  if (stringKey) {
    record.hasStringKey = true;
    record.stringKey = *stringKey;
  }
  associations_.push_back(std::move(record));
  IndexAssociation(static_cast<std::int64_t>(associations_.size()) - 1);
}

void ZORSimDatabase::RemoveAssociations(int type, std::int64_t from, int side, std::int64_t to) {
  auto it = index_.find(IndexKey{from, type, 1 - side});
  if (it == index_.end()) return;
  std::vector<std::int64_t> kept;
  for (std::int64_t index : it->second) {
    ZORSimAssociationRecord& a = associations_[static_cast<std::size_t>(index)];
    if (a.end[side] != to) {
      kept.push_back(index);
      continue;
    }
    if (inTransaction_) aliveBefore_.emplace_back(index, a.alive);
    a.alive = false;
    if (index < savedAssociations_) removedSaved_.push_back(index);
    auto& other = index_[IndexKey{a.end[side], type, side}];
    other.erase(std::remove(other.begin(), other.end(), index), other.end());
  }
  it->second = std::move(kept);
}

const std::vector<std::int64_t>& ZORSimDatabase::AssociationsAt(std::int64_t object, int type,
                                                                int end) const {
  auto it = index_.find(IndexKey{object, type, end});
  return it == index_.end() ? kNoAssociations : it->second;
}

const std::vector<std::string>& ZORSimDatabase::SortedSymbols(int type) const {
  auto it = symbolCache_.find(type);
  if (it != symbolCache_.end()) return it->second;
  std::vector<std::string> symbols;
  for (const ZORSimObject& object : objects_)
    if (object.kind == ZORSimObjectKind::kRecord && object.type == type && !object.symbol.empty())
      symbols.push_back(object.symbol);
  std::sort(symbols.begin(), symbols.end());
  symbols.erase(std::unique(symbols.begin(), symbols.end()), symbols.end());
  return symbolCache_[type] = std::move(symbols);
}

const unsigned char* ZORSimDatabase::BlockForRead(std::int64_t drawer, ZORSimValues& values,
                                                  std::int64_t block) {
  if (values.state[block] == ZORSimValues::BlockState::kOnDisk) {
    if (!storage_)
      throw ZORSimError("drawer values are not available: no storage (" + fileName_ + ")");
    values.blocks[block] = storage_->LoadBlock(drawer, block, values);
    values.state[block] = ZORSimValues::BlockState::kLoaded;
  }
  return values.blocks[block] ? values.blocks[block]->data() : nullptr;
}

void ZORSimDatabase::ReadFromBlock(std::int64_t drawer, ZORSimValues& values, std::int64_t block,
                                   std::int64_t within, std::int64_t span, unsigned char* buffer) {
  const bool whole = within == 0 && span == values.BlockByteCount(block);
  if (whole && storage_ && values.state[block] == ZORSimValues::BlockState::kOnDisk) {
    storage_->CopyBlock(drawer, block, values, buffer);
    return;
  }
  const unsigned char* data = BlockForRead(drawer, values, block);
  if (data)
    std::memcpy(buffer, data + within, static_cast<std::size_t>(span));
  else
    std::memset(buffer, 0, static_cast<std::size_t>(span));
}

unsigned char* ZORSimDatabase::BlockForWrite(std::int64_t drawer, ZORSimValues& values,
                                             std::int64_t block) {
  BlockForRead(drawer, values, block);
  auto& slot = values.blocks[block];
  const std::int64_t blockBytes = values.BlockByteCount(block);
  if (inTransaction_ && !(slot && slot.use_count() == 1 && values.dirty[block] == 2)) {
    // Copy on first write in this transaction, so rollback can put the old block back.
    auto oldBlock = slot;
    const auto oldState = values.state[block];
    const auto oldDirty = values.dirty[block];
    std::shared_ptr<ZORSimValues> owner = objects_[drawer].values;
    valueUndo_.push_back([owner, block, oldBlock, oldState, oldDirty]() {
      owner->blocks[block] = oldBlock;
      owner->state[block] = oldState;
      owner->dirty[block] = oldDirty;
    });
    slot = oldBlock ? std::make_shared<std::vector<unsigned char>>(*oldBlock)
                    : std::make_shared<std::vector<unsigned char>>(blockBytes, 0);
    values.dirty[block] = 2;  // 2: already copied in the open transaction
    copiedBlocks_.emplace_back(owner, block);
  } else if (!slot) {
    slot = std::make_shared<std::vector<unsigned char>>(blockBytes, 0);
  }
  if (static_cast<std::int64_t>(slot->size()) < blockBytes) slot->resize(blockBytes, 0);
  values.state[block] = ZORSimValues::BlockState::kLoaded;
  if (values.dirty[block] == 0) values.dirty[block] = 1;
  return slot->data();
}

// A last block cut short by the old count is loaded at its old size before the count grows, and
// taken to its new size as a write: a save then stores it at the size later reads expect, and no
// read or save runs past its end, whether or not the grown part is ever written.
void ZORSimDatabase::GrowValues(std::int64_t drawer, std::int64_t newValueCount) {
  ZORSimValues& values = *objects_[drawer].values;
  if (newValueCount <= values.valueCount) return;
  const std::int64_t partBlock =
      values.ByteCount() % ZORSimValues::kBlockBytes != 0 ? values.BlockCount() - 1 : -1;
  const bool partBlockHolds =
      partBlock >= 0 &&
      (values.blocks[static_cast<std::size_t>(partBlock)] ||
       values.state[static_cast<std::size_t>(partBlock)] == ZORSimValues::BlockState::kOnDisk);
  if (partBlockHolds) BlockForRead(drawer, values, partBlock);
  if (inTransaction_) {
    std::shared_ptr<ZORSimValues> owner = objects_[drawer].values;
    const std::int64_t oldCount = values.valueCount;
    const std::size_t oldBlocks = values.blocks.size();
    valueUndo_.push_back([owner, oldCount, oldBlocks]() {
      owner->valueCount = oldCount;
      owner->blocks.resize(oldBlocks);
      owner->state.resize(oldBlocks);
      owner->dirty.resize(oldBlocks);
      owner->stored.resize(oldBlocks);
    });
  }
  values.valueCount = newValueCount;
  const auto blockCount = static_cast<std::size_t>(values.BlockCount());
  values.blocks.resize(blockCount);
  values.state.resize(blockCount, ZORSimValues::BlockState::kZero);
  values.dirty.resize(blockCount, 0);
  values.stored.resize(blockCount, 0);
  MarkDirty(drawer);
  if (partBlockHolds) BlockForWrite(drawer, values, partBlock);
}

void ZORSimDatabase::BeginTransaction() {
  if (inTransaction_) throw ZORSimError("a transaction is already open on " + fileName_);
  inTransaction_ = true;
  objectsAtBegin_ = objects_.size();
  associationsAtBegin_ = associations_.size();
  removedAtBegin_ = removedSaved_.size();
}

void ZORSimDatabase::CommitTransaction() {
  // Only the blocks this transaction copied carry the mark, so only they are visited.
  for (const auto& [values, block] : copiedBlocks_)
    if (values->dirty[static_cast<std::size_t>(block)] == 2)
      values->dirty[static_cast<std::size_t>(block)] = 1;
  copiedBlocks_.clear();
  inTransaction_ = false;
  objectBefore_.clear();
  dirtyBefore_.clear();
  aliveBefore_.clear();
  valueUndo_.clear();
}

void ZORSimDatabase::RollbackTransaction() {
  for (auto it = valueUndo_.rbegin(); it != valueUndo_.rend(); ++it) (*it)();
  for (auto& [number, object] : objectBefore_) objects_[number] = std::move(object);
  for (auto& [number, dirty] : dirtyBefore_) dirtyObjects_[number] = dirty;
  for (auto it = aliveBefore_.rbegin(); it != aliveBefore_.rend(); ++it)
    associations_[static_cast<std::size_t>(it->first)].alive = it->second;
  objects_.resize(objectsAtBegin_);
  dirtyObjects_.resize(objectsAtBegin_);
  associations_.resize(associationsAtBegin_);
  removedSaved_.resize(removedAtBegin_);
  symbolCache_.clear();
  RebuildAssociationIndex();
  inTransaction_ = false;
  objectBefore_.clear();
  dirtyBefore_.clear();
  aliveBefore_.clear();
  valueUndo_.clear();
  copiedBlocks_.clear();
}

void ZORSimDatabase::AttachStorage(std::unique_ptr<ZORSimStorage> storage) {
  storage_ = std::move(storage);
}

void ZORSimDatabase::MarkAllSaved() {
  std::fill(dirtyObjects_.begin(), dirtyObjects_.end(), 0);
  savedAssociations_ = static_cast<std::int64_t>(associations_.size());
  removedSaved_.clear();
}

void ZORSimDatabase::Save() {
  if (inTransaction_)
    throw ZORSimError("cannot save " + fileName_ + " while a transaction is open");
  if (fileName_.empty()) throw ZORSimError("cannot save a database without a file name");
  if (!storage_)
    storage_ = std::make_unique<ZORSimStorage>(ZORSimSqliteStore::ForNewFile(fileName_), false);
  lastSaveBytes_ = storage_->Save(*this);
  MarkAllSaved();
  for (auto& object : objects_)
    if (object.values) std::fill(object.values->dirty.begin(), object.values->dirty.end(), 0);
}

void ZORSimDatabase::Close() {
  if (inTransaction_) RollbackTransaction();
  storage_.reset();
  objects_.clear();
  objects_.emplace_back();
  dirtyObjects_.assign(1, 0);
  associations_.clear();
  index_.clear();
  symbolCache_.clear();
  closed_ = true;
}

std::int64_t ZORSimDatabase::LoadedBlockCount() const {
  std::int64_t count = 0;
  for (const auto& object : objects_)
    if (object.values)
      for (auto state : object.values->state)
        count += state == ZORSimValues::BlockState::kLoaded ? 1 : 0;
  return count;
}
