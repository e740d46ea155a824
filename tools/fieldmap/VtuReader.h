#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "MappedFile.h"
#include "RawMesh.h"
#include "ScalarDecoder.h"
#include "VtkBinaryBlock.h"

namespace pugi {
class xml_node;
}

// Reads a VTK XML unstructured grid (.vtu) as VTK writes it: data arrays in ASCII, inline
// base64, or appended (raw or base64), each optionally zlib-compressed, with UInt32 or UInt64
// headers and either byte order. Maps the file while reading; every problem is reported
// with the file name and the line of the element, or the byte offset in the appended data.
class VtuReader {
 public:
  // progress, when given, is told the fraction read after each array.
  explicit VtuReader(std::string fileName, std::function<void(double)> progress = {});

  RawMesh Read();

 private:
  struct Encoding {
    VtkBinaryBlock::Layout layout;
    bool appendedIsBase64 = false;
  };

  void LoadText();
  void SplitAppendedData();
  // Byte order, header width and compressor of the file element.
  void ReadEncoding(const pugi::xml_node& file);
  void RefuseRepeatedAttributes(const pugi::xml_node& node) const;
  // The values of a data array as T; integer T requires an integer array.
  template <typename T>
  std::vector<T> ReadArray(const pugi::xml_node& array, std::size_t expectedCount,
                           const std::string& what) const;
  template <typename T>
  std::vector<T> ReadAscii(const pugi::xml_node& array, std::size_t expectedCount,
                           const std::string& what) const;
  template <typename T>
  std::vector<T> Decode(std::string_view block, const ScalarDecoder::Type& type,
                        std::size_t expectedCount, const std::string& what,
                        const std::function<std::string(std::size_t)>& where) const;
  // The offset of an appended array and its bytes, up to the next array's offset.
  std::pair<std::size_t, std::string_view> AppendedBytes(const pugi::xml_node& array,
                                                         const std::string& what) const;
  void ReadPoints(const pugi::xml_node& piece, std::int64_t pointCount, RawMesh& mesh) const;
  void ReadCells(const pugi::xml_node& piece, std::int64_t cellCount, std::int64_t pointCount,
                 RawMesh& mesh) const;
  void ReadPointData(const pugi::xml_node& piece, std::int64_t pointCount, RawMesh& mesh) const;
  // Cell data has no place in the database; the user is told which arrays were left out.
  void NoteCellData(const pugi::xml_node& piece, RawMesh& mesh) const;
  std::string LineOf(const pugi::xml_node& node) const;
  std::string LineAt(std::size_t offset) const;
  [[noreturn]] void Fail(const std::string& where, const std::string& problem) const;
  void Report(double fraction) const;

  std::string fileName_;
  std::function<void(double)> progress_;
  std::unique_ptr<MappedFile> file_;
  std::string_view text_;
  // The XML part of the file, with the appended payload cut out so an XML parser accepts it.
  std::string xml_;
  std::string_view appended_;
  std::size_t appendedStart_ = 0;
  std::vector<std::size_t> appendedOffsets_;
  Encoding encoding_;
};
