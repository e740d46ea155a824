#include "ElementShapeCheck.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "ZORGfmApi.h"

namespace {

// The most nodes of any imported cell (the quadratic hexahedron).
constexpr int kMaxNodes = 20;

// Largest extent of the element's bounding box: the length scale a tolerance is relative to.
double Size(int nodes, const double* xyz) {
  double size = 0.0;
  for (int axis = 0; axis < 3; ++axis) {
    double low = xyz[axis], high = xyz[axis];
    for (int n = 1; n < nodes; ++n) {
      low = std::min(low, xyz[3 * n + axis]);
      high = std::max(high, xyz[3 * n + axis]);
    }
    size = std::max(size, high - low);
  }
  return size;
}

// Sum over nodes of a coordinate times one derivative block of the shape function output.
double Derivative(int nodes, const double* xyz, const double* derivative, int axis) {
  double sum = 0.0;
  for (int n = 0; n < nodes; ++n) sum += xyz[3 * n + axis] * derivative[n];
  return sum;
}

double SolidDeterminant(int nodes, const double* xyz) {
  // The centre of the reference element: tetrahedra and prisms have their corner at 0.
  const double r = nodes == 4 || nodes == 10 ? 0.25 : (nodes == 6 || nodes == 15 ? 1.0 / 3 : 0.0);
  const double t = nodes == 4 || nodes == 10 ? 0.25 : 0.0;
  std::array<double, 4 * kMaxNodes> shape{};
  ZORMtkShp::Shp3D(nodes, r, r, t, shape.data(), false);
  double j[3][3];
  for (int d = 0; d < 3; ++d)
    for (int axis = 0; axis < 3; ++axis)
      j[d][axis] = Derivative(nodes, xyz, shape.data() + (d + 1) * nodes, axis);
  return j[0][0] * (j[1][1] * j[2][2] - j[1][2] * j[2][1]) -
         j[0][1] * (j[1][0] * j[2][2] - j[1][2] * j[2][0]) +
         j[0][2] * (j[1][0] * j[2][1] - j[1][1] * j[2][0]);
}

// The surface Jacobian: signed in the xy plane for plane meshes, its area factor otherwise.
double SurfaceDeterminant(int nodes, bool plane, const double* xyz) {
  const double r = nodes == 3 || nodes == 6 ? 1.0 / 3 : 0.0;
  std::array<double, 3 * kMaxNodes> shape{};
  ZORMtkShp::Shp2D(nodes, r, r, shape.data(), false);
  double a[3], b[3];
  for (int axis = 0; axis < 3; ++axis) {
    a[axis] = Derivative(nodes, xyz, shape.data() + nodes, axis);
    b[axis] = Derivative(nodes, xyz, shape.data() + 2 * nodes, axis);
  }
  const double normal[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                            a[0] * b[1] - a[1] * b[0]};
  return plane ? normal[2]
               : std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
}

}  // namespace

ElementShapeCheck::Verdict ElementShapeCheck::Check(int nodes, int dimension, bool plane,
                                                    const double* xyz) {
  const double size = Size(nodes, xyz);
  double measure = size;
  if (dimension == 3) measure = SolidDeterminant(nodes, xyz);
  if (dimension == 2) measure = SurfaceDeterminant(nodes, plane, xyz);
  const double scale = std::pow(size, dimension);
  if (!(std::fabs(measure) > 1e-12 * scale)) return Verdict::kZeroVolume;
  return measure < 0.0 ? Verdict::kInverted : Verdict::kGood;
}
