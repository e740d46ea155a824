#pragma once

// Tells degenerate and inverted elements apart from good ones before they reach the database:
// the sign and size of the Jacobian determinant at the element's centre, from the library's own
// shape functions, so "inverted" means inverted for the search that later uses the element.
class ElementShapeCheck {
 public:
  enum class Verdict { kGood, kZeroVolume, kInverted };

  // xyz holds three coordinates per node, in the library's node order; dimension is that of the
  // cell (1 line, 2 surface, 3 solid); plane is true for two-dimensional meshes, where a surface
  // cell has an orientation. Shells and lines have none and can only be degenerate.
  static Verdict Check(int nodes, int dimension, bool plane, const double* xyz);
};
