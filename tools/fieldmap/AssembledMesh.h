#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "RawMesh.h"
#include "api/ZORMtkElementShapeCheck.h"

// Elements of one element type, node positions element by element in the library's node order.
struct ElementBlock {
  std::string elementType;
  int nodesPerElement = 0;
  std::vector<int> connectivity;

  int ElementCount() const {
    return static_cast<int>(connectivity.size() / static_cast<std::size_t>(nodesPerElement));
  }
};

// A mesh ready for the database: coordinates with two components per node for plane meshes and
// three otherwise, element blocks in the order their types first appear in the file, the point
// arrays, and the counts of elements the shape check rejected (they are still written, since a
// user may want to inspect them).
struct AssembledMesh {
  int coordinateComponents = 3;
  std::vector<double> coordinates;
  std::vector<ElementBlock> blocks;
  std::vector<PointArray> pointArrays;
  ZORMtkShapeCounts shapes;
  std::vector<std::string> notes;

  int NodeCount() const {
    return static_cast<int>(coordinates.size() / static_cast<std::size_t>(coordinateComponents));
  }
};
