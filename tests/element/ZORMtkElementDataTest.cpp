#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numeric>
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
};

std::vector<GroupCase> Groups() {
  const Points quad4 = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  const Points quad8 = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}, {0, -1}, {1, 0}, {0, 1}, {-1, 0}};
  const Points gauss = {{-g, -g}, {g, -g}, {-g, g}, {g, g}};
  const Points tri6 = {{0, 0}, {1, 0}, {0, 1}, {0.5, 0}, {0.5, 0.5}, {0, 0.5}};
  const double third = 1.0 / 3, sixth = 1.0 / 6;
  return {{"CPE4", quad4, gauss, 1.0, 4.0},
          {"S4R", quad4, {{0, 0}}, 4.0, 4.0},
          {"CPS3", {{0, 0}, {1, 0}, {0, 1}}, {{third, third}}, 0.5, 0.5},
          {"STRI65", tri6, {{sixth, sixth}, {2 * third, sixth}, {sixth, 2 * third}}, sixth, 0.5},
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

// Area and first moments (integrals of x and y) of a plane polygon by the shoelace formula.
std::vector<double> AreaAndMoments(const Points& corners) {
  std::vector<double> sums(3, 0.0);
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const auto& a = corners[i];
    const auto& b = corners[(i + 1) % corners.size()];
    const double cross = a[0] * b[1] - b[0] * a[1];
    sums[0] += cross / 2, sums[1] += (a[0] + b[0]) * cross / 6,
        sums[2] += (a[1] + b[1]) * cross / 6;
  }
  return sums;
}

std::vector<double> Loads(const char* name, const std::vector<double>& coords, int dimension,
                          int nodes, const std::vector<double>& values, int components = 1) {
  std::vector<double> out(static_cast<std::size_t>(nodes * components), -1.0);
  ZORMtkElementData::IntegrateIntPtToNodes(name, coords.data(), values.data(), components,
                                           dimension, nodes, out.data());
  return out;
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

// The weights add up to the reference area; the shape values at each point reproduce its
// coordinates and sum to one, its derivative output is Shp2D's, and the extrapolation carries
// back to the nodes every field the points hold exactly (bilinear over quadrilaterals, linear
// over triangles, the constant for one point).
TEST(ZORMtkElementDataTables, PointTablesAgreeWithTheShapeFunctionsAndExtrapolateExactly) {
  const std::vector<std::function<double(const std::vector<double>&)>> fields = {
      [](const std::vector<double>&) { return 1.0; },
      [](const std::vector<double>& x) { return x[0]; },
      [](const std::vector<double>& x) { return x[1]; },
      [](const std::vector<double>& x) { return x[0] * x[1]; }};
  for (const GroupCase& group : Groups()) {
    SCOPED_TRACE(group.name);
    const int P = ZORMtkElementData::GetNumIntPt(group.name);
    const int N = static_cast<int>(group.nodes.size());
    ASSERT_EQ(P, static_cast<int>(group.points.size()));
    double total = 0.0;
    for (int p = 0; p < P; ++p) total += ZORMtkElementData::GetIntPtWeight(group.name, p);
    EXPECT_NEAR(total, group.area, 1e-15);
    EXPECT_DOUBLE_EQ(ZORMtkElementData::GetIntPtWeight(group.name, 7), group.weight);
    std::vector<double> values(N * P, -7.0), matrix(N * P, -7.0);
    ZORMtkElementData::GetIntPtShapeValues(group.name, values.data());
    ZORMtkElementData::GetIntPtExtrapolation(group.name, matrix.data());
    for (int p = 0; p < P; ++p) {
      double sum = 0.0, r = 0.0, s = 0.0;
      for (int n = 0; n < N; ++n) {
        const double v = values[n * P + p];
        sum += v, r += v * group.nodes[n][0], s += v * group.nodes[n][1];
      }
      EXPECT_NEAR(sum, 1.0, 1e-15) << "point " << p;
      EXPECT_NEAR(r, group.points[p][0], 1e-15) << "point " << p;
      EXPECT_NEAR(s, group.points[p][1], 1e-15) << "point " << p;
      std::vector<double> got(3 * N, -7.0), expected(3 * N);
      ZORMtkElementData::GetIntPtShapeDerivs(group.name, p, got.data());
      ZORMtkShp::Shp2D(N, group.points[p][0], group.points[p][1], expected.data(), false);
      for (int i = 0; i < 3 * N; ++i) EXPECT_NEAR(got[i], expected[i], 1e-15) << i;
    }
    const std::size_t carried = P == 1 ? 1 : N == 3 || N == 6 ? 3 : 4;
    for (std::size_t f = 0; f < carried; ++f)
      for (int n = 0; n < N; ++n) {
        double extrapolated = 0.0;
        for (int p = 0; p < P; ++p) extrapolated += matrix[n * P + p] * fields[f](group.points[p]);
        EXPECT_NEAR(extrapolated, fields[f](group.nodes[n]), 1e-13)
            << "field " << f << " node " << n;
      }
  }
  for (const char* name : {"S3", "S8", "C3D8"})
    EXPECT_EQ(ZORMtkElementData::GetIntPtWeight(name, 0), 0.0) << name;
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

// A constant field sums to the element's area: distorted plane elements, a 2 x 3 rectangle
// tilted about the x axis and lifted as a shell (area 6 whatever the tilt) and the same read as a
// plane element (only its projection onto x-y counts). Types without point tables give nothing.
TEST(ZORMtkElementDataIntegration, AConstantFieldSumsToTheAreaOfDistortedElements) {
  const Points quad = {{0.1, -0.2}, {2.3, 0.1}, {1.9, 1.7}, {-0.4, 1.2}};
  const Points tri = {{0.3, 0.1}, {2.0, 0.4}, {0.7, 1.9}};
  const double c = std::cos(0.7), s = std::sin(0.7);
  const Points tilted = {{0, 0, 1}, {2, 0, 1}, {2, 3 * c, 1 + 3 * s}, {0, 3 * c, 1 + 3 * s}};
  const double quadArea = AreaAndMoments(quad)[0], triArea = AreaAndMoments(tri)[0];
  const struct {
    const char* name;
    const Points& corners;
    int nodes, dimension;
    double area;
  } cases[] = {{"CPE4", quad, 4, 2, quadArea},  {"S4", quad, 4, 2, quadArea},
               {"CPE4R", quad, 4, 2, quadArea}, {"CPE8R", quad, 8, 2, quadArea},
               {"CPE3", tri, 3, 2, triArea},    {"CPE6", tri, 6, 2, triArea},
               {"S4", tilted, 4, 3, 6.0},       {"S4R", tilted, 4, 3, 6.0},
               {"CPE4", tilted, 4, 2, 6.0 * c}, {"C3D8", tilted, 4, 3, 0.0},
               {"S3", tilted, 4, 3, 0.0},       {"S8", tilted, 4, 3, 0.0}};
  for (const auto& k : cases) {
    const std::vector<double> ones(std::max(ZORMtkElementData::GetNumIntPt(k.name), 9), 1.0);
    const std::vector<double> loads =
        Loads(k.name, Element(k.corners, k.nodes), k.dimension, k.nodes, ones);
    EXPECT_NEAR(std::accumulate(loads.begin(), loads.end(), 0.0), k.area, 1e-13)
        << k.name << " in " << k.dimension;
  }
}

// Two components at each point of a distorted quadrilateral: the linear field f = x + 2y and the
// constant 1. The first integrates exactly; the second, weighted by the nodal values of f, gives
// the same integral, so it is shared out to the right nodes, and the components stay apart.
TEST(ZORMtkElementDataIntegration, ALinearFieldIntegratesExactlyAndComponentsStaySeparate) {
  const Points corners = {{0.1, -0.2}, {2.3, 0.1}, {1.9, 1.7}, {-0.4, 1.2}};
  const std::vector<double> quad = Element(corners, 4);
  double shape[16];
  ZORMtkElementData::GetIntPtShapeValues("CPS4", shape);
  std::vector<double> values;
  for (int p = 0; p < 4; ++p) {
    double x = 0.0, y = 0.0;
    for (int n = 0; n < 4; ++n)
      x += shape[n * 4 + p] * quad[3 * n], y += shape[n * 4 + p] * quad[3 * n + 1];
    values.insert(values.end(), {x + 2.0 * y, 1.0});
  }
  const std::vector<double> out = Loads("CPS4", quad, 2, 4, values, 2);
  // Counts of zero or less write nothing, where a negative product would reach before `out`.
  for (const auto& [nodes, components] : {std::pair{-4, 1}, {4, -1}, {0, 2}}) {
    std::vector<double> untouched(8, -1.0);
    ZORMtkElementData::IntegrateIntPtToNodes("CPS4", quad.data(), values.data(), components, 2,
                                             nodes, untouched.data() + 4);
    EXPECT_EQ(untouched, std::vector<double>(8, -1.0)) << nodes << " nodes";
  }
  const std::vector<double> exact = AreaAndMoments(corners);
  double linear = 0.0, moment = 0.0, area = 0.0;
  for (int n = 0; n < 4; ++n) {
    linear += out[2 * n], area += out[2 * n + 1];
    moment += out[2 * n + 1] * (quad[3 * n] + 2.0 * quad[3 * n + 1]);
  }
  EXPECT_NEAR(linear, exact[1] + 2.0 * exact[2], 1e-12);
  EXPECT_NEAR(moment, exact[1] + 2.0 * exact[2], 1e-12);
  EXPECT_NEAR(area, exact[0], 1e-12);
}
