#include "VtkBinaryBlock.h"

#include <zlib.h>

#include <string>

namespace {

std::uint64_t WordAt(const std::uint8_t* data, std::size_t size, std::size_t offset,
                     const VtkBinaryBlock::Layout& layout) {
  if (offset + static_cast<std::size_t>(layout.headerBytes) > size)
    throw VtkBinaryBlock::Error(offset, "the header is cut short");
  return VtkBinaryBlock::ReadWord(data + offset, layout.headerBytes, layout.bigEndian);
}

const std::uint8_t* DecodePlain(const std::uint8_t* data, std::size_t size,
                                const VtkBinaryBlock::Layout& layout, std::size_t expectedBytes) {
  const std::uint64_t declared = WordAt(data, size, 0, layout);
  if (declared != expectedBytes)
    throw VtkBinaryBlock::Error(0, "the header declares " + std::to_string(declared) +
                                       " bytes where the array needs " +
                                       std::to_string(expectedBytes));
  const std::size_t start = static_cast<std::size_t>(layout.headerBytes);
  if (size - start < expectedBytes)
    throw VtkBinaryBlock::Error(start, "the data is cut short: " + std::to_string(size - start) +
                                           " of " + std::to_string(expectedBytes) +
                                           " bytes present");
  return data + start;
}

void Inflate(const std::uint8_t* source, std::size_t sourceBytes, std::uint8_t* target,
             std::size_t targetBytes, std::size_t offset) {
  uLongf produced = static_cast<uLongf>(targetBytes);
  const int status = uncompress(target, &produced, source, static_cast<uLong>(sourceBytes));
  if (status != Z_OK || produced != targetBytes)
    throw VtkBinaryBlock::Error(
        offset, "a compressed block does not inflate to " + std::to_string(targetBytes) + " bytes");
}

const std::uint8_t* DecodeCompressed(const std::uint8_t* data, std::size_t size,
                                     const VtkBinaryBlock::Layout& layout,
                                     std::size_t expectedBytes, std::uint8_t* out) {
  const std::size_t word = static_cast<std::size_t>(layout.headerBytes);
  const std::uint64_t blocks = WordAt(data, size, 0, layout);
  const std::uint64_t blockSize = WordAt(data, size, word, layout);
  const std::uint64_t lastSize = WordAt(data, size, 2 * word, layout);
  if (blocks > size / word) throw VtkBinaryBlock::Error(0, "the block count is too large");
  // A block size beyond any real array would overflow the size arithmetic below.
  if (blockSize > (std::uint64_t{1} << 40))
    throw VtkBinaryBlock::Error(word, "the block size is too large");
  const std::uint64_t total =
      blocks == 0 ? 0 : (lastSize == 0 ? blocks * blockSize : (blocks - 1) * blockSize + lastSize);
  if (total != expectedBytes || (blocks > 0 && lastSize > blockSize))
    throw VtkBinaryBlock::Error(0, "the block table declares " + std::to_string(total) +
                                       " bytes where the array needs " +
                                       std::to_string(expectedBytes));
  if (expectedBytes > VtkBinaryBlock::MaxDecodedBytes(size, layout))
    throw VtkBinaryBlock::Error(0,
                                "the block table declares more data than the compressed bytes "
                                "can hold");
  std::size_t offset = (3 + static_cast<std::size_t>(blocks)) * word;
  if (offset > size) throw VtkBinaryBlock::Error(3 * word, "the block table is cut short");
  for (std::uint64_t b = 0; b < blocks; ++b) {
    const std::uint64_t compressedSize = WordAt(data, size, (3 + b) * word, layout);
    if (compressedSize > size - offset)
      throw VtkBinaryBlock::Error(
          offset, "compressed block " + std::to_string(b) + " runs past the end of the data");
    const bool last = b + 1 == blocks && lastSize != 0;
    const std::size_t inflated = static_cast<std::size_t>(last ? lastSize : blockSize);
    Inflate(data + offset, static_cast<std::size_t>(compressedSize),
            out + static_cast<std::size_t>(b * blockSize), inflated, offset);
    offset += static_cast<std::size_t>(compressedSize);
  }
  return out;
}

}  // namespace

std::uint64_t VtkBinaryBlock::ReadWord(const std::uint8_t* data, int bytes, bool bigEndian) {
  std::uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) {
    const int byte = bigEndian ? i : bytes - 1 - i;
    value = (value << 8) | data[byte];
  }
  return value;
}

const std::uint8_t* VtkBinaryBlock::Decode(const std::uint8_t* data, std::size_t size,
                                           const Layout& layout, std::size_t expectedBytes,
                                           std::uint8_t* inflateInto) {
  return layout.compressed ? DecodeCompressed(data, size, layout, expectedBytes, inflateInto)
                           : DecodePlain(data, size, layout, expectedBytes);
}
