#pragma once

#include <string>
#include <vector>

#include "platform/ZORExport.h"

// One VTK cell type the library takes, and the element types it becomes.
struct ZORMtkVtkCell {
  int vtkType;
  int nodes;
  // 1 for lines, 2 for triangles and quadrilaterals, 3 for solids.
  int dimension;
  // Element type in a three-dimensional mesh, and in a plane mesh (every z equal, no solid); the
  // plane types are the names a database keeps for any plane element of that shape.
  const char* solidOrShellElement;
  const char* planeElement;
  // order[k]: the position in the VTK cell of the library's node k; empty when the same.
  std::vector<int> order;
};

// The VTK cell types the library imports and the element types they become. VTK numbers the
// nodes of every supported shape as the library does, except voxels and pixels (hexahedra and
// quadrilaterals with their nodes in grid order), which are reordered. Constant data only; any
// thread may call.
class ZORMTK_EXPORT ZORMtkVtkCells {
 public:
  // Null for a cell type the library does not take.
  static const ZORMtkVtkCell* Find(int vtkType);
  // The VTK cell of a library element type (the same shape family and node count), without
  // reordering; null for a type with no such cell.
  static const ZORMtkVtkCell* ForElementType(const std::string& elementType);
  // The supported VTK cell types, for messages: "3, 5, 9, ...".
  static std::string SupportedTypes();
};
