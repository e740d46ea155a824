#include "search/impl/ZORMtkHullIndex.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "search/impl/ZORMtkSourceElements.h"

ZORMtkHullIndex::ZORMtkHullIndex(const ZORMtkSourceElements& mesh, double reach)
    : ZORMtkHullIndex(mesh.ElementCount(), [&mesh, reach](int element, double* hull) {
        Widen(mesh.Box(element), reach, hull);
        return true;
      }) {}

// Cells of the mean largest hull extent, over the union of the hulls.
ZORMtkHullIndex::ZORMtkHullIndex(int elementCount, const HullOf& hullOf) {
  // Each hull is computed once; an element without one keeps an empty box (lower above upper).
  std::vector<double> boxes(6 * static_cast<std::size_t>(elementCount));
  std::vector<char> present(static_cast<std::size_t>(elementCount), 0);
  double lower[3] = {0.0, 0.0, 0.0}, upper[3] = {0.0, 0.0, 0.0}, extent = 0.0;
  int hulls = 0;
  for (int e = 0; e < elementCount; ++e) {
    double* hull = boxes.data() + 6 * static_cast<std::size_t>(e);
    if (!hullOf(e, hull)) continue;
    present[static_cast<std::size_t>(e)] = 1;
    double largest = 0.0;
    for (int a = 0; a < 3; ++a) {
      lower[a] = hulls == 0 ? hull[a] : std::min(lower[a], hull[a]);
      upper[a] = hulls == 0 ? hull[3 + a] : std::max(upper[a], hull[3 + a]);
      largest = std::max(largest, hull[3 + a] - hull[a]);
    }
    extent += largest;
    ++hulls;
  }
  double h = hulls > 0 ? 0.6 * extent / hulls : 1.0;
  if (!(h > 0.0)) h = 1.0;
  // Meshes of very uneven element sizes would get more cells than elements to fill them; the
  // cells are then enlarged to about eight per element.
  const auto cellCount = [&](double edge) {
    double cells = 1.0;
    for (int a = 0; a < 3; ++a) cells *= std::floor((upper[a] - lower[a]) / edge) + 1.0;
    return cells;
  };
  const double most = 8.0 * hulls + 1000.0;
  while (cellCount(h) > most) h *= std::cbrt(cellCount(h) / most) * 1.01;
  int counts[3];
  for (int a = 0; a < 3; ++a)
    counts[a] = static_cast<int>(std::floor((upper[a] - lower[a]) / h)) + 1;
  frame_.dimension = 3;
  frame_.Place(lower, h, counts);
  frame_.Fill(elementCount, [&](int element, const auto& enter) {
    if (present[static_cast<std::size_t>(element)] == 0) return;
    const double* hull = boxes.data() + 6 * static_cast<std::size_t>(element);
    int first[3], last[3];
    for (int a = 0; a < 3; ++a) {
      first[a] = frame_.AxisIndex(hull[a], a);
      last[a] = frame_.AxisIndex(hull[3 + a], a);
    }
    frame_.EnterRange(first, last, enter);
  });
}

const int* ZORMtkHullIndex::Cell(const double* point, int& count) const {
  count = 0;
  for (int a = 0; a < 3; ++a) {
    if (point[a] < frame_.origin[a] || point[a] > frame_.upper[a]) return nullptr;
  }
  const int cell = frame_.BucketOf(point);
  count = frame_.Size(cell);
  return frame_.Begin(cell);
}
