#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The VTK cell type of each element class the library knows, and the order in which a class's
// nodes are written so that VTK's node k is the library node at order[k]. The cell types come
// from the library's VTK cell table, whose shapes number their nodes as the library does; the
// quadratic line, which that table lacks because the library reads no such cells, has its
// middle node second in the library and last in VTK. Constant data only.
class VtuCellTypes {
 public:
  static constexpr int kMaxNodes = 20;

  struct CellType {
    std::uint8_t vtkType;
    int nodes;
    int order[kMaxNodes];
  };

  // Nothing for a class whose shape has no VTK cell.
  static std::optional<CellType> ForClass(const std::string& elementClass);
};
