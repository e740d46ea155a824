#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ZORContainers.h"
#include "platform/ZORExport.h"
#include "platform/ZORSimHandles.h"
#include "platform/ZORSimMemberSet.h"

class ZORSimDatabase;
class ZORSimContext;

// A set of members of one collection, as a value: copying it copies a pointer to immutable
// members. Temporary sets and stored sets are the same kind of value; a set becomes part of the
// database when it is associated, used as a drawer dimension or put into a data set.
struct ZORMTK_EXPORT ZORSimCSetID {
  ZORSimCollectionID collection;
  ZORSimMemberSetPtr members;

  bool IsEmpty() const { return collection.IsEmpty() || !members; }
  int Size() const { return members ? members->Size() : 0; }
  // Same collection and same members in the same order.
  friend ZORMTK_EXPORT bool operator==(const ZORSimCSetID& a, const ZORSimCSetID& b);
};

// An open database, shared by every position and handle made from it.
class ZORMTK_EXPORT ZORSimContext {
 public:
  ZORSimContext() = default;
  explicit ZORSimContext(std::shared_ptr<ZORSimDatabase> database) : db_(std::move(database)) {}

  // Makes everything written so far durable: after Save returns the data is on disk, and a
  // crash during Save leaves the previous saved state. Throws ZORSimError on failure.
  void Save();
  // The record that member `member` of the collection stands for (empty when it has none).
  ZORSimDynamicID GetRecord(ZORSimCollectionID collection, int member) const;
  ZORSimDSetID CreateDSet(const std::vector<ZORSimCollectionID>& grid, ZORSimTypeID type) const;
  // Attaches a relational distribution to a data set.
  void UpdateDSet(ZORSimDSetID dset, ZORSimDistributionID distribution) const;
  // Untyped distribution over the grid; value type as in ZORSimRangeType.
  ZORSimDistributionID CreateDistribution(const std::vector<ZORSimCollectionID>& grid,
                                          ZORSimRangeType valueType) const;
  bool IsOpen() const;
  ZORSimDatabase& Database() const;
  const std::shared_ptr<ZORSimDatabase>& Shared() const { return db_; }
  friend bool operator==(const ZORSimContext& a, const ZORSimContext& b) { return a.db_ == b.db_; }

 private:
  std::shared_ptr<ZORSimDatabase> db_;
};

// The schema snapshot of a database: type look-up and the subtype relation.
class ZORMTK_EXPORT ZORSimSchema {
 public:
  explicit ZORSimSchema(ZORSimContext context) : context_(std::move(context)) {}
  ZORSimTypeID TypeID(int typeIndex) const;
  // True when the record's type is type or one of its subtypes.
  bool IsA(ZORSimDynamicID record, ZORSimTypeID type) const;
  // Symbol name of the symbol numbered `code` among the symbols of records of this type, numbered
  // by byte-sorted position.
  std::string SymbolName(ZORSimTypeID type, int code) const;

 private:
  ZORSimContext context_;
};

// Numbering of symbols: code = byte-sorted position of a symbol among the records of one type.
class ZORMTK_EXPORT ZORSimSymbols {
 public:
  explicit ZORSimSymbols(ZORSimContext context) : context_(std::move(context)) {}
  // The record of `collection` whose symbol is number `code` of `type` (empty when none).
  ZORSimDynamicID Get(ZORSimTypeID type, int code, ZORSimCollectionID collection) const;
  // The number of a record's symbol within its type, or -1.
  int Get(ZORSimDynamicID record) const;

 private:
  ZORSimContext context_;
};

// Iterator over the results of ZORSrvPosition::FollowList, in insertion order.
class ZORMTK_EXPORT ZORSrvIterator {
 public:
  explicit ZORSrvIterator(std::vector<ZORSimDynamicID> items) : items_(std::move(items)) {}
  int Size() const { return static_cast<int>(items_.size()); }
  void First() { current_ = 0; }
  bool IsDone() const { return current_ >= items_.size(); }
  void Next() { ++current_; }
  ZORSimDynamicID CurrentValueID() const { return items_.at(current_); }
  // On a temporary iterator the items are moved out, so a range-for over
  // position.FollowList(...).Items() never refers into a destroyed iterator.
  const std::vector<ZORSimDynamicID>& Items() const& { return items_; }
  std::vector<ZORSimDynamicID> Items() && { return std::move(items_); }

 private:
  std::vector<ZORSimDynamicID> items_;
  std::size_t current_ = 0;
};

// A navigation position: an open database plus one of its objects. Associations are followed
// from here, and new objects are created from here. Positions are plain values.
//
// Association ends: every association has ends 0 and 1. Associate(type, side, target) from P
// puts target at end `side` and P at the other end; Follow(type, side) from P returns what
// stands at end `side` of the associations whose other end is P, in insertion order.
class ZORMTK_EXPORT ZORSrvPosition {
 public:
  ZORSrvPosition() = default;
  ZORSrvPosition(ZORSimContext context, ZORSimDynamicID id)
      : context_(std::move(context)), id_(id) {}
  // The same database, moved to another object.
  ZORSrvPosition(const ZORSrvPosition& at, ZORSimDynamicID id) : context_(at.context_), id_(id) {}

  ZORSimDynamicID ID() const { return id_; }
  ZORSimContext Context() const { return context_; }
  bool IsValid() const { return context_.IsOpen() && !id_.IsEmpty(); }

  ZORSimDynamicID Follow(int type, int side) const;
  ZORSimDynamicID FollowIntKey(int type, int side, int key) const;
  ZORSimDynamicID FollowStringKey(int type, int side, const std::string& key) const;
  ZORSrvIterator FollowList(int type, int side) const;

  // What the object at this position is, as the matching handle (empty when it is not one).
  ZORSimCollectionID GetCollection() const;
  ZORSimCSetID GetCSet() const;
  ZORSimDSetID GetDSet() const;
  ZORSimDistributionID GetDistribution() const;
  std::string GetSymbolName() const;

  ZORSimDynamicID CreateDataRecord(int type) const;
  ZORSimCollectionID CreateTypedCollection(int flags, int type) const;
  ZORSimDistributionID CreateTypedDistribution(const std::vector<ZORSimCollectionID>& grid,
                                               int type, ZORSimRangeType valueType) const;
  ZORSimDSetID CreateTypedDSet(const std::vector<std::vector<ZORSimCSetID>>& compartments,
                               int type) const;
  void Associate(int type, int side, ZORSimDynamicID target) const;
  void Associate(int type, int side, ZORSimDynamicID target, int intKey) const;
  void Associate(int type, int side, ZORSimDynamicID target, const std::string& stringKey) const;
  // Stores the set as an object of the database and associates it.
  void Associate(int type, int side, const ZORSimCSetID& set) const;
  // Stores the set as an object of the database, to be associated by handle.
  ZORSimDynamicID StoreSet(const ZORSimCSetID& set) const;
  void Remove(int type, int side, ZORSimDynamicID target) const;
  // Removes the association to a stored set with the same members.
  void Remove(int type, int side, const ZORSimCSetID& set) const;

 private:
  ZORSimContext context_;
  ZORSimDynamicID id_;
};

// The associations of one type, as a value to select from.
struct ZORMTK_EXPORT ZORSimAssociation {
  ZORSimContext context;
  int type = 0;
  ZORSimAssociation(ZORSimContext associationContext, int associationType)
      : context(std::move(associationContext)), type(associationType) {}
};

// The associations of a type that have `id` at end `side`, yielding their other ends in
// insertion order.
class ZORMTK_EXPORT ZORSimSelectionSet {
 public:
  ZORSimSelectionSet(const ZORSimAssociation& association, int side, ZORSimDynamicID id);
  int Size() const { return static_cast<int>(items_.size()); }
  // The other end of selected association i (empty when i is out of range).
  ZORSimDynamicID Get(int i) const {
    return i >= 0 && i < Size() ? items_[static_cast<std::size_t>(i)] : ZORSimDynamicID{};
  }

 private:
  std::vector<ZORSimDynamicID> items_;
};

// Record type operations on one record.
class ZORMTK_EXPORT ZORSimDataRecord {
 public:
  explicit ZORSimDataRecord(const ZORSrvPosition& position) : position_(position) {}
  bool IsA(ZORSimTypeID type) const;
  // Slot 0 is the record's own type; it may be replaced by a subtype of the type it was made with.
  void SetTypeID(int slot, ZORSimTypeID type) const;

 private:
  ZORSrvPosition position_;
};

// A collection of integer members 0 … space-1 and its sets.
class ZORMTK_EXPORT ZORSimCollection {
 public:
  ZORSimCollection(ZORSimContext context, ZORSimCollectionID id)
      : context_(std::move(context)), id_(id) {}
  ZORSimCollectionID ID() const { return id_; }
  int Space() const;
  void ExtendSpace(int space) const;
  ZORSimCSetID BiggestCSetID() const;
  ZORSimCSetID EmptyCSetID() const;
  ZORSimCSetID CreateCSet(const int* members, int count, bool ordered) const;
  ZORSimCSetID CreateCSetStrided(int start, int count, int stride, int repeat) const;
  ZORSimCSetID CreateTempOrderedCSet(const int* members, int count) const;
  ZORSimCSetID CreateTempCSet(const int* members, int count, bool ordered) const;
  ZORSimCSetID CreateTempCSetStrided(int start, int count, int stride, int repeat) const;

 private:
  ZORSimCSetID Make(ZORSimMemberSetPtr members) const;
  ZORSimContext context_;
  ZORSimCollectionID id_;
};

// Read-only operations on a set.
class ZORMTK_EXPORT ZORSimCSet {
 public:
  explicit ZORSimCSet(ZORSimCSetID id) : id_(std::move(id)) {}
  int Size() const { return id_.Size(); }
  int operator[](int position) const;
  void Members(int* out) const;         // ascending
  void OrderedMembers(int* out) const;  // in the set's order
  bool IsMember(int member) const;
  // Position of member in the set's order, or -1.
  int SeekMember(int member) const;
  // Members of this set that are also in other, in this set's order.
  ZORSimCSetID Intersection(const ZORSimCSetID& other) const;
  ZORSimCSetID AscendingID() const;
  // Temporary sets need no registration here; kept so callers read as the interface is used.
  void RegisterWithTempCollection() const {}
  ZORSimCollectionID Collection() const { return id_.collection; }
  const ZORSimCSetID& ID() const { return id_; }

 private:
  ZORSimCSetID id_;
};

// One drawer of a distribution, as QueryDrawers lists it.
struct ZORMTK_EXPORT ZORSimDrawerDescriptor {
  ZORSimDrawerID id;
  std::vector<ZORSimCSetID> dimensions;
};

class ZORMTK_EXPORT ZORSimDistribution {
 public:
  ZORSimDistribution(ZORSimContext context, ZORSimDistributionID id)
      : context_(std::move(context)), id_(id) {}
  std::vector<ZORSimDrawerDescriptor> QueryDrawers() const;
  std::vector<ZORSimCollectionID> Grid() const;

 private:
  ZORSimContext context_;
  ZORSimDistributionID id_;
};

// A data set: compartments, each a tuple of sets over the data set's grid collections.
class ZORMTK_EXPORT ZORSimDSet {
 public:
  ZORSimDSet(ZORSimContext context, ZORSimDSetID id);
  ZORSimDistributionID GetRelationalDistributionID() const;
  // The union, ascending, of the compartments' sets over `collection`.
  ZORSimCSetID Collect(ZORSimCollectionID collection) const;
  // The data set narrowed to the compartments whose set over `collection` holds `member`.
  ZORSimDSet Select(ZORSimCollectionID collection, int member) const;
  bool IsEmpty() const { return compartments_.empty(); }

 private:
  ZORSimDSet(ZORSimContext context, std::vector<ZORSimCollectionID> grid,
             std::vector<std::vector<ZORSimCSetID>> compartments)
      : context_(std::move(context)),
        grid_(std::move(grid)),
        compartments_(std::move(compartments)) {}
  ZORSimContext context_;
  ZORSimDSetID id_;
  std::vector<ZORSimCollectionID> grid_;
  std::vector<std::vector<ZORSimCSetID>> compartments_;
};

// All changes made while it is open and uncommitted are undone when it is destroyed (also while
// an exception unwinds). One transaction per database at a time; reading needs none.
class ZORMTK_EXPORT ZORSimTransaction {
 public:
  explicit ZORSimTransaction(ZORSimContext context);
  ~ZORSimTransaction();
  ZORSimTransaction(const ZORSimTransaction&) = delete;
  ZORSimTransaction& operator=(const ZORSimTransaction&) = delete;
  void Commit();

 private:
  ZORSimContext context_;
  bool open_ = false;
};

// One bulk move of values between a caller's buffer and a drawer, or the making of a drawer.
// The buffer is row-major over the transfer's dimension sets, last dimension fastest. Each set
// must lie within the drawer's set of that dimension (in any order); on write with auto-extend,
// members missing from the extendable dimension are appended to the drawer. A buffer whose
// byte length differs from the view's size is refused.
class ZORMTK_EXPORT ZORSimTransfer {
 public:
  ZORSimTransfer(ZORSimContext context, ZORSimDistributionID distribution);
  void SetRead() { mode_ = Mode::kRead; }
  void SetWrite() { mode_ = Mode::kWrite; }
  void SetMakeNewDrawerChunked(const std::vector<int>& chunk);
  void SetBufferPadding(bool padding) { padding_ = padding; }
  // 2: 8-byte doubles; 1 (the default): 4-byte ints.
  void SetBufferType(int type) { bufferType_ = type; }
  void SetExtendableDim(int dimension) { extendableDim_ = dimension; }
  void SetAutoExtend(bool on = true) { autoExtend_ = on; }
  void SetDrawer(ZORSimDrawerID drawer) { drawer_ = drawer; }
  void SetDim(int dimension, const ZORSimCSetID& set);
  void SetDims(const std::vector<ZORSimCSetID>& sets) { dims_ = sets; }
  void CheckView() const;
  void SetBuffer(int index, void* buffer, std::int64_t bytes);
  void SetBuffer(int index, const void* buffer, std::int64_t bytes);
  void ExecRead();
  void ExecWrite();
  void ExecMake();
  ZORSimDrawerID DrawerID() const { return drawer_; }
  void RelinquishBuffers();
  std::int64_t ViewValueCount() const;

 private:
  enum class Mode { kNone, kRead, kWrite, kMake };
  ZORSimContext context_;
  ZORSimDistributionID distribution_;
  Mode mode_ = Mode::kNone;
  std::vector<int> chunk_;
  bool padding_ = false;
  int bufferType_ = 1;
  int extendableDim_ = 0;
  bool autoExtend_ = false;
  ZORSimDrawerID drawer_;
  std::vector<ZORSimCSetID> dims_;
  void* buffer_ = nullptr;
  const void* constBuffer_ = nullptr;
  std::int64_t bufferBytes_ = 0;
};

// Element entries per node of a mesh: which elements of a region use each node. An entry holds
// the element member in its low 25 bits (mask 0x1FFFFFF).
class ZORMTK_EXPORT ZORSrvInverseConnectivity {
 public:
  explicit ZORSrvInverseConnectivity(const ZORSrvPosition& mesh) : mesh_(mesh) {}
  void Invert(const ZORSimCSetID& elements);
  // Entries of node member `node`; count receives their number. Null when the node has none.
  const int* Entries(int node, int& count) const;
  int NodeCount() const { return static_cast<int>(offsets_.empty() ? 0 : offsets_.size() - 1); }

 private:
  ZORSrvPosition mesh_;
  std::vector<std::int64_t> offsets_;
  std::vector<int> entries_;
};

// The element set stored under `name` (scoped names join scope and set with the separator); an
// empty set when there is none.
ZORMTK_EXPORT ZORSimCSetID ZORSrvGetElementSetIDFromScopedName(const ZORSrvPosition& position,
                                                               const std::string& name,
                                                               const char* separator);
// Stores an element set under a name, for hosts that name their regions.
ZORMTK_EXPORT void ZORSrvAddElementSet(const ZORSrvPosition& root, const std::string& name,
                                       const ZORSimCSetID& elements);

// Opens, creates and closes databases.
class ZORMTK_EXPORT ZORSrvSimAccess {
 public:
  void SetSchema(const char* schemaSource);
  // Creates a database that becomes a file only at its first Save; an existing file of that
  // name is left intact until then. Loads the document as initial content, binds `focusBinding`
  // to the focus record and returns the focus position.
  ZORSrvPosition Create(const std::string& fileName, const std::string& role,
                        const char* documentText, const std::string& focusBinding);
  // Opens an existing database: metadata now, drawer values on first use.
  ZORSrvPosition Open(const std::string& fileName);
  // Closes the database of the position; unsaved changes are dropped.
  void Close(const ZORSrvPosition& position);

 private:
  std::string schema_;
};
