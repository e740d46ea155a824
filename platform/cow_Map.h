#pragma once

#include <map>

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
