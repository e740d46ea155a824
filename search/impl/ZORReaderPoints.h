#pragma once

#include <algorithm>
#include <vector>

#include "platform/ZORFreshArray.h"
#include "platform/impl/ZORHugePages.h"
#include "platform/impl/ZORParallelFor.h"
#include "reader/ZORMtkSimReader.h"

// The nodes of a reader's region as the searches use them: members in node-list order (ascending)
// and three coordinates per node, z = 0 for a two-dimensional mesh.
struct ZORReaderPoints {
  int dimension = 3;
  ZORFreshArray<int> members;
  ZORFreshArray<double> coords;

  int Count() const { return static_cast<int>(members.size()); }
  const double* At(int position) const {
    return coords.data() + 3 * static_cast<std::size_t>(position);
  }
  // Position of a node member, or -1 when the region does not hold it.
  int PositionOf(int member) const {
    const auto it = std::lower_bound(members.begin(), members.end(), member);
    return it != members.end() && *it == member ? static_cast<int>(it - members.begin()) : -1;
  }

  // Coordinates read as zero where the database writes none. Three-dimensional ones are kept as
  // the reader gives them; others are spread to three per node by ranges of nodes on up to
  // `threads` threads, each filling its own nodes.
  static ZORReaderPoints Read(const ZORMtkSimReader& reader, int threads = 1) {
    ZORReaderPoints points;
    points.dimension = reader.numCoordComponents;
    const std::size_t count = static_cast<std::size_t>(std::max(reader.numNodes, 0));
    const std::size_t components = static_cast<std::size_t>(std::max(reader.numCoordComponents, 0));
    ZORHugePages::Resize(points.members, count);
    reader.GetNodes(static_cast<int>(count), points.members.data());
    ZORFreshArray<double> raw;
    ZORHugePages::Resize(raw, count * components);
    ZORParallelFor::Zero(raw.data(), static_cast<long long>(raw.size()), threads);
    reader.FillCoordinates(static_cast<int>(raw.size()), raw.data());
    if (components == 3) {
      points.coords = std::move(raw);
      return points;
    }
    ZORHugePages::Resize(points.coords, 3 * count);
    ZORParallelFor::Ranges(
        static_cast<long long>(count), threads, [&](int /*part*/, long long begin, long long end) {
          for (std::size_t n = begin; n < static_cast<std::size_t>(end); ++n)
            for (std::size_t c = 0; c < 3; ++c)
              points.coords[3 * n + c] = c < components ? raw[n * components + c] : 0.0;
        });
    return points;
  }
};
