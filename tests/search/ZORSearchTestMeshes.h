#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/ZORStream.h"
#include "reader/ZORMtkSimReader.h"
#include "search/ZORMtkMeshElemB.h"
#include "search/impl/ZORSearchMisses.h"
#include "search/impl/ZORSearchOptions.h"
#include "support/ZORTestCapture.h"
#include "support/ZORTestMeshes.h"
#include "support/ZORTestSourceDatabase.h"

// The meshes of the search tests stored in a test database, with a reader scoped to them, and
// what every search fixture holds.
namespace zor_search_test {

using zor_test_mesh::Point;
using zor_test_mesh::TestMesh;

// The boundary and normal tolerances the search tests give the locator.
constexpr double kBoundary = 0.3;
constexpr double kNormal = 0.5;

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

// The database, the source and target regions, the grid and the results of a search test.
template <class Weights>
class SearchFixture : public ::testing::Test {
 protected:
  ZORTestSourceDatabase db;
  Stored source;
  Stored target;
  ZORMtkMeshElemB grid;
  ZORSearchMisses misses;
  Weights weights;
};

// What `run` writes to `stream` (aio_cout or aio_cerr), with the search trace on at `level`.
template <class Run>
std::string Captured(aio_Stream& stream, const char* level, Run run) {
  const ScopedEnvironmentVariable trace("ODB_MAP_DEBUG", level);
  const CapturedStream text(stream);
  run();
  return text.Text();
}

// Two triangles per quadrilateral of a QuadMesh, split along the diagonal from corner 0 to 2;
// 6-node triangles take the lattice point at the cell's centre as the diagonal's middle node.
inline zor_test_mesh::TestMesh SplitQuads(const zor_test_mesh::TestMesh& quads,
                                          const std::string& type) {
  const int side = static_cast<int>(std::lround(std::sqrt(quads.NodeCount())));
  zor_test_mesh::TestMesh split = quads;
  split.type = type;
  split.nodesPerElement = quads.nodesPerElement == 8 ? 6 : 3;
  split.connectivity.clear();
  for (int e = 0; e < quads.ElementCount(); ++e) {
    const int* q = quads.Nodes(e);
    const int centre = q[4 % quads.nodesPerElement] + side;
    if (quads.nodesPerElement == 4)
      split.connectivity.insert(split.connectivity.end(), {q[0], q[1], q[2], q[0], q[2], q[3]});
    else
      split.connectivity.insert(split.connectivity.end(), {q[0], q[1], q[2], q[4], q[5], centre,
                                                           q[0], q[2], q[3], centre, q[6], q[7]});
  }
  return split;
}

}  // namespace zor_search_test
