#pragma once

#include <vector>

#include "ZORGfmApi.h"

// Measures a mapped field against the demo's analytic fields, reading it back through a reader
// as a host would. Pure functions over the reader's data.
class DemoAccuracy {
 public:
  // Every element's integration points of one class, coordinates per point (as many as the
  // mesh has): the element's node coordinates weighted by the class's shape values there.
  static std::vector<double> PointPositions(const ZORMtkSimReader& reader,
                                            const cow_String& elementClass);
  // Largest absolute difference between the nodal field and the analytic values at the nodes.
  static double LargestNodalError(const ZORMtkSimReader& reader, const ZORSimDynamicID& field,
                                  int components,
                                  std::vector<double> (*exact)(const std::vector<double>&));
  // Largest absolute difference between the integration-point field of a plane mesh and the
  // analytic strain at the points.
  static double LargestStrainError(const ZORMtkSimReader& reader, const ZORSimDynamicID& field);
};
