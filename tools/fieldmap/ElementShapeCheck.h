#pragma once

#include <array>

// Tells degenerate and inverted elements apart from good ones before they reach the database:
// the sign and size of the Jacobian determinant at the element's centre, from the library's own
// shape functions, so "inverted" means inverted for the search that later uses the element. One
// object serves every element of one shape: the shape-function derivatives at the centre are the
// same for all of them and are computed once. Immutable after construction.
class ElementShapeCheck {
 public:
  // kTooSmall: a good shape, but so small in the file's units that the search's Newton steps take
  // it for flat (ZORMtkGeom::kMinDeterminant), so no point will be placed in it.
  enum class Verdict { kGood, kZeroVolume, kInverted, kTooSmall };

  // dimension is that of the cell (1 line, 2 surface, 3 solid); plane is true for
  // two-dimensional meshes, where a surface cell has an orientation. Shells and lines have none
  // and can only be degenerate.
  ElementShapeCheck(int nodes, int dimension, bool plane);

  // xyz holds three coordinates per node, in the library's node order.
  Verdict Check(const double* xyz) const;

  // The most nodes of any imported cell (the quadratic hexahedron).
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
