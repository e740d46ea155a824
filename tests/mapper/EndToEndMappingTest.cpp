#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "MapperTestHelpers.h"
#include "TransferTestDatabases.h"
#include "TransferTestMeshes.h"
#include "element/ZORMtkElementData.h"
#include "mapper/ZORMtkMapper.h"
#include "mapper/impl/ZORMtkMappingContext.h"

// Whole mappings as a host runs them: a source database written, saved and opened again, a
// target mesh that does not match it, MapField, and the target saved and read back.
namespace {

using transfertest::Hex20Box;
using transfertest::HexBox;
using transfertest::QuadGrid;
using transfertest::ReopenedDatabase;
using transfertest::SourceDatabase;
using transfertest::TargetDatabase;
using transfertest::TestMesh;
using transfertest::TetBox;
using transfertest::TriangleGrid;

using NodeFunction = std::function<std::vector<double>(double x, double y, double z)>;

std::vector<double> Sample(const TestMesh& mesh, const NodeFunction& f) {
  std::vector<double> values;
  for (int i = 0; i < mesh.NodeCount(); ++i) {
    const std::vector<double> v = f(mesh.At(i, 0), mesh.At(i, 1), mesh.At(i, 2));
    values.insert(values.end(), v.begin(), v.end());
  }
  return values;
}

// Each component's largest difference from f over the nodes of mesh.
std::vector<double> LargestErrors(const TestMesh& mesh, const std::vector<double>& values,
                                  const NodeFunction& f, int components) {
  std::vector<double> largest(static_cast<std::size_t>(components), 0.0);
  const std::vector<double> expected = Sample(mesh, f);
  for (std::size_t k = 0; k < values.size(); ++k)
    largest[k % components] = std::max(largest[k % components], std::fabs(values[k] - expected[k]));
  return largest;
}

// Positions of the integration points of every element of a plane block, point after point.
std::vector<double> PointPositions(const TestMesh& mesh, const std::string& type) {
  const int points = ZORMtkElementData::GetNumIntPt(type);
  const transfertest::TestBlock& block = mesh.blocks.front();
  const int k = block.nodesPerElement;
  std::vector<double> shape(static_cast<std::size_t>(k * points));
  ZORMtkElementData::GetIntPtShapeValues(type, shape.data());
  std::vector<double> positions;
  for (int e = 0; e < block.ElementCount(); ++e)
    for (int q = 0; q < points; ++q) {
      double x = 0.0, y = 0.0;
      for (int j = 0; j < k; ++j) {
        const int node = block.connectivity[static_cast<std::size_t>(e * k + j)];
        x += shape[static_cast<std::size_t>(j * points + q)] * mesh.At(node, 0);
        y += shape[static_cast<std::size_t>(j * points + q)] * mesh.At(node, 1);
      }
      positions.insert(positions.end(), {x, y});
    }
  return positions;
}

std::vector<int> Elements(int count) {
  std::vector<int> members;
  for (int e = 0; e < count; ++e) members.push_back(e);
  return members;
}

double Sum(const std::vector<double>& values) {
  double sum = 0.0;
  for (double v : values) sum += v;
  return sum;
}

// Hands the mapper the source and target readers and the target writer, adds the request "map"
// and maps step 1, increment 1 into step 1, increment 1.
int Map(ZORMtkMapper& mapper, ReopenedDatabase& source, TargetDatabase& target, Map_Tag tag,
        MapMethod_Tag method, Conserve_Tag conserve, const char* sourceField,
        const ZORSimDynamicID& targetField) {
  mapper.SetReader(&source.Reader());
  mapper.SetReader(&target.Reader());
  mapper.SetWriter(&target.Writer());
  mapper.AddMapSpec("map", tag, method, conserve, source.Mesh(), target.Mesh(),
                    source.Field(sourceField), targetField, false, false);
  return mapper.MapField("map", 1, 1, 1, 1);
}

class EndToEndMappingTest : public ::testing::Test {
 protected:
  ZORMtkMapper mapper;
};

// ---- nodal interpolation

TEST_F(EndToEndMappingTest, LinearFieldFromPerturbedHex8ToTet4IsReproducedAtEveryNode) {
  const NodeFunction linear = [](double x, double y, double z) {
    return std::vector<double>{1.0 + 2.0 * x - 3.0 * y + 0.5 * z, -x + 4.0 * z, 0.25 + y};
  };
  const TestMesh sourceMesh = HexBox(4, 0.0, 1.0, 0.15);
  const TestMesh targetMesh = TetBox(3, 0.03, 0.96);
  SourceDatabase source("hex8_tet4", sourceMesh);
  source.WriteNodeField("U_D", 3, Sample(sourceMesh, linear));
  TargetDatabase target("hex8_tet4", targetMesh);
  const ZORSimDynamicID field = target.AddNodeField("U_D", 3);

  EXPECT_EQ(Map(mapper, source.Reopen(), target, MapNodeToNode, MethodShapeInterpolation,
                ConserveNone, "U_D", field),
            0);

  const std::vector<double> mapped = target.ReadBack().NodeValues("U_D", 3);
  // The field changes by at most |grad| x the (perturbed) element diagonal across an element.
  const double diagonal = 0.25 * std::sqrt(3.0) * 1.3;
  const double gradients[3] = {std::sqrt(4.0 + 9.0 + 0.25), std::sqrt(17.0), 1.0};
  const std::vector<double> errors = LargestErrors(targetMesh, mapped, linear, 3);
  for (int c = 0; c < 3; ++c) EXPECT_LE(errors[c], 1e-5 * gradients[c] * diagonal) << c;
}

TEST_F(EndToEndMappingTest, LinearFieldFromTet4IsExact) {
  const NodeFunction linear = [](double x, double y, double z) {
    return std::vector<double>{3.0 - x + 2.0 * y + 5.0 * z};
  };
  const TestMesh sourceMesh = TetBox(3, 0.0, 1.0);
  const TestMesh targetMesh = HexBox(4, 0.05, 0.95);
  SourceDatabase source("tet4_hex8", sourceMesh);
  source.WriteNodeField("NT", 1, Sample(sourceMesh, linear));
  TargetDatabase target("tet4_hex8", targetMesh);
  const ZORSimDynamicID field = target.AddNodeField("NT", 1);
  EXPECT_EQ(Map(mapper, source.Reopen(), target, MapNodeToNode, MethodShapeInterpolation,
                ConserveNone, "NT", field),
            0);
  const std::vector<double> mapped = target.ReadBack().NodeValues("NT", 1);
  EXPECT_LE(LargestErrors(targetMesh, mapped, linear, 1)[0], 1e-12);
}

TEST_F(EndToEndMappingTest, QuadraticFieldFromHex20AndTet10IsReproducedAtEveryNode) {
  const NodeFunction quadratic = [](double x, double y, double z) {
    return std::vector<double>{2.0 + x * x + x * y - z * z + 0.5 * y * z};
  };
  const TestMesh targetMesh = TetBox(3, 0.05, 0.95);
  for (const TestMesh& sourceMesh : {Hex20Box(2, 0.0, 1.0), TetBox(2, 0.0, 1.0, true)}) {
    const std::string type = sourceMesh.blocks.front().type;
    SCOPED_TRACE(type);
    SourceDatabase source("quadratic_" + type, sourceMesh);
    source.WriteNodeField("NT", 1, Sample(sourceMesh, quadratic));
    TargetDatabase target("quadratic_" + type, targetMesh);
    const ZORSimDynamicID field = target.AddNodeField("NT", 1);
    ZORMtkMapper fresh;
    EXPECT_EQ(Map(fresh, source.Reopen(), target, MapNodeToNode, MethodShapeInterpolation,
                  ConserveNone, "NT", field),
              0);
    const std::vector<double> mapped = target.ReadBack().NodeValues("NT", 1);
    // |grad| stays below 3.5 on the unit cube; elements are half a unit across.
    const double change = 3.5 * 0.5 * std::sqrt(3.0);
    EXPECT_LE(LargestErrors(targetMesh, mapped, quadratic, 1)[0], 1e-5 * change);
  }
}

TEST_F(EndToEndMappingTest, NearestNodeBetweenIdenticalMeshesReproducesTheSourceExactly) {
  const TestMesh mesh = HexBox(3, 0.0, 1.0, 0.1);
  const NodeFunction field = [](double x, double y, double z) {
    return std::vector<double>{std::sin(7.0 * x) + y, z * z - x, 1.0 / (1.0 + y)};
  };
  SourceDatabase source("nearest_same", mesh);
  source.WriteNodeField("U_D", 3, Sample(mesh, field));
  TargetDatabase target("nearest_same", mesh);
  const ZORSimDynamicID targetField = target.AddNodeField("U_D", 3);
  EXPECT_EQ(Map(mapper, source.Reopen(), target, MapNodeToNode, MethodNearestNode, ConserveNone,
                "U_D", targetField),
            0);
  EXPECT_EQ(target.ReadBack().NodeValues("U_D", 3), Sample(mesh, field));
}

TEST_F(EndToEndMappingTest, NearestNodeBetweenDifferentNodeCountsSetsCode16) {
  const TestMesh sourceMesh = HexBox(3, 0.0, 1.0);
  SourceDatabase source("nearest_counts", sourceMesh);
  source.WriteNodeField("NT", 1, std::vector<double>(64, 1.0));
  TargetDatabase target("nearest_counts", HexBox(2, 0.0, 1.0));
  const ZORSimDynamicID field = target.AddNodeField("NT", 1);
  const int flags = Map(mapper, source.Reopen(), target, MapNodeToNode, MethodNearestNode,
                        ConserveNone, "NT", field);
  EXPECT_EQ(flags & 16, 16);
  EXPECT_EQ(mapper.Diagnostics().FirstNodeCount(), 64);
  EXPECT_EQ(mapper.Diagnostics().SecondNodeCount(), 27);
}

// ---- nodal conservation, ratio and matrix

TEST_F(EndToEndMappingTest, ConservativeNodalTransferKeepsTheSumAndRecordsNothing) {
  const TestMesh sourceMesh = QuadGrid(4, 4, 0.0, 1.0, 0.0, 1.0);
  const NodeFunction field = [](double x, double y, double) {
    return std::vector<double>{1.0 + x * y, 2.0 - x};
  };
  SourceDatabase source("conserve_nodal", sourceMesh);
  source.WriteNodeField("A_D", 2, Sample(sourceMesh, field));
  TargetDatabase target("conserve_nodal", QuadGrid(3, 3, 0.0, 1.0, 0.0, 1.0));
  const ZORSimDynamicID targetField = target.AddNodeField("A_D", 2);
  EXPECT_EQ(Map(mapper, source.Reopen(), target, MapNodeToNode, MethodShapeInterpolation,
                ConserveNodal, "A_D", targetField),
            0);
  const std::vector<double> mapped = target.ReadBack().NodeValues("A_D", 2);
  const std::vector<double> original = Sample(sourceMesh, field);
  double mappedSums[2] = {0.0, 0.0}, originalSums[2] = {0.0, 0.0};
  for (std::size_t k = 0; k < mapped.size(); ++k) mappedSums[k % 2] += mapped[k];
  for (std::size_t k = 0; k < original.size(); ++k) originalSums[k % 2] += original[k];
  EXPECT_NEAR(mappedSums[0], originalSums[0], 1e-9);
  EXPECT_NEAR(mappedSums[1], originalSums[1], 1e-9);
  EXPECT_EQ(mapper.Diagnostics().ConservedComponents().Size(), 0);
}

TEST_F(EndToEndMappingTest, ConservativeNodalTransferReportsTheSumsItLoses) {
  // The source reaches to x = 2, the target only to x = 1: the two source nodes beyond it are
  // not placed and their values are lost.
  SourceDatabase source("conserve_lost", QuadGrid(2, 1, 0.0, 2.0, 0.0, 1.0));
  source.WriteNodeField("NT", 1, std::vector<double>(6, 1.0));
  TargetDatabase target("conserve_lost", QuadGrid(1, 1, 0.0, 1.0, 0.0, 1.0));
  const ZORSimDynamicID field = target.AddNodeField("NT", 1);
  const int flags = Map(mapper, source.Reopen(), target, MapNodeToNode, MethodShapeInterpolation,
                        ConserveNodal, "NT", field);
  EXPECT_EQ(flags, 2 | 4 | 32);
  const ZORMtkDiagnosticsData& diagnostics = mapper.Diagnostics();
  ASSERT_EQ(diagnostics.ConservedComponents().Size(), 1);
  EXPECT_EQ(diagnostics.ConservedComponents()[0], 0);
  EXPECT_DOUBLE_EQ(diagnostics.SourceSums()[0], 6.0);
  EXPECT_DOUBLE_EQ(diagnostics.TargetSums()[0], 4.0);
  EXPECT_EQ(target.ReadBack().NodeValues("NT", 1), std::vector<double>(4, 1.0));
}

TEST_F(EndToEndMappingTest, ConservationCheckOfHostBuffersSumsTheBuffers) {
  SourceDatabase source("conserve_buffers", QuadGrid(2, 1, 0.0, 2.0, 0.0, 1.0));
  source.WriteNodeField("NT", 1, std::vector<double>(6, 0.0));
  TargetDatabase target("conserve_buffers", QuadGrid(1, 1, 0.0, 1.0, 0.0, 1.0));
  const ZORSimDynamicID field = target.AddNodeField("NT", 1);
  // Component 0 loses a third; component 1 is too small to judge.
  std::vector<double> input;
  for (int i = 0; i < 6; ++i) input.insert(input.end(), {1.0, 1e-14});
  std::vector<double> output(8, 99.0);
  mapper.SetHostBuffers(input.data(), 2, output.data());
  Map(mapper, source.Reopen(), target, MapNodeToNode, MethodShapeInterpolation, ConserveNodal, "NT",
      field);
  const ZORMtkDiagnosticsData& diagnostics = mapper.Diagnostics();
  ASSERT_EQ(diagnostics.ConservedComponents().Size(), 1);
  EXPECT_EQ(diagnostics.ConservedComponents()[0], 0);
  EXPECT_DOUBLE_EQ(diagnostics.SourceSums()[0], 6.0);
  EXPECT_DOUBLE_EQ(diagnostics.TargetSums()[0], 4.0);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(output[2 * i], 1.0) << i;
    EXPECT_EQ(output[2 * i + 1], 1e-14) << i;
  }
}

TEST_F(EndToEndMappingTest, NodalRatioDividesTheFirstFieldByTheDifferenceOfTheOthers) {
  const TestMesh mesh = QuadGrid(1, 1, 0.0, 1.0, 0.0, 1.0);
  TargetDatabase target("ratio", mesh);
  target.AddWrittenNodeField("NT", 1, {6.0, 6.0, 3.0, 6.0});
  target.AddWrittenNodeField("ALPHA", 1, {1.0, 2.0, 5.0, 1.0});
  target.AddWrittenNodeField("AREA", 1, {4.0, 2.0, 2.0, 1.0 + 1e-13});
  const ZORSimDynamicID result = target.AddNodeField("ANGLE", 1);
  mapper.SetReader(&target.Reader());
  mapper.SetWriter(&target.Writer());
  // Each source field goes with a mesh entry; the ratio reads all three on the target mesh.
  ZORSimArray<ZORSimDynamicID> meshes{target.Mesh(), target.Mesh(), target.Mesh()};
  ZORSimArray<ZORSimDynamicID> fields{target.Reader().GetFieldID("NT", 1),
                                      target.Reader().GetFieldID("ALPHA", 1),
                                      target.Reader().GetFieldID("AREA", 1)};
  mapper.AddMapSpec("ratio", MapNodalRatio, MethodShapeInterpolation, ConserveNone, meshes,
                    target.Mesh(), fields, result, false, false);
  EXPECT_EQ(mapper.MapField("ratio", 1, 1, 1, 1), 0);
  EXPECT_EQ(target.ReadBack().NodeValues("ANGLE", 1), (std::vector<double>{2.0, 0.0, -1.0, 0.0}));
}

TEST_F(EndToEndMappingTest, MatrixOfNearestNodesBetweenIdenticalMeshesIsTheDiagonalField) {
  const TestMesh mesh = QuadGrid(2, 1, 0.0, 2.0, 0.0, 1.0);
  SourceDatabase source("matrix", mesh);
  source.WriteNodeField("NT", 1, {1.0, 2.0, 3.0, 4.0, 5.0, 6.0});
  TargetDatabase target("matrix", mesh);
  const ZORSimDynamicID field = target.AddNodeField("CU_D", 6);
  ReopenedDatabase& opened = source.Reopen();
  mapper.SetReader(&opened.Reader());
  mapper.SetReader(&target.Reader());
  mapper.SetWriter(&target.Writer());
  mapper.AddMapSpec("matrix", MapNodeToNode, MethodNearestNode, ConserveNone, opened.Mesh(),
                    target.Mesh(), opened.Field("NT"), field, false, false);
  EXPECT_EQ(mapper.MapFieldMatrix("matrix", 1, 1, 1, 1), 0);
  const std::vector<double> matrix = target.ReadBack().NodeValues("CU_D", 6);
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 6; ++j) EXPECT_EQ(matrix[i * 6 + j], i == j ? i + 1.0 : 0.0) << i << j;
}

// ---- integration points

TEST_F(EndToEndMappingTest, NodeToIntegrationPointsGivesTheFieldAtEachPointsPosition) {
  const TestMesh sourceMesh = QuadGrid(4, 4, 0.0, 1.0, 0.0, 1.0, "CPS4");
  const TestMesh targetMesh = QuadGrid(3, 3, 0.1, 0.9, 0.1, 0.9, "CPE4");
  const NodeFunction linear = [](double x, double y, double) {
    return std::vector<double>{1.0 + 2.0 * x - y, 3.0 * x + 0.5 * y};
  };
  SourceDatabase source("node_to_points", sourceMesh);
  source.WriteNodeField("A_D", 2, Sample(sourceMesh, linear));
  TargetDatabase target("node_to_points", targetMesh);
  const ZORSimDynamicID field = target.AddPointField("PRESS", 2);
  EXPECT_EQ(Map(mapper, source.Reopen(), target, MapNodeToIntPt, MethodShapeInterpolation,
                ConserveNone, "A_D", field),
            0);
  const std::vector<double> mapped = target.ReadBack().PointValues("PRESS", Elements(9), 4, 2);
  const std::vector<double> positions = PointPositions(targetMesh, "CPE4");
  ASSERT_EQ(mapped.size(), positions.size());
  for (std::size_t p = 0; p < positions.size() / 2; ++p) {
    const std::vector<double> expected = linear(positions[2 * p], positions[2 * p + 1], 0.0);
    EXPECT_NEAR(mapped[2 * p], expected[0], 1e-12) << p;
    EXPECT_NEAR(mapped[2 * p + 1], expected[1], 1e-12) << p;
  }
}

TEST_F(EndToEndMappingTest, LinearPointFieldMapsToTargetPointsInOtherSourceElements) {
  const TestMesh sourceMesh = QuadGrid(4, 4, 0.0, 1.0, 0.0, 1.0, "CPS4");
  const TestMesh targetMesh = QuadGrid(3, 3, 0.1, 0.9, 0.1, 0.9, "CPE4");
  const auto linear = [](double x, double y) { return 2.0 - 3.0 * x + 5.0 * y; };
  const std::vector<double> sourcePoints = PointPositions(sourceMesh, "CPE4");
  std::vector<double> values;
  for (std::size_t p = 0; p < sourcePoints.size(); p += 2)
    values.push_back(linear(sourcePoints[p], sourcePoints[p + 1]));
  SourceDatabase source("linear_points", sourceMesh);
  source.WritePointField("PRESS", 1, 4, values);
  TargetDatabase target("linear_points", targetMesh);
  const ZORSimDynamicID field = target.AddPointField("PRESS", 1);
  EXPECT_EQ(Map(mapper, source.Reopen(), target, MapIntPtToIntPt, MethodShapeInterpolation,
                ConserveNone, "PRESS", field),
            0);
  const std::vector<double> mapped = target.ReadBack().PointValues("PRESS", Elements(9), 4, 1);
  const std::vector<double> targetPoints = PointPositions(targetMesh, "CPE4");
  for (std::size_t p = 0; p < mapped.size(); ++p)
    EXPECT_NEAR(mapped[p], linear(targetPoints[2 * p], targetPoints[2 * p + 1]), 1e-12) << p;
}

TEST_F(EndToEndMappingTest, AveragedPointToNodeGivesTheMeanAtSharedNodes) {
  const TestMesh mesh = QuadGrid(2, 1, 0.0, 2.0, 0.0, 1.0, "CPS4");
  SourceDatabase source("averaged_shared", mesh);
  std::vector<double> values;
  for (int e = 0; e < 2; ++e)
    for (int p = 0; p < 4; ++p)
      for (int c = 0; c < 3; ++c) values.push_back((e == 0 ? 1.0 : 10.0) * (c + 1));
  source.WritePointField("PRESS", 3, 4, values);
  TargetDatabase target("averaged_shared", mesh);
  const ZORSimDynamicID field = target.AddNodeField("U_D", 3);
  EXPECT_EQ(Map(mapper, source.Reopen(), target, MapIntPtToNode, MethodShapeInterpolation,
                ConserveNone, "PRESS", field),
            0);
  // Nodes 0 and 3 belong to the first element, 2 and 5 to the second, 1 and 4 to both.
  const double factor[6] = {1.0, 5.5, 10.0, 1.0, 5.5, 10.0};
  const std::vector<double> mapped = target.ReadBack().NodeValues("U_D", 3);
  for (int i = 0; i < 6; ++i)
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(mapped[i * 3 + c], factor[i] * (c + 1), 1e-12) << i;
}

TEST_F(EndToEndMappingTest, GlobalConservativeBetweenIdenticalMeshesConservesTheTotal) {
  const ScopedEnvironmentVariable global("ZORMTK_CONSERVE_GLOBAL", "");
  const TestMesh mesh = QuadGrid(2, 2, 0.0, 1.0, 0.0, 1.0, "CPS4");
  SourceDatabase source("global_same", mesh);
  std::vector<double> values;
  for (int p = 0; p < 16; ++p) values.push_back(1.0 + 0.25 * p);
  source.WritePointField("PRESS", 1, 4, values);
  TargetDatabase target("global_same", mesh);
  const ZORSimDynamicID field = target.AddNodeField("NT", 1);
  EXPECT_EQ(Map(mapper, source.Reopen(), target, MapIntPtToNode, MethodShapeInterpolation,
                ConserveIntPt, "PRESS", field),
            0);
  // Every point of a square of side 0.5 stands for a quarter of its area.
  const double total = Sum(values) * 0.0625;
  EXPECT_NEAR(Sum(target.ReadBack().NodeValues("NT", 1)), total, 1e-12);
}

TEST_F(EndToEndMappingTest, GlobalConservativeWithTheSourcePartlyOutsideRecordsCode32) {
  const ScopedEnvironmentVariable global("ZORMTK_CONSERVE_GLOBAL", "1");
  SourceDatabase source("global_outside", QuadGrid(2, 1, 0.0, 2.0, 0.0, 1.0, "CPS4"));
  source.WritePointField("PRESS", 1, 4, std::vector<double>(8, 1.0));
  TargetDatabase target("global_outside", QuadGrid(1, 1, 0.0, 1.0, 0.0, 1.0, "CPS4"));
  const ZORSimDynamicID field = target.AddNodeField("NT", 1);
  const int flags = Map(mapper, source.Reopen(), target, MapIntPtToNode, MethodShapeInterpolation,
                        ConserveIntPt, "PRESS", field);
  // The two source nodes at x = 2 carry a quarter each of the element beyond the target.
  EXPECT_EQ(flags & 32, 32);
  const ZORMtkDiagnosticsData& diagnostics = mapper.Diagnostics();
  ASSERT_EQ(diagnostics.ConservedComponents().Size(), 1);
  EXPECT_EQ(diagnostics.ConservedComponents()[0], 0);
  EXPECT_NEAR(diagnostics.SourceSums()[0], 2.0, 1e-12);
  EXPECT_NEAR(diagnostics.TargetSums()[0], 1.5, 1e-12);
  EXPECT_NEAR(Sum(target.ReadBack().NodeValues("NT", 1)), 1.5, 1e-12);
}

TEST_F(EndToEndMappingTest, LocalConservativeOfAUnitFieldOnAUnitSquareGivesAQuarterPerNode) {
  ASSERT_EQ(std::getenv("ZORMTK_CONSERVE_GLOBAL"), nullptr);
  const TestMesh mesh = QuadGrid(1, 1, 0.0, 1.0, 0.0, 1.0, "CPS4");
  SourceDatabase source("local_unit", mesh);
  source.WritePointField("PRESS", 1, 4, {1.0, 1.0, 1.0, 1.0});
  TargetDatabase target("local_unit", mesh);
  const ZORSimDynamicID field = target.AddNodeField("NT", 1);
  EXPECT_EQ(Map(mapper, source.Reopen(), target, MapIntPtToNode, MethodShapeInterpolation,
                ConserveIntPt, "PRESS", field),
            0);
  const std::vector<double> mapped = target.ReadBack().NodeValues("NT", 1);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(mapped[i], 0.25, 1e-12) << i;
}

// ---- shells and plane meshes

TEST_F(EndToEndMappingTest, ShellTargetAboveTheSurfaceTakesTheValuesBelowIt) {
  const TestMesh sourceMesh = QuadGrid(4, 4, 0.0, 1.0, 0.0, 1.0, "S4R", 3, 0.0);
  const TestMesh targetMesh = QuadGrid(3, 3, 0.05, 0.95, 0.05, 0.95, "S4R", 3, 0.01);
  const NodeFunction linear = [](double x, double y, double) {
    return std::vector<double>{1.0 + 2.0 * x - y};
  };
  SourceDatabase source("shell", sourceMesh);
  source.WriteNodeField("NT", 1, Sample(sourceMesh, linear));
  TargetDatabase target("shell", targetMesh);
  const ZORSimDynamicID field = target.AddNodeField("NT", 1);
  EXPECT_EQ(Map(mapper, source.Reopen(), target, MapNodeToNode, MethodShapeInterpolation,
                ConserveNone, "NT", field),
            0);
  const std::vector<double> mapped = target.ReadBack().NodeValues("NT", 1);
  EXPECT_LE(LargestErrors(targetMesh, mapped, linear, 1)[0], 1e-10);
}

TEST_F(EndToEndMappingTest, PlaneQuadMeshMapsToATriangleMesh) {
  const TestMesh sourceMesh = QuadGrid(4, 4, 0.0, 1.0, 0.0, 1.0, "CPS4");
  const TestMesh targetMesh = TriangleGrid(3, 3, 0.05, 0.95, 0.05, 0.95, "CPS3");
  const NodeFunction linear = [](double x, double y, double) {
    return std::vector<double>{0.5 - 3.0 * x + 2.0 * y};
  };
  SourceDatabase source("quad_to_tri", sourceMesh);
  source.WriteNodeField("NT", 1, Sample(sourceMesh, linear));
  TargetDatabase target("quad_to_tri", targetMesh);
  const ZORSimDynamicID field = target.AddNodeField("NT", 1);
  EXPECT_EQ(Map(mapper, source.Reopen(), target, MapNodeToNode, MethodShapeInterpolation,
                ConserveNone, "NT", field),
            0);
  const std::vector<double> mapped = target.ReadBack().NodeValues("NT", 1);
  EXPECT_LE(LargestErrors(targetMesh, mapped, linear, 1)[0], 1e-12);
}

// ---- the driver around the transfers

TEST_F(EndToEndMappingTest, SecondMapFieldReusesTheCachedWeightsAndReturnsTheSameFlags) {
  const TestMesh sourceMesh = HexBox(2, 0.0, 1.0);
  SourceDatabase source("second_call", sourceMesh);
  source.WriteNodeField("NT", 1, std::vector<double>(27, 4.0));
  // Half the target lies beyond the source: those nodes are reported and keep zero.
  const TestMesh targetMesh = HexBox(2, 0.5, 1.5);
  TargetDatabase target("second_call", targetMesh);
  const ZORSimDynamicID field = target.AddNodeField("NT", 1);
  const int first = Map(mapper, source.Reopen(), target, MapNodeToNode, MethodShapeInterpolation,
                        ConserveNone, "NT", field);
  EXPECT_EQ(first, 2 | 4);
  const int failed = mapper.Diagnostics().FailedPoints().Size();
  EXPECT_GT(failed, 0);
  EXPECT_EQ(mapper.MapField("map", 1, 1, 1, 1), first);
  EXPECT_EQ(mapper.Context().cache.NodalWeightCount(), 1);
  EXPECT_EQ(mapper.Diagnostics().FailedPoints().Size(), failed);
  const std::vector<double> mapped = target.ReadBack().NodeValues("NT", 1);
  int zeros = 0;
  for (int i = 0; i < targetMesh.NodeCount(); ++i) {
    if (mapped[i] == 0.0)
      ++zeros;
    else
      EXPECT_NEAR(mapped[i], 4.0, 1e-12) << i;
  }
  EXPECT_EQ(zeros, failed);
}

// Target nodes beyond the source are still reported; the host chooses what they get: the fill
// value, or the value of their nearest source node. Placed nodes are untouched by either, and
// the progress callback climbs to the target node count.
TEST_F(EndToEndMappingTest, UnplacedNodesTakeTheFillValueOrTheNearestSourceNode) {
  const NodeFunction linear = [](double x, double y, double z) {
    return std::vector<double>{x + 2.0 * y + 3.0 * z};
  };
  const TestMesh sourceMesh = HexBox(2, 0.0, 1.0);
  SourceDatabase source("unplaced", sourceMesh);
  source.WriteNodeField("NT", 1, Sample(sourceMesh, linear));
  const TestMesh targetMesh = HexBox(3, 0.4, 1.6);
  struct Case {
    double fill;
    bool fallback;
  };
  for (const Case c : {Case{0.0, false}, Case{-7.0, false}, Case{-7.0, true}}) {
    SCOPED_TRACE(c.fallback ? "fallback" : "fill " + std::to_string(c.fill));
    TargetDatabase target("unplaced", targetMesh);
    const ZORSimDynamicID field = target.AddNodeField("NT", 1);
    ZORMtkMapper fresh;
    fresh.SetUnplacedFill(c.fill);
    fresh.SetNearestFallback(c.fallback);
    std::vector<std::pair<long long, long long>> progress;
    fresh.SetProgressCallback(
        [](void* calls, long long done, long long total) {
          static_cast<std::vector<std::pair<long long, long long>>*>(calls)->emplace_back(done,
                                                                                          total);
        },
        &progress);
    EXPECT_EQ(Map(fresh, source.Reopen(), target, MapNodeToNode, MethodShapeInterpolation,
                  ConserveNone, "NT", field),
              2 | 4);
    const cow_List<int>& failed = fresh.Diagnostics().FailedPoints();
    const std::vector<double> mapped = target.ReadBack().NodeValues("NT", 1);
    for (int i = 0; i < targetMesh.NodeCount(); ++i) {
      const double x = targetMesh.At(i, 0), y = targetMesh.At(i, 1), z = targetMesh.At(i, 2);
      if (std::find(failed.begin(), failed.end(), i) == failed.end()) {
        EXPECT_NEAR(mapped[i], linear(x, y, z)[0], 1e-12) << i;
        continue;
      }
      double expected = c.fill;
      if (c.fallback) {
        double best = 1e300;
        for (int n = 0; n < sourceMesh.NodeCount(); ++n) {
          const double d = std::pow(sourceMesh.At(n, 0) - x, 2) +
                           std::pow(sourceMesh.At(n, 1) - y, 2) +
                           std::pow(sourceMesh.At(n, 2) - z, 2);
          if (d < best) {
            best = d;
            expected = linear(sourceMesh.At(n, 0), sourceMesh.At(n, 1), sourceMesh.At(n, 2))[0];
          }
        }
      }
      EXPECT_EQ(mapped[i], expected) << i;
    }
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::make_pair(64LL, 64LL));
    for (std::size_t k = 1; k < progress.size(); ++k)
      EXPECT_LT(progress[k - 1].first, progress[k].first);
  }
}

TEST_F(EndToEndMappingTest, MatrixBeyondTheMemoryLimitIsRefusedWithOneLine) {
  // 7056 nodes on each side: the dense arrays would take about 1.2 GB.
  const TestMesh mesh = QuadGrid(83, 83, 0.0, 1.0, 0.0, 1.0);
  SourceDatabase source("matrix_limit", mesh);
  source.WriteNodeField("NT", 1, std::vector<double>(7056, 1.0));
  TargetDatabase target("matrix_limit", mesh);
  const ZORSimDynamicID field =
      target.AddWrittenNodeField("NT", 1, std::vector<double>(7056, -1.0));
  ReopenedDatabase& opened = source.Reopen();
  mapper.SetReader(&opened.Reader());
  mapper.SetReader(&target.Reader());
  mapper.SetWriter(&target.Writer());
  mapper.AddMapSpec("matrix", MapNodeToNode, MethodNearestNode, ConserveNone, opened.Mesh(),
                    target.Mesh(), opened.Field("NT"), field, false, false);
  const CapturedStream errors(aio_cerr);
  EXPECT_EQ(mapper.MapFieldMatrix("matrix", 1, 1, 1, 1), 0);
  const std::string text = errors.Text();
  EXPECT_NE(text.find("MapFieldMatrix"), std::string::npos) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
  EXPECT_EQ(mapper.Context().cache.NodalWeightCount(), 0);
  EXPECT_EQ(target.ReadBack().NodeValues("NT", 1), std::vector<double>(7056, -1.0));
}

TEST_F(EndToEndMappingTest, TargetClassWithoutIntegrationPointsIsSkippedWithOneLine) {
  const TestMesh sourceMesh = HexBox(2, 0.0, 1.0);
  SourceDatabase source("no_points", sourceMesh);
  source.WriteNodeField("NT", 1, std::vector<double>(27, 1.0));
  TargetDatabase target("no_points", HexBox(1, 0.2, 0.8));
  const ZORSimDynamicID field = target.AddPointField("PRESS", 1);
  ReopenedDatabase& opened = source.Reopen();
  const CapturedStream errors(aio_cerr);
  Map(mapper, opened, target, MapNodeToIntPt, MethodShapeInterpolation, ConserveNone, "NT", field);
  const std::string text = errors.Text();
  const std::string line = "element class C3D8 has no integration points";
  const std::size_t first = text.find(line);
  EXPECT_NE(first, std::string::npos) << text;
  EXPECT_EQ(text.find(line, first + 1), std::string::npos) << text;
}

TEST_F(EndToEndMappingTest, HostBuffersReplaceTheSourceReadAndTheTargetWrite) {
  const TestMesh mesh = QuadGrid(2, 2, 0.0, 1.0, 0.0, 1.0);
  SourceDatabase source("host_buffers", mesh);
  source.WriteNodeField("NT", 1, std::vector<double>(9, 5.0));
  TargetDatabase target("host_buffers", mesh);
  const ZORSimDynamicID field = target.AddWrittenNodeField("A_D", 2, std::vector<double>(18, -1.0));
  std::vector<double> input;
  for (int i = 0; i < 9; ++i) input.insert(input.end(), {1.0 * i, -2.0 * i});
  std::vector<double> output(18, 99.0);
  mapper.SetHostBuffers(input.data(), 2, output.data());
  EXPECT_EQ(Map(mapper, source.Reopen(), target, MapNodeToNode, MethodNearestNode, ConserveNone,
                "NT", field),
            0);
  EXPECT_EQ(output, input);
  EXPECT_EQ(target.ReadBack().NodeValues("A_D", 2), std::vector<double>(18, -1.0));
}

TEST_F(EndToEndMappingTest, TargetClassWithNoPlacedPointIsWrittenAsZeros) {
  const TestMesh sourceMesh = QuadGrid(2, 2, 0.0, 1.0, 0.0, 1.0, "CPS4");
  SourceDatabase source("no_placed_point", sourceMesh);
  source.WriteNodeField("NT", 1, std::vector<double>(9, 3.0));
  TargetDatabase target("no_placed_point", QuadGrid(1, 1, 5.0, 6.0, 5.0, 6.0, "CPE4"));
  const ZORSimDynamicID field = target.AddPointField("PRESS", 1);
  cow_List<int> element{0};
  std::vector<double> before(4, -1.0);
  target.Writer().WriteSimpleElementClassField(field, target.Mesh(), 1, 1, 4, 1, element,
                                               before.data());
  const int flags = Map(mapper, source.Reopen(), target, MapNodeToIntPt, MethodShapeInterpolation,
                        ConserveNone, "NT", field);
  EXPECT_EQ(flags & (64 | 4), 64 | 4);
  EXPECT_EQ(target.ReadBack().PointValues("PRESS", {0}, 4, 1), std::vector<double>(4, 0.0));
}

}  // namespace
