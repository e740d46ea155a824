#pragma once

#include <string>
#include <vector>

#include "ZORGfmApi.h"

// What a simulation database holds: the library's catalogue of meshes, steps and fields, and
// what fieldmap adds to it: picking a mesh by number, and the names users know fields by
// (FieldArrayNames). Owns the root position it lists from.
class DatabaseCatalog : public ZORMtkSimCatalog {
 public:
  explicit DatabaseCatalog(const ZORSrvPosition& root) : ZORMtkSimCatalog(root), root_(root) {}

  // Mesh number (from 1) of the database in file; an input error naming the file when it has
  // fewer meshes.
  ZORSimDynamicID MeshNumbered(const std::string& file, int number) const;
  // What files call the field: the name it was imported under, else its field type.
  std::string ArrayName(const Field& field) const;
  // True when name is the field's type or the name it was imported under.
  bool IsCalled(const Field& field, const std::string& name) const;
  // The fields of a step called so (a database may hold one per mesh).
  std::vector<Field> FieldsCalled(int stepNumber, const std::string& name) const;

 private:
  ZORSrvPosition root_;
};
