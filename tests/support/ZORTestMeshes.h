#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "element/ZORMtkShp.h"

// Meshes of the search and mapper tests, as plain arrays the test databases and the writer take:
// one element type, coordinates node by node (`dimension` doubles each), connectivity element by
// element. Structured meshes come from a lattice of `step` points per cell edge and n cells per
// axis over [0, n] (two dimensions: x-y); step 2 puts the mid-side nodes of quadratic elements on
// it, and lattice points no element uses stay in the mesh, so node members are not 0 ... N - 1.
// Interior lattice points are moved by up to `jitter` cells with a fixed seed, so elements are
// skewed and quadratic edges curved, but never inverted.
namespace zor_test_mesh {

using Point = std::array<double, 3>;

struct TestMesh {
  std::string type;
  int nodesPerElement = 0;
  int dimension = 3;
  std::vector<double> coords;
  std::vector<int> connectivity;

  int NodeCount() const { return static_cast<int>(coords.size()) / dimension; }
  int ElementCount() const { return static_cast<int>(connectivity.size()) / nodesPerElement; }
  const int* Nodes(int element) const { return connectivity.data() + element * nodesPerElement; }
  double At(int node, int axis) const {
    return axis < dimension ? coords[static_cast<std::size_t>(node * dimension + axis)] : 0.0;
  }
  Point NodeAt(int node) const { return {At(node, 0), At(node, 1), At(node, 2)}; }
  // The element's own isoparametric map at natural coordinates xi; N receives the values.
  Point Map(int element, const Point& xi, std::vector<double>& N) const {
    N.assign(static_cast<std::size_t>(4 * nodesPerElement), 0.0);
    if (dimension == 2) ZORMtkShp::Shp2D(nodesPerElement, xi[0], xi[1], N.data(), false);
    if (dimension == 3) ZORMtkShp::Shp3D(nodesPerElement, xi[0], xi[1], xi[2], N.data(), false);
    Point x = {0, 0, 0};
    for (int k = 0; k < nodesPerElement; ++k)
      for (int a = 0; a < 3; ++a) x[a] += N[static_cast<std::size_t>(k)] * At(Nodes(element)[k], a);
    return x;
  }
};

using Lattice = std::array<int, 3>;
using Edges = std::vector<std::pair<int, int>>;

class MeshBuilder {
 public:
  MeshBuilder(int cells, int dimension, int step, double jitter, unsigned seed)
      : side_(step * cells + 1), step_(step) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> move(-jitter, jitter);
    const auto in = [this](int x) { return x > 0 && x < side_ - 1; };
    for (int k = 0; k < (dimension == 3 ? side_ : 1); ++k)
      for (int j = 0; j < side_; ++j)
        for (int i = 0; i < side_; ++i) {
          const int index[3] = {i, j, k};
          const bool inner = in(i) && in(j) && (dimension == 2 || in(k));
          for (int a = 0; a < dimension; ++a)
            mesh_.coords.push_back(index[a] / static_cast<double>(step) +
                                   (inner ? move(rng) : 0.0));
        }
    mesh_.dimension = dimension;
  }

  // The lattice point of corner (i + di, j + dj, k + dk) of the cell grid.
  Lattice Corner(int i, int j, int k, int di = 0, int dj = 0, int dk = 0) const {
    return {step_ * (i + di), step_ * (j + dj), step_ * (k + dk)};
  }
  // Corners and the mid-side nodes between the given corner pairs, in that order.
  void Add(const std::vector<Lattice>& corners, const Edges& edges) {
    for (const Lattice& c : corners) mesh_.connectivity.push_back(Node(c));
    for (const auto& [a, b] : edges) {
      const Lattice& p = corners[static_cast<std::size_t>(a)];
      const Lattice& q = corners[static_cast<std::size_t>(b)];
      mesh_.connectivity.push_back(Node({(p[0] + q[0]) / 2, (p[1] + q[1]) / 2, (p[2] + q[2]) / 2}));
    }
  }
  TestMesh Finish(const std::string& type, int nodesPerElement) {
    mesh_.type = type;
    mesh_.nodesPerElement = nodesPerElement;
    return std::move(mesh_);
  }

 private:
  int Node(const Lattice& c) const {
    return c[0] + side_ * (c[1] + (mesh_.dimension == 3 ? side_ * c[2] : 0));
  }

  int side_;
  int step_;
  TestMesh mesh_;
};

// Hexahedra of 8 or 20 nodes, one per cell.
inline TestMesh HexMesh(int cells, int nodes, double jitter, unsigned seed, int step = 2) {
  MeshBuilder builder(cells, 3, step, jitter, seed);
  const Edges edges = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                       {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
  for (int k = 0; k < cells; ++k)
    for (int j = 0; j < cells; ++j)
      for (int i = 0; i < cells; ++i)
        builder.Add({builder.Corner(i, j, k), builder.Corner(i, j, k, 1),
                     builder.Corner(i, j, k, 1, 1), builder.Corner(i, j, k, 0, 1),
                     builder.Corner(i, j, k, 0, 0, 1), builder.Corner(i, j, k, 1, 0, 1),
                     builder.Corner(i, j, k, 1, 1, 1), builder.Corner(i, j, k, 0, 1, 1)},
                    nodes == 20 ? edges : Edges{});
  return builder.Finish(nodes == 20 ? "C3D20" : "C3D8", nodes);
}

// Six tetrahedra of 4 or 10 nodes per cell, one per ordering of the axes along the path from the
// cell's first corner to its opposite one (a conforming split).
inline TestMesh TetMesh(int cells, int nodes, double jitter, unsigned seed, int step = 2) {
  MeshBuilder builder(cells, 3, step, jitter, seed);
  const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  for (int k = 0; k < cells; ++k)
    for (int j = 0; j < cells; ++j)
      for (int i = 0; i < cells; ++i)
        for (const auto& order : orders) {
          std::vector<Lattice> c = {builder.Corner(i, j, k)};
          for (int axis : order) {
            c.push_back(c.back());
            c.back()[static_cast<std::size_t>(axis)] += step;
          }
          // Odd permutations give left-handed corner orders; exchanging two corners fixes them.
          if (order[0] == (order[1] + 1) % 3) std::swap(c[1], c[2]);
          builder.Add(
              c, nodes == 10 ? Edges{{0, 1}, {1, 2}, {2, 0}, {0, 3}, {1, 3}, {2, 3}} : Edges{});
        }
  return builder.Finish(nodes == 10 ? "C3D10" : "C3D4", nodes);
}

// Two 15-node prisms per cell, split along the same diagonal of every cell's base.
inline TestMesh Prism15Mesh(int cells, double jitter, unsigned seed) {
  MeshBuilder builder(cells, 3, 2, jitter, seed);
  const Edges edges = {{0, 1}, {1, 2}, {2, 0}, {3, 4}, {4, 5}, {5, 3}, {0, 3}, {1, 4}, {2, 5}};
  const int triangles[2][3][2] = {{{0, 0}, {1, 0}, {0, 1}}, {{1, 0}, {1, 1}, {0, 1}}};
  for (int k = 0; k < cells; ++k)
    for (int j = 0; j < cells; ++j)
      for (int i = 0; i < cells; ++i)
        for (const auto& t : triangles) {
          std::vector<Lattice> c;
          for (int dk = 0; dk < 2; ++dk)
            for (const auto& v : t) c.push_back(builder.Corner(i, j, k, v[0], v[1], dk));
          builder.Add(c, edges);
        }
  return builder.Finish("C3D15", 15);
}

// Plane quadrilaterals of 4 or 8 nodes in x-y.
inline TestMesh QuadMesh(int cells, int nodes, double jitter, unsigned seed,
                         const std::string& type) {
  MeshBuilder builder(cells, 2, 2, jitter, seed);
  for (int j = 0; j < cells; ++j)
    for (int i = 0; i < cells; ++i)
      builder.Add({builder.Corner(i, j, 0), builder.Corner(i, j, 0, 1),
                   builder.Corner(i, j, 0, 1, 1), builder.Corner(i, j, 0, 0, 1)},
                  nodes == 8 ? Edges{{0, 1}, {1, 2}, {2, 3}, {3, 0}} : Edges{});
  return builder.Finish(type, nodes);
}

// Drops the nodes no element uses, numbering the others in order of first use, and maps [0, n]
// onto [lo, hi] along every axis.
inline TestMesh Compact(const TestMesh& mesh, int n, double lo, double hi) {
  std::vector<int> renumbered(static_cast<std::size_t>(mesh.NodeCount()), -1);
  TestMesh compact = mesh;
  compact.coords.clear();
  for (int& node : compact.connectivity) {
    int& fresh = renumbered[static_cast<std::size_t>(node)];
    if (fresh < 0) {
      fresh = compact.NodeCount();
      for (int a = 0; a < mesh.dimension; ++a)
        compact.coords.push_back(lo + (hi - lo) / n * mesh.At(node, a));
    }
    node = fresh;
  }
  return compact;
}

// Linear solids filling the cube [lo, hi]^3 with n^3 cells, every node used; hexahedra may be
// distorted by up to `perturbation` cells.
inline TestMesh HexBox(int n, double lo, double hi, double perturbation = 0.0) {
  return Compact(HexMesh(n, 8, perturbation, 20261205u, 1), n, lo, hi);
}
inline TestMesh TetBox(int n, double lo, double hi) {
  return Compact(TetMesh(n, 4, 0.0, 1u, 1), n, lo, hi);
}

// Quadrilaterals of 4 nodes over [x0, x1] x [y0, y1], nodes row by row. Plane meshes have two
// coordinates per node; shells (dimension 3) lie in the plane z.
inline TestMesh QuadGrid(int nx, int ny, double x0, double x1, double y0, double y1,
                         const std::string& type = "CPS4", int dimension = 2, double z = 0.0) {
  TestMesh mesh{type, 4, dimension, {}, {}};
  for (int j = 0; j <= ny; ++j)
    for (int i = 0; i <= nx; ++i) {
      mesh.coords.insert(mesh.coords.end(), {x0 + (x1 - x0) * i / nx, y0 + (y1 - y0) * j / ny});
      if (dimension == 3) mesh.coords.push_back(z);
    }
  for (int j = 0; j < ny; ++j)
    for (int i = 0; i < nx; ++i) {
      const int first = j * (nx + 1) + i;
      mesh.connectivity.insert(mesh.connectivity.end(),
                               {first, first + 1, first + nx + 2, first + nx + 1});
    }
  return mesh;
}

// The same grid of points split into counter-clockwise triangles of 3 nodes.
inline TestMesh TriangleGrid(int nx, int ny, double x0, double x1, double y0, double y1,
                             const std::string& type = "CPS3") {
  TestMesh mesh = QuadGrid(nx, ny, x0, x1, y0, y1);
  const std::vector<int> quads = mesh.connectivity;
  mesh = {type, 3, 2, mesh.coords, {}};
  for (std::size_t q = 0; q < quads.size(); q += 4)
    mesh.connectivity.insert(mesh.connectivity.end(), {quads[q], quads[q + 1], quads[q + 2],
                                                       quads[q], quads[q + 2], quads[q + 3]});
  return mesh;
}

// Vector arithmetic for placing test points: a - b, a x b, and v scaled to the given length.
inline Point Minus(const Point& a, const Point& b) {
  return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
inline Point Cross(const Point& a, const Point& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline Point Along(const Point& v, double length) {
  const double scale = length / std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  return {scale * v[0], scale * v[1], scale * v[2]};
}

// A random natural point well inside an element of `nodes` nodes (triangles and tetrahedra by
// sorted uniforms).
inline Point RandomNatural(int nodes, int dimension, std::mt19937& rng) {
  std::uniform_real_distribution<double> unit(0.03, 0.97), symmetric(-0.95, 0.95);
  if (nodes == 8 || nodes == 20 || (dimension == 2 && nodes == 4))
    return {symmetric(rng), symmetric(rng), dimension == 2 ? 0.0 : symmetric(rng)};
  // Every area or volume coordinate is at least 0.03: a point closer to a face it shares with a
  // neighbour lies within the search's tolerance of both, and either may rightly take it.
  const bool tet = nodes == 4 || nodes == 10;
  for (;;) {
    double cuts[3] = {unit(rng), unit(rng), unit(rng)};
    std::sort(cuts, cuts + (tet ? 3 : 2));
    const double gap = tet ? std::min(cuts[1] - cuts[0], cuts[2] - cuts[1]) : cuts[1] - cuts[0];
    if (gap < 0.03) continue;
    if (tet) return {cuts[0], cuts[1] - cuts[0], cuts[2] - cuts[1]};
    return {cuts[0], cuts[1] - cuts[0], symmetric(rng)};
  }
}

}  // namespace zor_test_mesh
