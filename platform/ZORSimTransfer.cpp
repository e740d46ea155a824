#include <algorithm>
#include <cstring>

#include "platform/ZORSimTransfer.h"
#include "platform/impl/ZORSimDatabase.h"

namespace {

std::int64_t SizeOf(const ZORSimMemberSetPtr& set) { return set ? set->Size() : 0; }

// A maximal stretch of consecutive drawer positions along one dimension.
struct Run {
  std::int64_t first;
  std::int64_t length;
};

void AppendPosition(std::vector<Run>& runs, std::int64_t position) {
  if (!runs.empty() && runs.back().first + runs.back().length == position)
    ++runs.back().length;
  else
    runs.push_back(Run{position, 1});
}

std::vector<std::int64_t> Expand(const std::vector<Run>& runs) {
  std::vector<std::int64_t> out;
  for (const Run& run : runs)
    for (std::int64_t i = 0; i < run.length; ++i) out.push_back(run.first + i);
  return out;
}

// A stride-1 range inside a stride-1 drawer range maps to one run without a per-member look-up.
bool ContiguousRun(const ZORSimMemberSet& set, const ZORSimMemberSet& drawerSet,
                   std::vector<Run>& runs) {
  if (set.Size() == 0) return true;
  if (!set.IsRange() || !drawerSet.IsRange() || set.RangeStride() != 1 ||
      drawerSet.RangeStride() != 1)
    return false;
  const int first = drawerSet.Seek(set.RangeStart());
  const int last = drawerSet.Seek(set.MaxMember());
  if (first < 0 || last < 0) return false;
  runs.push_back(Run{first, set.Size()});
  return true;
}

// Moves `count` values between a caller's buffer and the drawer's blocks, starting at flat
// value offset `offset`. Blocks that were never written read as zeros.
void CopyValues(ZORSimDatabase& db, std::int64_t drawer, ZORSimValues& values, std::int64_t offset,
                std::int64_t count, unsigned char* buffer, bool write) {
  const std::int64_t elementSize = values.elementSize;
  if (offset < 0 || count < 0 || offset + count > values.valueCount)
    throw ZORSimError("transfer: drawer values do not match the drawer's dimensions (" +
                      db.FileName() + ")");
  std::int64_t byte = offset * elementSize;
  std::int64_t remaining = count * elementSize;
  while (remaining > 0) {
    const std::int64_t block = byte / ZORSimValues::kBlockBytes;
    const std::int64_t within = byte % ZORSimValues::kBlockBytes;
    const std::int64_t span = std::min(remaining, ZORSimValues::kBlockBytes - within);
    if (write)
      std::memcpy(db.BlockForWrite(drawer, values, block) + within, buffer,
                  static_cast<std::size_t>(span));
    else
      db.ReadFromBlock(drawer, values, block, within, span, buffer);
    buffer += span;
    byte += span;
    remaining -= span;
  }
}

}  // namespace

ZORSimTransfer::ZORSimTransfer(ZORSimContext context, ZORSimDistributionID distribution)
    : context_(std::move(context)), distribution_(distribution) {}

void ZORSimTransfer::SetMakeNewDrawerChunked(const std::vector<int>& chunk) {
  mode_ = Mode::kMake;
  chunk_ = chunk;
}

void ZORSimTransfer::SetDim(int dimension, const ZORSimCSetID& set) {
  if (dimension < 0 || dimension > 64) throw ZORSimError("SetDim: dimension out of range");
  if (static_cast<int>(dims_.size()) <= dimension)
    dims_.resize(static_cast<std::size_t>(dimension) + 1);
  dims_[static_cast<std::size_t>(dimension)] = set;
}

void ZORSimTransfer::SetBuffer(int index, void* buffer, std::int64_t bytes) {
  if (index != 0) throw ZORSimError("SetBuffer: only buffer 0 exists");
  buffer_ = buffer;
  constBuffer_ = buffer;
  bufferBytes_ = bytes;
}

void ZORSimTransfer::SetBuffer(int index, const void* buffer, std::int64_t bytes) {
  if (index != 0) throw ZORSimError("SetBuffer: only buffer 0 exists");
  buffer_ = nullptr;
  constBuffer_ = buffer;
  bufferBytes_ = bytes;
}

void ZORSimTransfer::RelinquishBuffers() {
  buffer_ = nullptr;
  constBuffer_ = nullptr;
  bufferBytes_ = 0;
}

std::int64_t ZORSimTransfer::ViewValueCount() const {
  std::int64_t count = 1;
  for (const auto& set : dims_) count *= SizeOf(set.members);
  return count;
}

void ZORSimTransfer::CheckView() const {
  ZORSimDatabase& db = context_.Database();
  const auto& dist =
      db.Object(db.Resolve(distribution_.id, ZORSimObjectKind::kDistribution, "CheckView"));
  if (dims_.size() != dist.grid.size())
    throw ZORSimError("transfer: " + std::to_string(dims_.size()) +
                      " dimension sets for a distribution of " + std::to_string(dist.grid.size()) +
                      " dimensions");
  for (std::size_t d = 0; d < dims_.size(); ++d) {
    const std::int64_t collection =
        dims_[d].collection.IsEmpty() ? 0 : db.ResolveAny(dims_[d].collection.id, "CheckView");
    if (collection != dist.grid[d])
      throw ZORSimError("transfer: the set of dimension " + std::to_string(d) +
                        " belongs to another collection than the distribution's");
  }
}

void ZORSimTransfer::ExecMake() {
  CheckView();
  ZORSimDatabase& db = context_.Database();
  const std::int64_t dist = distribution_.id.object;
  ZORSimObject drawer;
  drawer.kind = ZORSimObjectKind::kDrawer;
  drawer.distribution = dist;
  drawer.chunk = chunk_;
  drawer.extendableDim = extendableDim_;
  if (extendableDim_ != 0) throw ZORSimError("ExecMake: only dimension 0 can be extendable");
  // A relational drawer whose inner dimension is empty would hold rows without references,
  // such as a block of elements without nodes.
  if (db.Object(dist).valueType == 5)
    for (std::size_t d = 1; d < dims_.size(); ++d)
      if (SizeOf(dims_[d].members) == 0)
        throw ZORSimError("ExecMake: a relational drawer needs members in dimension " +
                          std::to_string(d) + " (a block without nodes?)");
  std::int64_t count = 1;
  for (const auto& set : dims_) {
    if (set.members && set.members->HasDuplicates())
      throw ZORSimError("ExecMake: a drawer dimension set repeats a member");
    drawer.dims.push_back(
        ZORSimStoredSet{set.collection.IsEmpty() ? 0 : set.collection.id.object,
                        set.members ? set.members : ZORSimMemberSet::Range(0, 0, 1)});
    count *= SizeOf(set.members);
  }
  drawer.values = std::make_shared<ZORSimValues>();
  drawer.values->elementSize = db.Object(dist).valueType == 5 ? 4 : 8;
  const std::int64_t number = db.CreateObject(std::move(drawer));
  db.GrowValues(number, count);
  db.Modify(dist).drawers.push_back(number);
  drawer_ = ZORSimDrawerID(db.Handle(number));
}

void ZORSimTransfer::ExecRead() {
  if (!buffer_ && ViewValueCount() > 0) throw ZORSimError("ExecRead: no writable buffer set");
  mode_ = Mode::kRead;
  ExecWrite();
}

namespace {

// Where each transfer member sits in the drawer's set of its dimension, as runs of consecutive
// positions: a whole or contiguous dimension costs one run, not one entry per member. Members
// missing from dimension 0 go to `appended` (and get the positions after the drawer's end) when
// the transfer may extend the drawer.
std::vector<std::vector<Run>> DrawerPositions(const ZORSimObject& drawer,
                                              const std::vector<ZORSimCSetID>& dims, bool extend,
                                              std::vector<int>& appended) {
  std::vector<std::vector<Run>> positions(dims.size());
  for (std::size_t d = 0; d < dims.size(); ++d) {
    const ZORSimMemberSet& drawerSet = *drawer.dims[d].members;
    const ZORSimMemberSetPtr& set = dims[d].members;
    if (ContiguousRun(*set, drawerSet, positions[d])) continue;
    const int n = static_cast<int>(SizeOf(set));
    for (int i = 0; i < n; ++i) {
      const int member = set->At(i);
      std::int64_t position = drawerSet.Seek(member);
      if (position < 0 && extend && d == 0) {
        position = drawerSet.Size() + static_cast<std::int64_t>(appended.size());
        appended.push_back(member);
      }
      if (position < 0)
        throw ZORSimError("transfer: member " + std::to_string(member) + " of dimension " +
                          std::to_string(d) + " is not in the drawer");
      AppendPosition(positions[d], position);
    }
  }
  return positions;
}

void CheckReferences(const ZORSimDatabase& db, const ZORSimObject& distribution, const int* refs,
                     std::int64_t count) {
  const std::int64_t space = distribution.target ? db.Object(distribution.target).space : 0;
  for (std::int64_t i = 0; i < count; ++i)
    if (refs[i] < 0 || refs[i] >= space)
      throw ZORSimError("transfer: relational value " + std::to_string(refs[i]) +
                        " lies outside its target collection (space " + std::to_string(space) +
                        ")");
}

void AppendMembers(ZORSimDatabase& db, std::int64_t drawer, const std::vector<int>& appended) {
  std::vector<int> sorted = appended;
  std::sort(sorted.begin(), sorted.end());
  if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end())
    throw ZORSimError("transfer: a member to append appears twice");
  ZORSimObject& object = db.Modify(drawer);
  object.dims[0].members = object.dims[0].members->Appended(appended);
  std::int64_t rowSize = 1;
  for (std::size_t d = 1; d < object.dims.size(); ++d) rowSize *= SizeOf(object.dims[d].members);
  db.GrowValues(drawer, SizeOf(object.dims[0].members) * rowSize);
}

// Moves the view's values between the buffer and the drawer. The suffix of dimensions the view
// covers whole and in order moves as one contiguous unit; the dimensions before it are walked
// like an odometer, last fastest.
void MoveValues(ZORSimDatabase& db, std::int64_t drawer,
                const std::vector<std::vector<Run>>& positions, unsigned char* cursor,
                std::int64_t valueCount, bool write) {
  const ZORSimObject& object = db.Object(drawer);
  ZORSimValues& values = *object.values;
  const std::size_t rank = positions.size();
  std::vector<std::int64_t> stride(rank, 1);
  for (std::size_t d = rank; d-- > 1;) stride[d - 1] = stride[d] * SizeOf(object.dims[d].members);
  std::size_t suffix = rank;
  while (suffix > 0) {
    const auto& runs = positions[suffix - 1];
    if (runs.size() != 1 || runs[0].first != 0 ||
        runs[0].length != SizeOf(object.dims[suffix - 1].members))
      break;
    --suffix;
  }
  if (suffix == 0) return CopyValues(db, drawer, values, 0, valueCount, cursor, write);
  const std::size_t last = suffix - 1;
  const std::int64_t unit = stride[last];
  std::vector<std::vector<std::int64_t>> outer(last);
  for (std::size_t d = 0; d < last; ++d) outer[d] = Expand(positions[d]);
  std::vector<std::size_t> counter(last, 0);
  for (;;) {
    std::int64_t base = 0;
    for (std::size_t d = 0; d < last; ++d) base += outer[d][counter[d]] * stride[d];
    for (const Run& run : positions[last]) {
      CopyValues(db, drawer, values, base + run.first * unit, run.length * unit, cursor, write);
      cursor += run.length * unit * values.elementSize;
    }
    std::size_t d = last;
    while (d > 0 && ++counter[d - 1] == outer[d - 1].size()) counter[--d] = 0;
    if (d == 0) break;
  }
}

}  // namespace

void ZORSimTransfer::ExecWrite() {
  const bool write = mode_ != Mode::kRead;
  CheckView();
  ZORSimDatabase& db = context_.Database();
  const std::int64_t dist = distribution_.id.object;
  const std::int64_t drawer =
      db.Resolve(drawer_.id, ZORSimObjectKind::kDrawer, write ? "ExecWrite" : "ExecRead");
  if (db.Object(drawer).distribution != dist)
    throw ZORSimError("transfer: the drawer belongs to another distribution");
  const int elementSize = bufferType_ == 2 ? 8 : 4;
  if (elementSize != db.Object(drawer).values->elementSize)
    throw ZORSimError("transfer: buffer type does not match the drawer's value type");
  const std::int64_t valueCount = ViewValueCount();
  if (bufferBytes_ != valueCount * elementSize || (valueCount > 0 && !constBuffer_))
    throw ZORSimError("transfer: buffer of " + std::to_string(bufferBytes_) +
                      " bytes for a view of " + std::to_string(valueCount * elementSize) +
                      " bytes");
  std::vector<int> appended;
  const auto positions = DrawerPositions(db.Object(drawer), dims_, write && autoExtend_, appended);
  if (write && db.Object(dist).valueType == 5 && valueCount > 0)
    CheckReferences(db, db.Object(dist), static_cast<const int*>(constBuffer_), valueCount);
  if (!appended.empty()) AppendMembers(db, drawer, appended);
  if (valueCount == 0) return;
  MoveValues(db, drawer, positions, static_cast<unsigned char*>(const_cast<void*>(constBuffer_)),
             valueCount, write);
}
