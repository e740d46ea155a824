#pragma once

#include <algorithm>
#include <vector>

#include "platform/impl/ZORHugePages.h"
#include "reader/ZORMtkSimReader.h"

// The nodes of a reader's region as the searches use them: members in node-list order (ascending)
// and three coordinates per node, z = 0 for a two-dimensional mesh.
struct ZORReaderPoints {
  int dimension = 3;
  std::vector<int> members;
  std::vector<double> coords;

  int Count() const { return static_cast<int>(members.size()); }
  const double* At(int position) const {
    return coords.data() + 3 * static_cast<std::size_t>(position);
  }
  // Position of a node member, or -1 when the region does not hold it.
  int PositionOf(int member) const {
    const auto it = std::lower_bound(members.begin(), members.end(), member);
    return it != members.end() && *it == member ? static_cast<int>(it - members.begin()) : -1;
  }

  static ZORReaderPoints Read(const ZORMtkSimReader& reader) {
    ZORReaderPoints points;
    points.dimension = reader.numCoordComponents;
    const std::size_t count = static_cast<std::size_t>(std::max(reader.numNodes, 0));
    const std::size_t components = static_cast<std::size_t>(std::max(reader.numCoordComponents, 0));
    ZORHugePages::Resize(points.members, count);
    reader.GetNodes(static_cast<int>(count), points.members.data());
    std::vector<double> raw;
    ZORHugePages::Resize(raw, count * components);
    reader.FillCoordinates(static_cast<int>(raw.size()), raw.data());
    ZORHugePages::Reserve(points.coords, 3 * count);
    points.coords.assign(3 * count, 0.0);
    for (std::size_t n = 0; n < count; ++n) {
      for (std::size_t c = 0; c < std::min<std::size_t>(components, 3); ++c)
        points.coords[3 * n + c] = raw[n * components + c];
    }
    return points;
  }
};
