#pragma once

#include <cstddef>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/ZORString.h"

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

// Ordered map with value semantics; iterates in ascending key order. Insert replaces the value
// of a key that is already present.
template <typename K, typename V>
class cow_Map {
 public:
  void Insert(const K& key, const V& value) { items_[key] = value; }
  bool Contains(const K& key) const { return items_.count(key) != 0; }
  // Returns null when the key is absent.
  const V* Find(const K& key) const {
    auto it = items_.find(key);
    return it == items_.end() ? nullptr : &it->second;
  }
  V* Find(const K& key) {
    auto it = items_.find(key);
    return it == items_.end() ? nullptr : &it->second;
  }
  int Size() const { return static_cast<int>(items_.size()); }
  void Clear() { items_.clear(); }
  typename std::map<K, V>::const_iterator begin() const { return items_.begin(); }
  typename std::map<K, V>::const_iterator end() const { return items_.end(); }

 private:
  std::map<K, V> items_;
};

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
