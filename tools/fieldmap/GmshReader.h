#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "MappedFile.h"
#include "RawMesh.h"

// Reads a Gmsh mesh file of format 2.2 or 4.1, ASCII or binary: nodes, elements and node data.
// Elements of the highest dimension present are kept and reordered into VTK node order; points
// and the lower-dimensional elements Gmsh saves on boundaries and edges are counted and left out
// with a note, whatever their type. Node data with the same name saved for several time steps
// keeps the last step. Every problem is reported with the file name and the line, or the byte
// offset inside binary data. Maps the file while reading.
class GmshReader {
 public:
  // progress, when given, is told the fraction read after each section.
  explicit GmshReader(std::string fileName, std::function<void(double)> progress = {});

  RawMesh Read();

 private:
  // The cells of one dimension, in VTK order and node indices.
  struct CellSet {
    std::vector<int> types;
    std::vector<int> connectivity;
    std::int64_t skipped = 0;  // elements of a type fieldmap does not import
    int skippedType = 0;
    std::string skippedAt;
  };

  // Lines and numbers of the ASCII parts.
  std::string_view Line();
  template <typename T>
  void Numbers(std::string_view line, std::size_t count, T* out, const std::string& what);
  // Values of the binary parts, in the machine's byte order (checked in the header).
  template <typename T>
  void Binary(T* out, std::size_t count);
  template <typename T>
  T Binary();
  std::string LineWhere() const;
  std::string ByteWhere() const { return "byte " + std::to_string(position_); }
  [[noreturn]] void Fail(const std::string& where, const std::string& problem) const;

  void ReadFormat();
  void ReadNodes(RawMesh& mesh);
  void ReadNodeBlock(RawMesh& mesh, int dimension, bool parametric, std::size_t count);
  void ReadElements();
  void ReadElementBlock(int gmshType, int dimension, std::size_t count, int tagsBefore);
  void AddElement(int gmshType, int dimension, const std::int64_t* numbers, int tagsBefore);
  void ReadNodeData(RawMesh& mesh);
  void SkipSection(std::string_view name);
  void ExpectEnd(std::string_view name);
  void IndexNodes();
  int NodeIndex(std::int64_t tag) const;
  void AssembleCells(RawMesh& mesh);
  void Report() const;

  std::string fileName_;
  std::function<void(double)> progress_;
  std::unique_ptr<MappedFile> file_;
  std::string_view text_;
  std::size_t position_ = 0;
  std::size_t lineStart_ = 0;
  int version_ = 0;  // 22 or 41
  bool binary_ = false;
  std::vector<std::int64_t> nodeTags_;
  // Node tag to index: dense when the tags are, hashed otherwise.
  std::int64_t firstDenseTag_ = 0;
  std::vector<int> denseIndex_;
  std::unordered_map<std::int64_t, int> sparseIndex_;
  std::array<CellSet, 4> cells_;
  std::int64_t points_ = 0;
};
