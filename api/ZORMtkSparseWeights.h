#pragma once

#include <cstdint>
#include <vector>

// Interpolation weights as a sparse matrix in compressed rows (CSR): row i of a mapped field is
// the sum over k from rowOffsets[i] to rowOffsets[i + 1] - 1 of weights[k] times row columns[k]
// of the source field. Rows are target points, columns source nodes. A plain value.
struct ZORMtkSparseWeights {
  int rows = 0;
  int columns = 0;
  std::vector<std::int64_t> rowOffsets{0};
  std::vector<int> columnIndices;
  std::vector<double> weights;
};
