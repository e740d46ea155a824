#pragma once

#include <cstdint>

#include "mapper/impl/ZORMtkNodeLinks.h"

class ZORMtkDiagnosticsData;

// The arithmetic of the nodal transfers over plain row-major arrays (row = node, components
// fastest) and links already turned into rows. The transfers read, look up weights and write;
// everything in between is here, free of the database, so it can be checked with small hand-made
// links. Owns nothing; no routine allocates except the matrix product's two work matrices.
class ZORMtkNodalKernels {
 public:
  // Sums whose magnitude is at most this are never compared: a relative difference to nearly
  // nothing says nothing about conservation.
  static constexpr double kNegligibleSum = 1e-12;
  // The relative difference of the sums that is still accepted as conserved.
  static constexpr double kConservationTolerance = 0.1;
  // The matrix transfer refuses when its dense arrays would exceed this many bytes.
  static constexpr std::int64_t kDenseMatrixLimit = std::int64_t{1} << 30;

  // Gather: result row i = sum over the links of key row i of weight x source row. One result
  // row per key; a key without links gets zeros. Ranges of rows run on up to `threads` threads.
  static void Gather(ZORMtkNodeLinkView links, const double* source, int components, double* result,
                     int threads = 1);
  // Rows of keys without links (points the search did not place) become value.
  static void FillUnlinked(ZORMtkNodeLinkView links, int components, double value, double* result,
                           int threads = 1);
  // Scatter: every source row (key) adds weight x its values to each partner row of the result,
  // which has resultRows rows and is zeroed first. Rows no key reaches stay zero.
  static void Scatter(ZORMtkNodeLinkView links, const double* source, int components,
                      int resultRows, double* result);
  // sums[c] = sum over the rows of values[row][c].
  static void ComponentSums(const double* values, int rows, int components, double* sums);
  // Records code 32 with (component, source sum, target sum) for every component whose target
  // sum differs from a non-negligible source sum by more than the tolerance, relatively.
  static void RecordUnconserved(const double* sourceSums, const double* targetSums, int components,
                                ZORMtkDiagnosticsData& diagnostics);
  // ratio[i] = numerator[i] / (upper[i] - lower[i]), or 0 where the difference is negligible.
  static void Ratio(const double* numerator, const double* lower, const double* upper, int rows,
                    double* ratio);
  // Bytes of the two nS x nT work matrices and the nT x nT result of MatrixProduct.
  static std::int64_t DenseMatrixBytes(int sourceRows, int targetRows);
  // result[i][j] = sum over source rows k of w(i,k) x source[k] x w(j,k), for a one-component
  // field and gather links keyed by target row: the target-by-target matrix of the field.
  static void MatrixProduct(ZORMtkNodeLinkView links, const double* source, int sourceRows,
                            double* result);
};
