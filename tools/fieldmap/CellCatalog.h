#pragma once

#include <vector>

#include "api/ZORMtkVtkCells.h"

// The cell types fieldmap imports and the element types they become: the library's VTK cell
// table, and the Gmsh element types with their node order. Constant tables only.
class CellCatalog {
 public:
  // Gmsh's element type for a single point, which carries no cell.
  static constexpr int kGmshPoint = 15;

  // The VTK cell table is the library's, shared with its array interface.
  using VtkCell = ZORMtkVtkCell;

  struct GmshCell {
    int gmshType;
    int vtkType;
    // order[k]: the position in the Gmsh element of node k in VTK order.
    std::vector<int> order;
  };

  // Null for a cell type fieldmap does not import.
  static const VtkCell* FindVtk(int vtkType);
  static const GmshCell* FindGmsh(int gmshType);
  // The node count and dimension of any Gmsh element type up to third order, imported or not,
  // so that elements fieldmap leaves out can still be read past; false for other types.
  static bool GmshShape(int gmshType, int& nodes, int& dimension);
};
