#pragma once

#include <string>
#include <vector>

#include "platform/ZORExport.h"
#include "platform/ZORSimHandles.h"
#include "platform/ZORSrvPosition.h"

// What a simulation database holds, listed through the database interface where the reader has
// no operation for it: the meshes of the model, the steps with their increments, and the field
// records of each step with their names (field-type symbols) and kinds. Owns only the root
// position it lists from; the database stays open while the catalogue is used. Failures of the
// database throw ZORSimError.
class ZORMTK_EXPORT ZORMtkSimCatalog {
 public:
  struct Field {
    ZORSimDynamicID record;
    std::string name;
    bool integrationPoints = false;
  };
  struct Step {
    int number = 0;  // from 1
    bool isStatic = true;
    std::vector<int> increments;
    std::vector<Field> fields;
  };

  explicit ZORMtkSimCatalog(ZORSrvPosition root);

  std::vector<ZORSimDynamicID> Meshes() const;
  std::vector<Step> Steps() const;
  // The field records of a step with that name (a database may hold one per mesh).
  std::vector<Field> FieldsNamed(int stepNumber, const std::string& name) const;

 private:
  std::vector<Field> FieldsOf(const ZORSrvPosition& step) const;
  std::vector<int> IncrementsOf(const ZORSrvPosition& step, bool isStatic) const;

  ZORSrvPosition root_;
};
