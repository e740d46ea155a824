#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <vector>

#include "api/ZORMtkMeshArrays.h"

// Meshes as VTK arrays for the array-mapper tests, serial and distributed.
namespace vtkgrid {

// A whole problem every rank builds alike: a perturbed box of n^3 cells (or a plane of n^2),
// VTK cells of the kind asked for, and targets that sit on nodes (so on the faces the parts
// share), on face middles, inside cells and well outside the mesh. A rank's part is the same
// with its cells and the nodes they use, renumbered in order, and no targets.
enum class Cells { Hex, Tet, Mixed, Plane, Lines };

struct Mesh {
  std::vector<double> coords;
  std::vector<int> connectivity;
  std::vector<std::int64_t> offsets{0};
  std::vector<std::uint8_t> types;
  std::vector<double> field;  // two components per node
  std::vector<double> targets;

  void Add(std::uint8_t type, std::initializer_list<int> nodes) {
    connectivity.insert(connectivity.end(), nodes);
    offsets.push_back(static_cast<std::int64_t>(connectivity.size()));
    types.push_back(type);
  }
  ZORMtkMeshArrays Arrays() const {
    ZORMtkMeshArrays mesh;
    mesh.coordinates = coords.data();
    mesh.nodeCount = static_cast<int>(coords.size() / 3);
    mesh.connectivity = connectivity.data();
    mesh.offsets = offsets.data();
    mesh.types = types.data();
    mesh.cellCount = static_cast<int>(types.size());
    return mesh;
  }
};

// Cell c with corner nodes v[0..7] (VTK hexahedron order; a plane cell uses v[0..3]) as one or
// more cells of the kind asked; Lines gives a plane cell's first two edges.
inline void AddCell(Mesh& whole, Cells kind, int c, const int* v) {
  if (kind == Cells::Lines) {
    whole.Add(3, {v[0], v[1]});
    whole.Add(3, {v[0], v[3]});
  } else if (kind == Cells::Plane && c % 4 == 0) {
    whole.Add(5, {v[0], v[1], v[2]});
    whole.Add(5, {v[0], v[2], v[3]});
  } else if (kind == Cells::Plane) {
    whole.Add(9, {v[0], v[1], v[2], v[3]});
  } else if (kind == Cells::Hex || (kind == Cells::Mixed && c % 3 == 2)) {
    whole.Add(12, {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]});
  } else if (kind == Cells::Mixed && c % 3 == 0) {
    whole.Add(11, {v[0], v[1], v[3], v[2], v[4], v[5], v[7], v[6]});  // the same, as a voxel
  } else if (kind == Cells::Mixed) {
    whole.Add(13, {v[0], v[1], v[2], v[4], v[5], v[6]});
    whole.Add(13, {v[0], v[2], v[3], v[4], v[6], v[7]});
  } else {
    // Six tetrahedra around the diagonal 0-6.
    const int ring[] = {1, 2, 3, 7, 4, 5, 1};
    for (int k = 0; k < 6; ++k) whole.Add(10, {v[0], v[ring[k]], v[ring[k + 1]], v[6]});
  }
}

inline Mesh MakeWhole(Cells kind, int n, unsigned seed) {
  Mesh whole;
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> wobble(-0.2, 0.2);
  const bool plane = kind == Cells::Plane || kind == Cells::Lines;
  const int layers = plane ? 1 : n + 1;
  const auto node = [n](int i, int j, int k) { return (k * (n + 1) + j) * (n + 1) + i; };
  for (int k = 0; k < layers; ++k)
    for (int j = 0; j <= n; ++j)
      for (int i = 0; i <= n; ++i) {
        const bool inner = i > 0 && j > 0 && i < n && j < n && (layers == 1 || (k > 0 && k < n));
        const double x[3] = {i + (inner ? wobble(random) : 0.0), j + (inner ? wobble(random) : 0.0),
                             k + (inner && layers > 1 ? wobble(random) : 0.0)};
        whole.coords.insert(whole.coords.end(), x, x + 3);
        whole.field.insert(whole.field.end(),
                           {std::sin(x[0]) + x[1] * x[2], x[0] * x[0] - 2.0 * x[1]});
      }
  for (int k = 0; k < std::max(1, layers - 1); ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) {
        int v[8];
        for (int m = 0; m < 8; ++m)
          v[m] = node(i + ((m & 3) == 1 || (m & 3) == 2), j + ((m & 3) >= 2), k + (m >= 4));
        AddCell(whole, kind, (k * n + j) * n + i, v);
      }
  // Every node, then points on a lattice that reaches half a cell and two cells beyond the box.
  whole.targets = whole.coords;
  std::uniform_real_distribution<double> anywhere(-2.0, n + 2.0);
  for (int p = 0; p < 40 * n; ++p) {
    const double x[3] = {std::round(2 * anywhere(random)) / 2, anywhere(random),
                         plane ? 0.0 : std::round(2 * anywhere(random)) / 2};
    whole.targets.insert(whole.targets.end(), x, x + 3);
  }
  return whole;
}

// The cells of a Mixed or Hex mesh as the library's blocks: hexahedra (voxels reordered from
// grid order to the hexahedron's) and wedges, each in cell order.
inline void LibraryBlocks(const Mesh& mesh, std::vector<int>& hexes, std::vector<int>& wedges) {
  for (std::size_t c = 0; c < mesh.types.size(); ++c) {
    const int* nodes = mesh.connectivity.data() + mesh.offsets[c];
    if (mesh.types[c] == 13) wedges.insert(wedges.end(), nodes, nodes + 6);
    if (mesh.types[c] == 12) hexes.insert(hexes.end(), nodes, nodes + 8);
    if (mesh.types[c] == 11)
      for (const int k : {0, 1, 3, 2, 4, 5, 7, 6}) hexes.push_back(nodes[k]);
  }
}

}  // namespace vtkgrid
