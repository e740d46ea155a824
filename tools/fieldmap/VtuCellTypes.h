#pragma once

#include <cstdint>
#include <string>

// The VTK cell type of each element class the library knows, and the order in which a class's
// nodes are written so that VTK's node k is the library node at order[k]. The library numbers
// the nodes of every solid and surface shape as VTK does; only the quadratic line differs: the
// library puts its middle node second, VTK last. Constant data only.
class VtuCellTypes {
 public:
  static constexpr int kMaxNodes = 20;

  struct CellType {
    std::uint8_t vtkType;
    int nodes;
    int order[kMaxNodes];
  };

  // Null for a class whose shape the library does not know (it has no VTK cell).
  static const CellType* ForClass(const std::string& elementClass);
};
