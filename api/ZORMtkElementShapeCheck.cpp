#include "api/ZORMtkElementShapeCheck.h"

#include <algorithm>
#include <cmath>

#include "element/ZORMtkShp.h"
#include "search/ZORMtkGeom.h"

namespace {

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

// Sum over nodes of a coordinate times one derivative block of the shape functions.
double Derivative(int nodes, const double* xyz, const double* derivative, int axis) {
  double sum = 0.0;
  for (int n = 0; n < nodes; ++n) sum += xyz[3 * n + axis] * derivative[n];
  return sum;
}

}  // namespace

// Counts outside what the check knows are held to it (up to kMaxNodes nodes, dimensions 1 to 3),
// so that no count reaches past the fixed buffers.
ZORMtkElementShapeCheck::ZORMtkElementShapeCheck(int nodes, int dimension, bool plane)
    : nodes_(std::clamp(nodes, 0, kMaxNodes)),
      dimension_(std::clamp(dimension, 1, 3)),
      plane_(plane) {
  // The centre of the reference element: triangles, tetrahedra and prisms have a corner at 0.
  std::array<double, 4 * kMaxNodes> shape{};
  if (dimension_ == 3) {
    const double r =
        nodes_ == 4 || nodes_ == 10 ? 0.25 : (nodes_ == 6 || nodes_ == 15 ? 1.0 / 3 : 0.0);
    const double t = nodes_ == 4 || nodes_ == 10 ? 0.25 : 0.0;
    ZORMtkShp::Shp3D(nodes_, r, r, t, shape.data(), false);
  } else if (dimension_ == 2) {
    const double r = nodes_ == 3 || nodes_ == 6 ? 1.0 / 3 : 0.0;
    ZORMtkShp::Shp2D(nodes_, r, r, shape.data(), false);
  }
  std::copy(shape.begin() + nodes_, shape.begin() + (dimension_ + 1) * nodes_,
            derivatives_.begin());
}

double ZORMtkElementShapeCheck::SolidDeterminant(const double* xyz) const {
  double j[3][3];
  for (int d = 0; d < 3; ++d)
    for (int axis = 0; axis < 3; ++axis)
      j[d][axis] = Derivative(nodes_, xyz, derivatives_.data() + d * nodes_, axis);
  return j[0][0] * (j[1][1] * j[2][2] - j[1][2] * j[2][1]) -
         j[0][1] * (j[1][0] * j[2][2] - j[1][2] * j[2][0]) +
         j[0][2] * (j[1][0] * j[2][1] - j[1][1] * j[2][0]);
}

// The surface Jacobian: signed in the xy plane for plane meshes, its area factor otherwise.
double ZORMtkElementShapeCheck::SurfaceDeterminant(const double* xyz) const {
  double a[3], b[3];
  for (int axis = 0; axis < 3; ++axis) {
    a[axis] = Derivative(nodes_, xyz, derivatives_.data(), axis);
    b[axis] = Derivative(nodes_, xyz, derivatives_.data() + nodes_, axis);
  }
  const double normal[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                            a[0] * b[1] - a[1] * b[0]};
  return plane_ ? normal[2]
                : std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
}

ZORMtkElementShapeCheck::Verdict ZORMtkElementShapeCheck::Check(const double* xyz) const {
  const double size = Size(nodes_, xyz);
  double measure = size, scale = size;
  if (dimension_ == 3) {
    measure = SolidDeterminant(xyz);
    scale = size * size * size;
  } else if (dimension_ == 2) {
    measure = SurfaceDeterminant(xyz);
    scale = size * size;
  }
  if (!(std::fabs(measure) > 1e-12 * scale)) return Verdict::kZeroVolume;
  if (measure < 0.0) return Verdict::kInverted;
  // Lines and 3-node triangles are placed without Newton steps, in any units.
  const bool limited = dimension_ == 3 || (dimension_ == 2 && nodes_ != 3);
  return limited && measure < ZORMtkGeom::kMinDeterminant ? Verdict::kTooSmall : Verdict::kGood;
}

ZORMtkElementShapeCheck::Verdict ZORMtkElementShapeCheck::CheckNodes(const double* coordinates,
                                                                     int components,
                                                                     const int* nodes) const {
  std::array<double, 3 * kMaxNodes> xyz{};
  for (int k = 0; k < nodes_; ++k)
    for (int axis = 0; axis < std::min(components, 3); ++axis)
      xyz[static_cast<std::size_t>(3 * k + axis)] =
          coordinates[static_cast<std::size_t>(components) * static_cast<std::size_t>(nodes[k]) +
                      static_cast<std::size_t>(axis)];
  return Check(xyz.data());
}

// Families: 0 lines, 1 and 2 triangles and quadrilaterals (shells, or plane elements), 3 to 5
// tetrahedra, prisms and hexahedra; the unknown row has no nodes and is checked as a line.
ZORMtkElementShapeCheck ZORMtkElementShapeCheck::ForType(const char* elementType, bool plane) {
  const ZORMtkShpRow& row = ZORMtkShp::GetRow(ZORMtkShp::GetBaseShape(elementType));
  const bool surface = row.family == 1 || row.family == 2;
  const bool solid = row.family >= 3 && row.family <= 5;
  return ZORMtkElementShapeCheck(row.nodes, surface ? 2 : (solid ? 3 : 1), plane);
}
