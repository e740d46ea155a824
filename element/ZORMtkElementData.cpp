#include "element/ZORMtkElementData.h"

#include <algorithm>
#include <cmath>

#include "element/impl/ZORShapeKernels.h"

namespace {

// The Gauss abscissa as results were written with it; the extrapolation scales node positions by
// its reciprocal to reach the nodes from the points.
constexpr double kGauss = 0.57735026918963;
constexpr double kToNodes = 1.0 / kGauss;
constexpr double kSixth = 1.0 / 6.0;
constexpr double kTwoThirds = 2.0 / 3.0;
constexpr double kThird = 1.0 / 3.0;

// 2 x 2 points row by row; the centre of a quadrilateral; the centroid of a triangle; the three
// interior points of a quadratic triangle.
constexpr double kGaussR[4] = {-kGauss, kGauss, -kGauss, kGauss};
constexpr double kGaussS[4] = {-kGauss, -kGauss, kGauss, kGauss};
constexpr double kCentre[1] = {0.0};
constexpr double kCentroid[1] = {kThird};
constexpr double kTri3R[3] = {kSixth, kTwoThirds, kSixth};
constexpr double kTri3S[3] = {kSixth, kSixth, kTwoThirds};

constexpr int kMaxNodes = 8;

// How one group of element types stores results at its points. shapeArg is the ZORMtkShp::Shp2D
// argument of its shape functions.
struct PointGroup {
  int shapeArg;
  int nodes;
  int numPoints;
  const double* r;
  const double* s;
  double weight;
};

constexpr PointGroup kFullQuad = {4, 4, 4, kGaussR, kGaussS, 1.0};
constexpr PointGroup kReducedQuad = {4, 4, 1, kCentre, kCentre, 4.0};
constexpr PointGroup kLinearTri = {3, 3, 1, kCentroid, kCentroid, 0.5};
constexpr PointGroup kQuadraticTri = {6, 6, 3, kTri3R, kTri3S, kSixth};
constexpr PointGroup kReducedQuad8 = {8, 8, 4, kGaussR, kGaussS, 1.0};

struct ElementTypePoints {
  const char* name;
  int numPoints;
  const PointGroup* group;  // null: a point count without tables
};

// In the order the names are tried.
constexpr ElementTypePoints kElementTypes[] = {
    {"S3R", 1, &kLinearTri},       {"S3", 1, nullptr},
    {"S4R", 1, &kReducedQuad},     {"CPS3", 1, &kLinearTri},
    {"CPE3", 1, &kLinearTri},      {"CPS4R", 1, &kReducedQuad},
    {"CPE4R", 1, &kReducedQuad},   {"CPS6", 3, &kQuadraticTri},
    {"CPE6", 3, &kQuadraticTri},   {"STRI3", 3, &kQuadraticTri},
    {"STRI65", 3, &kQuadraticTri}, {"CPS4", 4, &kFullQuad},
    {"CPE4", 4, &kFullQuad},       {"S4", 4, &kFullQuad},
    {"CPS8R", 4, &kReducedQuad8},  {"CPE8R", 4, &kReducedQuad8},
    {"S8R", 4, &kReducedQuad8},    {"S8", 9, nullptr}};

// Extrapolation of a quadratic triangle's three point values to its six nodes: the linear field
// through the points, evaluated at the corners and mid-sides.
constexpr double kFiveThirds = 1.6666666666666667;
constexpr double kTri6Extrapolation[6 * 3] = {
    kFiveThirds, -kThird,    -kThird,     -kThird,    kFiveThirds, -kThird,
    -kThird,     -kThird,    kFiveThirds, kTwoThirds, kTwoThirds,  -kThird,
    -kThird,     kTwoThirds, kTwoThirds,  kTwoThirds, -kThird,     kTwoThirds};

const ElementTypePoints* FindElementType(const cow_String& elementType) {
  for (const ElementTypePoints& entry : kElementTypes) {
    if (elementType.Str() == entry.name) return &entry;
  }
  return nullptr;
}

const PointGroup* FindGroup(const cow_String& elementType) {
  const ElementTypePoints* entry = FindElementType(elementType);
  return entry ? entry->group : nullptr;
}

// Natural coordinates of a quadrilateral's corners (round the element) and mid-side nodes.
void QuadNodePosition(int node, double& xi, double& eta) {
  xi = node < 4 ? zor_shape::kQuadR[node] : zor_shape::kQuad8MidR[node - 4];
  eta = node < 4 ? zor_shape::kQuadS[node] : zor_shape::kQuad8MidS[node - 4];
}

// Bilinear extrapolation through the 2 x 2 points: out[n * 4 + p] = (1 + c xn xp)(1 + c yn yp)/4
// with c = 1/g. That is the row-by-row 4-node function of point p evaluated at the node position
// scaled by c, so the -4 ordering lines the functions up with the point order.
void QuadExtrapolation(int nodes, double* out) {
  double shape[3 * 4];
  for (int n = 0; n < nodes; ++n) {
    double xi = 0.0, eta = 0.0;
    QuadNodePosition(n, xi, eta);
    zor_shape::Evaluate2D(-4, kToNodes * xi, kToNodes * eta, shape, false);
    std::copy(shape, shape + 4, out + 4 * n);
  }
}

}  // namespace

int ZORMtkElementData::GetNumIntPt(cow_String elementType) {
  const ElementTypePoints* entry = FindElementType(elementType);
  return entry ? entry->numPoints : -1;
}

void ZORMtkElementData::GetIntPtShapeValues(cow_String elementType, double* out) {
  const PointGroup* group = FindGroup(elementType);
  if (!group) return;
  const int P = group->numPoints;
  if (P == 1) {
    // At the centre every function of the element has the same value.
    std::fill(out, out + group->nodes, 1.0 / group->nodes);
    return;
  }
  double shape[3 * kMaxNodes];
  for (int p = 0; p < P; ++p) {
    zor_shape::Evaluate2D(group->shapeArg, group->r[p], group->s[p], shape, false);
    for (int n = 0; n < group->nodes; ++n) out[n * P + p] = shape[n];
  }
}

void ZORMtkElementData::GetIntPtExtrapolation(cow_String elementType, double* out) {
  const PointGroup* group = FindGroup(elementType);
  if (!group) return;
  if (group->numPoints == 1) {
    std::fill(out, out + group->nodes, 1.0);
  } else if (group == &kQuadraticTri) {
    std::copy(std::begin(kTri6Extrapolation), std::end(kTri6Extrapolation), out);
  } else {
    QuadExtrapolation(group->nodes, out);
  }
}

void ZORMtkElementData::GetIntPtShapeDerivs(cow_String elementType, int point, double* out) {
  const PointGroup* group = FindGroup(elementType);
  if (!group) return;
  // A one-point group answers for its single point whatever index is asked for.
  const int p = group->numPoints == 1 ? 0 : point;
  if (p < 0 || p >= group->numPoints) return;
  zor_shape::Evaluate2D(group->shapeArg, group->r[p], group->s[p], out, false);
}

double ZORMtkElementData::GetIntPtWeight(cow_String elementType, int /*point*/) {
  const PointGroup* group = FindGroup(elementType);
  return group ? group->weight : 0.0;
}

// out[n][c] = sum over points p of w_p |J_p| N_n(p) v[p][c]: the element integral of the point
// field against each shape function. |J| is the area measure of the map (r, s) -> x, from the
// tangents a = dx/dr and b = dx/ds: a0 b1 - a1 b0 in the plane, |a x b| in space.
void ZORMtkElementData::IntegrateIntPtToNodes(cow_String elementType, const double* coords,
                                              const double* values, int nComponents, int dimension,
                                              int nNodes, double* out) {
  // No count of nodes or components, no values to sum, nothing written.
  if (nNodes <= 0 || nComponents <= 0) return;
  std::fill(out, out + nNodes * nComponents, 0.0);
  const int P = GetNumIntPt(elementType);
  const PointGroup* group = FindGroup(elementType);
  // The tables of a group may have more functions than the caller's element has nodes ("STRI3"
  // uses the first rows of the 6-node tables); the blocks keep the group's stride.
  const int stride = group ? group->nodes : 0;
  const int used = std::min(nNodes, stride);
  for (int p = 0; p < P; ++p) {
    double shape[3 * kMaxNodes] = {};
    GetIntPtShapeDerivs(elementType, p, shape);
    double a[3] = {0.0, 0.0, 0.0}, b[3] = {0.0, 0.0, 0.0};
    for (int n = 0; n < used; ++n) {
      for (int k = 0; k < dimension && k < 3; ++k) {
        a[k] += shape[stride + n] * coords[3 * n + k];
        b[k] += shape[2 * stride + n] * coords[3 * n + k];
      }
    }
    const double cx = a[1] * b[2] - a[2] * b[1];
    const double cy = a[2] * b[0] - a[0] * b[2];
    const double cz = a[0] * b[1] - a[1] * b[0];
    const double measure = dimension == 2 ? cz : std::sqrt(cx * cx + cy * cy + cz * cz);
    const double w = measure * GetIntPtWeight(elementType, p);
    for (int n = 0; n < used; ++n) {
      for (int c = 0; c < nComponents; ++c) {
        out[n * nComponents + c] += w * shape[n] * values[p * nComponents + c];
      }
    }
  }
}
