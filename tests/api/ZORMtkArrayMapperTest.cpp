#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ZORGfmApi.h"
#include "api/VtkCellGrid.h"

namespace {

using vtkgrid::Cells;
using vtkgrid::Mesh;

// A mesh of hexahedra, voxels and wedges on [0, n]^3 scaled to [lo, hi]^3, with its cells also as
// the library's blocks.
struct GridMesh : Mesh {
  GridMesh(int n, double lo, double hi, unsigned seed)
      : Mesh(vtkgrid::MakeWhole(Cells::Mixed, n, seed)) {
    for (double& x : coords) x = lo + (hi - lo) * x / n;
    vtkgrid::LibraryBlocks(*this, hexes, wedges);
  }
  int NodeCount() const { return static_cast<int>(coords.size() / 3); }
  std::vector<int> hexes, wedges;
};

ZORSimDynamicID WriteBlocks(ZORMtkSimWriter& writer, GridMesh& mesh) {
  const ZORSimDynamicID id = writer.AddMesh();
  writer.AddMeshNodes(id, mesh.NodeCount(), 3, mesh.coords.data());
  ZORSimArray<ZORSimCSetID> sets;
  sets.Append(writer.AddMeshElements(id, static_cast<int>(mesh.hexes.size() / 8), "C3D8", 8,
                                     mesh.hexes.data()));
  sets.Append(writer.AddMeshElements(id, static_cast<int>(mesh.wedges.size() / 6), "C3D6", 6,
                                     mesh.wedges.data()));
  cow_List<cow_String> types{"C3D8", "C3D6"};
  writer.ConnectMeshEltypes(id, sets, types);
  return id;
}

// The target grid reaches beyond the source, so some of its nodes stay unplaced; its outer
// layer of cells holds no source node, so a conservative mapping gives their outer nodes no share.
TEST(ZORMtkArrayMapperTest, GivesTheValuesMapFieldWritesOnTheSameMeshes) {
  GridMesh source(4, 0.0, 1.0, 7);
  GridMesh target(6, -0.5, 1.5, 11);
  std::vector<double>& field = source.field;
  const struct {
    const char* name;
    ZORMtkArrayOptions options;
  } cases[] = {
      {"shape", {MethodShapeInterpolation, 0, 0, 0.0, false, false}},
      {"shape, fill", {MethodShapeInterpolation, 0, 0, -7.0, false, false}},
      {"shape, fill and fallback", {MethodShapeInterpolation, 0.2, 0.4, -7.0, true, false}},
      {"nearest", {MethodNearestNode, 0, 0, 0.0, false, false}},
      {"conservative", {MethodShapeInterpolation, 0, 0, 0.0, false, true}},
      {"containing, two threads",
       {MethodShapeInterpolation, 0, 0, 0.0, false, false, ChoiceContaining, 2}},
  };
  ZORMtkArrayMapper arrays;
  ASSERT_TRUE(arrays.SetSource(source.Arrays()));
  ASSERT_TRUE(arrays.SetTarget(target.Arrays()));
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    ZORMtkSimWriter writer;
    writer.CreateSim("reference (never saved)");
    const ZORSimDynamicID sourceMesh = WriteBlocks(writer, source);
    const ZORSimDynamicID targetMesh = WriteBlocks(writer, target);
    const ZORSimDynamicID sourceField = writer.AddSimpleNodeField(sourceMesh, "U_D", 2);
    cow_List<int> nodes(std::vector<int>(static_cast<std::size_t>(source.NodeCount())));
    for (int i = 0; i < source.NodeCount(); ++i) nodes[i] = i;
    writer.WriteSimpleNodeField(sourceField, sourceMesh, 1, 1, 2, nodes, field.data());
    const ZORSimDynamicID targetField = writer.AddSimpleNodeField(targetMesh, "U_D", 2);
    ZORMtkSimReader sourceReader, targetReader;
    sourceReader.SetScope(writer.GetRootPosition(), ScopeElementRegion, sourceMesh, {});
    targetReader.SetScope(writer.GetRootPosition(), ScopeElementRegion, targetMesh, {});
    ZORMtkMapper mapper(writer.GetRootPosition());
    mapper.SetReader(&sourceReader);
    mapper.SetReader(&targetReader);
    mapper.SetWriter(&writer);
    mapper.DefineSearchTolerance(test.options.boundaryTolerance, test.options.normalTolerance);
    mapper.SetUnplacedFill(test.options.unplacedFill);
    mapper.SetNearestFallback(test.options.nearestFallback);
    mapper.SetElementChoice(test.options.elementChoice);
    mapper.SetThreadCount(test.options.threads);
    mapper.AddMapSpec("U", MapNodeToNode, test.options.method,
                      test.options.conservative ? ConserveNodal : ConserveNone, sourceMesh,
                      targetMesh, sourceField, targetField, false, false);
    const int flags = mapper.MapField("U", 1, 1, 1, 1);
    std::vector<double> expected(static_cast<std::size_t>(target.NodeCount()) * 2);
    targetReader.GetSimpleNodeField(targetField, 1, 1, static_cast<int>(expected.size()),
                                    expected.data());

    // One mapper for every case: new options must not map with the weights of the old ones
    // (each case differs from the one before in one option at least, "shape, fill" in the fill
    // value alone).
    ASSERT_TRUE(arrays.SetOptions(test.options));
    std::vector<double> mapped(expected.size());
    const ZORMtkArrayStatus status = arrays.Map(field.data(), source.NodeCount(), 2, mapped.data());
    ASSERT_TRUE(status) << status.Message();
    EXPECT_EQ(mapped, expected);
    EXPECT_EQ(arrays.Flags(), flags);
    int unplaced = 0;
    for (const unsigned char placed : arrays.Placed()) unplaced += placed == 0;
    if (test.options.conservative) {
      EXPECT_GT(unplaced, 0);
    } else {
      EXPECT_EQ(unplaced, mapper.Diagnostics().FailedPoints().Size());
    }
  }
}

// Points a tenth of a cell off a shell mesh (a flat mesh off z = 0) lie within a normal
// tolerance of half a cell and beyond one of a fiftieth: changing that tolerance alone must
// search again.
TEST(ZORMtkArrayMapperTest, ANewNormalToleranceAloneSearchesAgain) {
  Mesh shell = vtkgrid::MakeWhole(Cells::Plane, 3, 5), lifted = shell;
  for (std::size_t i = 2; i < shell.coords.size(); i += 3) {
    shell.coords[i] = 1.0;
    lifted.coords[i] = 1.1;
  }
  ZORMtkArrayMapper arrays;
  ASSERT_TRUE(arrays.SetSource(shell.Arrays()));
  ASSERT_TRUE(arrays.SetTarget(lifted.Arrays()));
  std::vector<double> mapped(shell.field.size());
  for (const double tolerance : {0.02, 0.5, 0.02}) {
    ZORMtkArrayOptions options;
    options.normalTolerance = tolerance;
    ASSERT_TRUE(arrays.SetOptions(options));
    ASSERT_TRUE(arrays.Map(shell.field.data(), arrays.SourceNodeCount(), 2, mapped.data()));
    const auto placed = std::count(arrays.Placed().begin(), arrays.Placed().end(), 1);
    EXPECT_EQ(placed, tolerance > 0.1 ? arrays.TargetPointCount() : 0) << tolerance;
  }
}

// The node order of a VTK cell of type `type` mirrored in its reference shape, which turns the
// cell inside out.
void Mirror(std::uint8_t type, int* nodes) {
  if (type == 9 || type == 12) std::swap(nodes[1], nodes[3]);
  if (type == 12) std::swap(nodes[5], nodes[7]);
  if (type == 5 || type == 10 || type == 11 || type == 13) std::swap(nodes[1], nodes[2]);
  if (type == 11) std::swap(nodes[5], nodes[6]);
  if (type == 13) std::swap(nodes[4], nodes[5]);
}

// Each fault is counted for exactly the cells it reaches: mirrored cells as inverted (plane
// cells too, since a plane mesh has an orientation, with two coordinates per node or three),
// every cell of a solid mesh pressed flat as flat, and in a mesh shrunk below what the element
// search resolves every cell but the 3-node plane triangles, which are placed without Newton steps,
// as too small.
TEST(ZORMtkArrayMapperTest, CountsTheSourceCellsTheSearchCannotPlacePointsIn) {
  for (const Cells kind : {Cells::Hex, Cells::Tet, Cells::Mixed, Cells::Plane}) {
    SCOPED_TRACE(static_cast<int>(kind));
    const Mesh built = vtkgrid::MakeWhole(kind, 3, 5);
    const long long cells = static_cast<long long>(built.types.size());
    Mesh mirrored = built, flat = built, tiny = built;
    long long mirroredCount = 0, triangles = 0;
    for (std::size_t c = 0; c < built.types.size(); ++c) {
      triangles += built.types[c] == 5;
      if (c * 7 % 5 != 0) continue;
      Mirror(built.types[c], mirrored.connectivity.data() + built.offsets[c]);
      ++mirroredCount;
    }
    // The mirrored mesh also with two coordinates per node, as a plane mesh may come.
    std::vector<double> mirroredXY;
    for (std::size_t i = 0; i < built.coords.size(); ++i) {
      if (i % 3 == 2) flat.coords[i] = 0.0;
      if (i % 3 != 2) mirroredXY.push_back(built.coords[i]);
      tiny.coords[i] *= 1e-7;
    }
    ZORMtkMeshArrays inPlane = mirrored.Arrays();
    inPlane.coordinates = mirroredXY.data();
    inPlane.dimension = 2;
    const bool solid = kind != Cells::Plane;
    const struct {
      const char* name;
      ZORMtkMeshArrays arrays;
      long long zeroVolume, inverted, tooSmall;
    } cases[] = {
        {"as built", built.Arrays(), 0, 0, 0},
        {"some cells mirrored", mirrored.Arrays(), 0, mirroredCount, 0},
        {"mirrored, two coordinates (plane meshes)", inPlane, 0, mirroredCount, 0},
        {"pressed flat", flat.Arrays(), solid ? cells : 0, 0, 0},
        {"shrunk", tiny.Arrays(), 0, 0, cells - triangles},
    };
    for (const auto& test : cases) {
      if (solid && test.arrays.dimension == 2) continue;
      SCOPED_TRACE(test.name);
      ZORMtkArrayMapper arrays;
      ASSERT_TRUE(arrays.SetSource(test.arrays));
      const ZORMtkShapeCounts counts = arrays.SourceShapes();
      EXPECT_EQ(counts.zeroVolume, test.zeroVolume);
      EXPECT_EQ(counts.inverted, test.inverted);
      EXPECT_EQ(counts.tooSmall, test.tooSmall);
    }
  }
}

// Written from arrays, saved, opened again: the same mesh (the voxel in the library's order) and
// field come back, and what is not there is named.
TEST(ZORMtkSimFileTest, MeshAndNodalFieldRoundTripThroughAFile) {
  const std::string path =
      ::testing::TempDir() + "zor_simfile_" + std::to_string(::getpid()) + ".zsd";
  GridMesh mesh(2, 0.0, 1.0, 3);
  std::vector<double> field(static_cast<std::size_t>(mesh.NodeCount()) * 3);
  for (std::size_t i = 0; i < field.size(); ++i) field[i] = 0.5 * static_cast<double>(i);
  {
    const std::unique_ptr<ZORMtkSimFile> file = ZORMtkSimFile::Create(path);
    int number = 0;
    ASSERT_TRUE(file->AddMesh(mesh.Arrays(), number));
    EXPECT_EQ(number, 1);
    ASSERT_TRUE(file->WriteNodeField(1, "U_D", field.data(), mesh.NodeCount(), 3));
    EXPECT_EQ(file->WriteNodeField(1, "U_D", field.data(), mesh.NodeCount(), 3).Message(),
              path + " already holds a field U_D on mesh 1 in step 1");
    EXPECT_EQ(file->WriteNodeField(1, "NO_SUCH", field.data(), mesh.NodeCount(), 3).Message(),
              "'NO_SUCH' is not a field type (for example U_D, NT, PRESS, TEMP)");
    file->Save();
  }
  std::unique_ptr<ZORMtkSimFile> file = ZORMtkSimFile::Open(path);
  ZORMtkMeshData data;
  ASSERT_TRUE(file->ReadMesh(1, data));
  EXPECT_EQ(data.coordinates, mesh.coords);
  ASSERT_EQ(data.blocks.size(), 2u);
  // Element classes come in name order.
  EXPECT_EQ(data.blocks[0].elementType, "C3D6");
  EXPECT_EQ(data.blocks[0].connectivity, mesh.wedges);
  EXPECT_EQ(data.blocks[1].connectivity, mesh.hexes);
  std::vector<double> values;
  int components = 0;
  ASSERT_TRUE(file->ReadNodeField(1, "U_D", 1, 1, values, components));
  EXPECT_EQ(components, 3);
  EXPECT_EQ(values, field);
  EXPECT_EQ(file->ReadNodeField(1, "NT", 1, 1, values, components).Message(),
            path + ": no nodal field 'NT' on mesh 1 in step 1 (fields there: U_D)");
  EXPECT_EQ(file->ReadNodeField(2, "U_D", 1, 1, values, components).Message(),
            path + " has 1 mesh, not mesh 2");
  EXPECT_EQ(file->ReadNodeField(1, "U_D", 2, 1, values, components).Message(),
            path + " has no step 2");
  file.reset();  // closed first: a file removed while open leaves SQLite's side files behind
  std::remove(path.c_str());
}

}  // namespace
