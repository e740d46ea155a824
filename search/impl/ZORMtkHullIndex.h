#pragma once

#include "search/ZORMtkBucketFrame.h"

class ZORMtkSourceElements;

// A fine grid over the hulls of 8-node hexahedra, for the strict pass of a nodal or
// integration-point search. A trilinear hexahedron can accept a point in that pass only within its
// node box widened by a thousandth or so of its extent (see ZORMtkPointLocator), while the box
// test lets some ten elements and the bucket some three hundred through. The index lists, per
// cell of about one element size, the ascending positions of the elements whose widened node box
// touches the cell, so the pass tests a handful of elements instead of scanning the bucket. Owns
// its cell lists; built only for meshes made of 8-node hexahedra alone.
class ZORMtkHullIndex {
 public:
  // reach: the widening as a fraction of each box extent.
  ZORMtkHullIndex(const ZORMtkSourceElements& mesh, double reach);

  // The positions of the elements whose widened box may hold point, ascending; none for a point
  // outside every widened box.
  const int* Cell(const double* point, int& count) const;

  // The widened box (lower x, y, z, upper x, y, z) of an element box as ZORMtkSourceElements
  // keeps it: each axis by reach times its extent, and every axis also by a billionth of the
  // element length, beyond the reach of the coincident-node test, which needs no Newton step.
  static void Widen(const double* box, double reach, double* hull) {
    for (int a = 0; a < 3; ++a) {
      const double slack = reach * (box[3 + a] - box[a]) + 1e-9 * box[6];
      hull[a] = box[a] - slack;
      hull[3 + a] = box[3 + a] + slack;
    }
  }

 private:
  ZORMtkBucketFrame frame_;
};
