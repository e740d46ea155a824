#pragma once

// Closed-form isoparametric shape functions and their first derivatives in natural coordinates.
// Kept inline so that the Newton loops of the element tests evaluate them without a call; the
// exported ZORMtkShp::Shp2D and Shp3D forward here.
//
// Every kernel writes function i's value to N[i] and its partial derivatives to dr[i], ds[i]
// (and dt[i]); the caller lays these blocks out.

namespace zor_shape {

// Natural coordinates of the nodes, in element node order.
constexpr double kQuadR[4] = {-1, 1, 1, -1};
constexpr double kQuadS[4] = {-1, -1, 1, 1};
// The 4-node order with the third and fourth nodes exchanged: the row-by-row order of the 2 x 2
// integration points.
constexpr double kQuadRowR[4] = {-1, 1, -1, 1};
constexpr double kQuadRowS[4] = {-1, -1, 1, 1};
constexpr double kQuad8MidR[4] = {0, 1, 0, -1};
constexpr double kQuad8MidS[4] = {-1, 0, 1, 0};
constexpr double kHexR[8] = {-1, 1, 1, -1, -1, 1, 1, -1};
constexpr double kHexS[8] = {-1, -1, 1, 1, -1, -1, 1, 1};
constexpr double kHexT[8] = {-1, -1, -1, -1, 1, 1, 1, 1};
constexpr double kHex20MidR[12] = {0, 1, 0, -1, 0, 1, 0, -1, -1, 1, 1, -1};
constexpr double kHex20MidS[12] = {-1, 0, 1, 0, -1, 0, 1, 0, -1, -1, 1, 1};
constexpr double kHex20MidT[12] = {-1, -1, -1, -1, 1, 1, 1, 1, 0, 0, 0, 0};
// Corner pairs of the mid-edge nodes of a triangle and of a tetrahedron, as indices into the
// area or volume coordinates (L, r, s, t).
constexpr int kTriEdge[3][2] = {{0, 1}, {1, 2}, {2, 0}};
constexpr int kTetEdge[6][2] = {{0, 1}, {1, 2}, {2, 0}, {0, 3}, {1, 3}, {2, 3}};

// Triangle, 3 nodes: N = (L, r, s) with L = 1 - r - s.
inline void Tri3(double r, double s, double* N, double* dr, double* ds) {
  N[0] = 1.0 - r - s;
  N[1] = r;
  N[2] = s;
  dr[0] = -1.0, dr[1] = 1.0, dr[2] = 0.0;
  ds[0] = -1.0, ds[1] = 0.0, ds[2] = 1.0;
}

// Triangle, 6 nodes: corners N = l(2l - 1) for l = L, r, s; mid-side N = 4 la lb.
// dl/dr = (-1, 1, 0), dl/ds = (-1, 0, 1).
inline void Tri6(double r, double s, double* N, double* dr, double* ds) {
  const double l[3] = {1.0 - r - s, r, s};
  const double lr[3] = {-1.0, 1.0, 0.0};
  const double ls[3] = {-1.0, 0.0, 1.0};
  for (int i = 0; i < 3; ++i) {
    N[i] = l[i] * (2.0 * l[i] - 1.0);
    dr[i] = (4.0 * l[i] - 1.0) * lr[i];
    ds[i] = (4.0 * l[i] - 1.0) * ls[i];
  }
  for (int e = 0; e < 3; ++e) {
    const int a = kTriEdge[e][0], b = kTriEdge[e][1];
    N[3 + e] = 4.0 * l[a] * l[b];
    dr[3 + e] = 4.0 * (lr[a] * l[b] + l[a] * lr[b]);
    ds[3 + e] = 4.0 * (ls[a] * l[b] + l[a] * ls[b]);
  }
}

// Quadrilateral, 4 nodes at (ri, si): N = (1 + ri r)(1 + si s)/4.
inline void Quad4(double r, double s, const double* ri, const double* si, double* N, double* dr,
                  double* ds) {
  for (int i = 0; i < 4; ++i) {
    const double fr = 1.0 + ri[i] * r, fs = 1.0 + si[i] * s;
    N[i] = 0.25 * fr * fs;
    dr[i] = 0.25 * ri[i] * fs;
    ds[i] = 0.25 * si[i] * fr;
  }
}

// Quadrilateral, 8 nodes. Corners: N = (1 + ri r)(1 + si s)(ri r + si s - 1)/4, so
// dN/dr = ri (1 + si s)(2 ri r + si s)/4. Mid-side with ri = 0: N = (1 - r^2)(1 + si s)/2;
// with si = 0: N = (1 + ri r)(1 - s^2)/2.
inline void Quad8(double r, double s, double* N, double* dr, double* ds) {
  for (int i = 0; i < 4; ++i) {
    const double ri = kQuadR[i], si = kQuadS[i];
    const double fr = 1.0 + ri * r, fs = 1.0 + si * s;
    N[i] = 0.25 * fr * fs * (ri * r + si * s - 1.0);
    dr[i] = 0.25 * ri * fs * (2.0 * ri * r + si * s);
    ds[i] = 0.25 * si * fr * (ri * r + 2.0 * si * s);
  }
  for (int m = 0; m < 4; ++m) {
    const double ri = kQuad8MidR[m], si = kQuad8MidS[m];
    const int i = 4 + m;
    if (ri == 0.0) {
      N[i] = 0.5 * (1.0 - r * r) * (1.0 + si * s);
      dr[i] = -r * (1.0 + si * s);
      ds[i] = 0.5 * si * (1.0 - r * r);
    } else {
      N[i] = 0.5 * (1.0 + ri * r) * (1.0 - s * s);
      dr[i] = 0.5 * ri * (1.0 - s * s);
      ds[i] = -s * (1.0 + ri * r);
    }
  }
}

// Tetrahedron, 4 or 10 nodes, in volume coordinates l = (L, r, s, t), L = 1 - r - s - t.
// Linear: N = l. Quadratic: corners N = l(2l - 1), mid-edge N = 4 la lb.
inline void Tet(int nodes, double r, double s, double t, double* N, double* dr, double* ds,
                double* dt) {
  const double l[4] = {1.0 - r - s - t, r, s, t};
  const double lr[4] = {-1, 1, 0, 0}, ls[4] = {-1, 0, 1, 0}, lt[4] = {-1, 0, 0, 1};
  const bool quadratic = nodes == 10;
  for (int i = 0; i < 4; ++i) {
    const double f = quadratic ? 4.0 * l[i] - 1.0 : 1.0;
    N[i] = quadratic ? l[i] * (2.0 * l[i] - 1.0) : l[i];
    dr[i] = f * lr[i], ds[i] = f * ls[i], dt[i] = f * lt[i];
  }
  for (int e = 0; quadratic && e < 6; ++e) {
    const int a = kTetEdge[e][0], b = kTetEdge[e][1];
    N[4 + e] = 4.0 * l[a] * l[b];
    dr[4 + e] = 4.0 * (lr[a] * l[b] + l[a] * lr[b]);
    ds[4 + e] = 4.0 * (ls[a] * l[b] + l[a] * ls[b]);
    dt[4 + e] = 4.0 * (lt[a] * l[b] + l[a] * lt[b]);
  }
}

// Prism, 6 nodes: N = l (1 + ti t)/2, l the node's area coordinate (L, r, s), ti = -1 for nodes
// 1-3 and +1 for nodes 4-6.
inline void Prism6(double r, double s, double t, double* N, double* dr, double* ds, double* dt) {
  const double l[3] = {1.0 - r - s, r, s};
  const double lr[3] = {-1, 1, 0}, ls[3] = {-1, 0, 1};
  for (int i = 0; i < 6; ++i) {
    const int k = i % 3;
    const double ti = i < 3 ? -1.0 : 1.0;
    const double ft = 0.5 * (1.0 + ti * t);
    N[i] = l[k] * ft;
    dr[i] = lr[k] * ft, ds[i] = ls[k] * ft;
    dt[i] = 0.5 * ti * l[k];
  }
}

// Prism, 15 nodes. Corners: N = l(2l - 1)(1 + ti t)/2 - l(1 - t^2)/2. Mid-edge nodes of the two
// triangle faces: N = 2 la lb (1 + ti t). Axial mid-edge nodes: N = l(1 - t^2).
inline void Prism15(double r, double s, double t, double* N, double* dr, double* ds, double* dt) {
  const double l[3] = {1.0 - r - s, r, s};
  const double lr[3] = {-1, 1, 0}, ls[3] = {-1, 0, 1};
  const double bubble = 1.0 - t * t;
  for (int i = 0; i < 6; ++i) {
    const int k = i % 3;
    const double ti = i < 3 ? -1.0 : 1.0;
    const double ft = 1.0 + ti * t;
    N[i] = 0.5 * (l[k] * (2.0 * l[k] - 1.0) * ft - l[k] * bubble);
    const double dl = 0.5 * ((4.0 * l[k] - 1.0) * ft - bubble);
    dr[i] = dl * lr[k], ds[i] = dl * ls[k];
    dt[i] = 0.5 * l[k] * (2.0 * l[k] - 1.0) * ti + l[k] * t;
  }
  for (int i = 6; i < 12; ++i) {
    const int a = kTriEdge[(i - 6) % 3][0], b = kTriEdge[(i - 6) % 3][1];
    const double ti = i < 9 ? -1.0 : 1.0;
    const double ft = 1.0 + ti * t;
    N[i] = 2.0 * l[a] * l[b] * ft;
    dr[i] = 2.0 * (lr[a] * l[b] + l[a] * lr[b]) * ft;
    ds[i] = 2.0 * (ls[a] * l[b] + l[a] * ls[b]) * ft;
    dt[i] = 2.0 * l[a] * l[b] * ti;
  }
  for (int k = 0; k < 3; ++k) {
    N[12 + k] = l[k] * bubble;
    dr[12 + k] = lr[k] * bubble, ds[12 + k] = ls[k] * bubble;
    dt[12 + k] = -2.0 * l[k] * t;
  }
}

// Hexahedron, 8 nodes: N = (1 + ri r)(1 + si s)(1 + ti t)/8.
inline void Hex8(double r, double s, double t, double* N, double* dr, double* ds, double* dt) {
  for (int i = 0; i < 8; ++i) {
    const double fr = 1.0 + kHexR[i] * r, fs = 1.0 + kHexS[i] * s, ft = 1.0 + kHexT[i] * t;
    N[i] = 0.125 * fr * fs * ft;
    dr[i] = 0.125 * kHexR[i] * fs * ft;
    ds[i] = 0.125 * kHexS[i] * fr * ft;
    dt[i] = 0.125 * kHexT[i] * fr * fs;
  }
}

// Hexahedron, 20 nodes. Corners: N = (1 + ri r)(1 + si s)(1 + ti t)(ri r + si s + ti t - 2)/8,
// so dN/dr = ri (1 + si s)(1 + ti t)(2 ri r + si s + ti t - 1)/8. Mid-edge nodes: the product of
// (1 - x^2) along the edge's zero axis and (1 + xi x) along the other two, over 4.
inline void Hex20(double r, double s, double t, double* N, double* dr, double* ds, double* dt) {
  for (int i = 0; i < 8; ++i) {
    const double ri = kHexR[i], si = kHexS[i], ti = kHexT[i];
    const double fr = 1.0 + ri * r, fs = 1.0 + si * s, ft = 1.0 + ti * t;
    const double sum = ri * r + si * s + ti * t;
    N[i] = 0.125 * fr * fs * ft * (sum - 2.0);
    dr[i] = 0.125 * ri * fs * ft * (sum + ri * r - 1.0);
    ds[i] = 0.125 * si * fr * ft * (sum + si * s - 1.0);
    dt[i] = 0.125 * ti * fr * fs * (sum + ti * t - 1.0);
  }
  for (int m = 0; m < 12; ++m) {
    const double ri = kHex20MidR[m], si = kHex20MidS[m], ti = kHex20MidT[m];
    const double fr = ri == 0.0 ? 1.0 - r * r : 1.0 + ri * r;
    const double fs = si == 0.0 ? 1.0 - s * s : 1.0 + si * s;
    const double ft = ti == 0.0 ? 1.0 - t * t : 1.0 + ti * t;
    const double gr = ri == 0.0 ? -2.0 * r : ri;
    const double gs = si == 0.0 ? -2.0 * s : si;
    const double gt = ti == 0.0 ? -2.0 * t : ti;
    const int i = 8 + m;
    N[i] = 0.25 * fr * fs * ft;
    dr[i] = 0.25 * gr * fs * ft;
    ds[i] = 0.25 * fr * gs * ft;
    dt[i] = 0.25 * fr * fs * gt;
  }
}

// Values, d/dr and d/ds in consecutive blocks of |nodes| doubles; without the values block when
// derivativesOnly. Unsupported node counts write nothing.
inline void Evaluate2D(int nodes, double r, double s, double* out, bool derivativesOnly) {
  if (nodes != 3 && nodes != 4 && nodes != -4 && nodes != 6 && nodes != 8) return;
  const int n = nodes < 0 ? -nodes : nodes;
  double unused[8];
  double* N = derivativesOnly ? unused : out;
  double* dr = derivativesOnly ? out : out + n;
  double* ds = dr + n;
  switch (nodes) {
    case 3:
      Tri3(r, s, N, dr, ds);
      break;
    case 6:
      Tri6(r, s, N, dr, ds);
      break;
    case 4:
      Quad4(r, s, kQuadR, kQuadS, N, dr, ds);
      break;
    case -4:
      Quad4(r, s, kQuadRowR, kQuadRowS, N, dr, ds);
      break;
    default:
      Quad8(r, s, N, dr, ds);
      break;
  }
}

// Values, d/dr, d/ds and d/dt in consecutive blocks of nodes doubles. Unsupported node counts
// write nothing.
inline void Evaluate3D(int nodes, double r, double s, double t, double* out) {
  if (nodes != 4 && nodes != 6 && nodes != 8 && nodes != 10 && nodes != 15 && nodes != 20) return;
  double* N = out;
  double* dr = out + nodes;
  double* ds = dr + nodes;
  double* dt = ds + nodes;
  switch (nodes) {
    case 4:
    case 10:
      Tet(nodes, r, s, t, N, dr, ds, dt);
      break;
    case 6:
      Prism6(r, s, t, N, dr, ds, dt);
      break;
    case 15:
      Prism15(r, s, t, N, dr, ds, dt);
      break;
    case 8:
      Hex8(r, s, t, N, dr, ds, dt);
      break;
    default:
      Hex20(r, s, t, N, dr, ds, dt);
      break;
  }
}

}  // namespace zor_shape
