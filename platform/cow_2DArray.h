#pragma once

#include <cstddef>
#include <stdexcept>
#include <vector>

// Row-major two-dimensional array with checked access.
template <typename T>
class cow_2DArray {
 public:
  cow_2DArray() = default;
  cow_2DArray(int rows, int columns)
      : rows_(rows),
        columns_(columns),
        items_(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns)) {}
  int Rows() const { return rows_; }
  int Columns() const { return columns_; }
  T& operator()(int row, int column) { return items_.at(Offset(row, column)); }
  const T& operator()(int row, int column) const { return items_.at(Offset(row, column)); }

 private:
  std::size_t Offset(int row, int column) const {
    if (row < 0 || row >= rows_ || column < 0 || column >= columns_)
      throw std::out_of_range("cow_2DArray: index outside the array");
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
           static_cast<std::size_t>(column);
  }
  int rows_ = 0;
  int columns_ = 0;
  std::vector<T> items_;
};
