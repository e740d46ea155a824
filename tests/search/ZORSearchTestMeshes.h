#pragma once

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "element/ZORMtkShp.h"
#include "reader/ZORMtkSimReader.h"
#include "search/impl/ZORSearchMisses.h"
#include "search/impl/ZORSearchOptions.h"
#include "support/ZORTestSourceDatabase.h"

// Structured meshes for the search tests: n cells per axis over [0, n] (two dimensions: x-y), on
// a lattice of half-cell spacing so that quadratic elements find their mid-side nodes on it.
// Interior lattice points are moved by up to `jitter` cells with a fixed seed, so elements are
// skewed and quadratic edges curved, but never inverted. Lattice points no element uses stay in
// the mesh, so the region's node members are not 0 ... N - 1.
namespace zor_search_test {

using Point = std::array<double, 3>;

struct TestMesh {
  std::string type;
  int nodesPerElement = 0;
  int dimension = 3;
  std::vector<double> coords;  // `dimension` doubles per lattice node
  std::vector<int> connectivity;

  int ElementCount() const { return static_cast<int>(connectivity.size()) / nodesPerElement; }
  const int* Nodes(int element) const { return connectivity.data() + element * nodesPerElement; }
  Point NodeAt(int node) const {
    Point x = {0, 0, 0};
    for (int a = 0; a < dimension; ++a)
      x[a] = coords[static_cast<std::size_t>(node * dimension + a)];
    return x;
  }
  // The element's own isoparametric map at natural coordinates xi; N receives the values.
  Point Map(int element, const Point& xi, std::vector<double>& N) const {
    N.assign(static_cast<std::size_t>(4 * nodesPerElement), 0.0);
    if (dimension == 2)
      ZORMtkShp::Shp2D(nodesPerElement, xi[0], xi[1], N.data(), false);
    else
      ZORMtkShp::Shp3D(nodesPerElement, xi[0], xi[1], xi[2], N.data(), false);
    Point x = {0, 0, 0};
    for (int k = 0; k < nodesPerElement; ++k) {
      const Point node = NodeAt(Nodes(element)[k]);
      for (int a = 0; a < 3; ++a) x[a] += N[static_cast<std::size_t>(k)] * node[a];
    }
    return x;
  }
};

using Lattice = std::array<int, 3>;  // lattice indices, two per cell

inline Lattice Mid(const Lattice& a, const Lattice& b) {
  return {(a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2};
}

class MeshBuilder {
 public:
  MeshBuilder(int cells, int dimension, double jitter, unsigned seed)
      : side_(2 * cells + 1), dimension_(dimension) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> move(-jitter, jitter);
    const int layers = dimension == 3 ? side_ : 1;
    for (int k = 0; k < layers; ++k)
      for (int j = 0; j < side_; ++j)
        for (int i = 0; i < side_; ++i) {
          const int index[3] = {i, j, k};
          const bool inner = Interior(i, j, k);
          for (int a = 0; a < dimension; ++a)
            mesh_.coords.push_back(0.5 * index[a] + (inner ? move(rng) : 0.0));
        }
    mesh_.dimension = dimension;
  }

  // Corners and the mid-side nodes between the given corner pairs, in that order.
  void Add(const std::vector<Lattice>& corners, const std::vector<std::pair<int, int>>& edges) {
    for (const Lattice& c : corners) mesh_.connectivity.push_back(Node(c));
    for (const auto& [a, b] : edges)
      mesh_.connectivity.push_back(
          Node(Mid(corners[static_cast<std::size_t>(a)], corners[static_cast<std::size_t>(b)])));
  }

  TestMesh Finish(const std::string& type, int nodesPerElement) {
    mesh_.type = type;
    mesh_.nodesPerElement = nodesPerElement;
    return mesh_;
  }

 private:
  bool Interior(int i, int j, int k) const {
    const auto in = [this](int x) { return x > 0 && x < side_ - 1; };
    return in(i) && in(j) && (dimension_ == 2 || in(k));
  }
  int Node(const Lattice& c) const {
    return c[0] + side_ * (c[1] + (dimension_ == 3 ? side_ * c[2] : 0));
  }

  int side_;
  int dimension_;
  TestMesh mesh_;
};

inline Lattice Corner(int i, int j, int k, int di, int dj, int dk) {
  return {2 * (i + di), 2 * (j + dj), 2 * (k + dk)};
}

// Hexahedra of 8 or 20 nodes, one per cell.
inline TestMesh HexMesh(int cells, int nodes, double jitter, unsigned seed) {
  MeshBuilder builder(cells, 3, jitter, seed);
  const std::vector<std::pair<int, int>> edges = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                                  {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
  for (int k = 0; k < cells; ++k)
    for (int j = 0; j < cells; ++j)
      for (int i = 0; i < cells; ++i) {
        const std::vector<Lattice> c = {Corner(i, j, k, 0, 0, 0), Corner(i, j, k, 1, 0, 0),
                                        Corner(i, j, k, 1, 1, 0), Corner(i, j, k, 0, 1, 0),
                                        Corner(i, j, k, 0, 0, 1), Corner(i, j, k, 1, 0, 1),
                                        Corner(i, j, k, 1, 1, 1), Corner(i, j, k, 0, 1, 1)};
        builder.Add(c, nodes == 20 ? edges : std::vector<std::pair<int, int>>{});
      }
  return builder.Finish(nodes == 20 ? "C3D20" : "C3D8", nodes);
}

// Six tetrahedra of 10 nodes per cell, one per ordering of the axes (a conforming split).
inline TestMesh Tet10Mesh(int cells, double jitter, unsigned seed) {
  MeshBuilder builder(cells, 3, jitter, seed);
  const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  for (int k = 0; k < cells; ++k)
    for (int j = 0; j < cells; ++j)
      for (int i = 0; i < cells; ++i)
        for (const auto& order : orders) {
          std::vector<Lattice> c = {Corner(i, j, k, 0, 0, 0)};
          for (int step = 0; step < 3; ++step) {
            Lattice next = c.back();
            next[static_cast<std::size_t>(order[step])] += 2;
            c.push_back(next);
          }
          // Odd permutations give left-handed corner orders; exchanging two corners fixes them.
          const bool odd = (order[0] == 0 && order[1] == 2) || (order[0] == 1 && order[1] == 0) ||
                           (order[0] == 2 && order[1] == 1);
          if (odd) std::swap(c[1], c[2]);
          builder.Add(c, {{0, 1}, {1, 2}, {2, 0}, {0, 3}, {1, 3}, {2, 3}});
        }
  return builder.Finish("C3D10", 10);
}

// Two 15-node prisms per cell, split along the same diagonal of every cell's base.
inline TestMesh Prism15Mesh(int cells, double jitter, unsigned seed) {
  MeshBuilder builder(cells, 3, jitter, seed);
  const std::vector<std::pair<int, int>> edges = {{0, 1}, {1, 2}, {2, 0}, {3, 4}, {4, 5},
                                                  {5, 3}, {0, 3}, {1, 4}, {2, 5}};
  for (int k = 0; k < cells; ++k)
    for (int j = 0; j < cells; ++j)
      for (int i = 0; i < cells; ++i) {
        const int tri[2][3][2] = {{{0, 0}, {1, 0}, {0, 1}}, {{1, 0}, {1, 1}, {0, 1}}};
        for (const auto& t : tri) {
          std::vector<Lattice> c;
          for (int dk = 0; dk < 2; ++dk)
            for (const auto& v : t) c.push_back(Corner(i, j, k, v[0], v[1], dk));
          builder.Add(c, edges);
        }
      }
  return builder.Finish("C3D15", 15);
}

// Plane quadrilaterals of 4 or 8 nodes in x-y.
inline TestMesh QuadMesh(int cells, int nodes, double jitter, unsigned seed,
                         const std::string& type) {
  MeshBuilder builder(cells, 2, jitter, seed);
  for (int j = 0; j < cells; ++j)
    for (int i = 0; i < cells; ++i) {
      const std::vector<Lattice> c = {Corner(i, j, 0, 0, 0, 0), Corner(i, j, 0, 1, 0, 0),
                                      Corner(i, j, 0, 1, 1, 0), Corner(i, j, 0, 0, 1, 0)};
      builder.Add(c, nodes == 8 ? std::vector<std::pair<int, int>>{{0, 1}, {1, 2}, {2, 3}, {3, 0}}
                                : std::vector<std::pair<int, int>>{});
    }
  return builder.Finish(type, nodes);
}

// A random natural point well inside an element of `nodes` nodes (triangles and tetrahedra by
// sorted uniforms).
inline Point RandomNatural(int nodes, int dimension, std::mt19937& rng) {
  std::uniform_real_distribution<double> unit(0.03, 0.97), symmetric(-0.95, 0.95);
  if (nodes == 8 || nodes == 20 || (dimension == 2 && nodes == 4))
    return {symmetric(rng), symmetric(rng), dimension == 2 ? 0.0 : symmetric(rng)};
  double cuts[3] = {unit(rng), unit(rng), unit(rng)};
  const bool tet = nodes == 4 || nodes == 10;
  std::sort(cuts, cuts + (tet ? 3 : 2));
  if (tet) return {cuts[0], cuts[1] - cuts[0], cuts[2] - cuts[1]};
  return {cuts[0], cuts[1] - cuts[0], symmetric(rng)};
}

// A mesh in a test database with a reader scoped to it (an element region, or its nodes).
struct Stored {
  ZORSimDynamicID mesh;
  ZORMtkSimReader reader;
};

inline void StoreElements(ZORTestSourceDatabase& db, const TestMesh& m, Stored& out,
                          const cow_List<int>& region = {}) {
  out.mesh = db.AddMesh();
  db.AddNodes(out.mesh, m.dimension, m.coords);
  db.AddElements(out.mesh, m.type, m.nodesPerElement, m.connectivity);
  out.reader.SetElsetRegion(db.Root(), out.mesh, region);
}

// A mesh of nodes alone (the points of a nodal search), three coordinates per point.
inline void StorePoints(ZORTestSourceDatabase& db, const std::vector<Point>& points, Stored& out,
                        int dimension = 3) {
  out.mesh = db.AddMesh();
  std::vector<double> coords;
  for (const Point& p : points) coords.insert(coords.end(), p.begin(), p.begin() + dimension);
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
