#pragma once

#include <mpi.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "api/ZORMtkArrayMapper.h"
#include "api/ZORMtkArrayStatus.h"
#include "api/ZORMtkMeshArrays.h"
#include "platform/ZORExport.h"

// Maps fields from a source mesh spread over the ranks of an MPI communicator to target points
// spread over the same ranks, with results identical to one ZORMtkArrayMapper holding the whole
// source and all targets: the same values bit for bit, the same placed points and source cells,
// the same diagnostics texts.
//
// The whole source is the ranks' parts of VTK cells joined in rank order (rank 0's cells first);
// each part brings the nodes its cells use, so nodes on the seams between parts appear in
// several parts, with the same coordinates and values. The whole's nodes are numbered in the
// order its cells first use them; nodes at the same place in different parts are one node. The
// targets are the ranks' points joined in rank order; target point i of the whole is what the
// diagnostics name. Each rank searches the targets that may lie in its part with the library's
// own point search, on a bucket grid placed as one process would place the grid of the whole
// source; the owner of a point takes the answer one process would have taken (the earlier pass,
// then the containing element, then the lower element number; for shells, every part's accepting
// facets raced again in element order), and the rank that placed a point computes its values
// from its own nodes. The nearest-node method and fallback work alike on a
// node grid placed as the whole's: the nearest answer wins, and of equally near nodes the one
// the lowest rank holds, first in that rank's order.
//
// A conservative mapping (options.conservative) takes the target as a mesh, given as the source
// is: each rank's part of the target's VTK cells with the nodes they use (seam nodes repeated,
// every node used by a cell of the part). The whole target's nodes are numbered as the source's:
// in the order its cells, joined in rank order, first use them, nodes at one place in several
// parts being one node. As one process does, every source node is searched in the target's
// elements (or for its nearest target node) and scatters its value to the target nodes of its
// element, weighted by the shape functions there; when that leaves a target node without weight,
// the target nodes are searched in the source's elements and those links turned round. Each
// target node's sum is added by the rank owning it (the lowest holding it) in source node order,
// so no sum is split between ranks. Map then gives one row per node of the rank's target part,
// seam copies alike; Placed() marks the part's nodes that take a share of some source value, and
// SourceCells() is -1 throughout. The diagnostics name source nodes (target nodes after the
// turn) by their number in the whole, and each Map records the sums it did not conserve, on
// every rank alike.
//
// Supported: shape interpolation of nodal fields onto target points, with either element choice,
// a fill value or the nearest-node fallback for unplaced points, the nearest-node method, and
// conservative mapping with either method. Sources (and conservative targets) of solid, plane,
// line or shell cells, shells not mixed with the others (a status says so). Every call but the
// accessors is collective: all ranks call it, in the same order, with the same options (each rank
// its own thread count); options that differ from rank 0's are bad input. Bad input
// on any rank gives every rank the same failed status. One thread per object; the searches
// themselves run on options.threads threads per rank.
class ZORMTK_EXPORT ZORMtkDistributedMapper {
 public:
  explicit ZORMtkDistributedMapper(MPI_Comm comm);
  ~ZORMtkDistributedMapper();
  ZORMtkDistributedMapper(const ZORMtkDistributedMapper&) = delete;
  ZORMtkDistributedMapper& operator=(const ZORMtkDistributedMapper&) = delete;

  // This rank's part of the source: VTK cells (possibly none) and the nodes they use.
  ZORMtkArrayStatus SetSource(const ZORMtkMeshArrays& part);
  // This rank's target points; for a conservative mapping, its part of the target mesh (VTK
  // cells and the nodes they use). Cells given are checked as the source's are; other mappings
  // then map the nodes alone.
  ZORMtkArrayStatus SetTarget(const ZORMtkMeshArrays& points);
  ZORMtkArrayStatus SetOptions(const ZORMtkArrayOptions& options);

  // Searches the targets (the first call after a change; later calls return at once).
  ZORMtkArrayStatus ComputeWeights();
  // Maps one field: sourceValues has one row of `components` values per node of this rank's
  // source part, targetValues receives one row per target point (target part node) of this rank.
  ZORMtkArrayStatus Map(const double* sourceValues, int sourceRows, int components,
                        double* targetValues);

  // After ComputeWeights, for this rank's targets: 1 where placed in an element (or, with the
  // nearest-node method, given a nearest node), else 0; the global index of the host cell whose
  // shape functions give each point its value, -1 where none does (unplaced points, nearest
  // nodes).
  const std::vector<unsigned char>& Placed() const;
  std::vector<std::int64_t> SourceCells() const;
  // The diagnostics of the whole mapping, the same on every rank.
  int Flags() const;
  std::vector<std::string> DiagnosticTexts() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};
