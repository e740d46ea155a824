#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ZORSimHandles.h"
#include "platform/impl/ZORSimAssociationRecord.h"
#include "platform/impl/ZORSimObject.h"
#include "platform/impl/ZORSimSchemaTable.h"

class ZORSimStorage;

// One open database: the object model in memory, the undo log of the open transaction, and
// the storage that loads drawer values on demand and saves what changed.
class ZORSimDatabase {
 public:
  ZORSimDatabase(std::string fileName, ZORSimSchemaTable schema);
  ~ZORSimDatabase();

  int Serial() const { return serial_; }
  const std::string& FileName() const { return fileName_; }
  const ZORSimSchemaTable& Schema() const { return schema_; }

  // Object access; a handle of another database, or of no object, throws ZORSimError.
  std::int64_t Resolve(const ZORSimDynamicID& id, ZORSimObjectKind expected,
                       const char* what) const;
  std::int64_t ResolveAny(const ZORSimDynamicID& id, const char* what) const;
  const ZORSimObject& Object(std::int64_t number) const { return objects_[number]; }
  // Mutable access records the object's old state in the open transaction.
  ZORSimObject& Modify(std::int64_t number);
  ZORSimDynamicID Handle(std::int64_t number) const {
    return number == 0 ? ZORSimDynamicID{} : ZORSimDynamicID{serial_, number};
  }
  std::int64_t ObjectCount() const { return static_cast<std::int64_t>(objects_.size()); }

  std::int64_t CreateObject(ZORSimObject object);
  std::int64_t StoreSet(const ZORSimStoredSet& set);

  void Associate(int type, std::int64_t end0, std::int64_t end1, const int* intKey,
                 const std::string* stringKey);
  // Removes associations of `type` with `from` at end 1-side and `to` at end side.
  void RemoveAssociations(int type, std::int64_t from, int side, std::int64_t to);
  // Associations of `type` with `object` at end `end`, in insertion order.
  const std::vector<std::int64_t>& AssociationsAt(std::int64_t object, int type, int end) const;
  const ZORSimAssociationRecord& Association(std::int64_t index) const {
    return associations_[static_cast<std::size_t>(index)];
  }

  // Symbol numbering per record type, byte-sorted.
  const std::vector<std::string>& SortedSymbols(int type) const;

  // Values: make sure a block is in memory (loading it from the file if needed) and return it;
  // ForWrite also records it in the open transaction and marks it changed.
  const unsigned char* BlockForRead(std::int64_t drawer, ZORSimValues& values, std::int64_t block);
  unsigned char* BlockForWrite(std::int64_t drawer, ZORSimValues& values, std::int64_t block);
  // Copies `span` bytes of a block from byte `within` into buffer (zeros for a block never
  // written). A block still in the file that is read whole goes straight into the buffer and
  // stays in the file: a reader that takes whole blocks (a mesh read into a search structure)
  // would otherwise leave a second copy of everything it read in memory.
  void ReadFromBlock(std::int64_t drawer, ZORSimValues& values, std::int64_t block,
                     std::int64_t within, std::int64_t span, unsigned char* buffer);
  void GrowValues(std::int64_t drawer, std::int64_t newValueCount);

  void BeginTransaction();
  void CommitTransaction();
  void RollbackTransaction();
  bool InTransaction() const { return inTransaction_; }

  void Save();
  // Drops the model and the file connection; every handle of this database then throws.
  void Close();
  bool IsClosed() const { return closed_; }
  // Bytes the last Save wrote, and value blocks now in memory: what a save and an open cost.
  std::int64_t LastSaveBytes() const { return lastSaveBytes_; }
  std::int64_t LoadedBlockCount() const;
  void AttachStorage(std::unique_ptr<ZORSimStorage> storage);
  // Loaded from a file: everything is already saved.
  void MarkAllSaved();

  // Storage access to the model, for saving and loading.
  std::vector<ZORSimObject>& MutableObjects() { return objects_; }
  std::vector<ZORSimAssociationRecord>& MutableAssociations() { return associations_; }
  void RebuildAssociationIndex();
  std::vector<std::uint8_t>& DirtyObjects() { return dirtyObjects_; }
  std::int64_t SavedAssociationCount() const { return savedAssociations_; }
  const std::vector<std::int64_t>& RemovedSavedAssociations() const { return removedSaved_; }
  // Row id in the file of each saved association (by position), and the next free row id. Rows
  // are numbered apart from positions, so a file's ids never size anything in memory.
  std::vector<std::int64_t>& AssociationFileIds() { return associationFileIds_; }
  std::int64_t& NextAssociationFileId() { return nextAssociationFileId_; }

 private:
  struct IndexKey {
    std::int64_t object;
    int type;
    int end;
    bool operator==(const IndexKey& o) const {
      return object == o.object && type == o.type && end == o.end;
    }
  };
  struct IndexKeyHash {
    std::size_t operator()(const IndexKey& k) const {
      return std::hash<std::int64_t>()(k.object * 1000003 + k.type * 2 + k.end);
    }
  };
  void IndexAssociation(std::int64_t index);
  void MarkDirty(std::int64_t number);

  bool closed_ = false;
  std::int64_t lastSaveBytes_ = 0;
  int serial_;
  std::string fileName_;
  ZORSimSchemaTable schema_;
  std::vector<ZORSimObject> objects_;
  std::vector<std::uint8_t> dirtyObjects_;
  std::vector<ZORSimAssociationRecord> associations_;
  std::unordered_map<IndexKey, std::vector<std::int64_t>, IndexKeyHash> index_;
  std::int64_t savedAssociations_ = 0;
  std::vector<std::int64_t> removedSaved_;
  std::vector<std::int64_t> associationFileIds_;
  std::int64_t nextAssociationFileId_ = 0;
  mutable std::map<int, std::vector<std::string>> symbolCache_;
  std::unique_ptr<ZORSimStorage> storage_;

  // Undo state of the open transaction.
  bool inTransaction_ = false;
  std::size_t objectsAtBegin_ = 0;
  std::size_t associationsAtBegin_ = 0;
  std::size_t removedAtBegin_ = 0;
  std::map<std::int64_t, ZORSimObject> objectBefore_;
  std::map<std::int64_t, std::uint8_t> dirtyBefore_;
  std::vector<std::pair<std::int64_t, bool>> aliveBefore_;
  std::vector<std::function<void()>> valueUndo_;
  std::vector<std::pair<std::shared_ptr<ZORSimValues>, std::int64_t>> copiedBlocks_;
};
