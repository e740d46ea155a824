#include "platform/impl/ZORSimByteWriter.h"

void ZORSimByteWriter::Set(const ZORSimStoredSet& set) {
  Int(set.collection);
  if (!set.members) {
    Int(-1);
    return;
  }
  const ZORSimMemberSet& m = *set.members;
  Int(m.IsRange() ? 1 : 0);
  Int(m.Size());
  if (m.IsRange()) {
    Int(m.RangeStart());
    Int(m.RangeStride());
    return;
  }
  const std::vector<int> members = m.Ordered();
  Raw(members.data(), members.size() * sizeof(int));
}

void ZORSimByteWriter::Object(const ZORSimObject& o) {
  Int(static_cast<int>(o.kind));
  Int(o.type);
  String(o.tag);
  String(o.symbol);
  Int(o.space);
  Ints(o.memberRecords);
  Set(o.set);
  Ints(o.grid);
  Int(static_cast<std::int64_t>(o.compartments.size()));
  for (const auto& compartment : o.compartments) {
    Int(static_cast<std::int64_t>(compartment.size()));
    for (const auto& set : compartment) Set(set);
  }
  Int(o.relational);
  Int(o.valueType);
  Int(o.target);
  Ints(o.drawers);
  Int(o.distribution);
  Int(static_cast<std::int64_t>(o.dims.size()));
  for (const auto& set : o.dims) Set(set);
  Int(static_cast<std::int64_t>(o.chunk.size()));
  for (int c : o.chunk) Int(c);
  Int(o.extendableDim);
  Int(o.values ? o.values->elementSize : 0);
  Int(o.values ? o.values->valueCount : 0);
  Int(o.values ? o.values->storedCount : 0);
}

void ZORSimByteWriter::Association(const ZORSimAssociationRecord& a) {
  Int(a.type);
  Int(a.end[0]);
  Int(a.end[1]);
  Int(a.hasIntKey ? 1 : 0);
  Int(a.intKey);
  Int(a.hasStringKey ? 1 : 0);
  String(a.stringKey);
}
