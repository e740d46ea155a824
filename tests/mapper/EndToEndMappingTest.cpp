#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "MapperTestHelpers.h"
#include "TransferTestDatabases.h"
#include "element/ZORMtkElementData.h"
#include "mapper/ZORMtkMapper.h"
#include "mapper/impl/ZORMtkMappingContext.h"
#include "support/ZORTestMeshes.h"

// Whole mappings as a host runs them: a source database written, saved and opened again, a
// target mesh that does not match it, MapField, and the target saved and read back.
namespace {

using namespace transfertest;
using zor_test_mesh::QuadGrid;

using Field = std::function<std::vector<double>(double x, double y, double z)>;

std::vector<double> Sample(const TestMesh& mesh, const Field& f) {
  std::vector<double> values;
  for (int i = 0; i < mesh.NodeCount(); ++i) {
    const std::vector<double> v = f(mesh.At(i, 0), mesh.At(i, 1), mesh.At(i, 2));
    values.insert(values.end(), v.begin(), v.end());
  }
  return values;
}

// Positions (x, y) of the integration points of a plane block, element by element.
std::vector<double> PointPositions(const TestMesh& mesh, const std::string& type) {
  const int points = ZORMtkElementData::GetNumIntPt(type);
  const int k = mesh.nodesPerElement;
  std::vector<double> shape(static_cast<std::size_t>(k * points));
  ZORMtkElementData::GetIntPtShapeValues(type, shape.data());
  std::vector<double> positions;
  for (int e = 0; e < mesh.ElementCount(); ++e)
    for (int q = 0; q < points; ++q) {
      double x = 0.0, y = 0.0;
      for (int j = 0; j < k; ++j) {
        const int node = mesh.connectivity[static_cast<std::size_t>(e * k + j)];
        x += shape[static_cast<std::size_t>(j * points + q)] * mesh.At(node, 0);
        y += shape[static_cast<std::size_t>(j * points + q)] * mesh.At(node, 1);
      }
      positions.insert(positions.end(), {x, y});
    }
  return positions;
}

double Sum(const std::vector<double>& values) {
  return std::accumulate(values.begin(), values.end(), 0.0);
}

}  // namespace

// A field the source's elements represent exactly comes out exact at every target node, whatever
// the element families on either side; nearest node between identical meshes copies any field.
TEST(EndToEndMapping, FieldsTheSourceRepresentsAreReproducedAtEveryTargetNode) {
  const Field linear = [](double x, double y, double z) {
    return std::vector<double>{1.0 + 2.0 * x - 3.0 * y + 0.5 * z, -x + 4.0 * z, 0.25 + y};
  };
  const Field quadratic = [](double x, double y, double z) {
    return std::vector<double>{2.0 + x * x + x * y - z * z + 0.5 * y * z};
  };
  const Field planar = [](double x, double y, double) {
    return std::vector<double>{1.0 + 2.0 * x - y};
  };
  const Field rough = [](double x, double y, double z) {
    return std::vector<double>{std::sin(7.0 * x) + y, z * z - x, 1.0 / (1.0 + y)};
  };
  struct Case {
    const char* name;
    TestMesh source, target;
    MapMethod_Tag method;
    Field field;
    double tolerance;
  };
  const Case cases[] = {
      {"hex8_tet4", zor_test_mesh::HexBox(4, 0.0, 1.0, 0.15), zor_test_mesh::TetBox(3, 0.03, 0.96),
       MethodShapeInterpolation, linear, 1e-5},
      {"tet4_hex8", zor_test_mesh::TetBox(3, 0.0, 1.0), zor_test_mesh::HexBox(4, 0.05, 0.95),
       MethodShapeInterpolation, linear, 1e-12},
      {"hex20_tet4", zor_test_mesh::HexMesh(2, 20, 0.0, 1), zor_test_mesh::TetBox(3, 0.1, 1.9),
       MethodShapeInterpolation, quadratic, 3e-5},
      {"tet10_tet4", zor_test_mesh::TetMesh(2, 10, 0.0, 1), zor_test_mesh::TetBox(3, 0.1, 1.9),
       MethodShapeInterpolation, quadratic, 3e-5},
      {"shell_above", QuadGrid(4, 4, 0.0, 1.0, 0.0, 1.0, "S4R", 3, 0.0),
       QuadGrid(3, 3, 0.05, 0.95, 0.05, 0.95, "S4R", 3, 0.01), MethodShapeInterpolation, planar,
       1e-10},
      {"quad_tri", QuadGrid(4, 4, 0.0, 1.0, 0.0, 1.0, "CPS4"),
       zor_test_mesh::TriangleGrid(3, 3, 0.05, 0.95, 0.05, 0.95, "CPS3"), MethodShapeInterpolation,
       linear, 1e-12},
      {"nearest_same", zor_test_mesh::HexBox(3, 0.0, 1.0, 0.1),
       zor_test_mesh::HexBox(3, 0.0, 1.0, 0.1), MethodNearestNode, rough, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Mapping mapping{c.source, c.target, Sample(c.source, c.field), MapNodeToNode,
                    static_cast<int>(c.field(0, 0, 0).size())};
    mapping.method = c.method;
    ZORMtkMapper mapper;
    const std::vector<double> mapped = mapping.Run(mapper);
    EXPECT_EQ(mapping.flags, 0);
    const std::vector<double> expected = Sample(c.target, c.field);
    ASSERT_EQ(mapped.size(), expected.size());
    for (std::size_t k = 0; k < mapped.size(); ++k)
      ASSERT_NEAR(mapped[k], expected[k], c.tolerance) << "node " << k / mapping.components;
  }
}

// A target covering the source keeps each component's sum and records nothing. A target
// reaching to x = 1 of a source reaching to x = 2 loses the two source nodes beyond it and reports
// the sums: of the database fields, or of the host's buffers when it gave them (there a second
// component too small to judge is left out, and the target field in the database is untouched).
TEST(EndToEndMapping, ConservativeNodalTransferKeepsEveryComponentsSumOrReportsTheLoss) {
  const TestMesh covered = QuadGrid(4, 4, 0.0, 1.0, 0.0, 1.0);
  Mapping whole{covered, QuadGrid(3, 3, 0.0, 1.0, 0.0, 1.0),
                Sample(covered,
                       [](double x, double y, double) {
                         return std::vector<double>{1 + x * y, 2 - x};
                       }),
                MapNodeToNode, 2};
  whole.conserve = ConserveNodal;
  ZORMtkMapper wholeMapper;
  const std::vector<double> kept = whole.Run(wholeMapper);
  EXPECT_EQ(whole.flags, 0);
  for (int c = 0; c < 2; ++c) {
    double before = 0.0, after = 0.0;
    for (std::size_t k = c; k < whole.values.size(); k += 2) before += whole.values[k];
    for (std::size_t k = c; k < kept.size(); k += 2) after += kept[k];
    EXPECT_NEAR(after, before, 1e-9) << c;
  }
  for (const bool buffers : {false, true}) {
    SCOPED_TRACE(buffers ? "host buffers" : "database");
    Mapping mapping{QuadGrid(2, 1, 0.0, 2.0, 0.0, 1.0), QuadGrid(1, 1, 0.0, 1.0, 0.0, 1.0),
                    std::vector<double>(6, buffers ? 0.0 : 1.0)};
    mapping.conserve = ConserveNodal;
    mapping.before = std::vector<double>(4, -1.0);
    std::vector<double> input;
    for (int i = 0; i < 6; ++i) input.insert(input.end(), {1.0, 1e-14});
    std::vector<double> output(8, 99.0);
    ZORMtkMapper mapper;
    if (buffers) mapper.SetHostBuffers(input.data(), 2, output.data());
    const std::vector<double> mapped = mapping.Run(mapper);
    EXPECT_EQ(mapping.flags, 2 | 4 | 32);
    const ZORMtkDiagnosticsData& diagnostics = mapper.Diagnostics();
    ASSERT_EQ(diagnostics.ConservedComponents().Size(), 1);
    EXPECT_EQ(diagnostics.ConservedComponents()[0], 0);
    EXPECT_DOUBLE_EQ(diagnostics.SourceSums()[0], 6.0);
    EXPECT_DOUBLE_EQ(diagnostics.TargetSums()[0], 4.0);
    for (int i = 0; i < 4 && buffers; ++i) EXPECT_EQ(output[2 * i + 1], 1e-14) << i;
    EXPECT_EQ(mapped, buffers ? mapping.before : std::vector<double>(4, 1.0));
  }
}

// A field of more components than the one each input is read for gives its first.
TEST(EndToEndMapping, NodalRatioDividesTheFirstFieldByTheDifferenceOfTheOthers) {
  for (const int lowerComponents : {1, 3}) {
    SCOPED_TRACE(lowerComponents);
    ScratchDatabase target("ratio", QuadGrid(1, 1, 0.0, 1.0, 0.0, 1.0));
    std::vector<double> lower;
    for (const double first : {1.0, 2.0, 5.0, 1.0}) {
      lower.push_back(first);
      lower.insert(lower.end(), static_cast<std::size_t>(lowerComponents - 1), 50.0);
    }
    const ZORSimArray<ZORSimDynamicID> fields{
        target.NodeField("NT", 1, {6.0, 6.0, 3.0, 6.0}),
        target.NodeField("ALPHA", lowerComponents, lower),
        target.NodeField("AREA", 1, {4.0, 2.0, 2.0, 1.0 + 1e-13})};
    const ZORSimDynamicID result = target.NodeField("ANGLE", 1);
    ZORMtkMapper mapper;
    mapper.SetReader(&target.Reader());
    mapper.SetWriter(&target.Writer());
    const ZORSimArray<ZORSimDynamicID> meshes{target.Mesh(), target.Mesh(), target.Mesh()};
    mapper.AddMapSpec("ratio", MapNodalRatio, MethodShapeInterpolation, ConserveNone, meshes,
                      target.Mesh(), fields, result, false, false);
    EXPECT_EQ(mapper.MapField("ratio", 1, 1, 1, 1), 0);
    EXPECT_EQ(target.Reopen().NodeValues("ANGLE", 1), (std::vector<double>{2.0, 0.0, -1.0, 0.0}));
  }
}

// Identical meshes: the matrix of nearest nodes is the diagonal of the field. Beyond the memory
// limit (7056 nodes a side, about 1.2 GB of dense arrays) one line refuses it and nothing is
// searched or written.
TEST(EndToEndMapping, MatrixOfNearestNodesIsTheDiagonalFieldUpToTheMemoryLimit) {
  for (const int cells : {1, 83}) {
    SCOPED_TRACE(cells);
    const TestMesh mesh = QuadGrid(cells, cells, 0.0, 1.0, 0.0, 1.0);
    const int nodes = mesh.NodeCount();
    std::vector<double> values;
    for (int i = 0; i < nodes; ++i) values.push_back(i + 1.0);
    ScratchDatabase source("matrix_source", mesh);
    source.NodeField("NT", 1, values);
    ScratchDatabase target("matrix_target", mesh);
    const int columns = cells == 1 ? nodes : 1;
    const char* name = cells == 1 ? "CU_D" : "NT";
    const ZORSimDynamicID field =
        target.NodeField(name, columns, std::vector<double>(nodes * columns, -1.0));
    ReopenedDatabase& opened = source.Reopen();
    ZORMtkMapper mapper;
    mapper.SetReader(&opened.Reader());
    mapper.SetReader(&target.Reader());
    mapper.SetWriter(&target.Writer());
    mapper.AddMapSpec("matrix", MapNodeToNode, MethodNearestNode, ConserveNone, opened.Mesh(),
                      target.Mesh(), opened.Field("NT"), field, false, false);
    const CapturedStream errors(aio_cerr);
    EXPECT_EQ(mapper.MapFieldMatrix("matrix", 1, 1, 1, 1), 0);
    const std::vector<double> matrix = target.Reopen().NodeValues(name, columns);
    if (cells == 1) {
      EXPECT_EQ(errors.Text(), "");
      for (int i = 0; i < nodes; ++i)
        for (int j = 0; j < nodes; ++j)
          EXPECT_EQ(matrix[i * nodes + j], i == j ? i + 1.0 : 0.0) << i << " " << j;
      continue;
    }
    EXPECT_EQ(errors.Text(),
              " ZORMtkMapper::MapFieldMatrix: 7056 source and 7056 target nodes need 1194891264 "
              "bytes of dense matrices; nothing is mapped\n");
    EXPECT_EQ(mapper.Context().cache.NodalWeightCount(), 0);
    EXPECT_EQ(matrix, std::vector<double>(nodes, -1.0));
  }
}

// A linear field, given at the source nodes or at the source's integration points, is carried
// exactly to the target's integration points, which lie in other source elements.
TEST(EndToEndMapping, LinearFieldsReachTheTargetIntegrationPointsExactly) {
  const TestMesh sourceMesh = QuadGrid(4, 4, 0.0, 1.0, 0.0, 1.0, "CPS4");
  const TestMesh targetMesh = QuadGrid(3, 3, 0.1, 0.9, 0.1, 0.9, "CPE4");
  const auto linear = [](double x, double y) {
    return std::vector<double>{1.0 + 2.0 * x - y, 3.0 * x + 0.5 * y};
  };
  const auto AtPoints = [&](const TestMesh& mesh) {
    std::vector<double> values;
    const std::vector<double> points = PointPositions(mesh, "CPE4");
    for (std::size_t p = 0; p < points.size(); p += 2) {
      const std::vector<double> v = linear(points[p], points[p + 1]);
      values.insert(values.end(), v.begin(), v.end());
    }
    return values;
  };
  for (const Map_Tag tag : {MapNodeToIntPt, MapIntPtToIntPt}) {
    SCOPED_TRACE(tag);
    Mapping mapping{
        sourceMesh, targetMesh,
        tag == MapIntPtToIntPt
            ? AtPoints(sourceMesh)
            : Sample(sourceMesh, [&](double x, double y, double) { return linear(x, y); }),
        tag, 2};
    ZORMtkMapper mapper;
    const std::vector<double> mapped = mapping.Run(mapper);
    EXPECT_EQ(mapping.flags, 0);
    const std::vector<double> expected = AtPoints(targetMesh);
    ASSERT_EQ(mapped.size(), expected.size());
    for (std::size_t k = 0; k < mapped.size(); ++k) EXPECT_NEAR(mapped[k], expected[k], 1e-12) << k;
  }
}

TEST(EndToEndMapping, AveragedPointToNodeGivesTheMeanAtSharedNodes) {
  const TestMesh mesh = QuadGrid(2, 1, 0.0, 2.0, 0.0, 1.0, "CPS4");
  Mapping mapping{mesh, mesh, {}, MapIntPtToNode, 3};
  for (int e = 0; e < 2; ++e)
    for (int p = 0; p < 4; ++p)
      for (int c = 0; c < 3; ++c) mapping.values.push_back((e == 0 ? 1.0 : 10.0) * (c + 1));
  ZORMtkMapper mapper;
  const std::vector<double> mapped = mapping.Run(mapper);
  EXPECT_EQ(mapping.flags, 0);
  // Nodes 0 and 3 belong to the first element, 2 and 5 to the second, 1 and 4 to both.
  const double factor[6] = {1.0, 5.5, 10.0, 1.0, 5.5, 10.0};
  for (int i = 0; i < 6; ++i)
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(mapped[i * 3 + c], factor[i] * (c + 1), 1e-12) << i;
}

// Both conservative point-to-node variants (global when ZORMTK_CONSERVE_GLOBAL is set, local
// otherwise) keep the integral of the source on identical meshes: every point of a square of
// side 0.5 stands for a quarter of its area, and a unit field on a unit square gives a quarter
// at each node. A source partly outside the target loses what lies beyond: code 32.
TEST(EndToEndMapping, ConservativePointToNodeKeepsTheIntegralAndReportsWhatItLoses) {
  for (const bool global : {false, true}) {
    SCOPED_TRACE(global ? "global" : "local");
    const ScopedEnvironmentVariable variable("ZORMTK_CONSERVE_GLOBAL", global ? "" : nullptr);
    for (const int cells : {1, 2}) {
      const TestMesh mesh = QuadGrid(cells, cells, 0.0, 1.0, 0.0, 1.0, "CPS4");
      // Two components, the second -3 times the first: an element's points read at another
      // element's place or component change the sum.
      Mapping mapping{mesh, mesh, {}, MapIntPtToNode, 2};
      for (int p = 0; p < 4 * cells * cells; ++p)
        for (const double scale : {1.0, -3.0})
          mapping.values.push_back(scale * (cells == 1 ? 1.0 : 1 + 0.25 * p));
      mapping.conserve = ConserveIntPt;
      ZORMtkMapper mapper;
      const std::vector<double> mapped = mapping.Run(mapper);
      EXPECT_EQ(mapping.flags, 0);
      EXPECT_NEAR(Sum(mapped), Sum(mapping.values) / (4.0 * cells * cells), 1e-12);
      for (int i = 0; i < 8 && cells == 1; ++i)
        EXPECT_NEAR(mapped[i], i % 2 == 0 ? 0.25 : -0.75, 1e-12) << i;
    }
    // A shell square tilted to z = x has the area sqrt(2): all three coordinates count.
    TestMesh tilted = QuadGrid(1, 1, 0.0, 1.0, 0.0, 1.0, "S4", 3, 0.0);
    for (int n = 0; n < 4; ++n) tilted.coords[3 * n + 2] = tilted.coords[3 * n];
    const int points = ZORMtkElementData::GetNumIntPt("S4");
    Mapping shell{tilted, tilted, std::vector<double>(points, 1.0), MapIntPtToNode, 1, points};
    shell.conserve = ConserveIntPt;
    ZORMtkMapper mapper;
    EXPECT_NEAR(Sum(shell.Run(mapper)), std::sqrt(2.0), 1e-12) << points;
  }
  const ScopedEnvironmentVariable global("ZORMTK_CONSERVE_GLOBAL", "1");
  Mapping outside{QuadGrid(2, 1, 0.0, 2.0, 0.0, 1.0, "CPS4"),
                  QuadGrid(1, 1, 0.0, 1.0, 0.0, 1.0, "CPS4"), std::vector<double>(8, 1.0),
                  MapIntPtToNode};
  outside.conserve = ConserveIntPt;
  ZORMtkMapper mapper;
  // The two source nodes at x = 2 carry a quarter each of the element beyond the target.
  EXPECT_NEAR(Sum(outside.Run(mapper)), 1.5, 1e-12);
  EXPECT_EQ(outside.flags & 32, 32);
  const ZORMtkDiagnosticsData& diagnostics = mapper.Diagnostics();
  ASSERT_EQ(diagnostics.ConservedComponents().Size(), 1);
  EXPECT_NEAR(diagnostics.SourceSums()[0], 2.0, 1e-12);
  EXPECT_NEAR(diagnostics.TargetSums()[0], 1.5, 1e-12);
}

// Target nodes beyond the source are still reported; the host chooses what they get: the fill
// value, or the value of their nearest source node. Placed nodes are untouched by either, the
// progress callback climbs to the target node count, and a second MapField reuses the cached
// weights and returns the same flags.
TEST(EndToEndMapping, UnplacedNodesTakeTheFillValueOrTheNearestSourceNode) {
  const Field linear = [](double x, double y, double z) {
    return std::vector<double>{x + 2.0 * y + 3.0 * z};
  };
  const TestMesh sourceMesh = zor_test_mesh::HexBox(2, 0.0, 1.0);
  const TestMesh targetMesh = zor_test_mesh::HexBox(3, 0.4, 1.6);
  struct Case {
    double fill;
    bool fallback;
  };
  for (const Case c : {Case{0.0, false}, Case{-7.0, false}, Case{-7.0, true}}) {
    SCOPED_TRACE(c.fallback ? "fallback" : "fill " + std::to_string(c.fill));
    ZORMtkMapper mapper;
    mapper.SetUnplacedFill(c.fill);
    mapper.SetNearestFallback(c.fallback);
    std::vector<std::pair<long long, long long>> progress;
    mapper.SetProgressCallback(
        [](void* calls, long long done, long long total) {
          static_cast<std::vector<std::pair<long long, long long>>*>(calls)->emplace_back(done,
                                                                                          total);
        },
        &progress);
    Mapping mapping{sourceMesh, targetMesh, Sample(sourceMesh, linear)};
    const std::vector<double> mapped = mapping.Run(mapper);
    EXPECT_EQ(mapping.flags, 2 | 4);
    const std::vector<int> failed = mapper.Diagnostics().FailedPoints().Items();
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::make_pair(64LL, 64LL));
    for (std::size_t k = 1; k < progress.size(); ++k)
      EXPECT_LT(progress[k - 1].first, progress[k].first);
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
  }
}

// The search names the class too; the mapper's own line comes last and once, however many
// elements.
TEST(EndToEndMapping, TargetClassWithoutIntegrationPointsIsSkippedWithOneLine) {
  Mapping mapping{zor_test_mesh::HexBox(2, 0.0, 1.0),
                  zor_test_mesh::HexBox(1, 0.2, 0.8),
                  std::vector<double>(27, 1.0),
                  MapNodeToIntPt,
                  1,
                  8};
  ZORMtkMapper mapper;
  const CapturedStream errors(aio_cerr);
  mapping.Run(mapper);
  const std::string text = errors.Text();
  const std::string line =
      " ZORMtkMapper: element class C3D8 has no integration points; its elements are skipped\n";
  ASSERT_GE(text.size(), line.size());
  EXPECT_EQ(text.substr(text.size() - line.size()), line);
  EXPECT_EQ(text.find(line), text.size() - line.size()) << text;
}

// Its points take the fill value, zero unless the host chose another.
TEST(EndToEndMapping, TargetClassWithNoPlacedPointIsWrittenWithTheFillValue) {
  for (const double fill : {0.0, -7.0}) {
    Mapping mapping{QuadGrid(2, 2, 0.0, 1.0, 0.0, 1.0, "CPS4"),
                    QuadGrid(1, 1, 5.0, 6.0, 5.0, 6.0, "CPE4"), std::vector<double>(9, 3.0),
                    MapNodeToIntPt};
    mapping.before = std::vector<double>(4, -1.0);
    ZORMtkMapper mapper;
    if (fill != 0.0) mapper.SetUnplacedFill(fill);
    EXPECT_EQ(mapping.Run(mapper), std::vector<double>(4, fill));
    EXPECT_EQ(mapping.flags & (64 | 4), 64 | 4);
  }
}
