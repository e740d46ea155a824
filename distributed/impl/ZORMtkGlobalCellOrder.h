#pragma once

#include <cstdint>
#include <vector>

#include "api/ZORMtkMeshArrays.h"

class ZORMpiExchange;

// Where each cell of this rank's part stands in the element order one process would give the
// whole source. The parts are consecutive runs of the host's VTK cells, in rank order; one
// process puts the cells into one block per element type, the types in the order they first
// appear, each block in cell order. Element numbers in that order are what the searches compare
// to break ties, so every rank numbers its cells the same way and searches them in that order.
// A plain value, computed collectively.
struct ZORMtkGlobalCellOrder {
  // Global index of this part's first host cell.
  std::int64_t firstCell = 0;
  // Local cells in ascending global element number, and the number of each.
  std::vector<int> cells;
  std::vector<std::int64_t> elementNumbers;

  // part holds VTK cells (or none); plane says whether the whole source is taken as plane
  // elements, which decides the element type names.
  static ZORMtkGlobalCellOrder Of(const ZORMtkMeshArrays& part, bool plane,
                                  const ZORMpiExchange& exchange);
};
