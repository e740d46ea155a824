#pragma once

#include <string>
#include <vector>

// The cell types fieldmap imports and the element types they become. VTK cell types name the
// node order the library uses for every supported shape, so a VTK cell keeps its order; Gmsh
// elements are reordered into it. Constant tables only.
class CellCatalog {
 public:
  // Gmsh's element type for a single point, which carries no cell.
  static constexpr int kGmshPoint = 15;

  struct VtkCell {
    int vtkType;
    int nodes;
    // 1 for lines, 2 for triangles and quadrilaterals, 3 for solids.
    int dimension;
    // Element type in a three-dimensional mesh, and in a plane mesh (every z equal).
    const char* solidOrShellElement;
    const char* planeElement;
  };

  struct GmshCell {
    int gmshType;
    int vtkType;
    // order[k]: the position in the Gmsh element of node k in VTK order.
    std::vector<int> order;
  };

  // Null for a cell type fieldmap does not import.
  static const VtkCell* FindVtk(int vtkType);
  static const GmshCell* FindGmsh(int gmshType);
};
