#include "platform/impl/ZORSimByteReader.h"

#include <limits>

#include "platform/ZORSimError.h"

void ZORSimByteReader::Raw(void* out, std::size_t size) {
  if (size == 0) return;
  if (size > size_ - offset_)
    throw ZORSimError(where_ + ": record is truncated", ZORSimErrorKind::kCorruption);
  std::memcpy(out, data_ + offset_, size);
  offset_ += size;
}

std::int64_t ZORSimByteReader::Int() {
  std::int64_t value = 0;
  Raw(&value, sizeof value);
  return value;
}

int ZORSimByteReader::SmallInt(std::int64_t limit) {
  const std::int64_t value = Int();
  if (value < -1 || value > limit)
    throw ZORSimError(where_ + ": value out of range", ZORSimErrorKind::kCorruption);
  return static_cast<int>(value);
}

std::size_t ZORSimByteReader::Count(std::size_t elementSize) {
  const std::int64_t count = Int();
  if (count < 0 || static_cast<std::uint64_t>(count) > (size_ - offset_) / elementSize)
    throw ZORSimError(where_ + ": length exceeds the record", ZORSimErrorKind::kCorruption);
  return static_cast<std::size_t>(count);
}

std::string ZORSimByteReader::String() {
  std::string text(Count(1), '\0');
  Raw(text.data(), text.size());
  return text;
}

std::vector<std::int64_t> ZORSimByteReader::Ints() {
  std::vector<std::int64_t> values(Count(sizeof(std::int64_t)));
  Raw(values.data(), values.size() * sizeof(std::int64_t));
  return values;
}

namespace {
// A member set that a file describes and the set itself refuses comes from a damaged file.
template <typename Make>
ZORSimMemberSetPtr AsCorruption(Make make) {
  try {
    return make();
  } catch (const ZORSimError& error) {
    throw ZORSimError(error.what(), ZORSimErrorKind::kCorruption);
  }
}
}  // namespace

ZORSimStoredSet ZORSimByteReader::Set() {
  ZORSimStoredSet set;
  set.collection = Int();
  const std::int64_t isRange = Int();
  if (isRange == -1) return set;
  if (isRange == 1) {
    const int count = SmallInt(std::numeric_limits<int>::max());
    const int start = SmallInt(std::numeric_limits<int>::max());
    const int stride = SmallInt(std::numeric_limits<int>::max());
    set.members = AsCorruption([&] { return ZORSimMemberSet::Range(start, count, stride); });
    return set;
  }
  if (isRange != 0) throw ZORSimError(where_ + ": bad set kind", ZORSimErrorKind::kCorruption);
  std::vector<int> members(Count(sizeof(int)));
  Raw(members.data(), members.size() * sizeof(int));
  set.members = AsCorruption([&] { return ZORSimMemberSet::Explicit(std::move(members)); });
  return set;
}

ZORSimObject ZORSimByteReader::Object() {
  ZORSimObject o;
  const int kind = SmallInt(6);
  if (kind < 1) throw ZORSimError(where_ + ": bad object kind", ZORSimErrorKind::kCorruption);
  o.kind = static_cast<ZORSimObjectKind>(kind);
  o.type = static_cast<int>(Int());
  o.tag = String();
  o.symbol = String();
  o.space = Int();
  o.memberRecords = Ints();
  o.set = Set();
  o.grid = Ints();
  const std::size_t compartments = Count(8);
  for (std::size_t i = 0; i < compartments; ++i) {
    std::vector<ZORSimStoredSet> compartment(Count(8));
    for (auto& set : compartment) set = Set();
    o.compartments.push_back(std::move(compartment));
  }
  o.relational = Int();
  o.valueType = static_cast<int>(Int());
  o.target = Int();
  o.drawers = Ints();
  o.distribution = Int();
  o.dims.resize(Count(8));
  for (auto& set : o.dims) set = Set();
  o.chunk.resize(Count(8));
  for (int& c : o.chunk) c = static_cast<int>(Int());
  o.extendableDim = static_cast<int>(Int());
  const std::int64_t elementSize = Int();
  const std::int64_t valueCount = Int();
  const std::int64_t storedCount = Int();
  if (o.kind == ZORSimObjectKind::kDrawer) {
    if ((elementSize != 4 && elementSize != 8) || valueCount < 0 ||
        valueCount > (std::int64_t{1} << 40))
      throw ZORSimError(where_ + ": bad drawer value layout", ZORSimErrorKind::kCorruption);
    o.values = std::make_shared<ZORSimValues>();
    o.values->elementSize = static_cast<int>(elementSize);
    o.values->valueCount = valueCount;
    const auto blocks = static_cast<std::size_t>(o.values->BlockCount());
    o.values->blocks.resize(blocks);
    o.values->state.resize(blocks, ZORSimValues::BlockState::kZero);
    o.values->dirty.resize(blocks, 0);
    o.values->stored.resize(blocks, 0);
    if (storedCount < 0 || storedCount > o.values->BlockCount())
      throw ZORSimError(where_ + ": bad drawer value layout", ZORSimErrorKind::kCorruption);
    o.values->storedCount = storedCount;
  }
  if (!AtEnd()) throw ZORSimError(where_ + ": trailing bytes", ZORSimErrorKind::kCorruption);
  return o;
}

ZORSimAssociationRecord ZORSimByteReader::Association() {
  ZORSimAssociationRecord a;
  a.type = static_cast<int>(Int());
  a.end[0] = Int();
  a.end[1] = Int();
  a.hasIntKey = Int() != 0;
  a.intKey = static_cast<int>(Int());
  a.hasStringKey = Int() != 0;
  a.stringKey = String();
  if (!AtEnd()) throw ZORSimError(where_ + ": trailing bytes", ZORSimErrorKind::kCorruption);
  return a;
}
