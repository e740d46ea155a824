#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

// The values of one drawer, flat and row-major over the drawer's dimension sets, cut into
// fixed-size blocks. A block is the unit of lazy loading, of change tracking for incremental
// saves, of checksumming on disk and of copy-on-write inside a transaction.
struct ZORSimValues {
  static constexpr std::int64_t kBlockBytes = std::int64_t{1} << 20;
  enum class BlockState : std::uint8_t { kZero, kLoaded, kOnDisk };

  int elementSize = 8;
  std::int64_t valueCount = 0;
  std::vector<std::shared_ptr<std::vector<unsigned char>>> blocks;
  std::vector<BlockState> state;
  std::vector<std::uint8_t> dirty;
  // Blocks the file holds (set on open and once a save has committed), and their number as the
  // drawer's row records it, so a block row that goes missing is told from one never written.
  std::vector<std::uint8_t> stored;
  std::int64_t storedCount = 0;

  std::int64_t ByteCount() const { return valueCount * elementSize; }
  std::int64_t BlockCount() const { return (ByteCount() + kBlockBytes - 1) / kBlockBytes; }
  // The last block holds what is left over.
  std::int64_t BlockByteCount(std::int64_t block) const {
    return std::min(kBlockBytes, ByteCount() - block * kBlockBytes);
  }
};
