#include "NodePoints.h"

#include <algorithm>

#include "platform/impl/ZORHugePages.h"

std::vector<double> NodePoints::ThreeAxes(const ZORMtkSimReader& reader) {
  const std::size_t nodes = static_cast<std::size_t>(std::max(reader.numNodes, 0));
  const std::size_t axes = static_cast<std::size_t>(std::max(reader.numCoordComponents, 0));
  std::vector<double> xyz;
  ZORHugePages::Resize(xyz, 3 * nodes);
  if (axes == 3) {
    reader.FillCoordinates(static_cast<int>(xyz.size()), xyz.data());
    return xyz;
  }
  std::vector<double> kept(nodes * axes);
  reader.FillCoordinates(static_cast<int>(kept.size()), kept.data());
  const std::size_t shown = std::min<std::size_t>(axes, 3);
  for (std::size_t n = 0; n < nodes; ++n)
    std::copy_n(kept.begin() + static_cast<long>(n * axes), shown,
                xyz.begin() + static_cast<long>(3 * n));
  return xyz;
}
