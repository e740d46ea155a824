#include "platform/impl/ZORCrc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

namespace {

std::uint32_t Zlib(const unsigned char* data, std::size_t size) {
  return static_cast<std::uint32_t>(crc32(crc32(0L, Z_NULL, 0), data, static_cast<uInt>(size)));
}

// Every length up to some lanes' worth, at every start within 16 bytes (the folds' loads are
// unaligned, and a tail of 1 to 15 bytes goes to zlib), and large random spans: the folded
// checksum is zlib's.
TEST(ZORCrc32, FoldedChecksumIsZlibsAtEveryLengthAndStart) {
  std::mt19937 random(11);
  std::vector<unsigned char> bytes(1 << 18);
  for (unsigned char& byte : bytes) byte = static_cast<unsigned char>(random());
  for (std::size_t size = 0; size <= 300; ++size)
    for (std::size_t start = 0; start < 16; ++start) {
      const unsigned char* at = bytes.data() + start;
      ASSERT_EQ(ZORCrc32::Of(at, size), Zlib(at, size)) << size << " from " << start;
      ASSERT_EQ(ZORCrc32::OfPortable(at, size), Zlib(at, size)) << size << " from " << start;
    }
  for (int trial = 0; trial < 40; ++trial) {
    const std::size_t start = random() % 4096, size = random() % (bytes.size() - 4096);
    ASSERT_EQ(ZORCrc32::Of(bytes.data() + start, size), Zlib(bytes.data() + start, size));
  }
}

}  // namespace
