#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "element/ZORMtkShp.h"
#include "element/ZORReferenceShapes.h"

namespace {

using zor_reference::Point;

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
  EXPECT_STREQ(ZORMtkShp::GetRow(-1).elementName, "UNKNOWN");
  EXPECT_STREQ(ZORMtkShp::GetRow(ZORMtkShp::kNumRows).elementName, "UNKNOWN");
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

// Each function is 1 at its own node and 0 at the others; at random points, also outside the
// element, the values sum to one and the derivatives match central differences (so their blocks
// sum to zero too).
TEST(ZORMtkShpFunctions, FunctionsInterpolateTheirNodesSumToOneAndDifferentiateCorrectly) {
  std::mt19937 rng(20261205);
  std::uniform_real_distribution<double> coordinate(-1.3, 1.3);
  const double step = 1e-6;
  for (const zor_reference::Shape& shape : zor_reference::AllShapes()) {
    SCOPED_TRACE(shape.label);
    const int n = shape.Count();
    for (int node = 0; node < n; ++node) {
      const std::vector<double> out = shape.Evaluate(shape.nodes[node]);
      for (int i = 0; i < n; ++i)
        EXPECT_NEAR(out[i], i == node ? 1.0 : 0.0, 1e-15) << "function " << i << " node " << node;
    }
    for (int trial = 0; trial < 40; ++trial) {
      const Point x = {coordinate(rng), coordinate(rng), coordinate(rng)};
      const std::vector<double> out = shape.Evaluate(x);
      double sum = 0.0;
      for (int i = 0; i < n; ++i) sum += out[i];
      EXPECT_NEAR(sum, 1.0, 1e-12) << x[0] << " " << x[1] << " " << x[2];
      for (int axis = 0; axis < shape.dimension; ++axis) {
        Point plus = x, minus = x;
        plus[axis] += step;
        minus[axis] -= step;
        const std::vector<double> up = shape.Evaluate(plus), down = shape.Evaluate(minus);
        for (int i = 0; i < n; ++i)
          EXPECT_NEAR(out[(axis + 1) * n + i], (up[i] - down[i]) / (2.0 * step), 1e-7)
              << "dN" << i << "/d"
              << "rst"[axis] << " at " << x[0] << " " << x[1] << " " << x[2];
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
}

TEST(ZORMtkShpFunctions, UnsupportedNodeCountsWriteNothing) {
  std::vector<double> out(100, -5.0);
  for (int nodes : {0, 1, 2, 5, 7, 9, -3, -8, 10, 20})
    ZORMtkShp::Shp2D(nodes, 0.1, 0.1, out.data(), false);
  for (int nodes : {0, 3, 5, 9, 12, 16, 27, -8})
    ZORMtkShp::Shp3D(nodes, 0.1, 0.1, 0.1, out.data(), false);
  for (double value : out) ASSERT_EQ(value, -5.0);
}
