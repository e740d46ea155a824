#pragma once

#include <vector>

#include "reader/ZORMtkSimReader.h"
#include "search/impl/ZORSearchMisses.h"
#include "search/impl/ZORSearchOptions.h"
#include "support/ZORTestMeshes.h"
#include "support/ZORTestSourceDatabase.h"

// The meshes of the search tests stored in a test database, with a reader scoped to them.
namespace zor_search_test {

struct Stored {
  ZORSimDynamicID mesh;
  ZORMtkSimReader reader;
};

// An element region of the mesh (all its elements when `region` is empty).
inline void StoreElements(ZORTestSourceDatabase& db, const zor_test_mesh::TestMesh& m, Stored& out,
                          const cow_List<int>& region = {}) {
  out.mesh = db.AddMesh();
  db.AddNodes(out.mesh, m.dimension, m.coords);
  db.AddElements(out.mesh, m.type, m.nodesPerElement, m.connectivity);
  out.reader.SetElsetRegion(db.Root(), out.mesh, region);
}

// A mesh of nodes alone (the points of a nodal search).
inline void StorePoints(ZORTestSourceDatabase& db, const std::vector<zor_test_mesh::Point>& points,
                        Stored& out, int dimension = 3) {
  out.mesh = db.AddMesh();
  std::vector<double> coords;
  for (const zor_test_mesh::Point& p : points)
    coords.insert(coords.end(), p.begin(), p.begin() + dimension);
  db.AddNodes(out.mesh, dimension, coords);
  out.reader.SetNodesetRegion(db.Root(), out.mesh, {});
}

// The members of the misses of one kind, in the order the search found them.
inline std::vector<int> Members(const ZORSearchMisses& misses, ZORSearchMiss::Kind kind) {
  std::vector<int> members;
  for (const ZORSearchMiss& miss : misses.misses)
    if (miss.kind == kind) members.push_back(miss.member);
  return members;
}

}  // namespace zor_search_test
