#pragma once

#include <vector>

// The cell types fieldmap imports and the element types they become. VTK cell types name the
// node order the library uses for every supported shape except voxels and pixels (hexahedra and
// quadrilaterals with their nodes in grid order), which are reordered like Gmsh elements.
// Constant tables only.
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
    // order[k]: the position in the file's cell of the library's node k; empty when the same.
    std::vector<int> order;
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
  // The node count and dimension of any Gmsh element type up to third order, imported or not,
  // so that elements fieldmap leaves out can still be read past; false for other types.
  static bool GmshShape(int gmshType, int& nodes, int& dimension);
};
