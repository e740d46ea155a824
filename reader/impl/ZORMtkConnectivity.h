#pragma once

#include <cstddef>
#include <vector>

#include "platform/ZORSimAPI.h"

// The connectivity of one mesh: the drawers of its connectivity distribution, listed once, and
// the reads of element node lists out of them. Holds the mesh position and the drawer list.
class ZORMtkConnectivity {
 public:
  explicit ZORMtkConnectivity(const ZORSrvPosition& mesh);

  // The first drawer, in listed order, whose element dimension holds every element of
  // `elements`; false when none does. nodesPerElement receives the size of its node-position
  // dimension.
  bool Locate(const ZORSimCSetID& elements, int& nodesPerElement);
  // Node members of `elements` (a set located before), element by element in the set's order,
  // in one integer transfer straight into `nodes`.
  void Read(const ZORSimCSetID& elements, int* nodes) const;

 private:
  ZORSrvPosition mesh_;
  ZORSimDistributionID distribution_;
  std::vector<ZORSimDrawerDescriptor> drawers_;
  std::size_t located_ = 0;
  int positionDimension_ = 1;
};
