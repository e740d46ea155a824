#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Elements of one element type, as the library names types ("C3D8", "C3D10", "S4", "CPS3", ...):
// elementCount x nodesPerElement 0-based node indices, element by element, in the library's node
// order. A view of the host's array.
struct ZORMtkElementBlockArrays {
  std::string elementType;
  int nodesPerElement = 0;
  const int* connectivity = nullptr;
  int elementCount = 0;
};

// A mesh as a host holds it: views of its arrays, not owned and only read. The library copies
// what it keeps, so the arrays need to live only for the call they are given to.
//
// Cells come in one of two forms, or not at all (a cloud of target points):
// - VTK cells: cell c has type types[c] (a VTK cell type) and the nodes connectivity[offsets[c]]
//   to connectivity[offsets[c + 1] - 1]; offsets has cellCount + 1 entries and starts at 0;
// - blocks of one library element type each.
struct ZORMtkMeshArrays {
  // nodeCount x dimension coordinates, node by node; dimension is 2 or 3.
  const double* coordinates = nullptr;
  int nodeCount = 0;
  int dimension = 3;

  const int* connectivity = nullptr;
  const std::int64_t* offsets = nullptr;
  const std::uint8_t* types = nullptr;
  int cellCount = 0;

  std::vector<ZORMtkElementBlockArrays> blocks;
};
