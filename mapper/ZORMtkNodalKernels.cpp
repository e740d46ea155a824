#include "mapper/impl/ZORMtkNodalKernels.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "mapper/ZORMtkDiagnosticsData.h"
#include "mapper/impl/ZORMtkRowMajor.h"
#include "platform/impl/ZORParallelFor.h"

using ZORMtkRowMajor::At;

namespace {

// row += weight x values, over the components.
void AddScaled(double* row, double weight, const double* values, int components) {
  for (int c = 0; c < components; ++c) row[c] += weight * values[c];
}

// Gather of one component, the commonest field: the sum stays in a register rather than in the
// row, with the same additions in the same order.
void GatherScalars(const ZORMtkNodeLinkView& links, const double* source, double* result, int begin,
                   int end) {
  for (int i = begin; i < end; ++i) {
    double sum = 0.0;
    for (int link = links.offsets[i]; link < links.offsets[i + 1]; ++link)
      sum += links.weights[link] * source[links.partnerRows[link]];
    result[i] = sum;
  }
}

}  // namespace

// Every result row is a sum of its own links in link order, so ranges of rows run on separate
// threads and give the same bits at any count.
void ZORMtkNodalKernels::Gather(ZORMtkNodeLinkView links, const double* source, int components,
                                double* result, int threads) {
  ZORParallelFor::Ranges(
      links.KeyCount(), threads, [&](int /*part*/, long long begin, long long end) {
        if (components == 1) {
          GatherScalars(links, source, result, static_cast<int>(begin), static_cast<int>(end));
          return;
        }
        for (int i = static_cast<int>(begin); i < end; ++i) {
          double* row = result + At(i, components, 0);
          std::fill(row, row + components, 0.0);
          for (int link = links.offsets[i]; link < links.offsets[i + 1]; ++link) {
            AddScaled(row, links.weights[link], source + At(links.partnerRows[link], components, 0),
                      components);
          }
        }
      });
}

void ZORMtkNodalKernels::FillUnlinked(ZORMtkNodeLinkView links, int components, double value,
                                      double* result, int threads) {
  ZORParallelFor::Ranges(
      links.KeyCount(), threads, [&](int /*part*/, long long begin, long long end) {
        for (int i = static_cast<int>(begin); i < end; ++i) {
          if (links.offsets[i] != links.offsets[i + 1]) continue;
          std::fill(result + At(i, components, 0), result + At(i + 1, components, 0), value);
        }
      });
}

void ZORMtkNodalKernels::Scatter(ZORMtkNodeLinkView links, const double* source, int components,
                                 int resultRows, double* result) {
  std::fill(result, result + At(resultRows, components, 0), 0.0);
  const int keys = links.KeyCount();
  for (int j = 0; j < keys; ++j) {
    const double* values = source + At(j, components, 0);
    for (int link = links.offsets[j]; link < links.offsets[j + 1]; ++link) {
      AddScaled(result + At(links.partnerRows[link], components, 0), links.weights[link], values,
                components);
    }
  }
}

void ZORMtkNodalKernels::ComponentSums(const double* values, int rows, int components,
                                       double* sums) {
  std::fill(sums, sums + components, 0.0);
  for (int r = 0; r < rows; ++r) AddScaled(sums, 1.0, values + At(r, components, 0), components);
}

void ZORMtkNodalKernels::RecordUnconserved(const double* sourceSums, const double* targetSums,
                                           int components, ZORMtkDiagnosticsData& diagnostics) {
  for (int c = 0; c < components; ++c) {
    const double source = sourceSums[c];
    const double target = targetSums[c];
    if (std::fabs(source) <= kNegligibleSum) continue;
    if (std::fabs(source - target) / std::fabs(source) <= kConservationTolerance) continue;
    diagnostics.SetError(CodeNotConserved);
    diagnostics.AddConservationRecord(c, source, target);
  }
}

void ZORMtkNodalKernels::Ratio(const double* numerator, const double* lower, const double* upper,
                               int rows, double* ratio) {
  for (int i = 0; i < rows; ++i) {
    const double difference = upper[i] - lower[i];
    ratio[i] = std::fabs(difference) > kNegligibleSum ? numerator[i] / difference : 0.0;
  }
}

std::int64_t ZORMtkNodalKernels::DenseMatrixBytes(int sourceRows, int targetRows) {
  const std::int64_t cross = std::int64_t{sourceRows} * targetRows;
  const std::int64_t square = std::int64_t{targetRows} * targetRows;
  return static_cast<std::int64_t>(sizeof(double)) * (2 * cross + square);
}

// G[i][k] = w(i,k) x source[k] and P[k][j] = w(j,k) are kept dense, as the transfer is meant
// for meshes of few nodes; the product then needs no bookkeeping of which links meet.
void ZORMtkNodalKernels::MatrixProduct(ZORMtkNodeLinkView links, const double* source,
                                       int sourceRows, double* result) {
  const int targetRows = links.KeyCount();
  std::vector<double> gathered(At(targetRows, sourceRows, 0), 0.0);
  std::vector<double> spread(At(sourceRows, targetRows, 0), 0.0);
  for (int i = 0; i < targetRows; ++i) {
    for (int link = links.offsets[i]; link < links.offsets[i + 1]; ++link) {
      const int k = links.partnerRows[link];
      gathered[At(i, sourceRows, k)] = links.weights[link] * source[k];
      spread[At(k, targetRows, i)] = links.weights[link];
    }
  }
  std::fill(result, result + At(targetRows, targetRows, 0), 0.0);
  for (int i = 0; i < targetRows; ++i) {
    double* row = result + At(i, targetRows, 0);
    for (int k = 0; k < sourceRows; ++k) {
      const double g = gathered[At(i, sourceRows, k)];
      if (g != 0.0) AddScaled(row, g, spread.data() + At(k, targetRows, 0), targetRows);
    }
  }
}
