#pragma once

#include <array>

#include "platform/ZORExport.h"

// Tells degenerate and inverted elements apart from good ones: the sign and size of the Jacobian
// determinant at the element's centre, from the library's own shape functions, so "inverted"
// means inverted for the search that later uses the element, which places no point in it. One
// object serves every element of one shape: the shape-function derivatives at the centre are the
// same for all of them and are computed once. Immutable after construction; any number of
// threads may use one object.
class ZORMTK_EXPORT ZORMtkElementShapeCheck {
 public:
  // kTooSmall: a good shape, but so small in the mesh's units that the search's Newton steps take
  // it for flat (ZORMtkGeom::kMinDeterminant), so no point will be placed in it.
  enum class Verdict { kGood, kZeroVolume, kInverted, kTooSmall };

  // dimension is that of the cell (1 line, 2 surface, 3 solid); plane is true for
  // two-dimensional meshes, where a surface cell has an orientation. Shells and lines have none
  // and can only be degenerate. Counts beyond these are held to them: nodes to 0 .. kMaxNodes,
  // dimension to 1 .. 3 (a cell of no nodes is of zero volume).
  ZORMtkElementShapeCheck(int nodes, int dimension, bool plane);
  // The check for the library's element type `elementType` ("C3D8", "S4", "CPE3", ...), whose
  // family gives the cell's dimension.
  static ZORMtkElementShapeCheck ForType(const char* elementType, bool plane);

  // xyz holds three coordinates per node, in the library's node order.
  Verdict Check(const double* xyz) const;
  // The element whose node indices are `nodes`, in a coordinate array of `components` (2 or 3)
  // values per node; two components are points in z = 0, and of more only the first three count.
  Verdict CheckNodes(const double* coordinates, int components, const int* nodes) const;

  // The most nodes of any element the check knows (the quadratic hexahedron).
  static constexpr int kMaxNodes = 20;

 private:
  double SolidDeterminant(const double* xyz) const;
  double SurfaceDeterminant(const double* xyz) const;

  int nodes_;
  int dimension_;
  bool plane_;
  // derivatives_[d * nodes_ + n]: derivative of node n's shape function along natural axis d.
  std::array<double, 3 * kMaxNodes> derivatives_{};
};

// How many elements of a mesh had each verdict but kGood.
struct ZORMtkShapeCounts {
  long long zeroVolume = 0;
  long long inverted = 0;
  long long tooSmall = 0;

  void Add(ZORMtkElementShapeCheck::Verdict verdict) {
    zeroVolume += verdict == ZORMtkElementShapeCheck::Verdict::kZeroVolume;
    inverted += verdict == ZORMtkElementShapeCheck::Verdict::kInverted;
    tooSmall += verdict == ZORMtkElementShapeCheck::Verdict::kTooSmall;
  }
};
