#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "element/ZORMtkShp.h"

namespace {

using Point = std::array<double, 3>;

// A shape under test with its node positions written out independently of the library's tables.
struct ShapeCase {
  const char* label;
  int arg;
  bool solid;
  std::vector<Point> nodes;
  int Count() const { return static_cast<int>(nodes.size()); }
};

std::vector<ShapeCase> AllShapes() {
  const double h = 0.5;
  return {
      {"tri3", 3, false, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}},
      {"tri6", 6, false, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {h, 0, 0}, {h, h, 0}, {0, h, 0}}},
      {"quad4", 4, false, {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}}},
      {"quad4 rows", -4, false, {{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}, {1, 1, 0}}},
      {"quad8",
       8,
       false,
       {{-1, -1, 0},
        {1, -1, 0},
        {1, 1, 0},
        {-1, 1, 0},
        {0, -1, 0},
        {1, 0, 0},
        {0, 1, 0},
        {-1, 0, 0}}},
      {"tet4", 4, true, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
      {"tet10",
       10,
       true,
       {{0, 0, 0},
        {1, 0, 0},
        {0, 1, 0},
        {0, 0, 1},
        {h, 0, 0},
        {h, h, 0},
        {0, h, 0},
        {0, 0, h},
        {h, 0, h},
        {0, h, h}}},
      {"prism6", 6, true, {{0, 0, -1}, {1, 0, -1}, {0, 1, -1}, {0, 0, 1}, {1, 0, 1}, {0, 1, 1}}},
      {"prism15",
       15,
       true,
       {{0, 0, -1},
        {1, 0, -1},
        {0, 1, -1},
        {0, 0, 1},
        {1, 0, 1},
        {0, 1, 1},
        {h, 0, -1},
        {h, h, -1},
        {0, h, -1},
        {h, 0, 1},
        {h, h, 1},
        {0, h, 1},
        {0, 0, 0},
        {1, 0, 0},
        {0, 1, 0}}},
      {"hex8",
       8,
       true,
       {{-1, -1, -1},
        {1, -1, -1},
        {1, 1, -1},
        {-1, 1, -1},
        {-1, -1, 1},
        {1, -1, 1},
        {1, 1, 1},
        {-1, 1, 1}}},
      {"hex20", 20, true, {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}, {-1, -1, 1},
                           {1, -1, 1},   {1, 1, 1},   {-1, 1, 1}, {0, -1, -1}, {1, 0, -1},
                           {0, 1, -1},   {-1, 0, -1}, {0, -1, 1}, {1, 0, 1},   {0, 1, 1},
                           {-1, 0, 1},   {-1, -1, 0}, {1, -1, 0}, {1, 1, 0},   {-1, 1, 0}}},
  };
}

// Values then derivative blocks: 3n doubles for Shp2D, 4n for Shp3D.
std::vector<double> Evaluate(const ShapeCase& shape, const Point& x) {
  const int n = shape.Count();
  std::vector<double> out(shape.solid ? 4 * n : 3 * n, 0.0);
  if (shape.solid) {
    ZORMtkShp::Shp3D(shape.arg, x[0], x[1], x[2], out.data(), false);
  } else {
    ZORMtkShp::Shp2D(shape.arg, x[0], x[1], out.data(), false);
  }
  return out;
}

std::string Describe(const ShapeCase& shape, const Point& x) {
  return std::string(shape.label) + " at (" + std::to_string(x[0]) + ", " + std::to_string(x[1]) +
         ", " + std::to_string(x[2]) + ")";
}

Point RandomPoint(std::mt19937& rng) {
  std::uniform_real_distribution<double> coordinate(-1.0, 1.0);
  return {coordinate(rng), coordinate(rng), coordinate(rng)};
}

int Row(const char* name) { return static_cast<int>(ZORMtkShp::GetBaseShape(name)); }

}  // namespace

// --- Shape table ---

TEST(ZORMtkShpTable, ExactNamesGiveTheRowPositionNotTheCode) {
  EXPECT_EQ(Row("C3D8"), 18);
  EXPECT_EQ(Row("ZORMPF_V3D_HEX8"), 18);
  EXPECT_EQ(Row("STRI65"), 6);
  EXPECT_EQ(Row("S3"), 5);
  EXPECT_EQ(Row("ZORMPF_S3D_TRI3"), 4);
  EXPECT_EQ(Row("ZORMPF_S3D_QUAD4"), 7);
  EXPECT_EQ(Row("S4"), 8);
  EXPECT_EQ(Row("UNKNOWN_SHAPE"), 20);
  EXPECT_EQ(Row("UNKNOWN"), 20);
}

TEST(ZORMtkShpTable, EveryRowIsFoundByItsElementNameAndItsShapeNameByTheFirstRowOfItsCode) {
  int previousCode = -1;
  for (int row = 0; row < ZORMtkShp::kNumRows; ++row) {
    const ZORMtkShpRow& entry = ZORMtkShp::GetRow(row);
    EXPECT_EQ(Row(entry.elementName), row) << entry.elementName;
    const int firstOfCode = entry.code == previousCode ? row - 1 : row;
    EXPECT_EQ(Row(entry.shapeName), firstOfCode) << entry.shapeName;
    previousCode = entry.code;
  }
}

TEST(ZORMtkShpTable, RowsCarryDimensionFamilyAndNodeCount) {
  const ZORMtkShpRow& shell = ZORMtkShp::GetRow(Row("STRI65"));
  EXPECT_EQ(shell.dimension, 1);
  EXPECT_EQ(shell.family, 1);
  EXPECT_EQ(shell.nodes, 6);
  EXPECT_STREQ(shell.description, "3-D Surface Facet, Triangle, 6-node");
  const ZORMtkShpRow& hex20 = ZORMtkShp::GetRow(Row("C3D20"));
  EXPECT_EQ(hex20.code, ZORMPF_V3D_HEX20);
  EXPECT_EQ(hex20.family, 5);
  EXPECT_EQ(hex20.nodes, 20);
  const ZORMtkShpRow& plane = ZORMtkShp::GetRow(Row("CPE8"));
  EXPECT_EQ(plane.dimension, 0);
  EXPECT_STREQ(plane.description, "2-D Volume Element, Quadrilateral, 8-node");
  EXPECT_STREQ(ZORMtkShp::GetRow(-1).elementName, "UNKNOWN");
  EXPECT_STREQ(ZORMtkShp::GetRow(21).elementName, "UNKNOWN");
}

TEST(ZORMtkShpTable, NamesOfAKnownFamilyResolveToTheRowOfTheirGeometry) {
  const std::pair<const char*, const char*> cases[] = {
      {"CPS4", "CPE4"},    {"CPS4R", "CPE4"},    {"CAX4RH", "CPE4"}, {"CPS8R", "CPE8"},
      {"CPE6M", "CPE6"},   {"CGAX3H", "CPE3"},   {"CPEG8R", "CPE8"}, {"DC2D6", "CPE6"},
      {"ACAX4R", "CPE4"},  {"C3D8R", "C3D8"},    {"C3D8I", "C3D8"},  {"C3D10M", "C3D10"},
      {"C3D15H", "C3D15"}, {"C3D20RH", "C3D20"}, {"DC3D6", "C3D6"},  {"AC3D4", "C3D4"},
      {"S4R5", "S4"},      {"S8R5", "S8R"},      {"S3RS", "S3"},     {"STRI3", "S3"},
      {"DS6", "STRI65"},   {"B31H", "B31"},      {"T3D2", "B31"},    {"B22H", "B22"},
      {"T2D3", "B22"},     {"B23", "B21"},       {"PIPE32H", "B32"}, {"B31OSH", "B31"}};
  for (const auto& [name, base] : cases) EXPECT_EQ(Row(name), Row(base)) << name << " -> " << base;
}

TEST(ZORMtkShpTable, NamesOutsideTheKnownFamiliesAreUnknown) {
  for (const char* name : {"", "c3d8", "CAXA41", "C3D27", "S9R5", "COH3D8", "SC8R", "C3D", "CPE",
                           "CPE5", "C3D0008", "B34", "MASS", "ZORMPF_V3D_HEX"}) {
    EXPECT_EQ(Row(name), ZORMtkShp::kUnknownRow) << '"' << name << '"';
  }
}

// --- Shape functions ---

TEST(ZORMtkShpFunctions, ValuesSumToOneAndDerivativeBlocksToZero) {
  std::mt19937 rng(20261205);
  for (const ShapeCase& shape : AllShapes()) {
    const int n = shape.Count();
    const int blocks = shape.solid ? 4 : 3;
    for (int trial = 0; trial < 50; ++trial) {
      const Point x = RandomPoint(rng);
      const std::vector<double> out = Evaluate(shape, x);
      for (int block = 0; block < blocks; ++block) {
        double sum = 0.0;
        for (int i = 0; i < n; ++i) sum += out[block * n + i];
        EXPECT_NEAR(sum, block == 0 ? 1.0 : 0.0, 1e-13) << Describe(shape, x) << " block " << block;
      }
    }
  }
}

TEST(ZORMtkShpFunctions, EachFunctionIsOneAtItsNodeAndZeroAtTheOthers) {
  for (const ShapeCase& shape : AllShapes()) {
    const int n = shape.Count();
    for (int node = 0; node < n; ++node) {
      const std::vector<double> out = Evaluate(shape, shape.nodes[node]);
      for (int i = 0; i < n; ++i) {
        EXPECT_NEAR(out[i], i == node ? 1.0 : 0.0, 1e-15)
            << shape.label << " function " << i + 1 << " at node " << node + 1;
      }
    }
  }
}

TEST(ZORMtkShpFunctions, DerivativesMatchCentralDifferences) {
  std::mt19937 rng(7);
  const double step = 1e-6;
  for (const ShapeCase& shape : AllShapes()) {
    const int n = shape.Count();
    const int axes = shape.solid ? 3 : 2;
    for (int trial = 0; trial < 20; ++trial) {
      const Point x = RandomPoint(rng);
      const std::vector<double> out = Evaluate(shape, x);
      for (int axis = 0; axis < axes; ++axis) {
        Point plus = x, minus = x;
        plus[axis] += step;
        minus[axis] -= step;
        const std::vector<double> up = Evaluate(shape, plus), down = Evaluate(shape, minus);
        for (int i = 0; i < n; ++i) {
          const double difference = (up[i] - down[i]) / (2.0 * step);
          EXPECT_NEAR(out[(axis + 1) * n + i], difference, 1e-7)
              << Describe(shape, x) << " dN" << i + 1 << "/d"
              << "rst"[axis];
        }
      }
    }
  }
}

TEST(ZORMtkShpFunctions, RowOrderQuadExchangesTheLastTwoFunctionsInEveryBlock) {
  double corner[12], rows[12];
  const double r = 0.3, s = -0.7;
  ZORMtkShp::Shp2D(4, r, s, corner, false);
  ZORMtkShp::Shp2D(-4, r, s, rows, false);
  for (int block = 0; block < 3; ++block) {
    const int b = 4 * block;
    EXPECT_EQ(rows[b + 0], corner[b + 0]);
    EXPECT_EQ(rows[b + 1], corner[b + 1]);
    EXPECT_EQ(rows[b + 2], corner[b + 3]);
    EXPECT_EQ(rows[b + 3], corner[b + 2]);
  }
  EXPECT_DOUBLE_EQ(rows[4 + 2], -(1 + s) / 4);
  EXPECT_DOUBLE_EQ(rows[4 + 3], (1 + s) / 4);
  double centre[12];
  ZORMtkShp::Shp2D(4, 0.0, 0.0, centre, false);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(centre[i], 0.25);
}

TEST(ZORMtkShpFunctions, DerivativesOnlyStartsTheDerivativeBlocksAtTheFront) {
  for (int nodes : {3, 4, -4, 6, 8}) {
    const int n = nodes < 0 ? -nodes : nodes;
    std::vector<double> full(3 * n), partial(3 * n, -99.0);
    ZORMtkShp::Shp2D(nodes, 0.2, 0.1, full.data(), false);
    ZORMtkShp::Shp2D(nodes, 0.2, 0.1, partial.data(), true);
    for (int i = 0; i < 2 * n; ++i) EXPECT_EQ(partial[i], full[n + i]) << nodes << " slot " << i;
    for (int i = 2 * n; i < 3 * n; ++i) EXPECT_EQ(partial[i], -99.0) << nodes << " slot " << i;
  }
  // The solid flag changes nothing: all four blocks are always written.
  for (int nodes : {4, 6, 8, 10, 15, 20}) {
    std::vector<double> with(4 * nodes, -1.0), without(4 * nodes, -2.0);
    ZORMtkShp::Shp3D(nodes, 0.1, 0.2, 0.3, with.data(), true);
    ZORMtkShp::Shp3D(nodes, 0.1, 0.2, 0.3, without.data(), false);
    EXPECT_EQ(with, without) << nodes;
  }
}

TEST(ZORMtkShpFunctions, UnsupportedNodeCountsWriteNothing) {
  std::vector<double> out(100, -5.0);
  for (int nodes : {0, 1, 2, 5, 7, 9, -3, -8, 10, 20}) {
    ZORMtkShp::Shp2D(nodes, 0.1, 0.1, out.data(), false);
  }
  for (int nodes : {0, 3, 5, 9, 12, 16, 27, -8}) {
    ZORMtkShp::Shp3D(nodes, 0.1, 0.1, 0.1, out.data(), false);
  }
  for (double value : out) ASSERT_EQ(value, -5.0);
}
