#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>

// One binary data array of a VTK XML file, after base64 decoding when it was encoded: a byte-count
// header (UInt32 or UInt64, in the file's byte order) followed by the data, or, when the file
// names the zlib compressor, a block table followed by the compressed blocks. Decoding checks
// every size in the header against the bytes present and the size the caller expects before
// allocating, so a damaged header gives an error instead of a huge allocation or a read past the
// end.
class VtkBinaryBlock {
 public:
  struct Layout {
    int headerBytes = 4;  // 4 for UInt32 headers, 8 for UInt64
    bool compressed = false;
    bool bigEndian = false;
  };

  // A decoding failure at a byte offset counted from the start of the block.
  class Error : public std::runtime_error {
   public:
    Error(std::size_t offset, const std::string& message)
        : std::runtime_error(message), offset_(offset) {}
    std::size_t Offset() const { return offset_; }

   private:
    std::size_t offset_;
  };

  // Decodes the block at data[0 .. size) that must hold expectedBytes bytes of values and
  // returns where those bytes are: inside data for an uncompressed block (nothing is copied), or
  // in inflateInto, which must hold expectedBytes, for a compressed one.
  static const std::uint8_t* Decode(const std::uint8_t* data, std::size_t size,
                                    const Layout& layout, std::size_t expectedBytes,
                                    std::uint8_t* inflateInto);

  // The most value bytes a block of size bytes can decode to, so callers can refuse a damaged
  // count before allocating for it: zlib cannot expand data by more than about 1032 to 1.
  static std::size_t MaxDecodedBytes(std::size_t size, const Layout& layout) {
    return layout.compressed ? size * 1100 : size;
  }

  // An unsigned header word at data, in the given byte order.
  static std::uint64_t ReadWord(const std::uint8_t* data, int bytes, bool bigEndian);
};
