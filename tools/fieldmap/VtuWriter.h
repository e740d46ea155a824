#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "VtuArray.h"

// One unstructured grid as a .vtu file holds it: points (three Float64 coordinates each), cells
// (connectivity, the running end offset of each cell, VTK cell types) and the arrays per point
// and per cell.
struct VtuPiece {
  std::int64_t pointCount = 0;
  std::int64_t cellCount = 0;
  VtuArray points;
  VtuArray connectivity;
  VtuArray offsets;
  VtuArray types;
  std::vector<VtuArray> pointData;
  std::vector<VtuArray> cellData;
};

// Writes VTK XML unstructured grids as VTK's own writer does in its most compact form: every
// array appended as raw binary, zlib-compressed in VTK's block layout with UInt64 headers, so
// VTK, ParaView and meshio read them without conversion. Also writes the .pvd collection that
// lists several such files. Holds the compressor and the compressed grid of the last piece, with
// the arrays it came from, so the files of several steps of one mesh compress their shared grid
// once. Files are written whole by one call; one thread per object.
class VtuWriter {
 public:
  // threads as VtkZlibCompressor takes them.
  explicit VtuWriter(int threads) : compressor_(threads) {}

  // Writes the piece to path (replacing it); a failed write throws std::system_error with the
  // system's reason. progress hears the fraction done.
  void Write(const std::string& path, const VtuPiece& piece,
             const std::function<void(double)>& progress = {});

  struct CollectionEntry {
    int timestep;
    // Relative to the collection file's directory.
    std::string file;
  };
  static void WriteCollection(const std::string& path, const std::vector<CollectionEntry>& files);

 private:
  bool HoldsGridOf(const VtuPiece& piece) const;

  VtkZlibCompressor compressor_;
  // Points, connectivity, offsets and types of the last piece, sharing its values (which keeps
  // them alive, so equal addresses mean the same arrays), and their compressed form.
  std::vector<VtuArray> grid_;
  std::vector<VtkZlibCompressor::Encoded> encodedGrid_;
};
