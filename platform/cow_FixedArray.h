#pragma once

#include <cstddef>
#include <vector>

// Array of fixed size chosen at construction; checked access.
template <typename T>
class cow_FixedArray {
 public:
  cow_FixedArray() = default;
  explicit cow_FixedArray(int size) : items_(static_cast<std::size_t>(size < 0 ? 0 : size)) {}
  int Size() const { return static_cast<int>(items_.size()); }
  const T& operator[](int index) const { return items_.at(static_cast<std::size_t>(index)); }
  T& operator[](int index) { return items_.at(static_cast<std::size_t>(index)); }
  T* Data() { return items_.data(); }
  const T* Data() const { return items_.data(); }

 private:
  std::vector<T> items_;
};
