#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "MeshAssembler.h"
#include "MeshFileReader.h"
#include "TempDirectory.h"
#include "TestMeshes.h"

namespace {

// Each cell as its VTK type followed by its nodes' coordinates, sorted: two meshes give the same
// list exactly when they hold the same cells with the same node order, however their points are
// numbered. Only cells of the given types count (all when none are given).
std::vector<std::vector<double>> CellsOf(const RawMesh& mesh, const std::vector<int>& types = {}) {
  std::vector<std::vector<double>> cells;
  for (std::size_t c = 0; c < mesh.cellTypes.size(); ++c) {
    if (!types.empty() && std::count(types.begin(), types.end(), mesh.cellTypes[c]) == 0) continue;
    std::vector<double> cell{static_cast<double>(mesh.cellTypes[c])};
    for (auto i = mesh.offsets[c]; i < mesh.offsets[c + 1]; ++i)
      for (int axis = 0; axis < 3; ++axis)
        cell.push_back(mesh.points[3 * static_cast<std::size_t>(mesh.connectivity[i]) + axis]);
    cells.push_back(cell);
  }
  std::sort(cells.begin(), cells.end());
  return cells;
}

// The tools wrote "temperature" as x + 2y + 3z in double precision, and the VTK writers "stress %"
// with x + 2y + 3z + c in component c of nine: any value on the wrong point or component, lost in
// a merge or rounded on the way shows here.
void ExpectLinearLaw(const RawMesh& mesh, const std::string& name = "temperature",
                     int components = 1) {
  const auto array = std::find_if(mesh.pointArrays.begin(), mesh.pointArrays.end(),
                                  [&](const PointArray& a) { return a.name == name; });
  ASSERT_NE(array, mesh.pointArrays.end()) << name;
  ASSERT_EQ(array->components, components) << name;
  const auto n = static_cast<std::size_t>(components);
  for (std::size_t p = 0; p < static_cast<std::size_t>(mesh.PointCount()); ++p)
    for (std::size_t c = 0; c < n; ++c)
      ASSERT_EQ(array->values[p * n + c], mesh.points[3 * p] + 2.0 * mesh.points[3 * p + 1] +
                                              3.0 * mesh.points[3 * p + 2] + static_cast<double>(c))
          << name << " point " << p;
}

// A node swapped by a reordering table leaves a mid-edge node off the middle of its VTK edge, or
// turns the element inside out.
void ExpectWellOrderedCells(const RawMesh& mesh, const std::string& file) {
  for (std::size_t c = 0; c < mesh.cellTypes.size(); ++c) {
    const int type = mesh.cellTypes[c];
    const int* nodes = mesh.connectivity.data() + mesh.offsets[c];
    const auto corners = static_cast<int>(mesh.offsets[c + 1] - mesh.offsets[c]) -
                         static_cast<int>(TestMeshes::MidEdges(type).size());
    for (std::size_t e = 0; e < TestMeshes::MidEdges(type).size(); ++e) {
      const auto [a, b] = TestMeshes::MidEdges(type)[e];
      for (std::size_t axis = 0; axis < 3; ++axis) {
        const auto at = [&](int k) {
          return mesh.points[3 * static_cast<std::size_t>(nodes[k]) + axis];
        };
        // Gmsh places mid-edge nodes through its geometry, a few ulps off the middle.
        ASSERT_NEAR(at(corners + static_cast<int>(e)), 0.5 * (at(a) + at(b)), 1e-9)
            << file << " cell " << c << " mid-edge node " << corners + static_cast<int>(e);
      }
    }
  }
  const AssembledMesh assembled = MeshAssembler(file).Assemble(mesh);
  EXPECT_EQ(assembled.shapes.inverted + assembled.shapes.zeroVolume, 0) << file;
}

class ToolWrittenFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* python = std::getenv("FIELDMAP_PYTHON");
    if (!python || std::system((std::string(python) + " -c 'import vtk' 2>/dev/null").c_str()) != 0)
      GTEST_SKIP() << "python3 with VTK (Debian python3-vtk9) is not installed";
    const std::string script = std::string(FIELDMAP_TEST_SOURCE_DIR) + "/write_mesh_cases.py";
    ASSERT_EQ(std::system((std::string(python) + " " + script + " " + directory_.Root().string() +
                           " >/dev/null 2>&1")
                              .c_str()),
              0);
  }
  bool Has(const std::string& name) const { return std::filesystem::exists(directory_.Path(name)); }
  RawMesh Read(const std::string& name) const {
    return MeshFileReader::Read(directory_.Path(name));
  }
  TempDirectory directory_;
};

TEST_F(ToolWrittenFiles, VtkFormatsReadBackTheSameCellsAndValues) {
  const RawMesh reference = Read("ascii.vtu");
  ExpectWellOrderedCells(reference, "ascii.vtu");
  for (const char* name :
       {"binary.vtu", "binary-zlib.vtu", "appended.vtu", "appended-zlib.vtu",
        "appended-base64-zlib.vtu", "appended-zlib-uint64.vtu", "legacy-ascii.vtk",
        "legacy-binary.vtk", "legacy42-binary.vtk", "pieces.pvtu", "pieces-noids.pvtu"}) {
    SCOPED_TRACE(name);
    const RawMesh mesh = Read(name);
    EXPECT_EQ(CellsOf(mesh), CellsOf(reference));
    // Pieces share points; joined, each point is there once.
    EXPECT_EQ(mesh.PointCount(), reference.PointCount());
    ExpectLinearLaw(mesh);
    ExpectLinearLaw(mesh, "stress %", 9);
  }
}

TEST_F(ToolWrittenFiles, GmshFilesFromMeshioHoldTheVtkSolids) {
  if (!Has("meshio41-binary.msh"))
    GTEST_SKIP() << "meshio (Debian python3-meshio) is not installed";
  const std::vector<int> solids = {10, 24, 13, 26, 12, 25};
  const RawMesh reference = Read("ascii.vtu");
  for (const char* name :
       {"meshio22.msh", "meshio22-binary.msh", "meshio41.msh", "meshio41-binary.msh"}) {
    SCOPED_TRACE(name);
    const RawMesh mesh = Read(name);
    EXPECT_EQ(CellsOf(mesh), CellsOf(reference, solids));
    ExpectLinearLaw(mesh);
  }
}

TEST_F(ToolWrittenFiles, SecondOrderGmshMeshesKeepTheirSolidsInVtkOrder) {
  if (!Has("gmsh41-binary.msh")) GTEST_SKIP() << "gmsh (Debian gmsh) is not installed";
  const RawMesh reference = Read("gmsh41-binary.msh");
  std::vector<int> types = reference.cellTypes;
  types.erase(std::unique((std::sort(types.begin(), types.end()), types.begin()), types.end()),
              types.end());
  EXPECT_EQ(types, (std::vector<int>{24, 25, 26}));
  for (const char* name : {"gmsh22.msh", "gmsh22-binary.msh", "gmsh41.msh", "gmsh41-binary.msh"}) {
    SCOPED_TRACE(name);
    const RawMesh mesh = Read(name);
    ExpectWellOrderedCells(mesh, name);
    // The lines, surface triangles and quadrilaterals, and points Gmsh saves are left out.
    EXPECT_EQ(mesh.notes.size(), 3u);
    EXPECT_EQ(mesh.connectivity, reference.connectivity);
    ASSERT_EQ(mesh.points.size(), reference.points.size());
    for (std::size_t i = 0; i < mesh.points.size(); ++i)
      ASSERT_NEAR(mesh.points[i], reference.points[i], 1e-15) << i;
  }
}

}  // namespace
