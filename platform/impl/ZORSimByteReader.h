#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/impl/ZORSimAssociationRecord.h"
#include "platform/impl/ZORSimObject.h"

// Reads the binary form that ZORSimByteWriter writes. Every length is checked against the bytes
// at hand, so a damaged row raises ZORSimError naming `where`, never reads out of bounds.
class ZORSimByteReader {
 public:
  ZORSimByteReader(const unsigned char* data, std::size_t size, std::string where)
      : data_(data), size_(size), where_(std::move(where)) {}
  std::int64_t Int();
  int SmallInt(std::int64_t limit);
  std::string String();
  std::vector<std::int64_t> Ints();
  ZORSimStoredSet Set();
  ZORSimObject Object();
  ZORSimAssociationRecord Association();
  bool AtEnd() const { return offset_ == size_; }

 private:
  void Raw(void* out, std::size_t size);
  std::size_t Count(std::size_t elementSize);
  const unsigned char* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
  std::string where_;
};
