#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "ZORGfmApi.h"

struct AssembledMesh;
class FieldTypeCatalog;
class ProgressReporter;

// Brings one mesh file into a database that a ZORMtkSimWriter has created: reads it, chooses
// element types, writes the mesh and the point arrays that have a field type, and keeps a report
// of what it did and left out. Holds the file name and the report.
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
    std::int64_t zeroVolumeElements = 0;
    std::int64_t invertedElements = 0;
    std::vector<std::string> notes;
  };

  explicit MeshImporter(std::string meshFile);

  // NaN and infinite field values are refused unless allowed; coordinates never are.
  void AllowNonFiniteValues(bool allow) { allowNonFinite_ = allow; }

  // Writes the mesh into the writer's database; with withFields false the point arrays are left
  // out (a mapping target needs only the geometry). Returns the new mesh.
  ZORSimDynamicID ImportInto(ZORMtkSimWriter& writer, const FieldTypeCatalog& fieldTypes,
                             bool withFields, ProgressReporter& progress);
  const Report& GetReport() const { return report_; }
  // The report as lines for the user; warnings about bad elements go to warnings.
  void PrintReport(std::ostream& out, std::ostream& warnings) const;

 private:
  std::vector<std::string> CheckedFieldTypes(const AssembledMesh& mesh,
                                             const FieldTypeCatalog& fieldTypes) const;
  std::string meshFile_;
  bool allowNonFinite_ = false;
  Report report_;
};
