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

TEST(Base64Decoding, DecodesEveryPaddingLengthAndIgnoresWhitespace) {
  EXPECT_EQ(Base64::Decode("TWFu").bytes, Bytes("Man"));
  EXPECT_EQ(Base64::Decode("TWE=").bytes, Bytes("Ma"));
  EXPECT_EQ(Base64::Decode("TQ==").bytes, Bytes("M"));
  EXPECT_EQ(Base64::Decode(" TW\nFu\tTQ== ").bytes, Bytes("ManM"));
}

TEST(Base64Decoding, ConcatenatesSeparatelyPaddedStreamsAsTheCompressedHeaderIsWritten) {
  // "Ma" and "n!" encoded one after the other, each with its own padding.
  const Base64::Result result = Base64::Decode("TWE=biE=");
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.bytes, Bytes("Man!"));
}

TEST(Base64Decoding, ReportsThePositionOfTheFirstBadCharacterOrIncompleteGroup) {
  const Base64::Result bad = Base64::Decode("TWFu\nT*Fu");
  EXPECT_FALSE(bad.ok);
  EXPECT_EQ(bad.errorPosition, 6u);
  const Base64::Result cut = Base64::Decode("TWFuTW");
  EXPECT_FALSE(cut.ok);
  EXPECT_EQ(cut.errorPosition, 4u);
  EXPECT_FALSE(Base64::Decode("T===").ok);
  EXPECT_FALSE(Base64::Decode("TW=u").ok);
}

TEST(VtkBinaryBlockDecoding, ReadsHeaderWordsInEitherByteOrderAndWidth) {
  const std::uint8_t word[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(VtkBinaryBlock::ReadWord(word, 4, false), 0x04030201u);
  EXPECT_EQ(VtkBinaryBlock::ReadWord(word, 4, true), 0x01020304u);
  EXPECT_EQ(VtkBinaryBlock::ReadWord(word, 8, false), 0x0807060504030201u);
}

TEST(VtkBinaryBlockDecoding, ReturnsThePlainDataAfterTheByteCount) {
  const std::vector<std::uint8_t> block = Join({Word32(5), Bytes("hello"), Bytes("tail")});
  EXPECT_EQ(Decode(block, {}, 5), Bytes("hello"));
}

TEST(VtkBinaryBlockDecoding, RejectsAByteCountThatDisagreesWithTheArrayOrRunsPastTheEnd) {
  const std::vector<std::uint8_t> wrongCount = Join({Word32(4), Bytes("hello")});
  EXPECT_THROW(Decode(wrongCount, {}, 5), VtkBinaryBlock::Error);
  const std::vector<std::uint8_t> cut = Join({Word32(5), Bytes("hel")});
  try {
    Decode(cut, {}, 5);
    FAIL() << "a cut block must not decode";
  } catch (const VtkBinaryBlock::Error& error) {
    EXPECT_EQ(error.Offset(), 4u);
  }
}

TEST(VtkBinaryBlockDecoding, InflatesSeveralBlocksWithAShortLastOne) {
  std::vector<std::uint8_t> data(10);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  const std::vector<std::uint8_t> first(data.begin(), data.begin() + 4);
  const std::vector<std::uint8_t> second(data.begin() + 4, data.begin() + 8);
  const std::vector<std::uint8_t> last(data.begin() + 8, data.end());
  const auto a = Compress(first), b = Compress(second), c = Compress(last);
  const std::vector<std::uint8_t> block =
      Join({Word32(3), Word32(4), Word32(2), Word32(static_cast<std::uint32_t>(a.size())),
            Word32(static_cast<std::uint32_t>(b.size())),
            Word32(static_cast<std::uint32_t>(c.size())), a, b, c});
  VtkBinaryBlock::Layout layout;
  layout.compressed = true;
  EXPECT_EQ(Decode(block, layout, 10), data);
}

TEST(VtkBinaryBlockDecoding, RejectsDamagedCompressedBlocks) {
  const std::vector<std::uint8_t> data = Bytes("abcdefgh");
  const auto packed = Compress(data);
  VtkBinaryBlock::Layout layout;
  layout.compressed = true;
  // A compressed size beyond the bytes present.
  const auto tooLong = Join({Word32(1), Word32(8), Word32(0),
                             Word32(static_cast<std::uint32_t>(packed.size() + 50)), packed});
  EXPECT_THROW(Decode(tooLong, layout, 8), VtkBinaryBlock::Error);
  // Garbage where the zlib stream should be.
  auto garbled = Join(
      {Word32(1), Word32(8), Word32(0), Word32(static_cast<std::uint32_t>(packed.size())), packed});
  garbled[16] ^= 0xFF;
  garbled[18] ^= 0xFF;
  EXPECT_THROW(Decode(garbled, layout, 8), VtkBinaryBlock::Error);
  // A block table claiming a gigabyte from a few compressed bytes is refused, not allocated.
  const auto inflated = Join({Word32(1), Word32(1u << 30), Word32(0),
                              Word32(static_cast<std::uint32_t>(packed.size())), packed});
  EXPECT_THROW(Decode(inflated, layout, 1u << 30), VtkBinaryBlock::Error);
  // A block count that a short buffer cannot hold.
  const auto huge = Join({Word32(0x7FFFFFFF), Word32(8), Word32(0)});
  EXPECT_THROW(Decode(huge, layout, 8), VtkBinaryBlock::Error);
}

}  // namespace
