#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "VtuWriter.h"
#include "ZORGfmApi.h"

// Where a mapping placed each target node (1 by the search, 2 from the nearest source node, 0
// not at all): kept in the mapped database as a nodal field of this type and name, and written
// to .vtu files as a UInt8 point array of the name.
struct PlacementMarks {
  static constexpr const char* kFieldType = "STATUS";
  static constexpr const char* kName = "placed";
};

// One field of a database to write: its record, the name of its array and its kind. A nodal
// field named as the placement marks is written as those marks (UInt8), not as values.
struct ExportField {
  ZORSimDynamicID record;
  std::string arrayName;
  bool integrationPoints = false;
  bool placementMarks = false;
};

// Turns one mesh of a database and fields of one step and increment into a .vtu piece, reading
// through a reader scoped on the whole mesh: the points in node order (plane meshes get z = 0),
// the cells class by class in the reader's order with their VTK cell types and node order, the
// nodal fields as point arrays and the integration-point fields as cell arrays of components x
// points per element. Owns the reader and the geometry, read once and shared by every piece;
// the database stays the caller's and must stay open.
class MeshVtuExport {
 public:
  MeshVtuExport(const ZORSrvPosition& root, const ZORSimDynamicID& mesh);
  MeshVtuExport(const MeshVtuExport&) = delete;
  MeshVtuExport& operator=(const MeshVtuExport&) = delete;

  // Values a field lacks (nodes without a value, points a class does not have) are NaN.
  VtuPiece Piece(const std::vector<ExportField>& fields, int step, int increment,
                 const std::function<void(double)>& progress = {}) const;
  // True when the field has a value at some node or point of the mesh in that increment (an
  // increment can be declared and hold nothing).
  bool HasValues(const ExportField& field, int step, int increment) const;
  // Classes left out because they have no VTK cell, for the user.
  const std::vector<std::string>& Notes() const { return notes_; }
  const ZORMtkSimReader& Reader() const { return reader_; }

 private:
  struct ClassCells {
    std::string name;
    std::int64_t firstCell = 0;
    int count = 0;
  };

  void ReadPoints();
  void ReadCells();
  std::vector<int> NodePositions() const;
  VtuArray NodalArray(const ExportField& field, int step, int increment) const;
  VtuArray CellArray(const ExportField& field, int step, int increment) const;

  ZORMtkSimReader reader_;
  std::vector<ClassCells> classes_;
  std::int64_t cellCount_ = 0;
  VtuArray points_;
  VtuArray connectivity_;
  VtuArray offsets_;
  VtuArray types_;
  std::vector<std::string> notes_;
};
