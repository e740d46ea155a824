#pragma once

#include <cstdint>

#include "platform/ZORExport.h"
#include "platform/ZORString.h"

// Base shapes known to the library. The value of a member is its shape code; GetBaseShape returns
// a row position of the shape table, which from "S3" on is not the code (two element names share a
// code twice).
enum ZORMtkShp_enum : std::int32_t {
  ZORMPF_S2D_LINE2 = 0,
  ZORMPF_S2D_LINE3 = 1,
  ZORMPF_S3D_LINE2 = 2,
  ZORMPF_S3D_LINE3 = 3,
  ZORMPF_S3D_TRI3 = 4,
  ZORMPF_S3D_TRI6 = 5,
  ZORMPF_S3D_QUAD4 = 6,
  ZORMPF_S3D_QUAD8 = 7,
  ZORMPF_V2D_TRI3 = 8,
  ZORMPF_V2D_TRI6 = 9,
  ZORMPF_V2D_QUAD4 = 10,
  ZORMPF_V2D_QUAD8 = 11,
  ZORMPF_V3D_TET4 = 12,
  ZORMPF_V3D_TET10 = 13,
  ZORMPF_V3D_PRISM6 = 14,
  ZORMPF_V3D_PRISM15 = 15,
  ZORMPF_V3D_HEX8 = 16,
  ZORMPF_V3D_HEX20 = 17,
  UNKNOWN_SHAPE = 18
};

// One row of the shape table: what the searches and the writer need to know about an element
// type. dimension: 0 two-dimensional, 1 three-dimensional, 2 unknown. family: 0 line, 1 triangle,
// 2 quadrilateral, 3 tetrahedron, 4 prism, 5 hexahedron, 6 unknown.
struct ZORMtkShpRow {
  ZORMtkShp_enum code;
  const char* shapeName;
  const char* elementName;
  std::int32_t dimension;
  std::int32_t family;
  std::int32_t nodes;
  const char* description;
};

// Element shapes: the shape table that turns an element-type name into a base shape, and the
// isoparametric shape functions of every supported shape. Owns nothing but constant data.
class ZORMTK_EXPORT ZORMtkShp {
 public:
  static constexpr int kNumRows = 21;
  // Position of the unknown row, the answer for a name the library cannot place.
  static constexpr int kUnknownRow = 20;

  // The row position for an element-type or shape name (exact, case-sensitive). Names no row
  // holds resolve by their element family and node count, else to the unknown row.
  static ZORMtkShp_enum GetBaseShape(const cow_String& name);
  // Row at a position returned by GetBaseShape; a position outside the table gives the unknown
  // row.
  static const ZORMtkShpRow& GetRow(int position);

  // Shape functions of a triangle (nodes 3, 6) or quadrilateral (4, -4, 8) at (r, s): values, then
  // d/dr, then d/ds, n doubles each (n = |nodes|); with derivativesOnly the values are skipped.
  // -4 is the 4-node quadrilateral with its third and fourth functions exchanged. Other node
  // counts write nothing.
  static void Shp2D(int nodes, double r, double s, double* out, bool derivativesOnly);
  // Shape functions of a tetrahedron (4, 10), prism (6, 15) or hexahedron (8, 20) at (r, s, t):
  // values, then d/dr, d/ds, d/dt, n doubles each; derivativesOnly has no effect. Other node
  // counts write nothing.
  static void Shp3D(int nodes, double r, double s, double t, double* out, bool derivativesOnly);
};
