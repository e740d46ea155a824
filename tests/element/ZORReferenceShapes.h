#pragma once

#include <array>
#include <sstream>
#include <string>
#include <vector>

#include "element/ZORMtkShp.h"

// The reference element of every shape the library evaluates, written out independently of its
// tables: the corners in natural coordinates, then one mid-edge node per listed corner pair, in
// the element's node order. The shape-function and geometry tests share them.
namespace zor_reference {

using Point = std::array<double, 3>;

struct Shape {
  const char* label;
  int arg;  // the node count as Shp2D and Shp3D take it (-4: a quadrilateral in row order)
  int dimension;
  int corners;
  std::vector<Point> nodes;

  int Count() const { return static_cast<int>(nodes.size()); }
  // Values, then one derivative block per natural coordinate.
  std::vector<double> Evaluate(const Point& xi) const {
    std::vector<double> out(static_cast<std::size_t>((dimension + 1) * Count()), 0.0);
    if (dimension == 2) ZORMtkShp::Shp2D(arg, xi[0], xi[1], out.data(), false);
    if (dimension == 3) ZORMtkShp::Shp3D(arg, xi[0], xi[1], xi[2], out.data(), false);
    return out;
  }
};

// Mid-edge nodes as corner pairs: "01 12 20" puts them between corners 0 and 1, 1 and 2, 2 and 0.
inline Shape WithMidEdges(const char* label, int arg, int dimension, std::vector<Point> nodes,
                          const std::string& edges = "") {
  const int corners = static_cast<int>(nodes.size());
  std::istringstream pairs(edges);
  for (std::string pair; pairs >> pair;) {
    const Point p = nodes[pair[0] - '0'], q = nodes[pair[1] - '0'];
    nodes.push_back({(p[0] + q[0]) / 2, (p[1] + q[1]) / 2, (p[2] + q[2]) / 2});
  }
  return {label, arg, dimension, corners, nodes};
}

inline std::vector<Shape> AllShapes() {
  const std::vector<Point> tri = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  const std::vector<Point> quad = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
  const std::vector<Point> tet = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  const std::vector<Point> prism = {{0, 0, -1}, {1, 0, -1}, {0, 1, -1},
                                    {0, 0, 1},  {1, 0, 1},  {0, 1, 1}};
  const std::vector<Point> hex = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                  {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
  return {WithMidEdges("tri3", 3, 2, tri),
          WithMidEdges("tri6", 6, 2, tri, "01 12 20"),
          WithMidEdges("quad4", 4, 2, quad),
          WithMidEdges("quad4 rows", -4, 2, {quad[0], quad[1], quad[3], quad[2]}),
          WithMidEdges("quad8", 8, 2, quad, "01 12 23 30"),
          WithMidEdges("tet4", 4, 3, tet),
          WithMidEdges("tet10", 10, 3, tet, "01 12 20 03 13 23"),
          WithMidEdges("prism6", 6, 3, prism),
          WithMidEdges("prism15", 15, 3, prism, "01 12 20 34 45 53 03 14 25"),
          WithMidEdges("hex8", 8, 3, hex),
          WithMidEdges("hex20", 20, 3, hex, "01 12 23 30 45 56 67 74 04 15 26 37")};
}

}  // namespace zor_reference
