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
  double excess;         // containing choice: how far outside if approximate; a line's distance
  std::int32_t pass;     // 0 strict, 1 relaxed, -1 not placed
  std::int32_t approximate;
  std::int32_t records;  // shell parts: the facet records that follow for this point
};

// A shell facet of the answering part that accepted the point in the answer's pass, or the facet
// whose node the point coincides with, which ends the search there. Shell parts send every such
// facet, since which one wins depends on the facets of every part, taken in element order. A
// plain value sent as bytes.
struct ZORFacetRecord {
  std::int64_t element;  // global element number
  std::int64_t cell;     // global host cell
  double distance;       // from the facet's plane
  double excess;         // containing choice: > 0 for a facet held outside the race (see
                         // ZORFacetHit)
  std::int32_t listed;   // inside in the strict pass
  std::int32_t coincident;
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
  // a plane mesh, shells whether it is made of shells. Collective.
  void Prepare(bool plane, bool shells, const ZORSearchTolerances& tolerances, bool containing,
               const ZORMpiExchange& exchange);

  const ZORMtkMeshElemB& Grid() const { return grid_; }
  // The whole source's mean element length (shells only), from which facets' races start.
  double MeanLength() const { return meanLength_; }
  int ElementCount() const { return grid_.ElementCount(); }

  // Searches points (three coordinates each): one answer per point, links for the placed ones;
  // for shells, the facet records of every point in point order, and links per record.
  std::vector<ZORPartAnswer> Locate(const std::vector<double>& points, int threads,
                                    ZORPartLinks& links,
                                    std::vector<ZORFacetRecord>& records) const;

 private:
  struct Chunk;
  void FormGrid(int dimension, double margin, const ZORMpiExchange& exchange);
  void UseWholeMeanLength(const ZORMpiExchange& exchange);
  void Answer(int point, const ZORPointMatch& match, const std::vector<ZORFacetHit>& hits,
              ZORPartAnswer& answer, Chunk& chunk) const;

  ZORMtkSimWriter writer_;
  ZORSimDynamicID meshID_;
  std::unique_ptr<ZORMtkSimReader> reader_;
  ZORMtkMeshElemB grid_;
  std::unique_ptr<ZORMtkSourceElements> mesh_;
  std::unique_ptr<ZORMtkPointLocator> locator_;
  // Per database element: its global element number and global host cell.
  std::vector<std::int64_t> elementNumbers_;
  std::vector<std::int64_t> hostCells_;
  bool shells_ = false;
  double meanLength_ = 0.0;
};
