#pragma once

#include <cstddef>
#include <initializer_list>
#include <vector>

// Growable array of database handles and values, as the database interface hands them out.
template <typename T>
class ZORSimArray {
 public:
  ZORSimArray() = default;
  ZORSimArray(std::initializer_list<T> values) : items_(values) {}
  int Size() const { return static_cast<int>(items_.size()); }
  void Append(const T& value) { items_.push_back(value); }
  void Resize(int size) { items_.resize(static_cast<std::size_t>(size)); }
  const T& operator[](int index) const { return items_.at(static_cast<std::size_t>(index)); }
  T& operator[](int index) { return items_.at(static_cast<std::size_t>(index)); }
  typename std::vector<T>::const_iterator begin() const { return items_.begin(); }
  typename std::vector<T>::const_iterator end() const { return items_.end(); }

 private:
  std::vector<T> items_;
};
