#pragma once

#include <limits>

// The box of the points a search will be asked to place, or the whole space when they are not
// known in advance. An element whose hull misses the box can take none of them, so the locator
// need not index it nor build its facet frame: a target patch over part of a large source then
// pays only for the part it covers. A plain value; any number of threads may read it.
struct ZORPointBox {
  double lower[3] = {0.0, 0.0, 0.0};
  double upper[3] = {0.0, 0.0, 0.0};
  bool bounded = false;  // false: the whole space

  // The box of `count` points of three coordinates each. A NaN coordinate widens nothing, so its
  // point lies outside the box, as it lies outside every element; no points give an empty box.
  static ZORPointBox Of(const double* coords, long long count) {
    ZORPointBox box;
    box.bounded = true;
    for (int a = 0; a < 3; ++a) {
      box.lower[a] = kFar;
      box.upper[a] = -kFar;
    }
    for (long long n = 0; n < count; ++n)
      for (int a = 0; a < 3; ++a) {
        const double x = coords[3 * n + a];
        box.lower[a] = x < box.lower[a] ? x : box.lower[a];
        box.upper[a] = x > box.upper[a] ? x : box.upper[a];
      }
    return box;
  }

  bool Holds(const double* point) const {
    if (!bounded) return true;
    // One branch for all six comparisons: which one fails is unpredictable.
    return (point[0] >= lower[0]) & (point[0] <= upper[0]) & (point[1] >= lower[1]) &
           (point[1] <= upper[1]) & (point[2] >= lower[2]) & (point[2] <= upper[2]);
  }
  // Whether the closed box (lower x, y, z, upper x, y, z) shares a point with this one.
  bool Meets(const double* box) const {
    if (!bounded) return true;
    return (box[0] <= upper[0]) & (box[3] >= lower[0]) & (box[1] <= upper[1]) &
           (box[4] >= lower[1]) & (box[2] <= upper[2]) & (box[5] >= lower[2]);
  }

 private:
  static constexpr double kFar = std::numeric_limits<double>::max();
};
