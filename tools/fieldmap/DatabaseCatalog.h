#pragma once

#include <string>

#include "ZORGfmApi.h"

// What a simulation database holds: the library's catalogue of meshes, steps and fields, and
// fieldmap's way of picking a mesh by number.
class DatabaseCatalog : public ZORMtkSimCatalog {
 public:
  using ZORMtkSimCatalog::ZORMtkSimCatalog;

  // Mesh number (from 1) of the database in file; an input error naming the file when it has
  // fewer meshes.
  ZORSimDynamicID MeshNumbered(const std::string& file, int number) const;
};
