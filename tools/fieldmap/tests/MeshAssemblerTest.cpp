#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "CellCatalog.h"
#include "FieldmapError.h"
#include "MeshAssembler.h"
#include "TestMeshes.h"
#include "ZORGfmApi.h"

namespace {

std::vector<std::string> BlockTypes(const AssembledMesh& mesh) {
  std::vector<std::string> types;
  for (const ElementBlock& block : mesh.blocks) types.push_back(block.elementType);
  return types;
}

// Every supported reference cell in VTK order is a good element, and the library's shape
// function of node j is 1 at node k exactly when j == k at the positions VTK documents for its
// nodes, which proves the two node orders are one.
TEST(CellConventions, VtkNodeOrderIsTheLibrarysForEverySupportedShape) {
  for (int type : TestMeshes::SupportedVtkTypes()) {
    const CellCatalog::VtkCell& cell = *CellCatalog::FindVtk(type);
    const std::vector<double> xyz = TestMeshes::ReferenceCell(type);
    EXPECT_EQ(ZORMtkElementShapeCheck(cell.nodes, cell.dimension, true).Check(xyz.data()),
              ZORMtkElementShapeCheck::Verdict::kGood)
        << "VTK cell type " << type;
    if (cell.dimension == 1) continue;  // lines have no shape functions of their own here
    const bool hexahedral = type == 12 || type == 25, quadrilateral = type == 9 || type == 23;
    const bool prism = type == 13 || type == 26;
    std::vector<double> shape(static_cast<std::size_t>(4 * cell.nodes));
    for (int k = 0; k < cell.nodes; ++k) {
      // VTK's unit-interval coordinates to the library's [-1, 1] where its shapes use them.
      const double x = xyz[3 * k], y = xyz[3 * k + 1], z = xyz[3 * k + 2];
      const double r = hexahedral || quadrilateral ? 2 * x - 1 : x;
      const double s = hexahedral || quadrilateral ? 2 * y - 1 : y;
      const double t = hexahedral || prism ? 2 * z - 1 : z;
      if (cell.dimension == 3)
        ZORMtkShp::Shp3D(cell.nodes, r, s, t, shape.data(), false);
      else
        ZORMtkShp::Shp2D(cell.nodes, r, s, shape.data(), false);
      for (int j = 0; j < cell.nodes; ++j)
        EXPECT_NEAR(shape[static_cast<std::size_t>(j)], j == k ? 1.0 : 0.0, 1e-12)
            << "VTK cell type " << type << ", shape " << j << " at node " << k;
    }
  }
}

// Swapped nodes invert a solid and a plane triangle (a shell has no such orientation); collapsed
// nodes flatten a hexahedron and a line; a plane triangle, placed without Newton steps, is good
// however small (as a shell facet is, below).
TEST(ElementShapeCheckVerdicts, SwappedNodesInvertAndCollapsedNodesFlatten) {
  using Verdict = ZORMtkElementShapeCheck::Verdict;
  const auto swapped = [](int type) {
    std::vector<double> xyz = TestMeshes::ReferenceCell(type);
    std::swap_ranges(xyz.begin() + 3, xyz.begin() + 6, xyz.begin() + 6);
    return xyz;
  };
  std::vector<double> tiny = TestMeshes::ReferenceCell(5);
  for (double& x : tiny) x *= 1e-9;
  std::vector<double> flat = TestMeshes::ReferenceCell(12);
  for (std::size_t z = 2; z < flat.size(); z += 3) flat[z] = 0.0;
  struct Case {
    std::vector<double> xyz;
    int nodes, dimension;
    bool plane;
    Verdict verdict;
  };
  for (const Case& c :
       {Case{swapped(10), 4, 3, false, Verdict::kInverted},
        Case{flat, 8, 3, false, Verdict::kZeroVolume},
        Case{swapped(5), 3, 2, true, Verdict::kInverted},
        Case{swapped(5), 3, 2, false, Verdict::kGood}, Case{tiny, 3, 2, true, Verdict::kGood},
        Case{{1, 1, 1, 1, 1, 1}, 2, 1, false, Verdict::kZeroVolume},
        // Counts beyond what the check knows are held to it, reading no node past the last.
        Case{swapped(10), 4, 7, false, Verdict::kInverted},
        Case{std::vector<double>(3 * 21, 1.0), 21, 3, false, Verdict::kZeroVolume},
        Case{{0, 0, 0}, -1, -5, false, Verdict::kZeroVolume}})
    EXPECT_EQ(ZORMtkElementShapeCheck(c.nodes, c.dimension, c.plane).Check(c.xyz.data()), c.verdict)
        << c.nodes << " nodes, plane " << c.plane;
  // Coordinates of more than three components: the first three are the point.
  const std::vector<double> wide = {0, 0, 0, 9, 1, 0, 0, 9, 0, 1, 0, 9, 0, 0, 1, 9};
  const int corners[] = {0, 2, 1, 3};
  EXPECT_EQ(ZORMtkElementShapeCheck(4, 3, false).CheckNodes(wide.data(), 4, corners),
            Verdict::kInverted);
}

// Reference cells (solids, shell facets, a line) shrunk by a factor: the verdict says too small
// exactly when the library's own element test no longer places the cell's centre in it.
TEST(ElementShapeCheckVerdicts, TooSmallExactlyWhenTheElementTestCannotPlaceTheCentre) {
  using Verdict = ZORMtkElementShapeCheck::Verdict;
  struct Case {
    int vtkType;
    double factor;
  };
  for (const Case& c :
       {Case{12, 1e-3}, Case{12, 1e-4}, Case{10, 2e-4}, Case{10, 5e-5}, Case{9, 1e-5},
        Case{9, 1e-7}, Case{5, 1e-3}, Case{5, 1e-9}, Case{3, 1e-9}}) {
    const CellCatalog::VtkCell& cell = *CellCatalog::FindVtk(c.vtkType);
    std::vector<double> xyz = TestMeshes::ReferenceCell(c.vtkType);
    double centre[3] = {0, 0, 0};
    for (std::size_t i = 0; i < xyz.size(); ++i) {
      xyz[i] *= c.factor;
      centre[i % 3] += xyz[i] / cell.nodes;
    }
    const Verdict verdict =
        ZORMtkElementShapeCheck(cell.nodes, cell.dimension, false).Check(xyz.data());
    std::vector<double> weights(static_cast<std::size_t>(4 * cell.nodes));
    double tolerance = 0.3, projection = 0.0;
    const bool placed =
        cell.dimension == 3 ? ZORMtkGeom::IncludedInSolid(weights.data(), centre, xyz.data(),
                                                          cell.nodes, 3, &tolerance, false)
        : cell.dimension == 2
            ? ZORMtkGeom::IncludedInFacet(weights.data(), centre, xyz.data(), cell.nodes, 3,
                                          &projection, &tolerance, false)
            : ZORMtkGeom::IncludedInLine(weights.data(), centre, xyz.data(), cell.nodes, 3);
    EXPECT_EQ(verdict, placed ? Verdict::kGood : Verdict::kTooSmall)
        << "VTK cell type " << c.vtkType << " shrunk by " << c.factor;
  }
}

TEST(MeshAssemblerTypes, SolidMeshesGetShellsAndThreeDimensionalBeamsInFirstAppearanceOrder) {
  const AssembledMesh mesh =
      MeshAssembler("f.vtu").Assemble(TestMeshes::CellsOfTypes({12, 5, 3, 12, 9}));
  EXPECT_EQ(mesh.coordinateComponents, 3);
  EXPECT_EQ(BlockTypes(mesh), (std::vector<std::string>{"C3D8", "S3", "B31", "S4"}));
  EXPECT_EQ(mesh.blocks[0].ElementCount(), 2);
  // The second hexahedron's nodes follow the 3 + 2 points of the triangle and the line.
  EXPECT_EQ(mesh.blocks[0].connectivity[8], 13);
  EXPECT_EQ(mesh.shapes.zeroVolume + mesh.shapes.inverted, 0);
}

TEST(MeshAssemblerTypes, FlatSurfaceMeshesBecomePlaneElementsWithTwoCoordinates) {
  const AssembledMesh plane =
      MeshAssembler("f.vtu").Assemble(TestMeshes::CellsOfTypes({5, 9, 22, 23, 3}, 0.75));
  EXPECT_EQ(plane.coordinateComponents, 2);
  EXPECT_EQ(BlockTypes(plane), (std::vector<std::string>{"CPE3", "CPE4", "CPE6", "CPE8", "B21"}));
  EXPECT_EQ(plane.coordinates.size(), 2 * (3 + 4 + 6 + 8 + 2u));
  EXPECT_EQ(plane.coordinates[2], 1.0);  // x of the second point, z dropped

  RawMesh tilted = TestMeshes::CellsOfTypes({5, 9});
  tilted.points[5] = 0.1;
  EXPECT_EQ(BlockTypes(MeshAssembler("f.vtu").Assemble(tilted)),
            (std::vector<std::string>{"S3", "S4"}));
}

// Voxels and pixels number their corners as a grid does; after assembly their nodes must sit
// where the library's hexahedron and quadrilateral put them.
TEST(MeshAssemblerTypes, VoxelsAndPixelsBecomeHexahedraAndQuadrilateralsInTheLibrarysOrder) {
  for (const auto& [gridType, type] : {std::pair{11, 12}, std::pair{8, 9}}) {
    const std::vector<double> reference = TestMeshes::ReferenceCell(type);
    RawMesh grid;
    for (const double z : {0.0, 1.0})
      for (const double y : {0.0, 1.0})
        for (const double x : {0.0, 1.0})
          if (z == 0.0 || gridType == 11) grid.points.insert(grid.points.end(), {x, y, z});
    grid.cellTypes = {gridType};
    for (int n = 0; n < grid.PointCount(); ++n) grid.connectivity.push_back(n);
    grid.offsets.push_back(grid.PointCount());
    const AssembledMesh mesh = MeshAssembler("g.vtu").Assemble(grid);
    std::vector<double> placed;
    for (const int node : mesh.blocks.at(0).connectivity)
      for (int axis = 0; axis < mesh.coordinateComponents; ++axis)
        placed.push_back(
            mesh.coordinates[static_cast<std::size_t>(node * mesh.coordinateComponents + axis)]);
    std::vector<double> expected;
    for (std::size_t i = 0; i < reference.size(); ++i)
      if (mesh.coordinateComponents == 3 || i % 3 != 2) expected.push_back(reference[i]);
    EXPECT_EQ(placed, expected) << "VTK cell type " << gridType;
  }
}

// An unknown cell type, a cell with too few points, an empty mesh, and a NaN in the last
// point's last coordinate (where a scan that stops one short misses it).
TEST(MeshAssemblerErrors, UnknownCellTypesWrongPointCountsAndEmptyMeshesNameTheCell) {
  RawMesh unknown = TestMeshes::CellsOfTypes({10, 12}), shortCell = unknown, notANumber = unknown;
  unknown.cellTypes[1] = 42;
  shortCell.cellTypes[0] = 12;
  notANumber.points.back() = std::numeric_limits<double>::quiet_NaN();
  for (const auto& [mesh, expected] :
       {std::pair{unknown, "m.vtu: cell 1: VTK cell type 42 is not supported"},
        std::pair{shortCell, "m.vtu: cell 0: has 4 points; VTK cell type 12 needs 8"},
        std::pair{RawMesh{}, "m.vtu: the mesh has no cells"},
        std::pair{notANumber, "m.vtu: point 11: coordinate 2 is nan (value 35"}}) {
    try {
      MeshAssembler("m.vtu").Assemble(mesh);
      ADD_FAILURE() << expected << ": assembled";
    } catch (const FieldmapError& error) {
      EXPECT_NE(std::string(error.what()).find(expected), std::string::npos) << error.what();
    }
  }
}

}  // namespace
