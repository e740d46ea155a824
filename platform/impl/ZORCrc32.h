#pragma once

#include <cstddef>
#include <cstdint>

// The CRC-32 of zlib and gzip (reflected polynomial 0xEDB88320) that guards every stored block.
// Where the processor multiplies without carries, blocks of 64 bytes and more are folded 16
// bytes a step, several times zlib's speed; the rest, and every block elsewhere, goes to zlib.
// Stateless; any number of threads may call it.
class ZORCrc32 {
 public:
  // The checksum of size bytes, as zlib's crc32 gives it from its initial value.
  static std::uint32_t Of(const void* data, std::size_t size);
  // The same from zlib alone.
  static std::uint32_t OfPortable(const void* data, std::size_t size);
};
