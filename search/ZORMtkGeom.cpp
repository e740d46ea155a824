#include "search/ZORMtkGeom.h"

#include <algorithm>
#include <cmath>

#include "element/impl/ZORShapeKernels.h"
#include "search/impl/ZORFacetFrame.h"
#include "search/impl/ZORGeomMath.h"
#include "search/impl/ZORSolidInversion.h"

using zor_geom::AgreeRelative;
using zor_geom::Cross3;
using zor_geom::Dot3;
using zor_geom::Sub3;

namespace {

// Newton limits of every local-coordinate solver: a Jacobian that grows beyond 1000 times its
// first size means the iteration has run off the element; a determinant below
// ZORMtkGeom::kMinDeterminant means the element is flat or inverted there.
constexpr int kMaxNewtonSteps = 20;
constexpr double kJacobianGrowth = 1000.0;
constexpr double kNewtonConverged = 1e-6;

constexpr double kThird = 0.3333333333333333;
constexpr double kTwentySeventhTwice = 0.07407407407407407;  // 2/27
constexpr double kPiThird = 1.0471975511966667;
constexpr double kCubicZero = 1e-11;
constexpr double kDegreeStep = 0.017453292519944444;
// Two unit directions within 5 degrees of each other.
constexpr double kCosFiveDegrees = 0.996194698092;

// Which side of the line a -> b point p lies on (1 left, -1 right, 0 on it), as
// ZORMtkGeom::CounterClockwise answers; here so that the polygon tests inline it.
// c = u x w (z component) with w = b - a, u = p - a. The tolerance is relative to the two
// products, so the test does not depend on the coordinates' scale.
inline int Turn(const double* a, const double* b, const double* p, double tol) {
  const double wx = b[0] - a[0], wy = b[1] - a[1];
  const double ux = p[0] - a[0], uy = p[1] - a[1];
  const double c = uy * wx - ux * wy;
  const double t = tol * zor_geom::Larger(std::fabs(uy * wx), std::fabs(ux * wy));
  if (c > t) return 1;
  if (c < -t) return -1;
  const double w2 = wx * wx + wy * wy, u2 = ux * ux + uy * uy;
  const double t2 = tol * zor_geom::Larger(w2, u2);
  if (w2 > t2 && u2 > t2 && (ux * wx < 0.0 || uy * wy < 0.0)) return -1;
  if (u2 - w2 > t2) return 1;
  return 0;
}

inline bool TriangleHolds(const double* v1, const double* v2, const double* v3, const double* p,
                          double tol) {
  return Turn(v1, v2, p, tol) >= 0 && Turn(v2, v3, p, tol) >= 0 && Turn(v3, v1, p, tol) >= 0;
}

constexpr int kPerimeter6[6] = {0, 3, 1, 4, 2, 5};
constexpr int kPerimeter8[8] = {0, 4, 1, 5, 2, 6, 3, 7};

// Solves the 2 x 2 Newton scheme x(r, s) = p in the x-y plane for a facet of shape argument
// `shape` (nodes at stride 3). weights receives the Shp2D output of the last evaluation. The
// convergence measure includes the third area coordinate for triangles. Returns whether it
// converged.
// kNodes, when not 0, fixes the node count (and the shape) at compile time, so that the 4-node
// facet every shell search tests gets its sums unrolled; the arithmetic is the same to the bit.
template <int kNodes = 0>
bool Newton2D(int shape, int nNodes, const double* coords, const double* p, bool withL,
              double* weights, double& r, double& s) {
  const int count = kNodes > 0 ? kNodes : nNodes;
  const int form = kNodes > 0 ? kNodes : shape;
  double reference = 0.0;
  for (int step = 0; step < kMaxNewtonSteps; ++step) {
    zor_shape::Evaluate2D(form, r, s, weights, false);
    const double* N = weights;
    const double* dr = weights + count;
    const double* ds = weights + 2 * count;
    double x = 0.0, y = 0.0, J00 = 0.0, J01 = 0.0, J10 = 0.0, J11 = 0.0;
    for (int n = 0; n < count; ++n) {
      const double xn = coords[3 * n], yn = coords[3 * n + 1];
      x += N[n] * xn, y += N[n] * yn;
      J00 += dr[n] * xn, J01 += ds[n] * xn;
      J10 += dr[n] * yn, J11 += ds[n] * yn;
    }
    const double size = std::fabs(J00) + std::fabs(J01) + std::fabs(J10) + std::fabs(J11);
    if (step == 0) reference = size;
    if (size > kJacobianGrowth * reference) return false;
    const double det = J00 * J11 - J01 * J10;
    if (det < ZORMtkGeom::kMinDeterminant) return false;
    const double ex = x - p[0], ey = y - p[1];
    const double deltaR = (J11 * ex - J01 * ey) / det;
    const double deltaS = (J00 * ey - J10 * ex) / det;
    r -= deltaR, s -= deltaS;
    const double deltaL = withL ? deltaR + deltaS : 0.0;
    if (std::sqrt(deltaR * deltaR + deltaS * deltaS + deltaL * deltaL) < kNewtonConverged) {
      return true;
    }
  }
  return false;
}

// The two triangles (v1, v2, v3) and (v1, v3, v4).
bool QuadHolds(const double* quad, const double* p, double tol) {
  return TriangleHolds(quad, quad + 3, quad + 6, p, tol) ||
         TriangleHolds(quad, quad + 6, quad + 9, p, tol);
}

// Whether the Newton solve converges to (r, s) within the square widened by tol.
bool QuadInside(double* weights, int nNodes, const double* coords, const double* p, double tol) {
  double r = 0.0, s = 0.0;
  const bool converged = nNodes == 4 ? Newton2D<4>(4, 4, coords, p, false, weights, r, s)
                                     : Newton2D(nNodes, nNodes, coords, p, false, weights, r, s);
  return converged && std::fabs(r) < 1.0 + tol && std::fabs(s) < 1.0 + tol;
}

// Facets whose corners are collinear have no plane. The two in-plane vectors are compared by the
// sine of their angle, so the test does not depend on the facet's size.
bool IsDegenerateFacet(const double* coords, int nNodes) {
  const bool triangle = nNodes == 3 || nNodes == 6;
  double e1[3], e2[3], normal[3];
  Sub3(coords + (triangle ? 3 : 6), coords, e1);
  Sub3(coords + (triangle ? 6 : 9), coords + (triangle ? 0 : 3), e2);
  Cross3(e1, e2, normal);
  return zor_geom::Norm3(normal) <= 1e-12 * zor_geom::Norm3(e1) * zor_geom::Norm3(e2);
}

// The foot of a point on the plane through centroid spanned by t1 and t2, by least squares:
// [t1.t1 t1.t2; t1.t2 t2.t2] c = [d.t1; d.t2], d = point - centroid, foot = centroid + c1 t1 +
// c2 t2, and the foot's in-plane coordinates ((foot - centroid).t1, (foot - centroid).t2, 0). The
// matrix is the plane's, so a facet's nodes share it.
class PlaneFoot {
 public:
  PlaneFoot(const double* tangents, const double* centroid)
      : t1_(tangents),
        t2_(tangents + 3),
        centroid_(centroid),
        a11_(Dot3(t1_, t1_)),
        a22_(Dot3(t2_, t2_)),
        a12_(Dot3(t1_, t2_)),
        det_(a11_ * a22_ - a12_ * a12_) {}

  void Find(const double* point, double* coeffs, double* foot) const {
    double d[3];
    Sub3(point, centroid_, d);
    const double b1 = Dot3(d, t1_), b2 = Dot3(d, t2_);
    coeffs[0] = (b1 * a22_ - b2 * a12_) / det_;
    coeffs[1] = (b2 * a11_ - b1 * a12_) / det_;
    for (int k = 0; k < 3; ++k) foot[k] = centroid_[k] + coeffs[0] * t1_[k] + coeffs[1] * t2_[k];
  }
  void InPlane(const double* foot, double* out) const {
    double offset[3];
    Sub3(foot, centroid_, offset);
    out[0] = Dot3(offset, t1_);
    out[1] = Dot3(offset, t2_);
    out[2] = 0.0;
  }

 private:
  const double* t1_;
  const double* t2_;
  const double* centroid_;
  double a11_, a22_, a12_, det_;
};

// The point's distance from its foot, positive on the side the normal points away from.
double SignedDistance(const double* normal, const double* foot, const double* point) {
  double gap[3];
  Sub3(foot, point, gap);
  const double length = zor_geom::Norm3(gap);
  return Dot3(gap, normal) > 0.0 ? length : -length;
}

// In-plane coordinates of a point's projection (PlaneFoot); returns the signed distance of the
// point from the plane (as FindMinDistToPlane gives it).
double ToPlane(const double* normal, const double* tangents, const double* centroid,
               const double* point, double* out) {
  const PlaneFoot plane(tangents, centroid);
  double coeffs[2], foot[3];
  plane.Find(point, coeffs, foot);
  plane.InPlane(foot, out);
  return SignedDistance(normal, foot, point);
}

// Copies a curve's nodes and the point, dropping z when the curve is planar.
void LoadCurve(const double* coords, const double* point, int nNodes, bool planar, double* P,
               double* x) {
  for (int k = 0; k < 3; ++k) {
    const bool used = k < 2 || !planar;
    for (int n = 0; n < nNodes; ++n) P[3 * n + k] = used ? coords[3 * n + k] : 0.0;
    x[k] = used ? point[k] : 0.0;
  }
}

void Unit3(const double* a, const double* b, double* out) {
  Sub3(b, a, out);
  const double length = zor_geom::Norm3(out);
  for (int k = 0; k < 3; ++k) out[k] /= length;
}

// Newton on the cubic c0 + c1 u + c2 u^2 + c3 u^3 from u; true when a step fell below 1e-9.
bool RefineCubicRoot(const double* c, double& u) {
  for (int step = 0; step < kMaxNewtonSteps; ++step) {
    const double f = c[0] + u * (c[1] + u * (c[2] + u * c[3]));
    const double slope = c[1] + u * (2.0 * c[2] + 3.0 * u * c[3]);
    const double delta = f / slope;
    u -= delta;
    if (std::fabs(delta) < 1e-9) return true;
  }
  return false;
}

// Foot on a quadratic curve X(u) = P1 - u b + 2u^2 a (a = P1 - 2P2 + P3, b = 3P1 - 4P2 + P3),
// so X(1/2) = P2 and X(1) = P3. (X(u) - x).X'(u) = 0 is the cubic
// -b.d + (4a.d + |b|^2) u - 6a.b u^2 + 8|a|^2 u^3 with d = P1 - x. A nearly straight curve makes
// the cubic term vanish, so it is solved by Newton from the chord projection instead.
void FootOnQuadraticCurve(const double* P, const double* x, double* u, int& nRoots) {
  double a[3], b[3], d[3], chord[3], toPoint[3], d1[3], d2[3];
  for (int k = 0; k < 3; ++k) {
    a[k] = P[k] - 2.0 * P[3 + k] + P[6 + k];
    b[k] = 3.0 * P[k] - 4.0 * P[3 + k] + P[6 + k];
    d[k] = P[k] - x[k];
  }
  double c[4] = {-Dot3(b, d), 4.0 * Dot3(a, d) + Dot3(b, b), -6.0 * Dot3(a, b), 8.0 * Dot3(a, a)};
  Unit3(P, P + 3, d1);
  Unit3(P + 3, P + 6, d2);
  if (Dot3(d1, d2) <= kCosFiveDegrees) {
    ZORMtkGeom::SolveCubic(c, u, nRoots);
    return;
  }
  Sub3(P + 6, P, chord);
  Sub3(x, P, toPoint);
  const double numerator = Dot3(chord, toPoint), chord2 = Dot3(chord, chord);
  u[0] = chord2 > std::fabs(numerator * 1e-11) ? numerator / chord2 : 1e10;
  if (RefineCubicRoot(c, u[0])) nRoots = 1;
}

}  // namespace

void ZORMtkGeom::anorm(double* v, int n) {
  double sum = 0.0;
  for (int i = 0; i < n; ++i) sum += v[i] * v[i];
  const double length = std::sqrt(sum);
  for (int i = 0; i < n; ++i) v[i] /= length;
}

// Least squares on span(t1, t2) from origin (PlaneFoot).
void ZORMtkGeom::FindMinDistToPlane(double* normal, double* tangents, double* origin, double* point,
                                    double* foot, double* coeffs, double& distance) {
  PlaneFoot(tangents, origin).Find(point, coeffs, foot);
  distance = SignedDistance(normal, foot, point);
}

int ZORMtkGeom::CounterClockwise(double* a, double* b, double* p, double tol) {
  return Turn(a, b, p, tol);
}

bool ZORMtkGeom::IncludedInTriangle(double* tri, double* p, double tol) {
  return TriangleHolds(tri, tri + 3, tri + 6, p, tol);
}

bool ZORMtkGeom::IncludedInQuad(double* quad, double* p, double tol) {
  return QuadHolds(quad, p, tol);
}

bool ZORMtkGeom::FindIntersection(double* a, double* b, double* p, double* q, double tol) {
  const auto isPoint = [](const double* e, const double* f) {
    return AgreeRelative(e[0], f[0], 1e-12) && AgreeRelative(e[1], f[1], 1e-12);
  };
  const bool abPoint = isPoint(a, b), pqPoint = isPoint(p, q);
  if (abPoint && pqPoint) return isPoint(a, p);
  if (abPoint) return CounterClockwise(p, q, a, tol) == 0;
  if (pqPoint) return CounterClockwise(a, b, p, tol) == 0;
  return CounterClockwise(a, b, p, tol) * CounterClockwise(a, b, q, tol) <= 0 &&
         CounterClockwise(p, q, a, tol) * CounterClockwise(p, q, b, tol) <= 0;
}

// Even-odd rule with a ray from p. A ray through a vertex would count it once per edge, so such
// rays are turned by a degree until one misses every vertex.
bool ZORMtkGeom::IncludedInPolygon(int n, double* polygon, double* p, double tol) {
  int start = 0;
  double maxX = 0.0, maxY = 0.0;
  for (int i = 0; i < n; ++i) {
    const double* v = polygon + 3 * i;
    if (AgreeRelative(p[0], v[0], 1e-11) && AgreeRelative(p[1], v[1], 1e-11)) return true;
    const double* least = polygon + 3 * start;
    if (v[0] < least[0] || (v[0] == least[0] && v[1] <= least[1])) start = i;
    maxX = std::fmax(maxX, std::fabs(v[0]));
    maxY = std::fmax(maxY, std::fabs(v[1]));
  }
  if (std::fabs(p[0]) > maxX || std::fabs(p[1]) > maxY) return false;
  const double reach = 10.0 * maxX - p[0];
  double q[3] = {p[0], p[1], 0.0};
  for (int k = 0; k < 360; ++k) {
    q[0] = p[0] + reach * std::cos(k * kDegreeStep);
    q[1] = p[1] + reach * std::sin(k * kDegreeStep);
    bool throughVertex = false;
    for (int i = 0; i < n && !throughVertex; ++i) {
      double* v = polygon + 3 * i;
      throughVertex = FindIntersection(v, v, p, q, tol);
    }
    if (!throughVertex) break;
  }
  int crossings = 0;
  for (int i = 0; i < n; ++i) {
    double* v = polygon + 3 * ((start + i) % n);
    double* previous = polygon + 3 * ((start + i - 1 + n) % n);
    if (FindIntersection(v, previous, p, q, tol)) ++crossings;
  }
  return crossings % 2 == 1;
}

// Newell's normal: n = sum over edges (i, i+1) of ((yi - yj)(zi + zj), (zi - zj)(xi + xj),
// (xi - xj)(yi + yj)), which is twice the vector area and robust for warped polygons. t2 is taken
// perpendicular to the x axis unless the normal lies along it; t1 = t2 x n makes (t1, t2, n)
// right-handed, so a counter-clockwise polygon stays counter-clockwise in (t1, t2).
void ZORMtkGeom::PlaneEquation(double* points, int n, double* normal, double* centroid,
                               double* tangents) {
  normal[0] = normal[1] = normal[2] = 0.0;
  centroid[0] = centroid[1] = centroid[2] = 0.0;
  for (int i = 0; i < n; ++i) {
    const double* a = points + 3 * i;
    const double* b = points + 3 * ((i + 1) % n);
    normal[0] += (a[1] - b[1]) * (a[2] + b[2]);
    normal[1] += (a[2] - b[2]) * (a[0] + b[0]);
    normal[2] += (a[0] - b[0]) * (a[1] + b[1]);
    for (int k = 0; k < 3; ++k) centroid[k] += a[k] / n;
  }
  anorm(normal, 3);
  const double nx = normal[0], ny = normal[1], nz = normal[2];
  double* t1 = tangents;
  double* t2 = tangents + 3;
  if (std::fabs(nx) < 0.9999985) {
    const double length = std::sqrt(ny * ny + nz * nz);
    t2[0] = 0.0, t2[1] = nz / length, t2[2] = -ny / length;
  } else {
    const double length = std::sqrt(nx * nx + ny * ny);
    t2[0] = ny / length, t2[1] = -nx / length, t2[2] = 0.0;
  }
  Cross3(t2, normal, t1);
}

// Area coordinates by Cramer's rule: l0 = A(p, v2, v3)/A, l1 = A(v1, p, v3)/A,
// l2 = A(v1, v2, p)/A. Outside the triangle the coordinates are clamped onto it (the most
// negative shared out to the other two), and distance measures how far they lay outside [0, 1].
void ZORMtkGeom::InterpolateInTriangle(double* weights, double* tri, double* p, double& distance,
                                       bool& inside, double tol) {
  inside = false;
  const double x1 = tri[0], y1 = tri[1], x2 = tri[3], y2 = tri[4], x3 = tri[6], y3 = tri[7];
  const double area2 = (x2 - x1) * (y3 - y1) - (x3 - x1) * (y2 - y1);
  double l[3] = {0.0, 0.0, 0.0};
  if (area2 != 0.0) {
    l[0] = ((x2 - p[0]) * (y3 - p[1]) - (x3 - p[0]) * (y2 - p[1])) / area2;
    l[1] = ((p[0] - x1) * (y3 - y1) - (x3 - x1) * (p[1] - y1)) / area2;
    l[2] = ((x2 - x1) * (p[1] - y1) - (p[0] - x1) * (y2 - y1)) / area2;
  }
  const auto inRange = [tol](double x) { return x >= -tol && x <= 1.0 + tol; };
  if (inRange(l[0]) && inRange(l[1]) && inRange(l[2])) {
    inside = true;
    distance = 0.0;
    std::copy(l, l + 3, weights);
    return;
  }
  int order[3] = {0, 1, 2};
  std::sort(order, order + 3, [&l](int i, int j) { return l[i] < l[j]; });
  double w[3] = {l[0], l[1], l[2]};
  if (w[order[0]] < 0.0) {
    w[order[1]] += 0.5 * w[order[0]];
    w[order[2]] += 0.5 * w[order[0]];
    w[order[0]] = 0.0;
  }
  if (w[order[1]] < 0.0) {
    w[order[2]] += w[order[1]];
    w[order[1]] = 0.0;
  }
  std::copy(w, w + 3, weights);
  const double gx = w[0] * x1 + w[1] * x2 + w[2] * x3 - p[0];
  const double gy = w[0] * y1 + w[1] * y2 + w[2] * y3 - p[1];
  if (std::sqrt(gx * gx + gy * gy) < tol) inside = true;
  double sum = 0.0;
  for (double li : l) {
    if (std::fabs(li) > 1.0)
      sum += (std::fabs(li) - 1.0) * (std::fabs(li) - 1.0);
    else if (li < 0.0)
      sum += li * li;
  }
  distance = std::sqrt(sum);
}

void ZORMtkGeom::InterpolateInQTriangle(double* weights, double* tri6, double* p, double& distance,
                                        bool& inside, double tol) {
  inside = false;
  double r = kThird, s = kThird;
  if (!Newton2D(6, 6, tri6, p, true, weights, r, s)) return;
  const double L = 1.0 - r - s;
  const auto inRange = [tol](double x) { return x >= -tol && x <= 1.0 + tol; };
  if (inRange(L) && inRange(r) && inRange(s)) {
    inside = true;
    distance = 0.0;
  }
}

void ZORMtkGeom::InterpolateInQuad(double* weights, int nNodes, double* coords, double* p,
                                   bool& inside, double tol) {
  inside = QuadInside(weights, nNodes, coords, p, tol);
}

bool ZORMtkGeom::IncludedInSolid(double* weights, double* point, double* coords, int nNodes,
                                 int /*dimension*/, double* tol, bool /*secondPass*/) {
  double rst[3];
  return zor_solid::Invert(weights, point, coords, nNodes, rst) &&
         zor_solid::WithinRanges(nNodes, rst, *tol);
}

namespace {

enum class NewtonState { Going, Converged, Failed };

// One Newton step on x(r, s, t) = point from the residual e = x(r, s, t) - point and the columns
// of J = dx/d(r, s, t) (J[column][row]): J d = e by Cramer's rule, then rst -= d. A Jacobian
// grown beyond kJacobianGrowth times its first size means the iteration has run off the element,
// a determinant below kMinDeterminant that the element is flat or inverted there.
// The determinant and dR share the cross product J1 x J2.
inline NewtonState NewtonUpdate(double* e, double (*J)[3], int step, double& reference,
                                double* rst) {
  double size = 0.0;
  for (int j = 0; j < 3; ++j) size += std::fabs(J[j][0]) + std::fabs(J[j][1]) + std::fabs(J[j][2]);
  if (step == 0) reference = size;
  if (size > kJacobianGrowth * reference) return NewtonState::Failed;
  double across[3];
  zor_geom::Cross3(J[1], J[2], across);
  const double det = zor_geom::Dot3(J[0], across);
  if (det < ZORMtkGeom::kMinDeterminant) return NewtonState::Failed;
  const double dR = zor_geom::Dot3(e, across) / det;
  const double dS = zor_geom::Det3(J[0], e, J[2]) / det;
  const double dT = zor_geom::Det3(J[0], J[1], e) / det;
  rst[0] -= dR, rst[1] -= dS, rst[2] -= dT;
  return std::sqrt(dR * dR + dS * dS + dT * dT) < kNewtonConverged ? NewtonState::Converged
                                                                   : NewtonState::Going;
}

// Any solid through its shape functions: x = sum N_i x_i, J = sum dN_i/d(r, s, t) x_i. The node
// count stays a run-time value: fixed per shape, the quadratic kernels were no longer inlined and
// the hexahedron of 20 nodes took 8% more instructions.
bool InvertByShapes(double* weights, const double* point, const double* coords, int nNodes,
                    const double* start, double* rst) {
  double at[3] = {start[0], start[1], start[2]}, reference = 0.0;
  for (int step = 0; step < kMaxNewtonSteps; ++step) {
    zor_shape::Evaluate3D(nNodes, at[0], at[1], at[2], weights);
    double e[3] = {-point[0], -point[1], -point[2]};
    double J[3][3] = {};
    for (int n = 0; n < nNodes; ++n) {
      const double* x = coords + 3 * n;
      for (int k = 0; k < 3; ++k) {
        e[k] += weights[n] * x[k];
        for (int j = 0; j < 3; ++j) J[j][k] += weights[(j + 1) * nNodes + n] * x[k];
      }
    }
    const NewtonState state = NewtonUpdate(e, J, step, reference, at);
    if (state == NewtonState::Failed) return false;
    if (state == NewtonState::Converged) {
      std::copy_n(at, 3, rst);
      return true;
    }
  }
  return false;
}

// The 4-node tetrahedron is affine: with N = (1 - r - s - t, r, s, t),
//   x = x0 + r (x1 - x0) + s (x2 - x0) + t (x3 - x0),  J = [x1 - x0, x2 - x0, x3 - x0].
struct Tet4Form {
  static constexpr int kNodes = 4;
  double x0[3], edge[3][3];

  explicit Tet4Form(const double* x) {
    for (int k = 0; k < 3; ++k) {
      x0[k] = x[k];
      for (int j = 0; j < 3; ++j) edge[j][k] = x[3 * (j + 1) + k] - x[k];
    }
  }
  void Residual(const double* rst, const double* point, double* e, double (*J)[3]) const {
    for (int k = 0; k < 3; ++k) {
      for (int j = 0; j < 3; ++j) J[j][k] = edge[j][k];
      e[k] = x0[k] + rst[0] * edge[0][k] + rst[1] * edge[1][k] + rst[2] * edge[2][k] - point[k];
    }
  }
  void Start(const double* point, double* e, double (*J)[3]) const {
    for (int k = 0; k < 3; ++k) {
      for (int j = 0; j < 3; ++j) J[j][k] = edge[j][k];
      e[k] = x0[k] - point[k];
    }
  }
  static bool Affine() { return true; }
};

// The 6-node prism as a polynomial: with bottom corners x_k, top corners y_k, m_k = (x_k + y_k)/2
// and h_k = (y_k - x_k)/2, the triangle at height t has corners m_k + t h_k, so
//   x = m0 + t h0 + r (a + t c) + s (b + t d),  a = m1 - m0, b = m2 - m0, c = h1 - h0, d = h2 - h0,
//   dx/dr = a + t c,  dx/ds = b + t d,  dx/dt = h0 + r c + s d.
struct Prism6Form {
  static constexpr int kNodes = 6;
  double m0[3], h0[3], a[3], b[3], c[3], d[3];

  explicit Prism6Form(const double* x) {
    for (int k = 0; k < 3; ++k) {
      double m[3], h[3];
      for (int n = 0; n < 3; ++n) {
        m[n] = 0.5 * (x[3 * n + k] + x[3 * (n + 3) + k]);
        h[n] = 0.5 * (x[3 * (n + 3) + k] - x[3 * n + k]);
      }
      m0[k] = m[0], h0[k] = h[0];
      a[k] = m[1] - m[0], b[k] = m[2] - m[0], c[k] = h[1] - h[0], d[k] = h[2] - h[0];
    }
  }
  void Residual(const double* rst, const double* point, double* e, double (*J)[3]) const {
    const double r = rst[0], s = rst[1], t = rst[2];
    for (int k = 0; k < 3; ++k) {
      J[0][k] = a[k] + t * c[k];
      J[1][k] = b[k] + t * d[k];
      J[2][k] = h0[k] + r * c[k] + s * d[k];
      e[k] = m0[k] + t * h0[k] + r * J[0][k] + s * J[1][k] - point[k];
    }
  }
  void Start(const double* point, double* e, double (*J)[3]) const {
    for (int k = 0; k < 3; ++k) {
      J[0][k] = a[k], J[1][k] = b[k], J[2][k] = h0[k];
      e[k] = m0[k] - point[k];
    }
  }
  // Top and bottom triangles alike, one over the other: no t r or t s terms.
  bool Affine() const {
    for (int k = 0; k < 3; ++k)
      if (c[k] != 0.0 || d[k] != 0.0) return false;
    return true;
  }
};

// The 8-node hexahedron as a polynomial: N_i = (1 + r_i r)(1 + s_i s)(1 + t_i t)/8 gives
//   x = c0 + r c1 + s c2 + t c3 + rs c4 + st c5 + rt c6 + rst c7,
// c_q = sum_i q_i x_i / 8 with q_i the product of the node's signs named by the term.
struct Hex8Form {
  static constexpr int kNodes = 8;
  double q[8][3];

  // Node n sits at the corner whose bits are (r > 0, s > 0, t > 0). Sums and differences along
  // r, then s, then t turn the corner values into the coefficients of 1, r, s, rs, t, rt, st and
  // rst, in that order, which kTerm files under the terms above.
  explicit Hex8Form(const double* x) {
    constexpr int kCorner[8] = {0, 1, 3, 2, 4, 5, 7, 6};
    constexpr int kTerm[8] = {0, 1, 2, 4, 3, 6, 5, 7};
    for (int k = 0; k < 3; ++k) {
      double c[8];
      for (int n = 0; n < 8; ++n) c[kCorner[n]] = x[3 * n + k];
      for (int bit = 1; bit < 8; bit <<= 1)
        for (int i = 0; i < 8; ++i)
          if ((i & bit) == 0) {
            const double lower = c[i], upper = c[i | bit];
            c[i] = upper + lower;
            c[i | bit] = upper - lower;
          }
      for (int b = 0; b < 8; ++b) q[kTerm[b]][k] = 0.125 * c[b];
    }
  }
  void Residual(const double* rst, const double* point, double* e, double (*J)[3]) const {
    const double r = rst[0], s = rst[1], t = rst[2];
    for (int k = 0; k < 3; ++k) {
      J[0][k] = q[1][k] + s * q[4][k] + t * q[6][k] + s * t * q[7][k];
      J[1][k] = q[2][k] + r * q[4][k] + t * q[5][k] + r * t * q[7][k];
      J[2][k] = q[3][k] + s * q[5][k] + r * q[6][k] + r * s * q[7][k];
      e[k] = q[0][k] + r * q[1][k] + s * q[2][k] + t * q[3][k] + r * s * q[4][k] + s * t * q[5][k] +
             r * t * q[6][k] + r * s * t * q[7][k] - point[k];
    }
  }
  void Start(const double* point, double* e, double (*J)[3]) const {
    for (int k = 0; k < 3; ++k) {
      for (int j = 0; j < 3; ++j) J[j][k] = q[j + 1][k];
      e[k] = q[0][k] - point[k];
    }
  }
  // A parallelepiped (every box of a rectilinear grid): no products of coordinates.
  bool Affine() const {
    for (int term = 4; term < 8; ++term)
      for (int k = 0; k < 3; ++k)
        if (q[term][k] != 0.0) return false;
    return true;
  }
};

// The same iteration on a closed form, a few dozen operations a step where the shape functions
// take hundreds. The weights are those of the last evaluation, as from the shape functions. Every
// solve starts at the centre, where the form's higher terms vanish: Start gives the residual and
// Jacobian there from the constant and linear terms alone, the same values but for the sign of a
// zero, which no weight shows.
template <typename Form>
bool InvertByForm(double* weights, const double* point, const double* coords, double* rst) {
  const Form form(coords);
  const bool affine = form.Affine();
  double at[3] = {0.0, 0.0, 0.0}, reference = 0.0;
  for (int step = 0; step < kMaxNewtonSteps; ++step) {
    const double from[3] = {at[0], at[1], at[2]};
    double e[3], J[3][3];
    if (step == 0)
      form.Start(point, e, J);
    else
      form.Residual(at, point, e, J);
    const NewtonState state = NewtonUpdate(e, J, step, reference, at);
    if (state == NewtonState::Failed) return false;
    // An affine map (a tetrahedron, or a hexahedron or prism whose twist terms are exactly zero)
    // is solved by the first step: the second would evaluate the weights where this one ends and
    // move the coordinates by rounding alone.
    const bool solved = state == NewtonState::Going && affine;
    if (state == NewtonState::Converged || solved) {
      const double* where = solved ? at : from;
      zor_shape::Evaluate3D(Form::kNodes, where[0], where[1], where[2], weights);
      std::copy_n(at, 3, rst);
      return true;
    }
  }
  return false;
}

}  // namespace

// Every kernel writes all its values and derivatives; a count without a kernel has none.
bool zor_solid::Invert(double* weights, const double* point, const double* coords, int nNodes,
                       double* rst) {
  switch (nNodes) {
    case 10:
    case 15:
    case 20: {
      const double origin[3] = {0.0, 0.0, 0.0};
      return InvertByShapes(weights, point, coords, nNodes, origin, rst);
    }
    case 4:
      return InvertByForm<Tet4Form>(weights, point, coords, rst);
    case 6:
      return InvertByForm<Prism6Form>(weights, point, coords, rst);
    case 8:
      return InvertByForm<Hex8Form>(weights, point, coords, rst);
    default:
      return false;
  }
}

// The straight-sided tetrahedron of the corners, x = x0 + r (x1 - x0) + s (x2 - x0) + t (x3 - x0),
// solved for r, s, t by Cramer's rule.
bool zor_solid::CornerCoordinates(const double* point, const double* coords, double* rst) {
  double edge[3][3], e[3];
  for (int k = 0; k < 3; ++k) {
    e[k] = point[k] - coords[k];
    for (int j = 0; j < 3; ++j) edge[j][k] = coords[3 * (j + 1) + k] - coords[k];
  }
  double across[3];
  zor_geom::Cross3(edge[1], edge[2], across);
  const double det = zor_geom::Dot3(edge[0], across);
  if (!(det > ZORMtkGeom::kMinDeterminant)) return false;
  rst[0] = zor_geom::Dot3(e, across) / det;
  rst[1] = zor_geom::Det3(edge[0], e, edge[2]) / det;
  rst[2] = zor_geom::Det3(edge[0], edge[1], e) / det;
  return true;
}

bool zor_solid::InvertTet10From(double* weights, const double* point, const double* coords,
                                const double* start, double* rst) {
  return InvertByShapes(weights, point, coords, 10, start, rst);
}

bool zor_solid::WithinRanges(int nNodes, const double* rst, double tol) {
  const auto inUnit = [tol](double x) { return x > -tol && x < 1.0 + tol; };
  const auto inSymmetric = [tol](double x) { return std::fabs(x) < 1.0 + tol; };
  switch (nNodes) {
    case 4:
    case 10:
      return inUnit(rst[0]) && inUnit(rst[1]) && inUnit(rst[2]);
    case 6:
    case 15:
      return inUnit(rst[0]) && inUnit(rst[1]) && inSymmetric(rst[2]);
    default:
      return inSymmetric(rst[0]) && inSymmetric(rst[1]) && inSymmetric(rst[2]);
  }
}

double zor_solid::Excess(int nNodes, const double* rst) {
  const double r = rst[0], s = rst[1], t = rst[2];
  switch (nNodes) {
    case 4:
    case 10:
      return std::max({0.0, -r, -s, -t, r + s + t - 1.0});
    case 6:
    case 15:
      return std::max({0.0, -r, -s, r + s - 1.0, std::fabs(t) - 1.0});
    default:
      return std::max({0.0, std::fabs(r) - 1.0, std::fabs(s) - 1.0, std::fabs(t) - 1.0});
  }
}

// Projects the facet and the point into the facet's best-fit plane, pre-tests the point against
// the projected outline, then solves for the in-plane natural coordinates.
bool ZORMtkGeom::IncludedInFacet(double* weights, double* point, double* coords, int nNodes,
                                 int dimension, double* projection, double* tol, bool always) {
  ZORFacetFrame frame;
  if (!zor_facet::Build(coords, nNodes, dimension, frame)) return false;
  return zor_facet::Test(frame, nNodes, point, weights, projection, *tol, always);
}

bool zor_facet::Test(const ZORFacetFrame& frame, int nNodes, const double* point, double* weights,
                     double* projection, double tol, bool always, double* excess) {
  if (excess != nullptr) *excess = 0.0;
  double target[3];
  const double distance = zor_facet::Project(frame.plane, point, target);
  // Every shell search tests 4-node facets, which are read in place; the other shapes go through
  // the exported tests, which take their nodes as writable arrays.
  if (nNodes == 4) {
    if (!QuadHolds(frame.planar, target, tol) && !always) return false;
    *projection = distance;
    return QuadInside(weights, nNodes, frame.planar, target, tol);
  }
  double planar[3 * 8];
  std::copy_n(frame.planar, 3 * nNodes, planar);
  if (nNodes != 3 && !ZORMtkGeom::IncludedInPolygon(nNodes, planar, target, tol) && !always)
    return false;
  double planarElement[3 * 8];
  double* inPlane = planar;
  if (frame.curved) {
    ZORMtkGeom::ReorderPerimeter(nNodes, planarElement, planar, false);
    inPlane = planarElement;
  }
  *projection = distance;
  bool inside = false;
  double outside = 0.0;
  if (nNodes == 3) {
    ZORMtkGeom::InterpolateInTriangle(weights, inPlane, target, outside, inside, tol);
    if (excess != nullptr && inside) *excess = outside;
  } else if (nNodes == 6) {
    ZORMtkGeom::InterpolateInQTriangle(weights, inPlane, target, outside, inside, tol);
  } else {
    ZORMtkGeom::InterpolateInQuad(weights, nNodes, inPlane, target, inside, tol);
  }
  return inside;
}

// Projects the facet into its best-fit plane; curved facets are taken in perimeter order, so
// that the outline is a simple polygon.
bool zor_facet::Build(const double* coords, int nNodes, int dimension, ZORFacetFrame& frame) {
  if (nNodes != 3 && nNodes != 4 && nNodes != 6 && nNodes != 8) return false;
  double work[3 * 8], perimeter[3 * 8];
  for (int n = 0; n < nNodes; ++n) {
    for (int k = 0; k < 3; ++k) work[3 * n + k] = k < dimension ? coords[3 * n + k] : 0.0;
  }
  if (IsDegenerateFacet(work, nNodes)) return false;
  frame.curved = nNodes > 4;
  if (frame.curved) ZORMtkGeom::ReorderPerimeter(nNodes, work, perimeter, true);
  double* outline = frame.curved ? perimeter : work;
  ZORFacetPlane& plane = frame.plane;
  ZORMtkGeom::PlaneEquation(outline, nNodes, plane.normal, plane.centroid, plane.tangents);
  ZORMtkGeom::anorm(plane.normal, 3);
  // The nodes' distances from the plane are not needed, only where they lie in it.
  const PlaneFoot onPlane(plane.tangents, plane.centroid);
  double coeffs[2], foot[3];
  for (int n = 0; n < nNodes; ++n) {
    onPlane.Find(outline + 3 * n, coeffs, foot);
    onPlane.InPlane(foot, frame.planar + 3 * n);
  }
  return true;
}

double zor_facet::Project(const ZORFacetPlane& plane, const double* point, double* target) {
  return ToPlane(plane.normal, plane.tangents, plane.centroid, point, target);
}

bool ZORMtkGeom::IncludedInLine(double* weights, double* point, double* coords, int nNodes,
                                int dimension) {
  double u[3];
  int nRoots = 0;
  if (!FindPerpDistToCurve(coords, point, u, nRoots, nNodes == 2, 1e-5, dimension == 2, false)) {
    return false;
  }
  if (nNodes == 2) {
    weights[0] = 1.0 - u[0];
    weights[1] = u[0];
  } else {
    // Quadratic Lagrange functions in xi = 2u - 1, the middle node at xi = 0.
    const double xi = 2.0 * u[0] - 1.0;
    weights[0] = 0.5 * (xi * xi - xi);
    weights[1] = 1.0 - xi * xi;
    weights[2] = 0.5 * (xi * xi + xi);
  }
  return true;
}

void ZORMtkGeom::FindCoincidentNode(double* point, double* coords, int dimension, int nNodes,
                                    int& node, const double& length) {
  const double reach = 1e-10 * length;
  const int axes = dimension == 2 ? 2 : 3;
  for (int n = 0; n < nNodes; ++n) {
    bool close = true;
    for (int k = 0; k < axes && close; ++k)
      close = std::fabs(coords[3 * n + k] - point[k]) <= reach;
    if (close) {
      node = n;
      return;
    }
  }
}

// Linear: X(u) = P1 + u (P2 - P1), foot at u = -c0/c1 with c0 = t.(P1 - x), c1 = t.(P2 - P1).
bool ZORMtkGeom::FindPerpDistToCurve(double* coords, double* point, double* u, int& nRoots,
                                     bool linear, double /*tol*/, bool planar, bool /*flag*/) {
  nRoots = 0;
  double P[9], x[3];
  LoadCurve(coords, point, linear ? 2 : 3, planar, P, x);
  if (!linear) {
    FootOnQuadraticCurve(P, x, u, nRoots);
    return nRoots > 0;
  }
  double direction[3], d[3], edge[3];
  Unit3(P, P + 3, direction);
  Sub3(P, x, d);
  Sub3(P + 3, P, edge);
  const double c0 = Dot3(direction, d), c1 = Dot3(direction, edge);
  u[0] = std::fabs(c1) > std::fabs(c0 * 1e-11) ? -c0 / c1 : 1e10;
  nRoots = 1;
  return true;
}

// Cardano on the depressed cubic y^3 + 3Q y + 2R = 0, u = y - a/3 with a, b, c the coefficients
// normalised by c3: Q = (b - a^2/3)/3, R = (2a^3/27 - ab/3 + c)/2, D = R^2 + Q^3.
// D < 0: three real roots by the trigonometric form; D > 0: one real root; D = 0: a double root.
void ZORMtkGeom::SolveCubic(double* c, double* roots, int& nRoots) {
  // Without a cubic term nothing is solved, and nothing written: every branch below sets nRoots.
  if (std::fabs(c[3]) <= kCubicZero) return;
  const double a = c[2] / c[3], b = c[1] / c[3], cc = c[0] / c[3];
  const double Q = (b - a * a * kThird) * kThird;
  const double R = (a * a * a * kTwentySeventhTwice - a * b * kThird + cc) * 0.5;
  const double D = R * R + Q * Q * Q;
  if (std::fabs(D) < kCubicZero) {
    if (R <= -kCubicZero) {
      roots[0] = 2.0 * std::cbrt(-R);
      roots[1] = -std::cbrt(-R);
      nRoots = 2;
    } else {
      roots[0] = 0.0;
      nRoots = 1;
    }
  } else if (D < 0.0) {
    const double scale = 2.0 * std::sqrt(-Q);
    const double phi = std::acos(-R / std::sqrt(-Q * Q * Q)) / 3.0;
    roots[0] = scale * std::cos(phi);
    roots[1] = -scale * std::cos(phi + kPiThird);
    roots[2] = -scale * std::cos(phi - kPiThird);
    nRoots = 3;
  } else {
    const double root = std::sqrt(D);
    roots[0] = std::cbrt(root - R) - std::cbrt(root + R);
    nRoots = 1;
  }
  for (int i = 0; i < nRoots; ++i) roots[i] -= a / 3.0;
}

void ZORMtkGeom::ReorderPerimeter(int nNodes, double* elementOrder, double* perimeterOrder,
                                  bool toPerimeter) {
  if (nNodes != 6 && nNodes != 8) return;
  const int* order = nNodes == 6 ? kPerimeter6 : kPerimeter8;
  for (int k = 0; k < nNodes; ++k) {
    double* element = elementOrder + 3 * order[k];
    double* perimeter = perimeterOrder + 3 * k;
    if (toPerimeter) {
      std::copy(element, element + 3, perimeter);
    } else {
      std::copy(perimeter, perimeter + 3, element);
    }
  }
}
