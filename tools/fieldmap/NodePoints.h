#pragma once

#include <vector>

#include "ZORGfmApi.h"

// The points VTK files and point lists take: three coordinates per node, whatever number of
// them a mesh keeps. Stateless.
class NodePoints {
 public:
  // The region's nodes in nodeList order, x, y and z each: 0 on the axes a plane or line mesh
  // lacks, and the axes past the third left out.
  static std::vector<double> ThreeAxes(const ZORMtkSimReader& reader);
};
