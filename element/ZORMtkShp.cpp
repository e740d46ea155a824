#include "element/ZORMtkShp.h"

#include <cstring>

#include "element/impl/ZORShapeKernels.h"

namespace {

constexpr ZORMtkShpRow kShapeTable[ZORMtkShp::kNumRows] = {
    {ZORMPF_S2D_LINE2, "ZORMPF_S2D_LINE2", "B21", 0, 0, 2, "2-D Surface Facet, Line, 2-node"},
    {ZORMPF_S2D_LINE3, "ZORMPF_S2D_LINE3", "B22", 0, 0, 3, "2-D Surface Facet, Line, 3-node"},
    {ZORMPF_S3D_LINE2, "ZORMPF_S3D_LINE2", "B31", 1, 0, 2, "3-D Surface Facet, Line, 2-node"},
    {ZORMPF_S3D_LINE3, "ZORMPF_S3D_LINE3", "B32", 1, 0, 3, "3-D Surface Facet, Line, 3-node"},
    {ZORMPF_S3D_TRI3, "ZORMPF_S3D_TRI3", "S3R", 1, 1, 3, "3-D Surface Facet, Triangle, 3-node"},
    {ZORMPF_S3D_TRI3, "ZORMPF_S3D_TRI3", "S3", 1, 1, 3, "3-D Surface Facet, Triangle, 3-node"},
    {ZORMPF_S3D_TRI6, "ZORMPF_S3D_TRI6", "STRI65", 1, 1, 6, "3-D Surface Facet, Triangle, 6-node"},
    {ZORMPF_S3D_QUAD4, "ZORMPF_S3D_QUAD4", "S4R", 1, 2, 4, "3-D Surface Facet, Quad, 4-node"},
    {ZORMPF_S3D_QUAD4, "ZORMPF_S3D_QUAD4", "S4", 1, 2, 4, "3-D Surface Facet, Quad, 4-node"},
    {ZORMPF_S3D_QUAD8, "ZORMPF_S3D_QUAD8", "S8R", 1, 2, 8, "3-D Surface Facet, Quad, 8-node"},
    {ZORMPF_V2D_TRI3, "ZORMPF_V2D_TRI3", "CPE3", 0, 1, 3, "2-D Volume Element, Triangle, 3-node"},
    {ZORMPF_V2D_TRI6, "ZORMPF_V2D_TRI6", "CPE6", 0, 1, 6, "2-D Volume Element, Triangle, 6-node"},
    {ZORMPF_V2D_QUAD4, "ZORMPF_V2D_QUAD4", "CPE4", 0, 2, 4,
     "2-D Volume Element, Quadrilateral, 4-node"},
    {ZORMPF_V2D_QUAD8, "ZORMPF_V2D_QUAD8", "CPE8", 0, 2, 8,
     "2-D Volume Element, Quadrilateral, 8-node"},
    {ZORMPF_V3D_TET4, "ZORMPF_V3D_TET4", "C3D4", 1, 3, 4,
     "3-D Volume Element, Tetrahedral, 4-node"},
    {ZORMPF_V3D_TET10, "ZORMPF_V3D_TET10", "C3D10", 1, 3, 10,
     "3-D Volume Element, Tetrahedral, 10-node"},
    {ZORMPF_V3D_PRISM6, "ZORMPF_V3D_PRISM6", "C3D6", 1, 4, 6, "3-D Volume Element, Prism, 6-node"},
    {ZORMPF_V3D_PRISM15, "ZORMPF_V3D_PRISM15", "C3D15", 1, 4, 15,
     "3-D Volume Element, Prism, 15-node"},
    {ZORMPF_V3D_HEX8, "ZORMPF_V3D_HEX8", "C3D8", 1, 5, 8, "3-D Volume Element, Hexahedral, 8-node"},
    {ZORMPF_V3D_HEX20, "ZORMPF_V3D_HEX20", "C3D20", 1, 5, 20,
     "3-D Volume Element, Hexahedral, 20-node"},
    {UNKNOWN_SHAPE, "UNKNOWN_SHAPE", "UNKNOWN", 2, 6, 0, "Unknown shape"},
};

// Element-type names outside the table follow a pattern: a family prefix, a number, then variant
// letters (with digits only after a letter). The number is the node count for continuum, shell
// and truss names, and the interpolation order for beam names (1 linear with 2 nodes, 2 quadratic
// with 3 nodes, 3 cubic with 2 nodes). A family maps the number to the table row of the same
// geometry, so that the searches and the writer see the right dimension, family and node count.
struct NumberTarget {
  int number;
  const char* elementName;
};

constexpr NumberTarget kPlane[] = {{3, "CPE3"}, {4, "CPE4"}, {6, "CPE6"}, {8, "CPE8"}};
constexpr NumberTarget kSolid[] = {{4, "C3D4"},   {6, "C3D6"},   {8, "C3D8"},
                                   {10, "C3D10"}, {15, "C3D15"}, {20, "C3D20"}};
constexpr NumberTarget kShell[] = {{3, "S3"}, {4, "S4"}, {6, "STRI65"}, {8, "S8R"}};
constexpr NumberTarget kTruss2D[] = {{2, "B21"}, {3, "B22"}};
constexpr NumberTarget kTruss3D[] = {{2, "B31"}, {3, "B32"}};
constexpr NumberTarget kBeam2D[] = {{1, "B21"}, {2, "B22"}, {3, "B21"}};
constexpr NumberTarget kBeam3D[] = {{1, "B31"}, {2, "B32"}, {3, "B31"}};

struct FamilyRule {
  const char* prefix;
  const NumberTarget* targets;
  int numTargets;
};

template <int N>
constexpr FamilyRule Family(const char* prefix, const NumberTarget (&targets)[N]) {
  return {prefix, targets, N};
}

// Examples: "CPS4R" and "CAX4RH" -> "CPE4", "CPS8R" -> "CPE8", "CPE6M" -> "CPE6";
// "C3D8R", "C3D8I" -> "C3D8", "C3D10M" -> "C3D10"; "S4R5" -> "S4", "S8R5" -> "S8R",
// "S3RS" and "STRI3" -> "S3"; "B31H" and "T3D2" -> "B31", "B22H" -> "B22".
// Not matched, so unknown: "CAXA41" (no number right after "CAX"), "C3D27" (no 27-node row),
// "S9R5", "COH3D8".
constexpr FamilyRule kFamilies[] = {
    Family("CPE", kPlane),    Family("CPS", kPlane),    Family("CAX", kPlane),
    Family("CPEG", kPlane),   Family("CGAX", kPlane),   Family("DC2D", kPlane),
    Family("DCAX", kPlane),   Family("AC2D", kPlane),   Family("ACAX", kPlane),
    Family("C3D", kSolid),    Family("DC3D", kSolid),   Family("AC3D", kSolid),
    Family("S", kShell),      Family("STRI", kShell),   Family("DS", kShell),
    Family("T2D", kTruss2D),  Family("T3D", kTruss3D),  Family("B2", kBeam2D),
    Family("B3", kBeam3D),    Family("PIPE2", kBeam2D), Family("PIPE3", kBeam3D),
    Family("ELBOW3", kBeam3D)};

constexpr int kNotFound = -1;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number right after prefix, or kNotFound when name does not continue with one.
int NumberAfterPrefix(const std::string& name, const char* prefix) {
  const std::size_t length = std::strlen(prefix);
  if (name.compare(0, length, prefix) != 0) return kNotFound;
  int number = 0;
  std::size_t i = length;
  // No node count or order has more than three digits; a longer run is no element-type name.
  for (; i < name.size() && IsDigit(name[i]); ++i) {
    if (i - length == 3) return kNotFound;
    number = number * 10 + (name[i] - '0');
  }
  return i == length ? kNotFound : number;
}

int RowOfShapeName(const std::string& name) {
  for (int row = 0; row < ZORMtkShp::kNumRows; ++row) {
    if (name == kShapeTable[row].shapeName) return row;
  }
  return kNotFound;
}

int RowOfElementName(const std::string& name) {
  for (int row = 0; row < ZORMtkShp::kNumRows; ++row) {
    if (name == kShapeTable[row].elementName) return row;
  }
  return kNotFound;
}

int RowOfFamilyMember(const std::string& name) {
  for (const FamilyRule& family : kFamilies) {
    const int number = NumberAfterPrefix(name, family.prefix);
    for (int k = 0; number != kNotFound && k < family.numTargets; ++k) {
      if (family.targets[k].number == number)
        return RowOfElementName(family.targets[k].elementName);
    }
  }
  return kNotFound;
}

}  // namespace

ZORMtkShp_enum ZORMtkShp::GetBaseShape(const cow_String& name) {
  const std::string& text = name.Str();
  int row = RowOfShapeName(text);
  if (row == kNotFound) row = RowOfElementName(text);
  if (row == kNotFound) row = RowOfFamilyMember(text);
  if (row == kNotFound) row = kUnknownRow;
  return static_cast<ZORMtkShp_enum>(row);
}

const ZORMtkShpRow& ZORMtkShp::GetRow(int position) {
  const bool inTable = position >= 0 && position < kNumRows;
  return kShapeTable[inTable ? position : kUnknownRow];
}

void ZORMtkShp::Shp2D(int nodes, double r, double s, double* out, bool derivativesOnly) {
  zor_shape::Evaluate2D(nodes, r, s, out, derivativesOnly);
}

void ZORMtkShp::Shp3D(int nodes, double r, double s, double t, double* out,
                      bool /*derivativesOnly*/) {
  zor_shape::Evaluate3D(nodes, r, s, t, out);
}
