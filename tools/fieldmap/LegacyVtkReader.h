#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "MappedFile.h"
#include "RawMesh.h"
#include "ScalarDecoder.h"

// Reads a legacy VTK file (.vtk) holding an unstructured grid, ASCII or binary (big-endian), in
// the cell layout of file versions before 5 (a count before each cell's points) and of 5.x
// (OFFSETS and CONNECTIVITY arrays). Point attributes (SCALARS, VECTORS, NORMALS, TENSORS,
// GLOBAL_IDS and FIELD arrays) become point arrays; cell data is skipped with a note. Every
// problem is reported with the file name and the line or byte offset. Maps the file while
// reading.
class LegacyVtkReader {
 public:
  // progress, when given, is told the fraction read after each section.
  explicit LegacyVtkReader(std::string fileName, std::function<void(double)> progress = {});

  RawMesh Read();

 private:
  // The next line that is not blank, without its line end; "" at the end of the file.
  std::string_view NextLine();
  std::vector<std::string_view> Words(std::string_view line) const;
  std::int64_t Count(std::string_view word, const std::string& what) const;
  const ScalarDecoder::Type& TypeNamed(std::string_view name) const;
  // count values of the named file type, converted to T; integer T takes integers only.
  template <typename T>
  std::vector<T> Values(std::size_t count, std::string_view typeName, const std::string& what);
  void ReadPoints(const std::vector<std::string_view>& words, RawMesh& mesh);
  void ReadCells(const std::vector<std::string_view>& words, RawMesh& mesh);
  void ReadCellTypes(const std::vector<std::string_view>& words, RawMesh& mesh);
  // One attribute or field array of POINT_DATA or CELL_DATA; returns false at a keyword that
  // is none (the next section).
  bool ReadAttribute(std::string_view line, std::size_t tuples, bool keep, RawMesh& mesh);
  void SkipMetadata();
  std::string Where() const;
  [[noreturn]] void Fail(const std::string& problem) const;

  std::string fileName_;
  std::function<void(double)> progress_;
  std::unique_ptr<MappedFile> file_;
  std::string_view text_;
  std::size_t position_ = 0;
  std::size_t lineStart_ = 0;
  bool binary_ = false;
  bool inBinary_ = false;
};
