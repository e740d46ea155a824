#pragma once

#include <cstddef>
#include <initializer_list>
#include <stdexcept>
#include <vector>

// Ordered list with value semantics. Keeps insertion order; an index outside the list throws
// std::out_of_range, so a caller's short list can never be read past its end.
template <typename T>
class cow_List {
 public:
  cow_List() = default;
  cow_List(std::initializer_list<T> values) : items_(values) {}
  explicit cow_List(std::vector<T> values) : items_(std::move(values)) {}

  void Append(const T& value) { items_.push_back(value); }
  int Size() const { return static_cast<int>(items_.size()); }
  bool IsEmpty() const { return items_.empty(); }
  void Clear() { items_.clear(); }
  void Reserve(int count) { items_.reserve(static_cast<std::size_t>(count)); }

  const T& operator[](int index) const { return items_.at(CheckedIndex(index)); }
  T& operator[](int index) { return items_.at(CheckedIndex(index)); }

  const T* Data() const { return items_.data(); }
  const std::vector<T>& Items() const { return items_; }
  typename std::vector<T>::const_iterator begin() const { return items_.begin(); }
  typename std::vector<T>::const_iterator end() const { return items_.end(); }

  friend bool operator==(const cow_List& a, const cow_List& b) { return a.items_ == b.items_; }

 private:
  static std::size_t CheckedIndex(int index) {
    if (index < 0) throw std::out_of_range("cow_List: negative index");
    return static_cast<std::size_t>(index);
  }
  std::vector<T> items_;
};
