#pragma once

#include <memory>
#include <string>
#include <vector>

#include "api/ZORMtkArrayStatus.h"
#include "api/ZORMtkMeshArrays.h"
#include "api/ZORMtkMeshData.h"
#include "api/ZORMtkSimCatalog.h"
#include "platform/ZORExport.h"

// A simulation database file seen through arrays: its catalogue, its meshes and nodal fields
// read into arrays, and meshes and nodal fields written from arrays. Meshes count from 1 in the
// catalogue's order, steps from 1, increments as the step numbers them (1 on a static step).
// Nothing is durable before Save, which writes the file this object was opened or created with.
//
// A mesh, field, step or name that does not exist gives a status that says so; failures of the
// database itself (a missing or damaged file, a full disk) throw ZORSimError. Owns the database
// and closes it on destruction; one thread at a time.
class ZORMTK_EXPORT ZORMtkSimFile {
 public:
  // An existing database.
  static std::unique_ptr<ZORMtkSimFile> Open(const std::string& path);
  // A new, empty database that becomes the file at the first Save; an existing file of that name
  // stays intact until then.
  static std::unique_ptr<ZORMtkSimFile> Create(const std::string& path);
  ~ZORMtkSimFile();
  ZORMtkSimFile(const ZORMtkSimFile&) = delete;
  ZORMtkSimFile& operator=(const ZORMtkSimFile&) = delete;

  const std::string& Path() const;
  const ZORMtkSimCatalog& Catalog() const;
  int MeshCount() const;
  // The node and element counts of a mesh, and its element classes with their counts.
  ZORMtkArrayStatus DescribeMesh(int mesh, int& nodes, int& elements,
                                 std::vector<std::pair<std::string, int>>& classes) const;

  ZORMtkArrayStatus ReadMesh(int mesh, ZORMtkMeshData& data) const;
  // A nodal field on a mesh: values receives node count x components, node by node.
  ZORMtkArrayStatus ReadNodeField(int mesh, const std::string& name, int step, int increment,
                                  std::vector<double>& values, int& components) const;

  // An integration-point field on a mesh, per element class that has integration points:
  // values holds elements x points x components doubles, element by element in the order of
  // the class's elements (as ReadMesh gives its block).
  struct ClassValues {
    std::string elementType;
    int points = 0;
    std::vector<double> values;
  };
  ZORMtkArrayStatus ReadPointField(int mesh, const std::string& name, int step, int increment,
                                   std::vector<ClassValues>& classes, int& components) const;

  // Adds a mesh and returns its number.
  ZORMtkArrayStatus AddMesh(const ZORMtkMeshArrays& mesh, int& number);
  // Defines a nodal field named by a field-type symbol ("U_D", "NT", "TEMP", ...) on a mesh and
  // writes its values for step 1, increment 1: rows x components doubles, one row per node.
  ZORMtkArrayStatus WriteNodeField(int mesh, const std::string& name, const double* values,
                                   int rows, int components);
  void Save();

 private:
  class Impl;
  explicit ZORMtkSimFile(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};
