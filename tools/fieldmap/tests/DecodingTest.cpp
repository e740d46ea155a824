#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "Base64.h"
#include "VtkBinaryBlock.h"

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::vector<std::uint8_t> Word32(std::uint32_t value) {
  std::vector<std::uint8_t> bytes(4);
  std::memcpy(bytes.data(), &value, 4);
  return bytes;
}

std::vector<std::uint8_t> Join(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> joined;
  for (const auto& part : parts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

std::vector<std::uint8_t> Compress(const std::vector<std::uint8_t>& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::vector<std::uint8_t> out(size);
  compress(out.data(), &size, data.data(), static_cast<uLong>(data.size()));
  out.resize(size);
  return out;
}

// The decoded bytes of a block, copied out of wherever Decode left them.
std::vector<std::uint8_t> Decode(const std::vector<std::uint8_t>& block,
                                 const VtkBinaryBlock::Layout& layout, std::size_t bytes) {
  // A size the block cannot hold is refused before anything is written to the buffer.
  std::vector<std::uint8_t> buffer(
      std::min(bytes, VtkBinaryBlock::MaxDecodedBytes(block.size(), layout)));
  const std::uint8_t* decoded =
      VtkBinaryBlock::Decode(block.data(), block.size(), layout, bytes, buffer.data());
  return std::vector<std::uint8_t>(decoded, decoded + bytes);
}

// Every padding length, whitespace anywhere, separately padded streams one after the other (as
// VTK writes a compressed array's header and blocks), and the position of the first character
// or incomplete group that cannot be decoded.
TEST(Base64Decoding, DecodesEveryPaddingAndReportsTheFirstBadPosition) {
  for (const auto& [text, decoded] :
       {std::pair{"TWFu", "Man"}, std::pair{"TWE=", "Ma"}, std::pair{"TQ==", "M"},
        std::pair{" TW\nFu\tTQ== ", "ManM"}, std::pair{"TWE=biE=", "Man!"}}) {
    const Base64::Result result = Base64::Decode(text);
    EXPECT_TRUE(result.ok) << text;
    EXPECT_EQ(result.bytes, Bytes(decoded)) << text;
  }
  for (const auto& [text, position] : {std::pair{"TWFu\nT*Fu", 6u}, std::pair{"TWFuTW", 4u},
                                       std::pair{"T===", 0u}, std::pair{"TW=u", 0u}}) {
    const Base64::Result result = Base64::Decode(text);
    EXPECT_FALSE(result.ok) << text;
    if (position > 0) {
      EXPECT_EQ(result.errorPosition, position) << text;
    }
  }
}

TEST(VtkBinaryBlockDecoding, ReadsHeaderWordsInEitherByteOrderAndWidth) {
  const std::uint8_t word[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(VtkBinaryBlock::ReadWord(word, 4, false), 0x04030201u);
  EXPECT_EQ(VtkBinaryBlock::ReadWord(word, 4, true), 0x01020304u);
  EXPECT_EQ(VtkBinaryBlock::ReadWord(word, 8, false), 0x0807060504030201u);
}

// The round trips of every encoding (VtuReaderTest) decode good blocks of one and of several
// zlib blocks; these are the damaged ones, refused before anything is written past the buffer.
// A plain block whose byte count disagrees with the array or runs past the end; compressed
// blocks whose sizes run past the bytes present, whose zlib stream is garbage, whose table
// claims a gigabyte from a few bytes (refused, not allocated), or whose block count a short
// buffer cannot hold.
TEST(VtkBinaryBlockDecoding, RejectsDamagedBlocksBeforeWritingPastTheBuffer) {
  const auto packed = Compress(Bytes("abcdefgh"));
  const auto packedSize = static_cast<std::uint32_t>(packed.size());
  auto garbled = Join({Word32(1), Word32(8), Word32(0), Word32(packedSize), packed});
  garbled[16] ^= 0xFF;
  garbled[18] ^= 0xFF;
  struct Case {
    const char* what;
    std::vector<std::uint8_t> block;
    bool compressed;
    std::size_t bytes;
  };
  for (const Case& c : std::vector<Case>{
           {"wrong count", Join({Word32(4), Bytes("hello")}), false, 5},
           {"cut short", Join({Word32(5), Bytes("hel")}), false, 5},
           {"size past the end",
            Join({Word32(1), Word32(8), Word32(0), Word32(packedSize + 50), packed}), true, 8},
           {"garbled", garbled, true, 8},
           {"gigabyte", Join({Word32(1), Word32(1u << 30), Word32(0), Word32(packedSize), packed}),
            true, 1u << 30},
           {"block count", Join({Word32(0x7FFFFFFF), Word32(8), Word32(0)}), true, 8}}) {
    VtkBinaryBlock::Layout layout;
    layout.compressed = c.compressed;
    try {
      Decode(c.block, layout, c.bytes);
      ADD_FAILURE() << c.what << ": decoded";
    } catch (const VtkBinaryBlock::Error& error) {
      if (std::string(c.what) == "cut short") {
        EXPECT_EQ(error.Offset(), 4u);
      }
    }
  }
}

}  // namespace
