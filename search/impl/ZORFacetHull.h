#pragma once

class ZORMtkSourceElements;

// Where a 3- or 4-node shell facet can accept a point at all: within the relaxed normal reach of
// its plane, and in the plane within the region its natural coordinates may cover at the relaxed
// boundary tolerance. A point outside that box is rejected by the facet test in both passes, so
// the locator's facet index may leave the facet out for it without changing any answer.
class ZORFacetHull {
 public:
  // Writes the hull box (lower x, y, z, upper x, y, z) of the facet at element position;
  // boundary and reach are the relaxed pass's tolerance and normal distance. The box always
  // holds the facet's nodes, which the coincident-node test may match even when the facet test
  // accepts nothing (collinear corners).
  static void Compute(const ZORMtkSourceElements& mesh, int element, double boundary, double reach,
                      double* hull);
  // Whether every element is a 3- or 4-node facet, the shapes the hull is known for.
  static bool Covers(const ZORMtkSourceElements& mesh);
};
