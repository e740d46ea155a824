#pragma once

#include <cstddef>

// Sizes and offsets in the row-major value tables of the transfers (row = node, element or point,
// components fastest). Counts are ints as the readers give them; their products are taken in
// size_t, since rows times components passes the int range on the largest meshes.
namespace ZORMtkRowMajor {

inline std::size_t Product(int a, int b) {
  return static_cast<std::size_t>(a) * static_cast<std::size_t>(b);
}

inline std::size_t At(int row, int columns, int column) {
  return Product(row, columns) + static_cast<std::size_t>(column);
}

}  // namespace ZORMtkRowMajor
