#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "element/ZORMtkElementData.h"
#include "element/ZORMtkShp.h"

namespace {

const double g = 0.57735026918963;

// One element type of each group, with its node count, the natural coordinates of its nodes and
// the expected natural coordinates of its points, in storage order.
struct GroupCase {
  const char* name;
  int nodes;
  std::vector<std::vector<double>> nodePositions;
  std::vector<std::vector<double>> points;
  double weight;
};

std::vector<GroupCase> Groups() {
  const std::vector<std::vector<double>> quad4 = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  const std::vector<std::vector<double>> quad8 = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1},
                                                  {0, -1},  {1, 0},  {0, 1}, {-1, 0}};
  const std::vector<std::vector<double>> gauss = {{-g, -g}, {g, -g}, {-g, g}, {g, g}};
  return {
      {"CPE4", 4, quad4, gauss, 1.0},
      {"S4R", 4, quad4, {{0, 0}}, 4.0},
      {"CPS3", 3, {{0, 0}, {1, 0}, {0, 1}}, {{1.0 / 3, 1.0 / 3}}, 0.5},
      {"STRI65",
       6,
       {{0, 0}, {1, 0}, {0, 1}, {0.5, 0}, {0.5, 0.5}, {0, 0.5}},
       {{1.0 / 6, 1.0 / 6}, {2.0 / 3, 1.0 / 6}, {1.0 / 6, 2.0 / 3}},
       1.0 / 6},
      {"CPE8R", 8, quad8, gauss, 1.0},
  };
}

int NumPoints(const char* name) { return ZORMtkElementData::GetNumIntPt(name); }

// x, y, z per node from x, y pairs.
std::vector<double> Coords3(const std::vector<std::vector<double>>& xy) {
  std::vector<double> coords;
  for (const auto& p : xy) coords.insert(coords.end(), {p[0], p[1], 0.0});
  return coords;
}

double SumOfNodalLoads(const char* name, const std::vector<double>& coords, int dimension,
                       int nodes, const std::vector<double>& values) {
  std::vector<double> out(nodes, -1.0);
  ZORMtkElementData::IntegrateIntPtToNodes(name, coords.data(), values.data(), 1, dimension, nodes,
                                           out.data());
  double sum = 0.0;
  for (double v : out) sum += v;
  return sum;
}

// Twice the signed area of a polygon given as x, y, z triples (shoelace).
double PolygonArea(const std::vector<double>& c, const std::vector<int>& outline) {
  double twice = 0.0;
  for (std::size_t i = 0; i < outline.size(); ++i) {
    const int a = outline[i], b = outline[(i + 1) % outline.size()];
    twice += c[3 * a] * c[3 * b + 1] - c[3 * b] * c[3 * a + 1];
  }
  return 0.5 * twice;
}

}  // namespace

// --- Point counts and weights ---

TEST(ZORMtkElementDataCounts, PointCountsFollowTheElementTypeList) {
  for (const char* name : {"S3R", "S3", "S4R", "CPS3", "CPE3", "CPS4R", "CPE4R"}) {
    EXPECT_EQ(NumPoints(name), 1) << name;
  }
  for (const char* name : {"CPS6", "CPE6", "STRI3", "STRI65"})
    EXPECT_EQ(NumPoints(name), 3) << name;
  for (const char* name : {"CPS4", "CPE4", "S4", "CPS8R", "CPE8R", "S8R"}) {
    EXPECT_EQ(NumPoints(name), 4) << name;
  }
  EXPECT_EQ(NumPoints("S8"), 9);
  for (const char* name : {"C3D8", "s4", "", "CPE8", "S4R5", "CPE4 "}) {
    EXPECT_EQ(NumPoints(name), -1) << '"' << name << '"';
  }
}

TEST(ZORMtkElementDataCounts, WeightsOfAGroupAddUpToTheReferenceArea) {
  for (const GroupCase& group : Groups()) {
    const int P = NumPoints(group.name);
    double total = 0.0;
    for (int p = 0; p < P; ++p) total += ZORMtkElementData::GetIntPtWeight(group.name, p);
    EXPECT_DOUBLE_EQ(ZORMtkElementData::GetIntPtWeight(group.name, 7), group.weight) << group.name;
    EXPECT_NEAR(total, group.nodes <= 3 || group.nodes == 6 ? 0.5 : 4.0, 1e-15) << group.name;
  }
  EXPECT_EQ(ZORMtkElementData::GetIntPtWeight("S3", 0), 0.0);
  EXPECT_EQ(ZORMtkElementData::GetIntPtWeight("S8", 0), 0.0);
  EXPECT_EQ(ZORMtkElementData::GetIntPtWeight("C3D8", 0), 0.0);
}

// --- Point tables ---

TEST(ZORMtkElementDataTables, ShapeValuesPlaceThePointsInStorageOrderAndSumToOne) {
  for (const GroupCase& group : Groups()) {
    const int P = NumPoints(group.name);
    std::vector<double> values(group.nodes * P, -7.0);
    ZORMtkElementData::GetIntPtShapeValues(group.name, values.data());
    for (int p = 0; p < P; ++p) {
      double sum = 0.0, r = 0.0, s = 0.0;
      for (int n = 0; n < group.nodes; ++n) {
        const double v = values[n * P + p];
        sum += v;
        r += v * group.nodePositions[n][0];
        s += v * group.nodePositions[n][1];
      }
      EXPECT_NEAR(sum, 1.0, 1e-15) << group.name << " point " << p;
      EXPECT_NEAR(r, group.points[p][0], 1e-15) << group.name << " point " << p;
      EXPECT_NEAR(s, group.points[p][1], 1e-15) << group.name << " point " << p;
    }
  }
  double linear[3];
  ZORMtkElementData::GetIntPtShapeValues("S3R", linear);
  for (double v : linear) EXPECT_EQ(v, 0.3333333333333333);
}

TEST(ZORMtkElementDataTables, ExtrapolationRowsSumToOneAndReproduceLinearFieldsAtTheNodes) {
  // Bilinear over quadrilaterals, linear over triangles: what the point sets can carry exactly.
  const auto field = [](const std::vector<double>& x, bool triangle) {
    return 2.0 - 3.0 * x[0] + 0.5 * x[1] + (triangle ? 0.0 : 1.25 * x[0] * x[1]);
  };
  for (const GroupCase& group : Groups()) {
    const int P = NumPoints(group.name);
    const bool triangle = group.nodes == 3 || group.nodes == 6;
    std::vector<double> matrix(group.nodes * P, -7.0);
    ZORMtkElementData::GetIntPtExtrapolation(group.name, matrix.data());
    for (int n = 0; n < group.nodes; ++n) {
      double rowSum = 0.0, extrapolated = 0.0;
      for (int p = 0; p < P; ++p) {
        rowSum += matrix[n * P + p];
        extrapolated += matrix[n * P + p] * field(group.points[p], triangle);
      }
      EXPECT_NEAR(rowSum, 1.0, 1e-14) << group.name << " node " << n + 1;
      if (P > 1) {
        EXPECT_NEAR(extrapolated, field(group.nodePositions[n], triangle), 1e-12)
            << group.name << " node " << n + 1;
      }
    }
  }
}

TEST(ZORMtkElementDataTables, QuadExtrapolationEntriesFollowTheNodeToPointDistance) {
  const double c = 1.0 / g;
  EXPECT_NEAR(c, 1.7320508075688648, 1e-15);
  double m[8 * 4];
  ZORMtkElementData::GetIntPtExtrapolation("S8R", m);
  // Corner node 3 at (1, 1): own point is the last of the row-by-row order.
  EXPECT_NEAR(m[2 * 4 + 3], (1 + c) * (1 + c) / 4, 1e-15);
  EXPECT_NEAR(m[2 * 4 + 0], (1 - c) * (1 - c) / 4, 1e-15);
  EXPECT_NEAR(m[2 * 4 + 1], (1 + c) * (1 - c) / 4, 1e-15);
  // Mid-side node 5 at (0, -1): nearer to the two points with s = -g.
  EXPECT_NEAR(m[4 * 4 + 0], (1 + c) / 4, 1e-15);
  EXPECT_NEAR(m[4 * 4 + 1], (1 + c) / 4, 1e-15);
  EXPECT_NEAR(m[4 * 4 + 2], (1 - c) / 4, 1e-15);
  double full[4 * 4];
  ZORMtkElementData::GetIntPtExtrapolation("CPS4", full);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(full[i], m[i], 1e-15) << "slot " << i;
}

TEST(ZORMtkElementDataTables, FullQuadExtrapolationUndoesInterpolationToThePoints) {
  // Nodal values carried to the points and back come out unchanged: E S^T = I.
  double values[4 * 4], extrapolation[4 * 4];
  ZORMtkElementData::GetIntPtShapeValues("CPE4", values);
  ZORMtkElementData::GetIntPtExtrapolation("CPE4", extrapolation);
  for (int a = 0; a < 4; ++a) {
    for (int b = 0; b < 4; ++b) {
      double product = 0.0;
      for (int p = 0; p < 4; ++p) product += extrapolation[a * 4 + p] * values[b * 4 + p];
      EXPECT_NEAR(product, a == b ? 1.0 : 0.0, 1e-13) << "node " << a + 1 << ", node " << b + 1;
    }
  }
}

TEST(ZORMtkElementDataTables, ShapeDerivativesAreTheShapeFunctionsAtThePoint) {
  for (const GroupCase& group : Groups()) {
    const int P = NumPoints(group.name);
    const int shapeArg = group.nodes == 4 ? 4 : group.nodes;
    for (int p = 0; p < P; ++p) {
      std::vector<double> got(3 * group.nodes, -7.0), expected(3 * group.nodes);
      ZORMtkElementData::GetIntPtShapeDerivs(group.name, p, got.data());
      ZORMtkShp::Shp2D(shapeArg, group.points[p][0], group.points[p][1], expected.data(), false);
      for (int i = 0; i < 3 * group.nodes; ++i) {
        EXPECT_NEAR(got[i], expected[i], 1e-15) << group.name << " point " << p << " slot " << i;
      }
    }
  }
}

TEST(ZORMtkElementDataTables, PointIndexOutsideAMultiPointGroupWritesNothing) {
  std::vector<double> out(24, -7.0);
  ZORMtkElementData::GetIntPtShapeDerivs("CPE4", 4, out.data());
  ZORMtkElementData::GetIntPtShapeDerivs("CPE6", -1, out.data());
  ZORMtkElementData::GetIntPtShapeDerivs("S8R", 4, out.data());
  for (double v : out) ASSERT_EQ(v, -7.0);
  // A one-point group answers for its centre whatever index is asked.
  ZORMtkElementData::GetIntPtShapeDerivs("CPE4R", 3, out.data());
  EXPECT_EQ(out[0], 0.25);
  EXPECT_EQ(out[4], -0.25);
}

TEST(ZORMtkElementDataTables, NamesWithoutTablesLeaveTheOutputUntouched) {
  for (const char* name : {"S3", "S8", "C3D8", "cpe4"}) {
    std::vector<double> out(64, -7.0);
    ZORMtkElementData::GetIntPtShapeValues(name, out.data());
    ZORMtkElementData::GetIntPtExtrapolation(name, out.data());
    ZORMtkElementData::GetIntPtShapeDerivs(name, 0, out.data());
    for (double v : out) ASSERT_EQ(v, -7.0) << name;
  }
}

// --- Nodal integration ---

TEST(ZORMtkElementDataIntegration, UnitSquareGivesAQuarterPerNode) {
  const std::vector<double> square = Coords3({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  for (const char* name : {"CPS4", "CPS4R"}) {
    const std::vector<double> ones(NumPoints(name), 1.0);
    double out[4];
    ZORMtkElementData::IntegrateIntPtToNodes(name, square.data(), ones.data(), 1, 2, 4, out);
    for (double v : out) EXPECT_NEAR(v, 0.25, 1e-15) << name;
  }
}

TEST(ZORMtkElementDataIntegration, ConstantFieldSumsToTheAreaOfDistortedElements) {
  const std::vector<double> quad = Coords3({{0.1, -0.2}, {2.3, 0.1}, {1.9, 1.7}, {-0.4, 1.2}});
  const double quadArea = PolygonArea(quad, {0, 1, 2, 3});
  for (const char* name : {"CPE4", "S4", "CPE4R"}) {
    const std::vector<double> ones(NumPoints(name), 1.0);
    EXPECT_NEAR(SumOfNodalLoads(name, quad, 2, 4, ones), quadArea, 1e-13) << name;
  }
  // Straight-sided 8-node quadrilateral: mid-side nodes halfway along each edge.
  std::vector<double> quad8 = quad;
  for (int e = 0; e < 4; ++e) {
    for (int k = 0; k < 3; ++k)
      quad8.push_back(0.5 * (quad[3 * e + k] + quad[3 * ((e + 1) % 4) + k]));
  }
  const std::vector<double> ones4(4, 1.0);
  EXPECT_NEAR(SumOfNodalLoads("CPE8R", quad8, 2, 8, ones4), quadArea, 1e-13);
  const std::vector<double> tri = Coords3({{0.3, 0.1}, {2.0, 0.4}, {0.7, 1.9}});
  std::vector<double> tri6 = tri;
  for (int e = 0; e < 3; ++e) {
    for (int k = 0; k < 3; ++k) tri6.push_back(0.5 * (tri[3 * e + k] + tri[3 * ((e + 1) % 3) + k]));
  }
  const double triArea = PolygonArea(tri, {0, 1, 2});
  EXPECT_NEAR(SumOfNodalLoads("CPE3", tri, 2, 3, {1.0}), triArea, 1e-14);
  EXPECT_NEAR(SumOfNodalLoads("CPE6", tri6, 2, 6, {1.0, 1.0, 1.0}), triArea, 1e-14);
}

TEST(ZORMtkElementDataIntegration, ShellInSpaceUsesTheTrueSurfaceArea) {
  // A 2 x 3 rectangle tilted about the x axis and lifted: area 6 whatever the tilt.
  const double c = std::cos(0.7), s = std::sin(0.7);
  const std::vector<double> shell = {0, 0, 1, 2, 0, 1, 2, 3 * c, 1 + 3 * s, 0, 3 * c, 1 + 3 * s};
  EXPECT_NEAR(SumOfNodalLoads("S4", shell, 3, 4, std::vector<double>(4, 1.0)), 6.0, 1e-13);
  EXPECT_NEAR(SumOfNodalLoads("S4R", shell, 3, 4, {1.0}), 6.0, 1e-13);
  // Read as a plane element only the projection onto x-y counts.
  EXPECT_NEAR(SumOfNodalLoads("CPE4", shell, 2, 4, std::vector<double>(4, 1.0)), 6.0 * c, 1e-13);
}

TEST(ZORMtkElementDataIntegration, LinearFieldIntegratesExactlyAndComponentsStaySeparate) {
  const std::vector<double> quad = Coords3({{0.1, -0.2}, {2.3, 0.1}, {1.9, 1.7}, {-0.4, 1.2}});
  const int P = 4;
  double shape[4 * 4];
  ZORMtkElementData::GetIntPtShapeValues("CPS4", shape);
  // Two components at each point: f = x + 2y and the constant 3.
  std::vector<double> values(2 * P);
  for (int p = 0; p < P; ++p) {
    double x = 0.0, y = 0.0;
    for (int n = 0; n < 4; ++n)
      x += shape[n * P + p] * quad[3 * n], y += shape[n * P + p] * quad[3 * n + 1];
    values[2 * p] = x + 2.0 * y;
    values[2 * p + 1] = 3.0;
  }
  double out[4 * 2];
  ZORMtkElementData::IntegrateIntPtToNodes("CPS4", quad.data(), values.data(), 2, 2, 4, out);
  // Integral of x + 2y over a polygon: area times the value at its centroid.
  double area2 = 0.0, cx = 0.0, cy = 0.0;
  for (int i = 0; i < 4; ++i) {
    const int j = (i + 1) % 4;
    const double cross = quad[3 * i] * quad[3 * j + 1] - quad[3 * j] * quad[3 * i + 1];
    area2 += cross;
    cx += (quad[3 * i] + quad[3 * j]) * cross;
    cy += (quad[3 * i + 1] + quad[3 * j + 1]) * cross;
  }
  const double area = 0.5 * area2;
  const double expected = (cx + 2.0 * cy) / 6.0;
  EXPECT_NEAR(out[0] + out[2] + out[4] + out[6], expected, 1e-12);
  EXPECT_NEAR(out[1] + out[3] + out[5] + out[7], 3.0 * area, 1e-12);
}

TEST(ZORMtkElementDataIntegration, NamesWithoutTablesLeaveZeroLoads) {
  const std::vector<double> quad = Coords3({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  const std::vector<double> values(9, 1.0);
  for (const char* name : {"C3D8", "S3", "S8"}) {
    double out[4] = {-1, -1, -1, -1};
    ZORMtkElementData::IntegrateIntPtToNodes(name, quad.data(), values.data(), 1, 3, 4, out);
    for (double v : out) EXPECT_EQ(v, 0.0) << name;
  }
}
