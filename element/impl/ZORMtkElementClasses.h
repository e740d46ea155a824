#pragma once

#include <string>
#include <vector>

#include "platform/ZORSimAPI.h"

// The element classes of a mesh as its element-type set records them: for every element type
// present, in the order of the element-type collection, its name and the members of the given
// region that have it, ascending. Both the reader (scoping a region) and the writer (defining
// integration-point drawers per class) group elements this way, so they agree on the classes
// and their order. Reads the database; owns what it returns.
class ZORMtkElementClasses {
 public:
  struct Class {
    std::string name;
    ZORSimCSetID elements;  // the class's members within the region
    std::vector<int> members;
  };

  // Classes with at least one element in region, of the mesh record `mesh` of the database
  // whose root position is root.
  static std::vector<Class> OfRegion(const ZORSrvPosition& root, const ZORSimDynamicID& mesh,
                                     const ZORSimCSetID& region);
  // Every element of the mesh.
  static std::vector<Class> OfMesh(const ZORSrvPosition& root, const ZORSimDynamicID& mesh);
};
