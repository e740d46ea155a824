#include "mapper/impl/ZORMtkPointKernels.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "mapper/impl/ZORMtkRowMajor.h"

using ZORMtkRowMajor::At;

void ZORMtkPointKernels::ExtrapolateToNodes(const double* extrapolation, int nodes, int points,
                                            const double* pointValues, int components,
                                            double* nodal) {
  std::fill(nodal, nodal + At(nodes, components, 0), 0.0);
  for (int j = 0; j < nodes; ++j) {
    for (int p = 0; p < points; ++p) {
      const double x = extrapolation[At(j, points, p)];
      for (int c = 0; c < components; ++c)
        nodal[At(j, components, c)] += x * pointValues[At(p, components, c)];
    }
  }
}

void ZORMtkPointKernels::InterpolateAtPoints(const ZORMtkPointLinks& links, int sourceElement,
                                             const double* nodal, int nodes, int components,
                                             double* pointValues) {
  const ZORMtkPointLinks::Entry* end = links.PointsEnd(sourceElement);
  for (const ZORMtkPointLinks::Entry* entry = links.PointsBegin(sourceElement); entry != end;
       ++entry) {
    const double* weights = links.Weights(*entry);
    const int used = std::min(entry->weightCount, nodes);
    double* row = pointValues + At(entry->slot, components, 0);
    for (int c = 0; c < components; ++c) {
      double sum = 0.0;
      for (int j = 0; j < used; ++j) sum += weights[j] * nodal[At(j, components, c)];
      row[c] += sum;
    }
  }
}

void ZORMtkPointKernels::FillUnplaced(const ZORMtkPointLinks& links, int slots, int components,
                                      double value, double* pointValues) {
  std::vector<char> placed(static_cast<std::size_t>(slots), 0);
  for (const ZORMtkPointLinks::Entry& entry : links.Entries())
    placed[static_cast<std::size_t>(entry.slot)] = 1;
  for (int slot = 0; slot < slots; ++slot) {
    if (placed[static_cast<std::size_t>(slot)] != 0) continue;
    std::fill(pointValues + At(slot, components, 0), pointValues + At(slot + 1, components, 0),
              value);
  }
}

void ZORMtkPointKernels::GatherRows(const double* table, int width, const int* rows, int count,
                                    double* out) {
  for (int j = 0; j < count; ++j) {
    double* row = out + At(j, width, 0);
    if (rows[j] < 0) {
      std::fill(row, row + width, 0.0);
      continue;
    }
    const double* in = table + At(rows[j], width, 0);
    std::copy(in, in + width, row);
  }
}

void ZORMtkPointKernels::AddToRows(const double* nodal, const int* rows, int nodes, int components,
                                   double* sums) {
  for (int j = 0; j < nodes; ++j) {
    if (rows[j] < 0) continue;
    double* row = sums + At(rows[j], components, 0);
    for (int c = 0; c < components; ++c) row[c] += nodal[At(j, components, c)];
  }
}

void ZORMtkPointKernels::AddToNodes(const double* nodal, const int* rows, int nodes, int components,
                                    double* sums, int* visits) {
  AddToRows(nodal, rows, nodes, components, sums);
  for (int j = 0; j < nodes; ++j) {
    if (rows[j] >= 0) ++visits[rows[j]];
  }
}

void ZORMtkPointKernels::AverageByVisits(double* sums, const int* visits, int rows,
                                         int components) {
  for (int r = 0; r < rows; ++r) {
    if (visits[r] == 0) continue;
    double* row = sums + At(r, components, 0);
    for (int c = 0; c < components; ++c) row[c] /= visits[r];
  }
}
