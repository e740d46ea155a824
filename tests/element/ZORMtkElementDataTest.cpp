#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "element/ZORMtkElementData.h"
#include "element/ZORMtkShp.h"

namespace {

const double g = 0.57735026918963;
using Points = std::vector<std::vector<double>>;

// One element type of each point group: its nodes' and its points' natural coordinates (points
// in storage order), the weight of every point and the area of the reference element.
struct GroupCase {
  const char* name;
  Points nodes;
  Points points;
  double weight;
  double area;
  int Nodes() const { return static_cast<int>(nodes.size()); }
  int Count() const { return static_cast<int>(points.size()); }
};

std::vector<GroupCase> Groups() {
  const Points quad4 = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  const Points quad8 = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}, {0, -1}, {1, 0}, {0, 1}, {-1, 0}};
  const Points gauss = {{-g, -g}, {g, -g}, {-g, g}, {g, g}};
  const double third = 1.0 / 3, sixth = 1.0 / 6;
  return {{"CPE4", quad4, gauss, 1.0, 4.0},
          {"S4R", quad4, {{0, 0}}, 4.0, 4.0},
          {"CPS3", {{0, 0}, {1, 0}, {0, 1}}, {{third, third}}, 0.5, 0.5},
          {"STRI65",
           {{0, 0}, {1, 0}, {0, 1}, {0.5, 0}, {0.5, 0.5}, {0, 0.5}},
           {{sixth, sixth}, {2 * third, sixth}, {sixth, 2 * third}},
           sixth,
           0.5},
          {"CPE8R", quad8, gauss, 1.0, 4.0}};
}

// x, y, z per node of a straight-sided element with the given corners: mid-side nodes halfway.
std::vector<double> Element(const Points& corners, int nodes) {
  std::vector<double> xyz;
  for (const auto& c : corners) xyz.insert(xyz.end(), {c[0], c[1], c.size() > 2 ? c[2] : 0.0});
  const int n = static_cast<int>(corners.size());
  for (int e = 0; n + e < nodes; ++e)
    for (int k = 0; k < 3; ++k) xyz.push_back(0.5 * (xyz[3 * e + k] + xyz[3 * ((e + 1) % n) + k]));
  return xyz;
}

// Area of a plane polygon by the shoelace formula.
double Area(const Points& corners) {
  double twice = 0.0;
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const auto& a = corners[i];
    const auto& b = corners[(i + 1) % corners.size()];
    twice += a[0] * b[1] - b[0] * a[1];
  }
  return 0.5 * twice;
}

std::vector<double> Loads(const char* name, const std::vector<double>& coords, int dimension,
                          int nodes, const std::vector<double>& values, int components = 1) {
  std::vector<double> out(static_cast<std::size_t>(nodes * components), -1.0);
  ZORMtkElementData::IntegrateIntPtToNodes(name, coords.data(), values.data(), components,
                                           dimension, nodes, out.data());
  return out;
}

double Sum(const std::vector<double>& v, int start = 0, int stride = 1) {
  double s = 0.0;
  for (std::size_t i = start; i < v.size(); i += stride) s += v[i];
  return s;
}

}  // namespace

TEST(ZORMtkElementDataCounts, PointCountsFollowTheElementTypeList) {
  const std::vector<std::pair<int, std::vector<const char*>>> table = {
      {1, {"S3R", "S3", "S4R", "CPS3", "CPE3", "CPS4R", "CPE4R"}},
      {3, {"CPS6", "CPE6", "STRI3", "STRI65"}},
      {4, {"CPS4", "CPE4", "S4", "CPS8R", "CPE8R", "S8R"}},
      {9, {"S8"}},
      {-1, {"C3D8", "s4", "", "CPE8", "S4R5", "CPE4 "}}};
  for (const auto& [count, names] : table)
    for (const char* name : names) EXPECT_EQ(ZORMtkElementData::GetNumIntPt(name), count) << name;
}

TEST(ZORMtkElementDataTables, WeightsAddUpToTheReferenceAreaAndPointsLieWhereTheTablesSay) {
  for (const GroupCase& group : Groups()) {
    SCOPED_TRACE(group.name);
    const int P = ZORMtkElementData::GetNumIntPt(group.name);
    ASSERT_EQ(P, group.Count());
    double total = 0.0;
    for (int p = 0; p < P; ++p) total += ZORMtkElementData::GetIntPtWeight(group.name, p);
    EXPECT_NEAR(total, group.area, 1e-15);
    EXPECT_DOUBLE_EQ(ZORMtkElementData::GetIntPtWeight(group.name, 7), group.weight);
    // The shape values at a point reproduce its coordinates and sum to one.
    std::vector<double> values(group.Nodes() * P, -7.0);
    ZORMtkElementData::GetIntPtShapeValues(group.name, values.data());
    for (int p = 0; p < P; ++p) {
      double sum = 0.0, r = 0.0, s = 0.0;
      for (int n = 0; n < group.Nodes(); ++n) {
        const double v = values[n * P + p];
        sum += v, r += v * group.nodes[n][0], s += v * group.nodes[n][1];
      }
      EXPECT_NEAR(sum, 1.0, 1e-15) << "point " << p;
      EXPECT_NEAR(r, group.points[p][0], 1e-15) << "point " << p;
      EXPECT_NEAR(s, group.points[p][1], 1e-15) << "point " << p;
      // The derivative output is the element's full Shp2D output at that point.
      std::vector<double> got(3 * group.Nodes(), -7.0), expected(3 * group.Nodes());
      ZORMtkElementData::GetIntPtShapeDerivs(group.name, p, got.data());
      ZORMtkShp::Shp2D(group.Nodes(), group.points[p][0], group.points[p][1], expected.data(),
                       false);
      for (int i = 0; i < 3 * group.Nodes(); ++i) EXPECT_NEAR(got[i], expected[i], 1e-15) << i;
    }
  }
  for (const char* name : {"S3", "S8", "C3D8"})
    EXPECT_EQ(ZORMtkElementData::GetIntPtWeight(name, 0), 0.0) << name;
}

TEST(ZORMtkElementDataTables, ExtrapolationReproducesWhatThePointsCarryAtTheNodes) {
  // Bilinear over quadrilaterals, linear over triangles: what the point sets carry exactly.
  const auto field = [](const std::vector<double>& x, bool triangle) {
    return 2.0 - 3.0 * x[0] + 0.5 * x[1] + (triangle ? 0.0 : 1.25 * x[0] * x[1]);
  };
  for (const GroupCase& group : Groups()) {
    const int P = group.Count();
    const bool triangle = group.Nodes() == 3 || group.Nodes() == 6;
    std::vector<double> matrix(group.Nodes() * P, -7.0);
    ZORMtkElementData::GetIntPtExtrapolation(group.name, matrix.data());
    for (int n = 0; n < group.Nodes(); ++n) {
      double rowSum = 0.0, extrapolated = 0.0;
      for (int p = 0; p < P; ++p) {
        rowSum += matrix[n * P + p];
        extrapolated += matrix[n * P + p] * field(group.points[p], triangle);
      }
      EXPECT_NEAR(rowSum, 1.0, 1e-14) << group.name << " node " << n + 1;
      if (P > 1) {
        EXPECT_NEAR(extrapolated, field(group.nodes[n], triangle), 1e-12)
            << group.name << " node " << n + 1;
      }
    }
  }
  // Nodal values carried to the 2 x 2 points and back come out unchanged: E S^T = I.
  double values[16], extrapolation[16];
  ZORMtkElementData::GetIntPtShapeValues("CPE4", values);
  ZORMtkElementData::GetIntPtExtrapolation("CPE4", extrapolation);
  for (int a = 0; a < 4; ++a)
    for (int b = 0; b < 4; ++b) {
      double product = 0.0;
      for (int p = 0; p < 4; ++p) product += extrapolation[a * 4 + p] * values[b * 4 + p];
      EXPECT_NEAR(product, a == b ? 1.0 : 0.0, 1e-13) << "node " << a + 1 << ", node " << b + 1;
    }
}

TEST(ZORMtkElementDataTables, PointsOutsideTheGroupAndNamesWithoutTablesWriteNothing) {
  std::vector<double> out(64, -7.0);
  ZORMtkElementData::GetIntPtShapeDerivs("CPE4", 4, out.data());
  ZORMtkElementData::GetIntPtShapeDerivs("CPE6", -1, out.data());
  ZORMtkElementData::GetIntPtShapeDerivs("S8R", 4, out.data());
  for (const char* name : {"S3", "S8", "C3D8", "cpe4"}) {
    ZORMtkElementData::GetIntPtShapeValues(name, out.data());
    ZORMtkElementData::GetIntPtExtrapolation(name, out.data());
    ZORMtkElementData::GetIntPtShapeDerivs(name, 0, out.data());
  }
  for (double v : out) ASSERT_EQ(v, -7.0);
  // A one-point group answers for its centre whatever index is asked.
  ZORMtkElementData::GetIntPtShapeDerivs("CPE4R", 3, out.data());
  EXPECT_EQ(out[0], 0.25);
  EXPECT_EQ(out[4], -0.25);
}

TEST(ZORMtkElementDataIntegration, AConstantFieldSumsToTheAreaOfDistortedElements) {
  const Points quad = {{0.1, -0.2}, {2.3, 0.1}, {1.9, 1.7}, {-0.4, 1.2}};
  const Points tri = {{0.3, 0.1}, {2.0, 0.4}, {0.7, 1.9}};
  const struct {
    const char* name;
    const Points& corners;
    int nodes;
  } cases[] = {{"CPE4", quad, 4},  {"S4", quad, 4},  {"CPE4R", quad, 4},
               {"CPE8R", quad, 8}, {"CPE3", tri, 3}, {"CPE6", tri, 6}};
  for (const auto& c : cases) {
    const std::vector<double> ones(ZORMtkElementData::GetNumIntPt(c.name), 1.0);
    EXPECT_NEAR(Sum(Loads(c.name, Element(c.corners, c.nodes), 2, c.nodes, ones)), Area(c.corners),
                1e-13)
        << c.name;
  }
  // The unit square gives a quarter to every node.
  const std::vector<double> square = Element({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, 4);
  for (double v : Loads("CPS4", square, 2, 4, std::vector<double>(4, 1.0)))
    EXPECT_NEAR(v, 0.25, 1e-15);
  for (const char* name : {"C3D8", "S3", "S8"})
    for (double v : Loads(name, square, 3, 4, std::vector<double>(9, 1.0))) EXPECT_EQ(v, 0.0);
}

TEST(ZORMtkElementDataIntegration, AShellInSpaceUsesTheTrueSurfaceArea) {
  // A 2 x 3 rectangle tilted about the x axis and lifted: area 6 whatever the tilt.
  const double c = std::cos(0.7), s = std::sin(0.7);
  const std::vector<double> shell = {0, 0, 1, 2, 0, 1, 2, 3 * c, 1 + 3 * s, 0, 3 * c, 1 + 3 * s};
  EXPECT_NEAR(Sum(Loads("S4", shell, 3, 4, std::vector<double>(4, 1.0))), 6.0, 1e-13);
  EXPECT_NEAR(Sum(Loads("S4R", shell, 3, 4, {1.0})), 6.0, 1e-13);
  // Read as a plane element only the projection onto x-y counts.
  EXPECT_NEAR(Sum(Loads("CPE4", shell, 2, 4, std::vector<double>(4, 1.0))), 6.0 * c, 1e-13);
}

TEST(ZORMtkElementDataIntegration, ALinearFieldIntegratesExactlyAndComponentsStaySeparate) {
  const Points corners = {{0.1, -0.2}, {2.3, 0.1}, {1.9, 1.7}, {-0.4, 1.2}};
  const std::vector<double> quad = Element(corners, 4);
  double shape[16];
  ZORMtkElementData::GetIntPtShapeValues("CPS4", shape);
  // Two components at each point: f = x + 2y and the constant 3.
  std::vector<double> values;
  for (int p = 0; p < 4; ++p) {
    double x = 0.0, y = 0.0;
    for (int n = 0; n < 4; ++n)
      x += shape[n * 4 + p] * quad[3 * n], y += shape[n * 4 + p] * quad[3 * n + 1];
    values.insert(values.end(), {x + 2.0 * y, 3.0});
  }
  const std::vector<double> out = Loads("CPS4", quad, 2, 4, values, 2);
  // The integral of x + 2y over a polygon is its area times the value at its centroid.
  double cx = 0.0, cy = 0.0;
  for (int i = 0; i < 4; ++i) {
    const auto& a = corners[i];
    const auto& b = corners[(i + 1) % 4];
    const double cross = a[0] * b[1] - b[0] * a[1];
    cx += (a[0] + b[0]) * cross, cy += (a[1] + b[1]) * cross;
  }
  EXPECT_NEAR(Sum(out, 0, 2), (cx + 2.0 * cy) / 6.0, 1e-12);
  EXPECT_NEAR(Sum(out, 1, 2), 3.0 * Area(corners), 1e-12);
}
