#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>

#include "FieldmapError.h"
#include "GmshReader.h"
#include "MeshAssembler.h"
#include "TempDirectory.h"
#include "TestMeshes.h"
#include "VtuReader.h"
#include "VtuTestWriter.h"

namespace {

// Reads a damaged file the way import does. Anything but a clean read or an input error naming
// the file (another exception type, a crash under the sanitizers) fails the test.
template <typename Reader>
void ExpectCleanOutcome(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
  try {
    MeshAssembler(path).Assemble(Reader(path).Read());
  } catch (const FieldmapError& error) {
    EXPECT_EQ(error.Status(), ExitStatus::kBadInput);
    EXPECT_EQ(std::string(error.what()).rfind(path, 0), 0u) << error.what();
  }
}

std::vector<std::string> Damaged(const std::string& text, unsigned seed) {
  std::vector<std::string> damaged;
  for (std::size_t cut = 0; cut < text.size(); cut += 1 + text.size() / 150)
    damaged.push_back(text.substr(0, cut));
  std::mt19937 random(seed);
  for (int i = 0; i < 150; ++i) {
    std::string flipped = text;
    const std::size_t at = random() % flipped.size();
    flipped[at] = static_cast<char>(random() & 0xFF);
    damaged.push_back(flipped);
  }
  return damaged;
}

TEST(DamagedFiles, TruncatedOrFlippedVtuFilesGiveInputErrorsOnly) {
  TempDirectory directory;
  const RawMesh mesh = TestMeshes::AllCellTypes();
  for (auto encoding : {VtuTestWriter::Encoding::kAscii, VtuTestWriter::Encoding::kInlineBase64,
                        VtuTestWriter::Encoding::kAppendedRaw}) {
    VtuTestWriter::Options options;
    options.encoding = encoding;
    options.compressed = encoding != VtuTestWriter::Encoding::kAscii;
    for (const std::string& text : Damaged(VtuTestWriter::Text(mesh, options), 7))
      ExpectCleanOutcome<VtuReader>(directory.Path("damaged.vtu"), text);
  }
}

TEST(DamagedFiles, TruncatedOrFlippedGmshFilesGiveInputErrorsOnly) {
  TempDirectory directory;
  for (const std::string& text : Damaged(TestMeshes::GmshText({10, 24, 12, 25}), 11))
    ExpectCleanOutcome<GmshReader>(directory.Path("damaged.msh"), text);
}

}  // namespace
