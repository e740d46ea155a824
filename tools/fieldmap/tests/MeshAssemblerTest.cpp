#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "CellCatalog.h"
#include "ElementShapeCheck.h"
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

TEST(ElementShapeCheckVerdicts, EveryReferenceCellInVtkOrderIsGoodForTheLibrarysShapes) {
  for (int type : TestMeshes::SupportedVtkTypes()) {
    const CellCatalog::VtkCell& cell = *CellCatalog::FindVtk(type);
    EXPECT_EQ(ElementShapeCheck(cell.nodes, cell.dimension, true)
                  .Check(TestMeshes::ReferenceCell(type).data()),
              ElementShapeCheck::Verdict::kGood)
        << "VTK cell type " << type;
  }
}

// The library's shape function of node j is 1 at node k exactly when j == k, so evaluating them
// at the positions VTK documents for its nodes proves the two node orders are one.
TEST(CellConventions, VtkNodeOrderIsTheLibrarysForEverySupportedShape) {
  for (int type : TestMeshes::SupportedVtkTypes()) {
    const CellCatalog::VtkCell& cell = *CellCatalog::FindVtk(type);
    if (cell.dimension == 1) continue;  // lines have no shape functions of their own here
    const std::vector<double> xyz = TestMeshes::ReferenceCell(type);
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

TEST(ElementShapeCheckVerdicts, SwappedNodesInvertAndCollapsedNodesFlatten) {
  std::vector<double> tet = TestMeshes::ReferenceCell(10);
  std::swap_ranges(tet.begin() + 3, tet.begin() + 6, tet.begin() + 6);
  EXPECT_EQ(ElementShapeCheck(4, 3, false).Check(tet.data()),
            ElementShapeCheck::Verdict::kInverted);
  std::vector<double> flat = TestMeshes::ReferenceCell(12);
  for (std::size_t z = 2; z < flat.size(); z += 3) flat[z] = 0.0;
  EXPECT_EQ(ElementShapeCheck(8, 3, false).Check(flat.data()),
            ElementShapeCheck::Verdict::kZeroVolume);
  // A clockwise triangle is inverted in a plane mesh, but a shell has no such orientation.
  std::vector<double> triangle = TestMeshes::ReferenceCell(5);
  std::swap_ranges(triangle.begin() + 3, triangle.begin() + 6, triangle.begin() + 6);
  EXPECT_EQ(ElementShapeCheck(3, 2, true).Check(triangle.data()),
            ElementShapeCheck::Verdict::kInverted);
  EXPECT_EQ(ElementShapeCheck(3, 2, false).Check(triangle.data()),
            ElementShapeCheck::Verdict::kGood);
  const double point[6] = {1, 1, 1, 1, 1, 1};
  EXPECT_EQ(ElementShapeCheck(2, 1, false).Check(point), ElementShapeCheck::Verdict::kZeroVolume);
}

TEST(MeshAssemblerTypes, SolidMeshesGetShellsAndThreeDimensionalBeamsInFirstAppearanceOrder) {
  const AssembledMesh mesh =
      MeshAssembler("f.vtu").Assemble(TestMeshes::CellsOfTypes({12, 5, 3, 12, 9}));
  EXPECT_EQ(mesh.coordinateComponents, 3);
  EXPECT_EQ(BlockTypes(mesh), (std::vector<std::string>{"C3D8", "S3", "B31", "S4"}));
  EXPECT_EQ(mesh.blocks[0].ElementCount(), 2);
  // The second hexahedron's nodes follow the 3 + 2 points of the triangle and the line.
  EXPECT_EQ(mesh.blocks[0].connectivity[8], 13);
  EXPECT_EQ(mesh.zeroVolumeElements + mesh.invertedElements, 0);
}

TEST(MeshAssemblerTypes, FlatSurfaceMeshesBecomePlaneElementsWithTwoCoordinates) {
  const AssembledMesh plane =
      MeshAssembler("f.vtu").Assemble(TestMeshes::CellsOfTypes({5, 9, 22, 23, 3}, 0.75));
  EXPECT_EQ(plane.coordinateComponents, 2);
  EXPECT_EQ(BlockTypes(plane), (std::vector<std::string>{"CPS3", "CPS4", "CPS6", "CPS8", "B21"}));
  EXPECT_EQ(plane.coordinates.size(), 2 * (3 + 4 + 6 + 8 + 2u));
  EXPECT_EQ(plane.coordinates[2], 1.0);  // x of the second point, z dropped

  RawMesh tilted = TestMeshes::CellsOfTypes({5, 9});
  tilted.points[5] = 0.1;
  EXPECT_EQ(BlockTypes(MeshAssembler("f.vtu").Assemble(tilted)),
            (std::vector<std::string>{"S3", "S4"}));
}

TEST(MeshAssemblerTypes, InvertedAndDegenerateCellsAreCountedButKept) {
  RawMesh mesh = TestMeshes::CellsOfTypes({10, 10, 12});
  std::swap(mesh.connectivity[1], mesh.connectivity[2]);
  for (std::size_t p = 8; p < 16; ++p) mesh.points[3 * p + 2] = 0.0;
  const AssembledMesh assembled = MeshAssembler("f.vtu").Assemble(mesh);
  EXPECT_EQ(assembled.invertedElements, 1);
  EXPECT_EQ(assembled.zeroVolumeElements, 1);
  EXPECT_EQ(assembled.blocks[0].ElementCount(), 2);
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

TEST(MeshAssemblerErrors, UnknownCellTypesWrongPointCountsAndEmptyMeshesNameTheCell) {
  RawMesh unknown = TestMeshes::CellsOfTypes({10, 12});
  unknown.cellTypes[1] = 42;
  try {
    MeshAssembler("m.vtu").Assemble(unknown);
    FAIL();
  } catch (const FieldmapError& error) {
    EXPECT_NE(std::string(error.what()).find("m.vtu: cell 1: VTK cell type 42 is not supported"),
              std::string::npos);
  }
  RawMesh short_ = TestMeshes::CellsOfTypes({10, 12});
  short_.cellTypes[0] = 12;
  try {
    MeshAssembler("m.vtu").Assemble(short_);
    FAIL();
  } catch (const FieldmapError& error) {
    EXPECT_NE(std::string(error.what()).find("cell 0: has 4 points; VTK cell type 12 needs 8"),
              std::string::npos);
  }
  EXPECT_THROW(MeshAssembler("m.vtu").Assemble(RawMesh{}), FieldmapError);
  // A NaN in the last point's last coordinate, where a scan that stops one short misses it.
  RawMesh notANumber = TestMeshes::CellsOfTypes({10, 12});
  notANumber.points.back() = std::numeric_limits<double>::quiet_NaN();
  try {
    MeshAssembler("m.vtu").Assemble(notANumber);
    FAIL();
  } catch (const FieldmapError& error) {
    EXPECT_NE(std::string(error.what()).find("m.vtu: point 11: coordinate 2 is nan (value 35"),
              std::string::npos)
        << error.what();
  }
}

}  // namespace
