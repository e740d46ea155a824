#pragma once

#include <memory>
#include <vector>

// A table of objects the mapper owns: its requests and its caches of grids and weights. Slots
// fill in order and are emptied only when the table goes. The capacity is the size a host is
// expected to stay within; the table grows past it rather than dropping an object, and IsFull
// lets a cache say that it has been exceeded.
//
// Each slot carries the deleter chosen where the object was appended. The mapper can thus hold
// tables of classes it only declares (the grids and weights are defined by the search code) and
// still destroy them without seeing their definitions.
template <typename T>
class ZORMtkOwnedTable {
 public:
  explicit ZORMtkOwnedTable(int capacity) : capacity_(capacity) {}

  int Count() const { return static_cast<int>(slots_.size()); }
  int Capacity() const { return capacity_; }
  bool IsFull() const { return Count() >= capacity_; }

  // The object in slot; slot lies in 0 .. Count() - 1.
  T* At(int slot) const { return slots_.at(static_cast<std::size_t>(slot)).get(); }

  // Takes ownership and returns the stored object.
  T* Append(std::unique_ptr<T> object) {
    slots_.emplace_back(object.release(), &Destroy);
    return slots_.back().get();
  }

  // Destroys the object in slot 0 and appends object; the others move down a slot, so the slots
  // stay in the order their objects arrived. Returns the stored object.
  T* ReplaceOldest(std::unique_ptr<T> object) {
    if (!slots_.empty()) slots_.erase(slots_.begin());
    return Append(std::move(object));
  }

  void Clear() { slots_.clear(); }

 private:
  static void Destroy(T* object) { delete object; }

  int capacity_;
  std::vector<std::unique_ptr<T, void (*)(T*)>> slots_;
};
