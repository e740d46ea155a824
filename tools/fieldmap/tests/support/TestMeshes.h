#pragma once

#include <string>
#include <vector>

#include "RawMesh.h"

// Small meshes for the reader and import tests, built from the reference shape of every cell
// type fieldmap imports, in VTK node order, each cell on points of its own.
class TestMeshes {
 public:
  // The VTK cell types fieldmap imports, in the order AllCellTypes uses them.
  static const std::vector<int>& SupportedVtkTypes();
  // One cell of every supported type, side by side along x, with the point arrays
  // "temperature" (x + 2y + 3z), "velocity" (x, y squared, -z) and "U_D" (y, z, x).
  static RawMesh AllCellTypes();
  // Only cells of the given types, one each, with the same point arrays.
  static RawMesh CellsOfTypes(const std::vector<int>& vtkTypes, double z = 0.0);
  // The corner pairs of a VTK cell type's mid-edge nodes, in VTK order; none for linear cells.
  static const std::vector<std::pair<int, int>>& MidEdges(int vtkType);
  // The reference coordinates of a cell type, three per node in VTK order.
  static std::vector<double> ReferenceCell(int vtkType);
  // A Gmsh 4.1 ASCII text holding the same cells as CellsOfTypes(vtkTypes), with Gmsh's node
  // numbering (tags from 101, element tags from 1) and node data "temperature".
  static std::string GmshText(const std::vector<int>& vtkTypes);
  // Fails the running test unless the two meshes hold the same points, cells and arrays.
  static void ExpectSame(const RawMesh& expected, const RawMesh& read);
};
