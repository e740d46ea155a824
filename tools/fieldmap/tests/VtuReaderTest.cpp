#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "FieldmapError.h"
#include "TempDirectory.h"
#include "TestMeshes.h"
#include "VtuReader.h"
#include "VtuTestWriter.h"

namespace {

using Encoding = VtuTestWriter::Encoding;

struct Case {
  Encoding encoding;
  bool compressed;
  bool header64;
};

std::string Describe(const Case& c) {
  const char* names[] = {"ascii", "inline", "appended-raw", "appended-base64"};
  return std::string(names[static_cast<int>(c.encoding)]) + (c.compressed ? "-zlib" : "") +
         (c.header64 ? "-uint64" : "");
}

void ExpectSameMesh(const RawMesh& expected, const RawMesh& read) {
  EXPECT_EQ(read.points, expected.points);
  EXPECT_EQ(read.cellTypes, expected.cellTypes);
  EXPECT_EQ(read.offsets, expected.offsets);
  EXPECT_EQ(read.connectivity, expected.connectivity);
  ASSERT_EQ(read.pointArrays.size(), expected.pointArrays.size());
  for (std::size_t a = 0; a < read.pointArrays.size(); ++a) {
    EXPECT_EQ(read.pointArrays[a].name, expected.pointArrays[a].name);
    EXPECT_EQ(read.pointArrays[a].components, expected.pointArrays[a].components);
    EXPECT_EQ(read.pointArrays[a].values, expected.pointArrays[a].values);
  }
}

TEST(VtuReaderEncodings, EveryEncodingReadsBackExactlyWhatWasWritten) {
  TempDirectory directory;
  const RawMesh mesh = TestMeshes::AllCellTypes();
  std::vector<Case> cases;
  for (Encoding encoding : {Encoding::kAscii, Encoding::kInlineBase64, Encoding::kAppendedRaw,
                            Encoding::kAppendedBase64})
    for (bool compressed : {false, true})
      for (bool header64 : {false, true})
        if (encoding != Encoding::kAscii || (!compressed && !header64))
          cases.push_back({encoding, compressed, header64});
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c));
    const std::string path = directory.Path(Describe(c) + ".vtu");
    VtuTestWriter::Options options;
    options.encoding = c.encoding;
    options.compressed = c.compressed;
    options.header64 = c.header64;
    VtuTestWriter::Write(path, mesh, options);
    ExpectSameMesh(mesh, VtuReader(path).Read());
  }
}

TEST(VtuReaderEncodings, ValuesAfterInformationKeysAreFoundInAsciiAndInlineArrays) {
  TempDirectory directory;
  const RawMesh mesh = TestMeshes::CellsOfTypes({12});
  // Indented on a line of its own, as VTK writes it, so the array's first text is blank.
  const std::string key =
      "\n  <InformationKey name=\"L2_NORM_RANGE\" location=\"vtkDataArray\" length=\"2\">"
      "<Value index=\"0\">0</Value><Value index=\"1\">1.7</Value></InformationKey>\n";
  for (auto encoding : {Encoding::kAscii, Encoding::kInlineBase64}) {
    VtuTestWriter::Options options;
    options.encoding = encoding;
    std::string text = VtuTestWriter::Text(mesh, options);
    const std::size_t points =
        text.find('>', text.find("NumberOfComponents=\"3\"", text.find("<Points>")));
    text.insert(points + 1, key);
    const std::string path = directory.Path("keys.vtu");
    std::ofstream(path, std::ios::binary) << text;
    EXPECT_EQ(VtuReader(path).Read().points, mesh.points);
  }
}

// Writes text to a file and returns the error message of reading it.
std::string ReadError(const TempDirectory& directory, const std::string& text) {
  const std::string path = directory.Path("bad.vtu");
  std::ofstream(path, std::ios::binary) << text;
  try {
    VtuReader(path).Read();
  } catch (const FieldmapError& error) {
    EXPECT_EQ(error.Status(), ExitStatus::kBadInput);
    return error.what();
  }
  ADD_FAILURE() << "reading did not fail";
  return "";
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

class VtuReaderMalformed : public ::testing::Test {
 protected:
  std::string Text(Encoding encoding, bool compressed = false) const {
    VtuTestWriter::Options options;
    options.encoding = encoding;
    options.compressed = compressed;
    return VtuTestWriter::Text(TestMeshes::CellsOfTypes({12, 10}), options);
  }
  TempDirectory directory_;
};

TEST_F(VtuReaderMalformed, MissingFileNamesTheFile) {
  try {
    VtuReader(directory_.Path("none.vtu")).Read();
    FAIL();
  } catch (const FieldmapError& error) {
    EXPECT_NE(std::string(error.what()).find("none.vtu: cannot be opened"), std::string::npos);
  }
}

TEST_F(VtuReaderMalformed, BrokenXmlGivesTheLineOfTheDamage) {
  const std::string text = Replace(Text(Encoding::kAscii), "</Points>", "</Pts>");
  const std::string message = ReadError(directory_, text);
  EXPECT_NE(message.find("bad.vtu: line 1"), std::string::npos) << message;
  EXPECT_NE(message.find("not well-formed XML"), std::string::npos) << message;
}

TEST_F(VtuReaderMalformed, AsciiArrayWithTooFewValuesNamesArrayAndLine) {
  std::string text = Text(Encoding::kAscii);
  text =
      Replace(text, "Name=\"offsets\" format=\"ascii\">8 ", "Name=\"offsets\" format=\"ascii\">");
  const std::string message = ReadError(directory_, text);
  EXPECT_NE(message.find("bad.vtu: line 15"), std::string::npos) << message;
  EXPECT_NE(message.find("'offsets' holds 1 values where 2 are needed"), std::string::npos)
      << message;
}

TEST_F(VtuReaderMalformed, AsciiArrayWithTooManyOrNonNumericValues) {
  const std::string base = Text(Encoding::kAscii);
  EXPECT_NE(ReadError(directory_, Replace(base, "Name=\"offsets\" format=\"ascii\">",
                                          "Name=\"offsets\" format=\"ascii\">8 "))
                .find("more than the 2 values"),
            std::string::npos);
  EXPECT_NE(ReadError(directory_, Replace(base, "Name=\"offsets\" format=\"ascii\">8",
                                          "Name=\"offsets\" format=\"ascii\">eight"))
                .find("'eight', which is not a number"),
            std::string::npos);
}

TEST_F(VtuReaderMalformed, ConnectivityBeyondThePointsOrDecreasingOffsetsAreRejected) {
  const std::string base = Text(Encoding::kAscii);
  const std::string message =
      ReadError(directory_, Replace(base, "Name=\"connectivity\" format=\"ascii\">0 ",
                                    "Name=\"connectivity\" format=\"ascii\">12 "));
  EXPECT_NE(message.find("entry 0 refers to point 12 of 12"), std::string::npos) << message;
  const std::string decreasing =
      ReadError(directory_, Replace(base, "format=\"ascii\">8 12", "format=\"ascii\">8 7"));
  EXPECT_NE(decreasing.find("offset 7 of cell 1"), std::string::npos) << decreasing;
}

TEST_F(VtuReaderMalformed, AppendedOffsetOutsideTheDataGivesTheOffset) {
  std::string text = Text(Encoding::kAppendedRaw);
  text = Replace(text, "offset=\"0\"", "offset=\"999999\"");
  const std::string message = ReadError(directory_, text);
  EXPECT_NE(message.find("offset 999999"), std::string::npos) << message;
  EXPECT_NE(message.find("outside the"), std::string::npos) << message;
}

TEST_F(VtuReaderMalformed, TruncatedAppendedDataIsCaughtBeforeReadingPastTheEnd) {
  const std::string text = Text(Encoding::kAppendedRaw);
  const std::size_t end = text.find("\n</AppendedData>");
  // The last array (two cell types) loses both its bytes; the line end before the end tag is all
  // that is left of it, as raw data cannot tell padding from values.
  const std::string truncated = text.substr(0, end - 2) + "\n</AppendedData>\n</VTKFile>\n";
  const std::string message = ReadError(directory_, truncated);
  EXPECT_NE(message.find("appended data offset"), std::string::npos) << message;
  EXPECT_NE(message.find("array 'types': the data is cut short: 1 of 2 bytes"), std::string::npos)
      << message;
}

TEST_F(VtuReaderMalformed, DamagedCompressedInlineBlockGivesTheDecodedByte) {
  std::string text = Text(Encoding::kInlineBase64, true);
  // Corrupt the zlib stream of the first array after its header.
  const std::size_t start = text.find("format=\"binary\">") + 16 + 40;
  text.replace(start, 8, "AAAAAAAA");
  const std::string message = ReadError(directory_, text);
  EXPECT_NE(message.find("decoded byte"), std::string::npos) << message;
}

TEST_F(VtuReaderMalformed, InvalidBase64AndUnknownCompressorAreNamed) {
  std::string text = Text(Encoding::kInlineBase64);
  const std::size_t start = text.find("format=\"binary\">") + 16;
  text.replace(start + 4, 1, "*");
  EXPECT_NE(ReadError(directory_, text).find("invalid base64 at character 4"), std::string::npos);
  const std::string lz4 =
      Replace(Text(Encoding::kInlineBase64, true), "vtkZLibDataCompressor", "vtkLZ4DataCompressor");
  EXPECT_NE(ReadError(directory_, lz4).find("vtkLZ4DataCompressor' is not supported"),
            std::string::npos);
}

TEST_F(VtuReaderMalformed, OtherDatasetTypesAndMultiplePiecesAreRefused) {
  EXPECT_NE(ReadError(directory_, Replace(Text(Encoding::kAscii), "type=\"UnstructuredGrid\"",
                                          "type=\"PolyData\""))
                .find("not a VTK XML unstructured grid"),
            std::string::npos);
  std::string twoPieces = Text(Encoding::kAscii);
  const std::size_t begin = twoPieces.find("<Piece");
  const std::size_t end = twoPieces.find("</Piece>") + 9;
  twoPieces.insert(end, twoPieces.substr(begin, end - begin));
  EXPECT_NE(ReadError(directory_, twoPieces).find("more than one Piece"), std::string::npos);
}

}  // namespace
