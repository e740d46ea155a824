#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "api/ZORMtkArrayStatus.h"
#include "api/ZORMtkMeshArrays.h"
#include "platform/ZORSimHandles.h"
#include "reader/ZORMtkSimReader.h"
#include "search/ZORMtkMeshElemB.h"
#include "search/impl/ZORMtkPointLocator.h"
#include "writer/ZORMtkSimWriter.h"

class ZORMpiExchange;
struct ZORMtkGlobalCellOrder;

// What one rank found for one point another rank asked about: whether and in which pass its part
// placed the point, and in which element, so that the asking rank can pick the element one
// search over the whole source would pick. A plain value sent as bytes.
struct ZORPartAnswer {
  std::int64_t element;  // global element number (the one-process element order); -1: not placed
  std::int64_t cell;     // the host's global cell index of that element
  double excess;         // containing choice: how far outside its reference shape, if approximate
  std::int32_t pass;     // 0 strict, 1 relaxed, -1 not placed
  std::int32_t approximate;
};

// The links of the points a part placed: per point its partner nodes (this part's node indices)
// and weights, in the element's node order, so that values come out as one process computes them.
struct ZORPartLinks {
  std::vector<std::int64_t> offsets{0};
  std::vector<int> partners;
  std::vector<double> weights;

  int Count() const { return static_cast<int>(offsets.size()) - 1; }
  // row = sum of weight x values over the links of point, components fastest, from zero.
  void Interpolate(int point, const double* values, int components, double* row) const;
};

// One rank's part of the source, searchable with the library's own point search: the part's
// cells in an in-memory database, in the order of their global element numbers, and a bucket grid
// placed and sized exactly as one process would place the grid of the whole source (the same
// origin, edge and counts), holding this part's elements only. A bucket of the whole-source grid
// is then the union of the parts' buckets, and each part scans its share in the same order.
// Owns the database, reader, grid, mesh view and locator. Built collectively; Locate may run on
// several threads.
class ZORMtkPartSearch {
 public:
  // Puts the part into the database: part holds VTK cells in any order, already checked; order
  // says where they stand globally. Once per object. Not collective.
  void Write(const ZORMtkMeshArrays& part, const ZORMtkGlobalCellOrder& order);
  // Forms the grid and the locator for these tolerances; plane says whether the whole source is
  // a plane mesh. Collective.
  void Prepare(bool plane, const ZORSearchTolerances& tolerances, bool containing,
               const ZORMpiExchange& exchange);

  const ZORMtkMeshElemB& Grid() const { return grid_; }
  int ElementCount() const { return grid_.ElementCount(); }

  // Searches points (three coordinates each): one answer per point, links for the placed ones.
  std::vector<ZORPartAnswer> Locate(const std::vector<double>& points, int threads,
                                    ZORPartLinks& links) const;

 private:
  void FormGrid(int dimension, double margin, const ZORMpiExchange& exchange);

  ZORMtkSimWriter writer_;
  ZORSimDynamicID meshID_;
  std::unique_ptr<ZORMtkSimReader> reader_;
  ZORMtkMeshElemB grid_;
  std::unique_ptr<ZORMtkSourceElements> mesh_;
  std::unique_ptr<ZORMtkPointLocator> locator_;
  // Per database element: its global element number and global host cell.
  std::vector<std::int64_t> elementNumbers_;
  std::vector<std::int64_t> hostCells_;
};
