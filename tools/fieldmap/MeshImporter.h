#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ZORGfmApi.h"

struct AssembledMesh;
class FieldTypeCatalog;
class ProgressReporter;

// Brings one mesh file into a database that a ZORMtkSimWriter has created: reads it, chooses
// element types, writes the mesh and the point arrays that have a field type, and keeps a report
// of what it did and left out. Reading comes first and on its own, so that a file that cannot be
// read is refused before any database is made. Holds the file name, the mesh between reading and
// writing, and the report.
class MeshImporter {
 public:
  struct ImportedField {
    std::string array;
    std::string fieldType;
    int components = 0;
  };
  struct Report {
    int nodes = 0;
    int coordinateComponents = 3;
    std::vector<std::pair<std::string, int>> blocks;  // element type, element count
    std::vector<ImportedField> fields;
    std::vector<std::string> skippedArrays;
    ZORMtkShapeCounts shapes;
    std::vector<std::string> notes;
  };

  explicit MeshImporter(std::string meshFile);
  ~MeshImporter();
  MeshImporter(const MeshImporter&) = delete;
  MeshImporter& operator=(const MeshImporter&) = delete;

  // NaN and infinite field values are refused unless allowed; coordinates never are.
  void AllowNonFiniteValues(bool allow) { allowNonFinite_ = allow; }

  // Reads the file and checks its elements; bad input throws a FieldmapError.
  void Read(ProgressReporter& progress);
  // Writes the mesh read into the writer's database and lets it go; with withFields false the
  // point arrays are left out (a mapping target needs only the geometry). Returns the new mesh.
  ZORSimDynamicID WriteInto(ZORMtkSimWriter& writer, const FieldTypeCatalog& fieldTypes,
                            bool withFields, ProgressReporter& progress);
  const Report& GetReport() const { return report_; }
  // The report as lines for the user; warnings about bad elements go to warnings.
  void PrintReport(std::ostream& out, std::ostream& warnings) const;

 private:
  std::vector<std::string> CheckedFieldTypes(const AssembledMesh& mesh,
                                             const FieldTypeCatalog& fieldTypes) const;
  std::string meshFile_;
  std::unique_ptr<AssembledMesh> mesh_;
  bool allowNonFinite_ = false;
  Report report_;
};
