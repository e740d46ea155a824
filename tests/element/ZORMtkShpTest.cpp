#include <gtest/gtest.h>

#include <array>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "element/ZORMtkShp.h"

namespace {

using Point = std::array<double, 3>;

// A shape under test, its nodes written out independently of the library's tables: the corners,
// then one mid-edge node per listed corner pair, in the element's node order.
struct ShapeCase {
  const char* label;
  int arg;
  bool solid;
  std::vector<Point> nodes;
  int Count() const { return static_cast<int>(nodes.size()); }
};

// Mid-edge nodes are given as corner pairs: "01 12 20" puts nodes between corners 0 and 1, 1 and
// 2, 2 and 0.
ShapeCase WithMidEdges(const char* label, int arg, bool solid, std::vector<Point> corners,
                       const std::string& edges) {
  std::istringstream pairs(edges);
  for (std::string pair; pairs >> pair;) {
    const Point p = corners[pair[0] - '0'], q = corners[pair[1] - '0'];
    corners.push_back({(p[0] + q[0]) / 2, (p[1] + q[1]) / 2, (p[2] + q[2]) / 2});
  }
  return {label, arg, solid, corners};
}

std::vector<ShapeCase> AllShapes() {
  const std::vector<Point> tri = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  const std::vector<Point> quad = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
  const std::vector<Point> tet = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  const std::vector<Point> prism = {{0, 0, -1}, {1, 0, -1}, {0, 1, -1},
                                    {0, 0, 1},  {1, 0, 1},  {0, 1, 1}};
  const std::vector<Point> hex = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                  {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
  return {{"tri3", 3, false, tri},
          WithMidEdges("tri6", 6, false, tri, "01 12 20"),
          {"quad4", 4, false, quad},
          {"quad4 rows", -4, false, {quad[0], quad[1], quad[3], quad[2]}},
          WithMidEdges("quad8", 8, false, quad, "01 12 23 30"),
          {"tet4", 4, true, tet},
          WithMidEdges("tet10", 10, true, tet, "01 12 20 03 13 23"),
          {"prism6", 6, true, prism},
          WithMidEdges("prism15", 15, true, prism, "01 12 20 34 45 53 03 14 25"),
          {"hex8", 8, true, hex},
          WithMidEdges("hex20", 20, true, hex, "01 12 23 30 45 56 67 74 04 15 26 37")};
}

// Values then derivative blocks: 3n doubles for Shp2D, 4n for Shp3D.
std::vector<double> Evaluate(const ShapeCase& shape, const Point& x) {
  const int n = shape.Count();
  std::vector<double> out(shape.solid ? 4 * n : 3 * n, 0.0);
  if (shape.solid)
    ZORMtkShp::Shp3D(shape.arg, x[0], x[1], x[2], out.data(), false);
  else
    ZORMtkShp::Shp2D(shape.arg, x[0], x[1], out.data(), false);
  return out;
}

std::string Describe(const ShapeCase& shape, const Point& x) {
  return std::string(shape.label) + " at (" + std::to_string(x[0]) + ", " + std::to_string(x[1]) +
         ", " + std::to_string(x[2]) + ")";
}

std::string RowName(const char* name) {
  return ZORMtkShp::GetRow(ZORMtkShp::GetBaseShape(name)).elementName;
}

}  // namespace

TEST(ZORMtkShpTable, EveryRowIsFoundByItsElementNameAndItsShapeNameByTheFirstRowOfItsCode) {
  int previousCode = -1;
  for (int row = 0; row < ZORMtkShp::kNumRows; ++row) {
    const ZORMtkShpRow& entry = ZORMtkShp::GetRow(row);
    EXPECT_EQ(ZORMtkShp::GetBaseShape(entry.elementName), row) << entry.elementName;
    const int firstOfCode = entry.code == previousCode ? row - 1 : row;
    EXPECT_EQ(ZORMtkShp::GetBaseShape(entry.shapeName), firstOfCode) << entry.shapeName;
    previousCode = entry.code;
  }
  EXPECT_EQ(ZORMtkShp::GetBaseShape("C3D8"), 18);
  EXPECT_EQ(ZORMtkShp::GetBaseShape("S3"), 5);
  EXPECT_STREQ(ZORMtkShp::GetRow(-1).elementName, "UNKNOWN");
  EXPECT_STREQ(ZORMtkShp::GetRow(ZORMtkShp::kNumRows).elementName, "UNKNOWN");
}

TEST(ZORMtkShpTable, RowsCarryDimensionFamilyAndNodeCount) {
  const ZORMtkShpRow& shell = ZORMtkShp::GetRow(ZORMtkShp::GetBaseShape("STRI65"));
  EXPECT_EQ(shell.dimension, 1);
  EXPECT_EQ(shell.family, 1);
  EXPECT_EQ(shell.nodes, 6);
  EXPECT_STREQ(shell.description, "3-D Surface Facet, Triangle, 6-node");
  const ZORMtkShpRow& plane = ZORMtkShp::GetRow(ZORMtkShp::GetBaseShape("CPE8"));
  EXPECT_EQ(plane.dimension, 0);
  EXPECT_EQ(plane.family, 2);
  EXPECT_EQ(plane.nodes, 8);
  EXPECT_EQ(ZORMtkShp::GetRow(ZORMtkShp::GetBaseShape("C3D20")).code, ZORMPF_V3D_HEX20);
}

TEST(ZORMtkShpTable, NamesResolveToTheRowOfTheirGeometryOrToUnknown) {
  // name=row; the empty name and lower case are no element-type names.
  std::istringstream cases(
      "CPS4=CPE4 CPS4R=CPE4 CAX4RH=CPE4 CPS8R=CPE8 CPE6M=CPE6 CGAX3H=CPE3 CPEG8R=CPE8 DC2D6=CPE6 "
      "ACAX4R=CPE4 C3D8R=C3D8 C3D10M=C3D10 C3D15H=C3D15 DC3D6=C3D6 AC3D4=C3D4 S4R5=S4 S8R5=S8R "
      "S3RS=S3 STRI3=S3 DS6=STRI65 B31H=B31 T3D2=B31 B22H=B22 T2D3=B22 B23=B21 B33=B31 "
      "PIPE32H=B32 B31OSH=B31 ZORMPF_V3D_HEX8=C3D8 =UNKNOWN c3d8=UNKNOWN CAXA41=UNKNOWN "
      "C3D27=UNKNOWN S9R5=UNKNOWN COH3D8=UNKNOWN SC8R=UNKNOWN C3D=UNKNOWN CPE5=UNKNOWN "
      "C3D0008=UNKNOWN B34=UNKNOWN MASS=UNKNOWN ZORMPF_V3D_HEX=UNKNOWN");
  for (std::string pair; cases >> pair;) {
    const std::string name = pair.substr(0, pair.find('='));
    EXPECT_EQ(RowName(name.c_str()), pair.substr(pair.find('=') + 1)) << '"' << name << '"';
  }
}

// Partition of unity (values sum to one, every derivative block to zero) everywhere, also
// outside the element.
TEST(ZORMtkShpFunctions, ValuesSumToOneAndDerivativeBlocksToZero) {
  std::mt19937 rng(20261205);
  std::uniform_real_distribution<double> coordinate(-1.5, 1.5);
  for (const ShapeCase& shape : AllShapes()) {
    const int n = shape.Count();
    for (int trial = 0; trial < 50; ++trial) {
      const Point x = {coordinate(rng), coordinate(rng), coordinate(rng)};
      const std::vector<double> out = Evaluate(shape, x);
      for (int block = 0; block < (shape.solid ? 4 : 3); ++block) {
        double sum = 0.0;
        for (int i = 0; i < n; ++i) sum += out[block * n + i];
        EXPECT_NEAR(sum, block == 0 ? 1.0 : 0.0, 1e-12) << Describe(shape, x) << " block " << block;
      }
    }
  }
}

TEST(ZORMtkShpFunctions, EachFunctionIsOneAtItsNodeAndZeroAtTheOthers) {
  for (const ShapeCase& shape : AllShapes()) {
    for (int node = 0; node < shape.Count(); ++node) {
      const std::vector<double> out = Evaluate(shape, shape.nodes[node]);
      for (int i = 0; i < shape.Count(); ++i)
        EXPECT_NEAR(out[i], i == node ? 1.0 : 0.0, 1e-15)
            << shape.label << " function " << i + 1 << " at node " << node + 1;
    }
  }
}

TEST(ZORMtkShpFunctions, DerivativesMatchCentralDifferences) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> coordinate(-1.0, 1.0);
  const double step = 1e-6;
  for (const ShapeCase& shape : AllShapes()) {
    const int n = shape.Count();
    for (int trial = 0; trial < 20; ++trial) {
      const Point x = {coordinate(rng), coordinate(rng), coordinate(rng)};
      const std::vector<double> out = Evaluate(shape, x);
      for (int axis = 0; axis < (shape.solid ? 3 : 2); ++axis) {
        Point plus = x, minus = x;
        plus[axis] += step;
        minus[axis] -= step;
        const std::vector<double> up = Evaluate(shape, plus), down = Evaluate(shape, minus);
        for (int i = 0; i < n; ++i)
          EXPECT_NEAR(out[(axis + 1) * n + i], (up[i] - down[i]) / (2.0 * step), 1e-7)
              << Describe(shape, x) << " dN" << i + 1 << "/d"
              << "rst"[axis];
      }
    }
  }
}

TEST(ZORMtkShpFunctions, DerivativesOnlyStartsTheDerivativeBlocksAtTheFront) {
  for (int nodes : {3, 4, -4, 6, 8}) {
    const int n = nodes < 0 ? -nodes : nodes;
    std::vector<double> full(3 * n), partial(3 * n, -99.0);
    ZORMtkShp::Shp2D(nodes, 0.2, 0.1, full.data(), false);
    ZORMtkShp::Shp2D(nodes, 0.2, 0.1, partial.data(), true);
    for (int i = 0; i < 3 * n; ++i)
      EXPECT_EQ(partial[i], i < 2 * n ? full[n + i] : -99.0) << nodes << " slot " << i;
  }
  // The flag changes nothing for solids: all four blocks are always written.
  for (int nodes : {4, 6, 8, 10, 15, 20}) {
    std::vector<double> with(4 * nodes, -1.0), without(4 * nodes, -2.0);
    ZORMtkShp::Shp3D(nodes, 0.1, 0.2, 0.3, with.data(), true);
    ZORMtkShp::Shp3D(nodes, 0.1, 0.2, 0.3, without.data(), false);
    EXPECT_EQ(with, without) << nodes;
  }
}

TEST(ZORMtkShpFunctions, UnsupportedNodeCountsWriteNothing) {
  std::vector<double> out(100, -5.0);
  for (int nodes : {0, 1, 2, 5, 7, 9, -3, -8, 10, 20})
    ZORMtkShp::Shp2D(nodes, 0.1, 0.1, out.data(), false);
  for (int nodes : {0, 3, 5, 9, 12, 16, 27, -8})
    ZORMtkShp::Shp3D(nodes, 0.1, 0.1, 0.1, out.data(), false);
  for (double value : out) ASSERT_EQ(value, -5.0);
}
