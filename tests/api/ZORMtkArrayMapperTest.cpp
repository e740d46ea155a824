#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "ZORGfmApi.h"

namespace {

// A perturbed (n+1)^3 grid on [lo, hi]^3; each cell is a hexahedron, a voxel (grid node order)
// or two wedges, in turn, so the VTK cells mix types and one needs reordering.
struct GridMesh {
  std::vector<double> points;
  std::vector<int> connectivity;
  std::vector<std::int64_t> offsets{0};
  std::vector<std::uint8_t> types;
  // The same elements as the library's blocks.
  std::vector<int> hexes, wedges;

  GridMesh(int n, double lo, double hi, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> jitter(-0.1, 0.1);
    const double h = (hi - lo) / n;
    auto at = [n](int i, int j, int k) { return (k * (n + 1) + j) * (n + 1) + i; };
    for (int k = 0; k <= n; ++k)
      for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
          for (const int axis_index : {i, j, k})
            points.push_back(lo + h * (axis_index + (axis_index % n ? jitter(random) : 0.0)));
    for (int k = 0; k < n; ++k)
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
          int c[8];  // VTK hexahedron order
          for (int m = 0; m < 8; ++m)
            c[m] = at(i + ((m & 3) == 1 || (m & 3) == 2), j + ((m & 3) >= 2), k + (m >= 4));
          const int kind = (i + j + k) % 3;
          const std::vector<int> hex(c, c + 8);
          if (kind == 2) {
            Add(13, {c[0], c[1], c[2], c[4], c[5], c[6]}, wedges);
            Add(13, {c[0], c[2], c[3], c[4], c[6], c[7]}, wedges);
          } else if (kind == 1) {
            Add(11, {c[0], c[1], c[3], c[2], c[4], c[5], c[7], c[6]}, hexes, hex);
          } else {
            Add(12, hex, hexes);
          }
        }
  }
  // A voxel's cell lists its nodes in grid order; its block holds them in the library's.
  void Add(std::uint8_t type, const std::vector<int>& nodes, std::vector<int>& block,
           const std::vector<int>& blockNodes = {}) {
    connectivity.insert(connectivity.end(), nodes.begin(), nodes.end());
    const std::vector<int>& inBlock = blockNodes.empty() ? nodes : blockNodes;
    block.insert(block.end(), inBlock.begin(), inBlock.end());
    offsets.push_back(static_cast<std::int64_t>(connectivity.size()));
    types.push_back(type);
  }
  int NodeCount() const { return static_cast<int>(points.size() / 3); }
  ZORMtkMeshArrays Arrays() const {
    ZORMtkMeshArrays arrays;
    arrays.coordinates = points.data();
    arrays.nodeCount = NodeCount();
    arrays.connectivity = connectivity.data();
    arrays.offsets = offsets.data();
    arrays.types = types.data();
    arrays.cellCount = static_cast<int>(types.size());
    return arrays;
  }
};

ZORSimDynamicID WriteBlocks(ZORMtkSimWriter& writer, GridMesh& mesh) {
  const ZORSimDynamicID id = writer.AddMesh();
  writer.AddMeshNodes(id, mesh.NodeCount(), 3, mesh.points.data());
  ZORSimArray<ZORSimCSetID> sets;
  sets.Append(writer.AddMeshElements(id, static_cast<int>(mesh.hexes.size() / 8), "C3D8", 8,
                                     mesh.hexes.data()));
  sets.Append(writer.AddMeshElements(id, static_cast<int>(mesh.wedges.size() / 6), "C3D6", 6,
                                     mesh.wedges.data()));
  cow_List<cow_String> types{"C3D8", "C3D6"};
  writer.ConnectMeshEltypes(id, sets, types);
  return id;
}

// The target grid reaches beyond the source, so some of its nodes stay unplaced.
TEST(ZORMtkArrayMapperTest, GivesTheValuesMapFieldWritesOnTheSameMeshes) {
  GridMesh source(4, 0.0, 1.0, 7);
  GridMesh target(6, -0.06, 1.03, 11);
  std::vector<double> field;
  for (int i = 0; i < source.NodeCount(); ++i) {
    const double* x = &source.points[3 * static_cast<std::size_t>(i)];
    field.insert(field.end(), {std::sin(3 * x[0]) + x[1] * x[2], x[0] * x[1] - x[2]});
  }
  const struct {
    const char* name;
    ZORMtkArrayOptions options;
  } cases[] = {
      {"shape", {MethodShapeInterpolation, 0, 0, 0.0, false, false}},
      {"shape, fill and fallback", {MethodShapeInterpolation, 0.2, 0.4, -7.0, true, false}},
      {"shape, fill", {MethodShapeInterpolation, 0, 0, -7.0, false, false}},
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

    // One mapper for every case: new options must not map with the weights of the old ones.
    ASSERT_TRUE(arrays.SetOptions(test.options));
    std::vector<double> mapped(expected.size());
    const ZORMtkArrayStatus status = arrays.Map(field.data(), source.NodeCount(), 2, mapped.data());
    ASSERT_TRUE(status) << status.Message();
    EXPECT_EQ(mapped, expected);
    EXPECT_EQ(arrays.Flags(), flags);
    int unplaced = 0;
    for (const unsigned char placed : arrays.Placed()) unplaced += placed == 0;
    if (!test.options.conservative) {
      EXPECT_EQ(unplaced, mapper.Diagnostics().FailedPoints().Size());
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
  const std::unique_ptr<ZORMtkSimFile> file = ZORMtkSimFile::Open(path);
  ZORMtkMeshData data;
  ASSERT_TRUE(file->ReadMesh(1, data));
  EXPECT_EQ(data.coordinates, mesh.points);
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
            path + " has 1 meshes, not mesh 2");
  EXPECT_EQ(file->ReadNodeField(1, "U_D", 2, 1, values, components).Message(),
            path + " has no step 2");
  std::remove(path.c_str());
}

}  // namespace
