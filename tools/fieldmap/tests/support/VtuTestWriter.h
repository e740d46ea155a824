#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "RawMesh.h"

// Writes .vtu files for the reader tests in every encoding VTK uses, from a mesh given as a
// RawMesh, so a test can compare what the reader returns with what went in.
class VtuTestWriter {
 public:
  enum class Encoding { kAscii, kInlineBase64, kAppendedRaw, kAppendedBase64 };

  struct Options {
    Encoding encoding = Encoding::kAscii;
    bool compressed = false;
    bool header64 = false;
    // Bytes per compressed block; small so the tests see several blocks and a short last one.
    std::size_t blockSize = 64;
  };

  static std::string Text(const RawMesh& mesh, const Options& options);
  static void Write(const std::string& path, const RawMesh& mesh, const Options& options);
  static std::string Base64(const std::vector<std::uint8_t>& bytes);
};
