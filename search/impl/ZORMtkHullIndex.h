#pragma once

#include <functional>

#include "platform/ZORFreshArray.h"
#include "search/ZORMtkBucketFrame.h"
#include "search/impl/ZORPointBox.h"

class ZORMtkSourceElements;

// A fine grid over the hulls of elements: for each element a box outside which it can surely
// not accept a point. A trilinear hexahedron can accept a point in the strict pass only within
// its node box widened by a thousandth or so of its extent, and a shell facet only near its own
// plane (see ZORMtkPointLocator), while the bucket of the search grid lists some hundreds of
// elements. The index lists, per cell of about one hull size, the ascending positions of the
// elements whose hull touches the cell, so a pass tests a handful of elements instead of
// scanning the bucket. Owns its cell lists; read-only once built, so any number of threads may
// query it. It is built by up to `threads` threads, with the same lists at any count; hullOf is
// then called from all of them at once.
class ZORMtkHullIndex {
 public:
  // The hull of element (lower x, y, z, upper x, y, z); false for an element that accepts no
  // point at all and is left out.
  using HullOf = std::function<bool(int element, double* hull)>;

  // Where the element sizes are very uneven, the cells are enlarged to at most about this many
  // per hull; hulls along a surface (shell facets) leave most cells of their box empty and are
  // given more.
  static constexpr double kVolumeCellsPerHull = 8.0;
  static constexpr double kSurfaceCellsPerHull = 27.0;

  // Elements whose hull misses `within` are left out too.
  ZORMtkHullIndex(int elementCount, const HullOf& hullOf, int threads = 1,
                  const ZORPointBox& within = {}, double mostCellsPerHull = kVolumeCellsPerHull);
  // 8-node hexahedra: each node box widened by reach times its extent (see Widen).
  ZORMtkHullIndex(const ZORMtkSourceElements& mesh, double reach, int threads = 1);

  // The positions of the elements whose widened box may hold point, ascending; none for a point
  // outside every widened box.
  const int* Cell(const double* point, int& count) const;
  // How many elements have a hull in the index.
  int HullCount() const { return hullCount_; }

  // The widened box (lower x, y, z, upper x, y, z) of an element box as ZORMtkSourceElements
  // keeps it: each axis by reach times its extent, and every axis also by a billionth of the
  // element length, beyond the reach of the coincident-node test, which needs no Newton step.
  static void Widen(const double* box, double reach, double* hull) {
    for (int a = 0; a < 3; ++a) WidenAxis(box, reach, a, hull[a], hull[3 + a]);
  }
  // Whether the widened box holds point, widened axis by axis and left at the first axis along
  // which the point lies outside.
  static bool WidenedHolds(const double* box, double reach, const double* point) {
    for (int a = 0; a < 3; ++a) {
      double lower, upper;
      WidenAxis(box, reach, a, lower, upper);
      if (point[a] < lower || point[a] > upper) return false;
    }
    return true;
  }

 private:
  static void WidenAxis(const double* box, double reach, int a, double& lower, double& upper) {
    const double slack = reach * (box[3 + a] - box[a]) + 1e-9 * box[6];
    lower = box[a] - slack;
    upper = box[3 + a] + slack;
  }
  void Place(const double* lower, const double* upper, double h, double mostCells);
  void Fill(ZORFreshArray<int>& ranges, int threads);

  ZORMtkBucketFrame frame_;
  int hullCount_ = 0;
};
