#pragma once

// A shell facet in the plane its element test uses: the best-fit plane of its outline (normal,
// centroid, two orthonormal tangents) and its nodes' in-plane coordinates. ZORMtkGeom's facet
// test and the locator's facet filter build it with the same arithmetic, so a filter that skips
// a facet by the frame's distance decides exactly as the test would. Defined in ZORMtkGeom.cpp.
struct ZORFacetPlane {
  double centroid[3];
  double tangents[6];
  double normal[3];
};

struct ZORFacetFrame {
  ZORFacetPlane plane;
  double planar[3 * 8];  // node (u, v, 0) in perimeter order for curved facets
  bool curved;
};

namespace zor_facet {

// False, with the frame unset, for unsupported node counts and facets whose corners are
// collinear: the facet test accepts no point on those.
bool Build(const double* coords, int nNodes, int dimension, ZORFacetFrame& frame);

// The point's in-plane coordinates (u, v, 0) in target; returns its signed distance from the
// plane.
double Project(const ZORFacetPlane& plane, const double* point, double* target);

// The facet test on a built frame (see ZORMtkGeom::IncludedInFacet): weights, the signed
// distance in projection, and whether the point lies inside at tolerance tol. A 3-node facet also
// takes a point whose clamped weights land within tol of it; excess, when given, then receives how
// far its area coordinates leave the triangle (ZORMtkGeom::InterpolateInTriangle's distance), and
// 0 for every other point and shape.
bool Test(const ZORFacetFrame& frame, int nNodes, const double* point, double* weights,
          double* projection, double tol, bool always, double* excess = nullptr);

}  // namespace zor_facet
