#pragma once

#include <string>

#include "AssembledMesh.h"
#include "ZORGfmApi.h"

// Writes meshes and nodal fields through a ZORMtkSimWriter, in the order the writer expects:
// nodes, element blocks, element types, then fields of step 1, increment 1. Holds the writer it
// is given; the caller owns it and saves.
class MeshDatabaseWriter {
 public:
  explicit MeshDatabaseWriter(ZORMtkSimWriter& writer);

  ZORSimDynamicID WriteMesh(const AssembledMesh& mesh);
  // values: components per node, in node order, for every node of the mesh. arrayName, when
  // given, is kept as the name the user knows the field by.
  ZORSimDynamicID WriteNodeField(const ZORSimDynamicID& mesh, const std::string& fieldType,
                                 int components, const std::vector<double>& values,
                                 const std::string& arrayName = "");

 private:
  ZORMtkSimWriter& writer_;
};
