#pragma once

#include <functional>
#include <string>

#include "AssembledMesh.h"
#include "RawMesh.h"

// Turns the cells a reader found into element blocks: chooses each cell's element type (plane
// elements when no cell is a solid and every z is equal, shells and three-dimensional beams
// otherwise), checks node counts, and counts degenerate and inverted elements. A cell type it
// cannot import, or a cell with the wrong number of points, is an input error naming the file and
// the cell.
class MeshAssembler {
 public:
  // progress, when given, is told the fraction of cells done now and then.
  explicit MeshAssembler(std::string fileName, std::function<void(double)> progress = {});

  AssembledMesh Assemble(RawMesh raw) const;

 private:
  bool IsPlane(const RawMesh& raw) const;
  void CheckCells(const RawMesh& raw) const;

  std::string fileName_;
  std::function<void(double)> progress_;
};
