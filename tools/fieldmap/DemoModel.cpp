#include "DemoModel.h"

#include <algorithm>
#include <cstdint>

namespace {

// A repeatable perturbation in [-1, 1) per node, so every run maps the same meshes.
double Jitter(std::uint32_t node, std::uint32_t axis) {
  std::uint32_t state = node * 2654435761u + axis * 40503u + 12345u;
  state ^= state >> 15;
  state *= 2246822519u;
  state ^= state >> 13;
  return static_cast<double>(state % 20000u) / 10000.0 - 1.0;
}

// Grid coordinate i of n along an axis, moved by up to a quarter cell unless on the boundary.
double Coordinate(int i, int n, std::uint32_t node, std::uint32_t axis, bool perturb) {
  const double h = 1.0 / n;
  const bool inside = i > 0 && i < n;
  return i * h + (perturb && inside ? 0.25 * h * Jitter(node, axis) : 0.0);
}

AssembledMesh Box(int n, bool perturb) {
  AssembledMesh mesh;
  mesh.coordinateComponents = 3;
  std::uint32_t node = 0;
  for (int k = 0; k <= n; ++k)
    for (int j = 0; j <= n; ++j)
      for (int i = 0; i <= n; ++i, ++node)
        mesh.coordinates.insert(mesh.coordinates.end(), {Coordinate(i, n, node, 0, perturb),
                                                         Coordinate(j, n, node, 1, perturb),
                                                         Coordinate(k, n, node, 2, perturb)});
  return mesh;
}

AssembledMesh Plate(int n, bool perturb) {
  AssembledMesh mesh;
  mesh.coordinateComponents = 2;
  std::uint32_t node = 0;
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i, ++node)
      mesh.coordinates.insert(mesh.coordinates.end(), {Coordinate(i, n, node, 0, perturb),
                                                       Coordinate(j, n, node, 1, perturb)});
  return mesh;
}

// The eight corners of cube (i, j, k) in the library's hexahedron order.
std::array<int, 8> CubeCorners(int i, int j, int k, int n) {
  const auto at = [n](int a, int b, int c) { return (c * (n + 1) + b) * (n + 1) + a; };
  return {at(i, j, k),     at(i + 1, j, k),     at(i + 1, j + 1, k),     at(i, j + 1, k),
          at(i, j, k + 1), at(i + 1, j, k + 1), at(i + 1, j + 1, k + 1), at(i, j + 1, k + 1)};
}

}  // namespace

DemoSizes DemoSizes::ForSize(int size) {
  // Targets on coarser and finer grids than their sources, so no node coincides by design.
  return DemoSizes{size, std::max(1, size * 3 / 4), 2 * size, std::max(1, size * 3 / 2)};
}

AssembledMesh DemoModel::SourceBox(int n) {
  AssembledMesh mesh = Box(n, true);
  ElementBlock block{"C3D8", 8, {}};
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) {
        const std::array<int, 8> c = CubeCorners(i, j, k, n);
        block.connectivity.insert(block.connectivity.end(), c.begin(), c.end());
      }
  mesh.blocks.push_back(std::move(block));
  return mesh;
}

AssembledMesh DemoModel::TargetBox(int m) {
  AssembledMesh mesh = Box(m, false);
  // Six tetrahedra around the diagonal from corner 0 to corner 6, each positively oriented.
  constexpr int kTets[6][4] = {{0, 1, 2, 6}, {0, 2, 3, 6}, {0, 3, 7, 6},
                               {0, 7, 4, 6}, {0, 4, 5, 6}, {0, 5, 1, 6}};
  ElementBlock block{"C3D4", 4, {}};
  for (int k = 0; k < m; ++k)
    for (int j = 0; j < m; ++j)
      for (int i = 0; i < m; ++i) {
        const std::array<int, 8> c = CubeCorners(i, j, k, m);
        for (const auto& tet : kTets)
          block.connectivity.insert(block.connectivity.end(),
                                    {c[tet[0]], c[tet[1]], c[tet[2]], c[tet[3]]});
      }
  mesh.blocks.push_back(std::move(block));
  return mesh;
}

AssembledMesh DemoModel::SourcePlate(int n) {
  AssembledMesh mesh = Plate(n, true);
  ElementBlock block{"CPS4", 4, {}};
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const int a = j * (n + 1) + i;
      block.connectivity.insert(block.connectivity.end(), {a, a + 1, a + n + 2, a + n + 1});
    }
  mesh.blocks.push_back(std::move(block));
  return mesh;
}

AssembledMesh DemoModel::TargetPlate(int m) {
  AssembledMesh mesh = Plate(m, false);
  ElementBlock block{"CPS3", 3, {}};
  for (int j = 0; j < m; ++j)
    for (int i = 0; i < m; ++i) {
      const int a = j * (m + 1) + i;
      block.connectivity.insert(block.connectivity.end(),
                                {a, a + 1, a + m + 2, a, a + m + 2, a + m + 1});
    }
  mesh.blocks.push_back(std::move(block));
  return mesh;
}

std::array<double, 3> DemoModel::Displacement(double x, double y, double z) {
  return {0.1 + 2.0 * x - y + 0.5 * z, -0.5 + x + 3.0 * y - z, 0.25 - x + y + 2.0 * z};
}

double DemoModel::Temperature(double x, double y, double z) {
  return 20.0 + 100.0 * x - 30.0 * y + 10.0 * z;
}

std::array<double, DemoModel::kStrainComponents> DemoModel::Strain(double x, double y) {
  return {100.0 + 50.0 * x - 20.0 * y, -40.0 + 10.0 * x + 30.0 * y, 5.0 * x - 5.0 * y};
}

std::vector<double> DemoModel::DisplacementAt(const std::vector<double>& xyz) {
  std::vector<double> values;
  values.reserve(xyz.size());
  for (std::size_t i = 0; i + 2 < xyz.size(); i += 3) {
    const std::array<double, 3> u = Displacement(xyz[i], xyz[i + 1], xyz[i + 2]);
    values.insert(values.end(), u.begin(), u.end());
  }
  return values;
}

std::vector<double> DemoModel::TemperatureAt(const std::vector<double>& xyz) {
  std::vector<double> values;
  values.reserve(xyz.size() / 3);
  for (std::size_t i = 0; i + 2 < xyz.size(); i += 3)
    values.push_back(Temperature(xyz[i], xyz[i + 1], xyz[i + 2]));
  return values;
}

std::vector<double> DemoModel::StrainAt(const std::vector<double>& xy) {
  std::vector<double> values;
  values.reserve(xy.size() / 2 * kStrainComponents);
  for (std::size_t i = 0; i + 1 < xy.size(); i += 2) {
    const std::array<double, kStrainComponents> e = Strain(xy[i], xy[i + 1]);
    values.insert(values.end(), e.begin(), e.end());
  }
  return values;
}
