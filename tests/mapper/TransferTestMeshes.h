#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

// Meshes of the transfer tests, as plain arrays the writer takes: coordinates node by node and
// blocks of elements of one type. Solids fill a cube [lo, hi]^3 of n^3 cells; plane meshes
// fill a rectangle. Every node a generator makes is used by some element.
namespace transfertest {

struct TestBlock {
  std::string type;
  int nodesPerElement;
  std::vector<int> connectivity;
  int ElementCount() const { return static_cast<int>(connectivity.size()) / nodesPerElement; }
};

struct TestMesh {
  int dimension = 3;
  std::vector<double> coordinates;
  std::vector<TestBlock> blocks;
  int NodeCount() const { return static_cast<int>(coordinates.size()) / dimension; }
  double At(int node, int axis) const {
    return axis < dimension ? coordinates[static_cast<std::size_t>(node * dimension + axis)] : 0.0;
  }
};

// A structured grid of (n + 1)^3 points numbered x fastest.
inline int GridIndex(int n, int i, int j, int k) { return (k * (n + 1) + j) * (n + 1) + i; }

inline std::vector<double> GridPoints(int n, double lo, double hi) {
  std::vector<double> points;
  const double h = (hi - lo) / n;
  for (int k = 0; k <= n; ++k)
    for (int j = 0; j <= n; ++j)
      for (int i = 0; i <= n; ++i)
        points.insert(points.end(), {lo + i * h, lo + j * h, lo + k * h});
  return points;
}

// Drops the points no element uses and renumbers the connectivity.
inline TestMesh Compact(const std::vector<double>& points, TestBlock block) {
  std::vector<int> renumbered(points.size() / 3, -1);
  TestMesh mesh;
  for (int& node : block.connectivity) {
    int& fresh = renumbered[static_cast<std::size_t>(node)];
    if (fresh < 0) {
      fresh = mesh.NodeCount();
      mesh.coordinates.insert(mesh.coordinates.end(), points.begin() + 3 * node,
                              points.begin() + 3 * node + 3);
    }
    node = fresh;
  }
  mesh.blocks.push_back(std::move(block));
  return mesh;
}

// Hexahedra of 8 nodes; interior nodes moved by up to `perturbation` cell sizes per axis, from a
// fixed seed, so the elements are distorted but valid.
inline TestMesh HexBox(int n, double lo, double hi, double perturbation = 0.0) {
  std::vector<double> points = GridPoints(n, lo, hi);
  std::mt19937 random(20261205u);
  std::uniform_real_distribution<double> shift(-perturbation, perturbation);
  const double h = (hi - lo) / n;
  for (int k = 1; k < n; ++k)
    for (int j = 1; j < n; ++j)
      for (int i = 1; i < n; ++i)
        for (int axis = 0; axis < 3; ++axis)
          points[static_cast<std::size_t>(3 * GridIndex(n, i, j, k) + axis)] += shift(random) * h;
  TestBlock block{"C3D8", 8, {}};
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i)
        block.connectivity.insert(
            block.connectivity.end(),
            {GridIndex(n, i, j, k), GridIndex(n, i + 1, j, k), GridIndex(n, i + 1, j + 1, k),
             GridIndex(n, i, j + 1, k), GridIndex(n, i, j, k + 1), GridIndex(n, i + 1, j, k + 1),
             GridIndex(n, i + 1, j + 1, k + 1), GridIndex(n, i, j + 1, k + 1)});
  return Compact(points, std::move(block));
}

// Each cell split into six tetrahedra along its main diagonal, every one positively oriented.
inline TestMesh TetBox(int n, double lo, double hi) {
  const std::vector<double> points = GridPoints(n, lo, hi);
  const int axes[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  TestBlock block{"C3D4", 4, {}};
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i)
        for (const auto& order : axes) {
          std::array<std::array<int, 3>, 4> corner{};
          corner[0] = {i, j, k};
          for (int v = 1; v < 3; ++v) {
            corner[v] = corner[v - 1];
            corner[v][order[v - 1]] += 1;
          }
          corner[3] = {i + 1, j + 1, k + 1};
          auto at = [&](const std::array<int, 3>& g, int axis) {
            return points[static_cast<std::size_t>(3 * GridIndex(n, g[0], g[1], g[2]) + axis)];
          };
          double e[3][3];
          for (int v = 0; v < 3; ++v)
            for (int a = 0; a < 3; ++a) e[v][a] = at(corner[v + 1], a) - at(corner[0], a);
          const double volume = e[0][0] * (e[1][1] * e[2][2] - e[1][2] * e[2][1]) -
                                e[0][1] * (e[1][0] * e[2][2] - e[1][2] * e[2][0]) +
                                e[0][2] * (e[1][0] * e[2][1] - e[1][1] * e[2][0]);
          if (volume < 0) std::swap(corner[1], corner[2]);
          for (const auto& c : corner) block.connectivity.push_back(GridIndex(n, c[0], c[1], c[2]));
        }
  return Compact(points, std::move(block));
}

// Quadrilaterals of 4 nodes over [x0, x1] x [y0, y1], nodes row by row. Plane meshes have two
// coordinates per node; shells (dimension 3) lie in the plane z.
inline TestMesh QuadGrid(int nx, int ny, double x0, double x1, double y0, double y1,
                         const std::string& type = "CPS4", int dimension = 2, double z = 0.0) {
  TestMesh mesh;
  mesh.dimension = dimension;
  for (int j = 0; j <= ny; ++j)
    for (int i = 0; i <= nx; ++i) {
      mesh.coordinates.push_back(x0 + (x1 - x0) * i / nx);
      mesh.coordinates.push_back(y0 + (y1 - y0) * j / ny);
      if (dimension == 3) mesh.coordinates.push_back(z);
    }
  TestBlock block{type, 4, {}};
  const auto node = [nx](int i, int j) { return j * (nx + 1) + i; };
  for (int j = 0; j < ny; ++j)
    for (int i = 0; i < nx; ++i)
      block.connectivity.insert(block.connectivity.end(),
                                {node(i, j), node(i + 1, j), node(i + 1, j + 1), node(i, j + 1)});
  mesh.blocks.push_back(std::move(block));
  return mesh;
}

// The same grid of points split into counter-clockwise triangles of 3 nodes.
inline TestMesh TriangleGrid(int nx, int ny, double x0, double x1, double y0, double y1,
                             const std::string& type = "CPS3") {
  TestMesh mesh = QuadGrid(nx, ny, x0, x1, y0, y1);
  const std::vector<int> quads = mesh.blocks.front().connectivity;
  TestBlock block{type, 3, {}};
  for (std::size_t q = 0; q < quads.size(); q += 4)
    block.connectivity.insert(block.connectivity.end(), {quads[q], quads[q + 1], quads[q + 2],
                                                         quads[q], quads[q + 2], quads[q + 3]});
  mesh.blocks = {block};
  return mesh;
}

}  // namespace transfertest
