#pragma once

// The natural coordinates of a point in a solid element, for callers that need more than
// ZORMtkGeom::IncludedInSolid's yes or no: the element choice that prefers the element whose
// reference shape holds the point. Defined beside the other element tests in ZORMtkGeom.cpp.
namespace zor_solid {

// Newton on x(r, s, t) = point from the element's centre (see IncludedInSolid). weights needs
// 4 x nNodes doubles; when the iteration converged, it holds the shape values and derivatives
// at the last step's starting point and rst the coordinates. Returns whether it converged.
bool Invert(double* weights, const double* point, const double* coords, int nNodes, double* rst);

// The coordinates of the point in the straight-sided tetrahedron of the first four nodes (the
// corners of a 10-node tetrahedron); false when those corners are flat or inverted.
bool CornerCoordinates(const double* point, const double* coords, double* rst);

// The same Newton iteration for a 10-node tetrahedron, started at `start` rather than at the
// corner r = s = t = 0, from which the iteration on a tetrahedron with curved edges can run off
// the element while the point lies inside. Same outputs as Invert.
bool InvertTet10From(double* weights, const double* point, const double* coords,
                     const double* start, double* rst);

// Whether each coordinate lies in its range with the tolerance as a strict margin: r, s, t in
// (-tol, 1 + tol) for tetrahedra, r, s so and |t| < 1 + tol for prisms, |r|, |s|, |t| < 1 + tol
// for hexahedra. The sums r + s + t and r + s are not bounded.
bool WithinRanges(int nNodes, const double* rst, double tol);

// How far rst lies outside the reference element: 0 inside, else the largest amount by which a
// bound is exceeded, the sums included (r + s + t <= 1 for tetrahedra, r + s <= 1 for prisms).
double Excess(int nNodes, const double* rst);

}  // namespace zor_solid
