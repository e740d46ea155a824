#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// Decodes the base64 text of VTK XML data arrays. VTK encodes the byte-count header and the data
// as separate base64 streams when it compresses, so padding may end a group in the middle of the
// text; decoding group by group and concatenating gives the header followed by the data either
// way. Whitespace between characters is ignored.
class Base64 {
 public:
  struct Result {
    std::vector<std::uint8_t> bytes;
    bool ok = true;
    // Position in the text of the first character that could not be decoded.
    std::size_t errorPosition = 0;
  };

  static Result Decode(std::string_view text);
};
