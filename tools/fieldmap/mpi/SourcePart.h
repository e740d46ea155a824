#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "MeshVtuExport.h"
#include "ZORGfmApi.h"

// The first of count items (elements, target nodes) that rank takes when ranks share them in
// consecutive runs of nearly equal size; rank == ranks gives count.
std::int64_t FirstOfShare(std::int64_t count, int rank, int ranks);

// One rank's share of a database's source mesh, as the distributed mapper takes it: a run of the
// mesh's elements in VTK cell form with the nodes they use. The database mapper numbers elements
// by their member in the database and breaks ties between accepting elements by that number, so
// the cells go in member order and each rank takes a consecutive run of them; the element types
// the cells become must keep that order and the database's shapes (else a usage error says why
// --parts cannot map the mesh), as must the kinds the mapper takes: shells only on their own, and
// no part alone in z = 0 without solids. Owns its arrays; one thread.
class SourcePart {
 public:
  // mesh is the whole source mesh as export reads it.
  SourcePart(const MeshVtuExport& mesh, const std::string& file, int rank, int ranks);
  // The share of the mesh's nodes the nearest-node search looks at. The database mapper takes
  // every node of the mesh, used by an element or not, and of equally near nodes the first in
  // the mesh's node order; the ranks number nodes in the order cells first use them. So the
  // part is a run of line cells chaining the nodes in the mesh's order (node i to i + 1). The
  // ranks take nodes at one place for one node, so a mesh with such nodes is a usage error.
  static SourcePart NodeChain(const MeshVtuExport& mesh, const std::string& file, int rank,
                              int ranks);

  // Views of the arrays held here, valid while this object lives.
  ZORMtkMeshArrays Arrays() const;
  // The rows of this part's nodes from a field given for every node of the mesh.
  std::vector<double> Rows(const std::vector<double>& values, int components) const;

 private:
  SourcePart() = default;
  std::vector<int> CellsInMemberOrder(const VtuPiece& piece, const ZORMtkSimReader& reader,
                                      const std::string& file) const;
  void Take(const VtuPiece& piece, const std::vector<int>& cells);

  std::vector<double> coordinates_;
  std::vector<int> connectivity_;
  std::vector<std::int64_t> offsets_;
  std::vector<std::uint8_t> types_;
  // The mesh's node (position in its node list) of each node of the part.
  std::vector<int> nodes_;
  int first_ = 0;
  int last_ = 0;
};
