#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One named array of values per point, components fastest.
struct PointArray {
  std::string name;
  int components = 1;
  std::vector<double> values;
};

// A mesh as a file reader found it, before element types are chosen: points with three
// coordinates each, cells with their VTK cell-type code and their point indices in VTK node order
// (readers of other formats reorder into it), and the point arrays. Cell c uses
// connectivity[offsets[c] .. offsets[c + 1]).
struct RawMesh {
  std::vector<double> points;
  std::vector<int> cellTypes;
  std::vector<std::int64_t> offsets{0};
  std::vector<int> connectivity;
  std::vector<PointArray> pointArrays;
  // Lines for the user about what the reader left out (cell data, lower-dimensional cells).
  std::vector<std::string> notes;

  std::int64_t PointCount() const { return static_cast<std::int64_t>(points.size() / 3); }
  std::int64_t CellCount() const { return static_cast<std::int64_t>(cellTypes.size()); }
};
