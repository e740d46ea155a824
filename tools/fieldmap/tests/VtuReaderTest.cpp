#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>

#include "DamagedFiles.h"
#include "TempDirectory.h"
#include "TestMeshes.h"
#include "VtuReader.h"
#include "VtuTestWriter.h"

namespace {

using Encoding = VtuTestWriter::Encoding;

// Every encoding, compressed or not, with 32- or 64-bit headers (ASCII has neither).
TEST(VtuReaderEncodings, EveryEncodingReadsBackExactlyWhatWasWritten) {
  TempDirectory directory;
  const RawMesh mesh = TestMeshes::AllCellTypes();
  const char* names[] = {"ascii", "inline", "appended-raw", "appended-base64"};
  for (int encoding = 0; encoding < 4; ++encoding)
    for (int variant = 0; variant < (encoding == 0 ? 1 : 4); ++variant) {
      VtuTestWriter::Options options;
      options.encoding = static_cast<Encoding>(encoding);
      options.compressed = (variant & 1) != 0;
      options.header64 = (variant & 2) != 0;
      const std::string path =
          directory.Path(names[encoding] + std::string("-") + std::to_string(variant) + ".vtu");
      SCOPED_TRACE(path);
      VtuTestWriter::Write(path, mesh, options);
      TestMeshes::ExpectSame(mesh, VtuReader(path).Read());
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

// One damage to a file VtuTestWriter wrote, and what the error must say.
struct Damage {
  const char* what;
  Encoding encoding;
  bool compressed;
  std::function<std::string(std::string)> apply;
  const char* expected;
};

// Replaces the first occurrence of from with to.
std::function<std::string(std::string)> Swap(const std::string& from, const std::string& to) {
  return [=](std::string text) { return Replace(std::move(text), from, to); };
}

TEST(VtuReaderMalformed, EveryDamageIsRefusedNamingWhereAndWhat) {
  const std::string offsets = "Name=\"offsets\" format=\"ascii\">";
  const std::vector<Damage> damages = {
      {"broken XML", Encoding::kAscii, false, Swap("</Points>", "</Pts>"),
       "bad.vtu: line 12: not well-formed XML (at byte 824): Start-end tags mismatch"},
      {"repeated attribute", Encoding::kAscii, false,
       Swap("<Piece ", "<Piece NumberOfCells=\"1\" "), "attribute 'NumberOfCells' is repeated"},
      {"too few values", Encoding::kAscii, false, Swap(offsets + "8 ", offsets),
       "line 15: array 'offsets' holds 1 values where 2 are needed"},
      {"too many values", Encoding::kAscii, false, Swap(offsets, offsets + "8 "),
       "more than the 2 values"},
      {"not a number", Encoding::kAscii, false, Swap(offsets + "8", offsets + "eight"),
       "'eight', which is not a number"},
      {"point beyond the points", Encoding::kAscii, false,
       Swap("connectivity\" format=\"ascii\">0 ", "connectivity\" format=\"ascii\">12 "),
       "entry 0 refers to point 12 of 12"},
      {"decreasing offsets", Encoding::kAscii, false, Swap(offsets + "8 12", offsets + "8 7"),
       "offset 7 of cell 1"},
      {"float connectivity", Encoding::kInlineBase64, false,
       Swap("type=\"Int64\" Name=\"connectivity\"", "type=\"Float64\" Name=\"connectivity\""),
       "array 'connectivity' has the type Float64; it must be an integer type"},
      {"offset past the data", Encoding::kAppendedRaw, false,
       Swap("offset=\"0\"", "offset=\"999999\""), "offset 999999, outside the"},
      // The last array (two cell types) loses both bytes; raw data cannot tell the line end
      // before the end tag from values.
      {"truncated appended data", Encoding::kAppendedRaw, false,
       [](std::string text) {
         return text.substr(0, text.find("\n</AppendedData>") - 2) +
                "\n</AppendedData>\n</VTKFile>\n";
       },
       "array 'types': the data is cut short: 1 of 2 bytes"},
      {"unknown appended encoding", Encoding::kAppendedBase64, false,
       Swap("encoding=\"base64\"", "encoding=\"rot13\""), "unknown AppendedData encoding 'rot13'"},
      {"damaged zlib block", Encoding::kInlineBase64, true,
       [](std::string text) {
         return text.replace(text.find("format=\"binary\">") + 56, 8, "AAAAAAAA");
       },
       "decoded byte"},
      {"invalid base64", Encoding::kInlineBase64, false,
       [](std::string text) { return text.replace(text.find("format=\"binary\">") + 20, 1, "*"); },
       "invalid base64 at character 4"},
      {"unknown compressor", Encoding::kInlineBase64, true,
       Swap("vtkZLibDataCompressor", "vtkLZ4DataCompressor"),
       "vtkLZ4DataCompressor' is not supported"},
      {"other dataset", Encoding::kAscii, false,
       Swap("type=\"UnstructuredGrid\"", "type=\"PolyData\""), "not a VTK XML unstructured grid"},
      {"two pieces", Encoding::kAscii, false,
       [](std::string text) {
         const std::size_t begin = text.find("<Piece"), end = text.find("</Piece>") + 9;
         return text.insert(end, text.substr(begin, end - begin));
       },
       "more than one Piece"},
  };
  TempDirectory directory;
  EXPECT_NE(ReadError<VtuReader>(directory, "bad.vtu", "").find("not well-formed XML"),
            std::string::npos);
  for (const Damage& damage : damages) {
    VtuTestWriter::Options options;
    options.encoding = damage.encoding;
    options.compressed = damage.compressed;
    const std::string message = ReadError<VtuReader>(
        directory, "bad.vtu",
        damage.apply(VtuTestWriter::Text(TestMeshes::CellsOfTypes({12, 10}), options)));
    EXPECT_NE(message.find(damage.expected), std::string::npos) << damage.what << ": " << message;
  }
}

}  // namespace
