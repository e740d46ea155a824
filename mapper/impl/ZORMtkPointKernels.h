#pragma once

#include "mapper/impl/ZORMtkPointLinks.h"

// The arithmetic of the transfers that involve integration points, over plain arrays: values of
// one element's points to its nodes, nodal values of a source element to the target points that
// lie in it, and nodal averaging. Point arrays are [point][component], nodal arrays
// [node][component], extrapolation matrices [node][point]. Owns nothing and allocates nothing,
// so the element loops can call it once per element.
class ZORMtkPointKernels {
 public:
  // nodal[j][c] = sum over points p of extrapolation[j][p] x pointValues[p][c].
  static void ExtrapolateToNodes(const double* extrapolation, int nodes, int points,
                                 const double* pointValues, int components, double* nodal);
  // For every target point that lies in sourceElement: its row of pointValues (by slot) becomes
  // the sum over the source element's nodes of weight x nodal value. A point's weights beyond
  // the element's node count are ignored.
  static void InterpolateAtPoints(const ZORMtkPointLinks& links, int sourceElement,
                                  const double* nodal, int nodes, int components,
                                  double* pointValues);
  // out[j] = table row rows[j] (width values each), or zeros where rows[j] is -1 (a node
  // outside the table's region).
  // Slots 0 .. slots - 1 that no link names (points the search did not place) become value.
  static void FillUnplaced(const ZORMtkPointLinks& links, int slots, int components, double value,
                           double* pointValues);
  static void GatherRows(const double* table, int width, const int* rows, int count, double* out);
  // Adds an element's nodal values to the rows of its nodes; rows of -1 are passed over.
  static void AddToRows(const double* nodal, const int* rows, int nodes, int components,
                        double* sums);
  // AddToRows, counting each visit of a row.
  static void AddToNodes(const double* nodal, const int* rows, int nodes, int components,
                         double* sums, int* visits);
  // Divides every visited row by its visit count; rows never visited keep their (zero) sums.
  static void AverageByVisits(double* sums, const int* visits, int rows, int components);
};
