#pragma once

#include <cstdint>
#include <vector>

#include "platform/ZORSimCSetID.h"
#include "platform/ZORSrvPosition.h"

// Element entries per node of a mesh: which elements of a region use each node. An entry holds
// the element member in its low 25 bits (mask 0x1FFFFFF).
class ZORMTK_EXPORT ZORSrvInverseConnectivity {
 public:
  explicit ZORSrvInverseConnectivity(const ZORSrvPosition& mesh) : mesh_(mesh) {}
  void Invert(const ZORSimCSetID& elements);
  // Entries of node member `node`; count receives their number. Null when the node has none.
  const int* Entries(int node, int& count) const;
  int NodeCount() const { return static_cast<int>(offsets_.empty() ? 0 : offsets_.size() - 1); }

 private:
  ZORSrvPosition mesh_;
  std::vector<std::int64_t> offsets_;
  std::vector<int> entries_;
};
