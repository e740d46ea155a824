#include "TestMeshes.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "CellCatalog.h"

namespace {

struct Reference {
  std::vector<double> corners;
  std::vector<std::pair<int, int>> edges;  // mid-edge nodes, in VTK order
};

// Corner pairs given one after the other: a0, b0, a1, b1, ...
std::vector<std::pair<int, int>> Edges(std::initializer_list<int> corners) {
  std::vector<std::pair<int, int>> edges;
  for (auto corner = corners.begin(); corner != corners.end(); corner += 2)
    edges.emplace_back(corner[0], corner[1]);
  return edges;
}

const std::map<int, Reference>& References() {
  static const std::map<int, Reference> references = [] {
    const std::vector<double> tri = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const std::vector<double> quad = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    const std::vector<double> tet = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
    const std::vector<double> wedge = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 0, 1, 0, 1, 1};
    const std::vector<double> hex = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0,
                                     0, 0, 1, 1, 0, 1, 1, 1, 1, 0, 1, 1};
    std::map<int, Reference> table;
    table[3] = {{0, 0, 0, 1, 0.5, 0}, {}};
    table[5] = {tri, {}};
    table[9] = {quad, {}};
    table[22] = {tri, Edges({0, 1, 1, 2, 2, 0})};
    table[23] = {quad, Edges({0, 1, 1, 2, 2, 3, 3, 0})};
    table[10] = {tet, {}};
    table[24] = {tet, Edges({0, 1, 1, 2, 2, 0, 0, 3, 1, 3, 2, 3})};
    table[13] = {wedge, {}};
    table[26] = {wedge, Edges({0, 1, 1, 2, 2, 0, 3, 4, 4, 5, 5, 3, 0, 3, 1, 4, 2, 5})};
    table[12] = {hex, {}};
    table[25] = {hex,
                 Edges({0, 1, 1, 2, 2, 3, 3, 0, 4, 5, 5, 6, 6, 7, 7, 4, 0, 4, 1, 5, 2, 6, 3, 7})};
    return table;
  }();
  return references;
}

void AddPointArrays(RawMesh& mesh) {
  PointArray temperature{"temperature", 1, {}}, velocity{"velocity", 3, {}}, u{"U_D", 3, {}};
  for (std::size_t p = 0; p < mesh.points.size(); p += 3) {
    const double x = mesh.points[p], y = mesh.points[p + 1], z = mesh.points[p + 2];
    temperature.values.push_back(x + 2 * y + 3 * z);
    velocity.values.insert(velocity.values.end(), {x, y * y, -z});
    u.values.insert(u.values.end(), {y, z, x});
  }
  mesh.pointArrays = {temperature, velocity, u};
}

}  // namespace

const std::vector<int>& TestMeshes::SupportedVtkTypes() {
  static const std::vector<int> types = {3, 5, 9, 22, 23, 10, 24, 13, 26, 12, 25};
  return types;
}

const std::vector<std::pair<int, int>>& TestMeshes::MidEdges(int vtkType) {
  static const std::vector<std::pair<int, int>> none;
  const auto found = References().find(vtkType);
  return found == References().end() ? none : found->second.edges;
}

std::vector<double> TestMeshes::ReferenceCell(int vtkType) {
  const Reference& reference = References().at(vtkType);
  std::vector<double> xyz = reference.corners;
  for (const auto& [a, b] : reference.edges)
    for (int axis = 0; axis < 3; ++axis)
      xyz.push_back(0.5 * (reference.corners[3 * a + axis] + reference.corners[3 * b + axis]));
  return xyz;
}

RawMesh TestMeshes::CellsOfTypes(const std::vector<int>& vtkTypes, double z) {
  RawMesh mesh;
  for (std::size_t c = 0; c < vtkTypes.size(); ++c) {
    const std::vector<double> xyz = ReferenceCell(vtkTypes[c]);
    const int first = static_cast<int>(mesh.PointCount());
    for (std::size_t p = 0; p < xyz.size(); p += 3)
      mesh.points.insert(mesh.points.end(),
                         {xyz[p] + 2.0 * static_cast<double>(c), xyz[p + 1], xyz[p + 2] + z});
    for (int n = 0; n < static_cast<int>(xyz.size() / 3); ++n)
      mesh.connectivity.push_back(first + n);
    mesh.cellTypes.push_back(vtkTypes[c]);
    mesh.offsets.push_back(static_cast<std::int64_t>(mesh.connectivity.size()));
  }
  AddPointArrays(mesh);
  return mesh;
}

RawMesh TestMeshes::AllCellTypes() { return CellsOfTypes(SupportedVtkTypes()); }

std::string TestMeshes::GmshText(const std::vector<int>& vtkTypes) {
  const RawMesh mesh = CellsOfTypes(vtkTypes);
  std::map<int, int> gmshTypeOf;
  for (int gmsh : {1, 2, 3, 4, 5, 6, 9, 11, 16, 17, 18})
    gmshTypeOf[CellCatalog::FindGmsh(gmsh)->vtkType] = gmsh;
  std::ostringstream out;
  out << "$MeshFormat\n4.1 0 8\n$EndMeshFormat\n$Nodes\n1 " << mesh.PointCount() << " 101 "
      << 100 + mesh.PointCount() << "\n3 1 0 " << mesh.PointCount() << "\n";
  for (int p = 0; p < mesh.PointCount(); ++p) out << 101 + p << "\n";
  for (int p = 0; p < mesh.PointCount(); ++p)
    out << mesh.points[3 * p] << " " << mesh.points[3 * p + 1] << " " << mesh.points[3 * p + 2]
        << "\n";
  out << "$EndNodes\n$Elements\n"
      << mesh.CellCount() << " " << mesh.CellCount() << " 1 " << mesh.CellCount() << "\n";
  for (int c = 0; c < mesh.CellCount(); ++c) {
    const CellCatalog::GmshCell& cell = *CellCatalog::FindGmsh(gmshTypeOf.at(mesh.cellTypes[c]));
    const CellCatalog::VtkCell& vtk = *CellCatalog::FindVtk(mesh.cellTypes[c]);
    std::vector<int> gmshNodes(cell.order.size());
    for (std::size_t k = 0; k < cell.order.size(); ++k)
      gmshNodes[static_cast<std::size_t>(cell.order[k])] =
          mesh.connectivity[static_cast<std::size_t>(mesh.offsets[c]) + k];
    out << vtk.dimension << " " << c + 1 << " " << cell.gmshType << " 1\n" << c + 1;
    for (int node : gmshNodes) out << " " << 101 + node;
    out << "\n";
  }
  out << "$EndElements\n$NodeData\n1\n\"temperature\"\n1\n0.0\n3\n0\n1\n"
      << mesh.PointCount() << "\n";
  for (int p = 0; p < mesh.PointCount(); ++p)
    out << 101 + p << " " << mesh.pointArrays[0].values[static_cast<std::size_t>(p)] << "\n";
  out << "$EndNodeData\n";
  return out.str();
}

void TestMeshes::ExpectSame(const RawMesh& expected, const RawMesh& read) {
  EXPECT_EQ(read.points, expected.points);
  EXPECT_EQ(read.cellTypes, expected.cellTypes);
  EXPECT_EQ(read.offsets, expected.offsets);
  EXPECT_EQ(read.connectivity, expected.connectivity);
  ASSERT_EQ(read.pointArrays.size(), expected.pointArrays.size());
  for (std::size_t a = 0; a < read.pointArrays.size(); ++a) {
    EXPECT_EQ(read.pointArrays[a].name, expected.pointArrays[a].name);
    EXPECT_EQ(read.pointArrays[a].components, expected.pointArrays[a].components);
    EXPECT_EQ(read.pointArrays[a].values, expected.pointArrays[a].values);
  }
}
