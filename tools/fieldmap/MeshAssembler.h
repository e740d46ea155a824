#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "AssembledMesh.h"
#include "CellCatalog.h"
#include "RawMesh.h"

// Turns the cells a reader found into element blocks: chooses each cell's element type (plane
// elements when no cell is a solid and every z is equal, shells and three-dimensional beams
// otherwise), puts voxels and pixels into the library's node order, checks node counts and
// coordinates, and counts degenerate and inverted elements in the same pass that fills the
// blocks. A cell type it cannot import, a cell with the wrong number of points, or a coordinate
// that is not a finite number is an input error naming the file and the cell or point.
class MeshAssembler {
 public:
  // progress, when given, is told the fraction of cells done now and then.
  explicit MeshAssembler(std::string fileName, std::function<void(double)> progress = {});

  AssembledMesh Assemble(RawMesh raw) const;

 private:
  // The catalogue row of each VTK cell type (null for types not imported), once every cell is
  // checked against it.
  using CellTable = std::array<const CellCatalog::VtkCell*, 256>;

  CellTable CheckCells(const RawMesh& raw) const;
  void CheckCoordinates(const RawMesh& raw) const;
  void FillBlocks(RawMesh& raw, const CellTable& cells, bool plane, AssembledMesh& mesh) const;
  void CheckShapes(const RawMesh& raw, const std::vector<int>& dimensions, bool plane,
                   AssembledMesh& mesh) const;

  std::string fileName_;
  std::function<void(double)> progress_;
};
