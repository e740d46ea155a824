#pragma once

#include <string>
#include <vector>

#include "ZORGfmApi.h"

// What a simulation database holds, listed through the database interface where the reader has
// no operation for it: the meshes of the model, the steps with their increments, and the field
// records of each step with their names and kinds. Owns only the root position it lists from.
class DatabaseCatalog {
 public:
  struct Field {
    ZORSimDynamicID record;
    std::string name;
    bool integrationPoints = false;
  };
  struct Step {
    int number = 0;
    bool isStatic = true;
    std::vector<int> increments;
    std::vector<Field> fields;
  };

  explicit DatabaseCatalog(ZORSrvPosition root);

  std::vector<ZORSimDynamicID> Meshes() const;
  // Mesh number (from 1) of the database in file; an input error naming the file when it has
  // fewer meshes.
  ZORSimDynamicID MeshNumbered(const std::string& file, int number) const;
  std::vector<Step> Steps() const;
  // The field records of a step with that name (a database may hold one per mesh).
  std::vector<Field> FieldsNamed(int stepNumber, const std::string& name) const;

 private:
  std::vector<Field> FieldsOf(const ZORSrvPosition& step) const;
  std::vector<int> IncrementsOf(const ZORSrvPosition& step, bool isStatic) const;

  ZORSrvPosition root_;
};
