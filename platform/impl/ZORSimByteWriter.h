#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/impl/ZORSimAssociationRecord.h"
#include "platform/impl/ZORSimObject.h"

// Binary form of objects and associations in the file. The reader checks every length against
// the bytes it has, so a damaged row can only raise ZORSimError, never read out of bounds.
class ZORSimByteWriter {
 public:
  void Int(std::int64_t value) { Raw(&value, sizeof value); }
  void String(const std::string& text) {
    Int(static_cast<std::int64_t>(text.size()));
    Raw(text.data(), text.size());
  }
  void Ints(const std::vector<std::int64_t>& values) {
    Int(static_cast<std::int64_t>(values.size()));
    Raw(values.data(), values.size() * sizeof(std::int64_t));
  }
  void Set(const ZORSimStoredSet& set);
  void Object(const ZORSimObject& object);
  void Association(const ZORSimAssociationRecord& association);
  const std::vector<unsigned char>& Bytes() const { return bytes_; }

 private:
  void Raw(const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
  }
  std::vector<unsigned char> bytes_;
};
