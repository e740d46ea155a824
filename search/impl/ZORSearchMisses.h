#pragma once

#include <vector>

// A point the search could not place, or placed only approximately, as a value the caller turns
// into its own reports. The search itself reports nothing.
struct ZORSearchMiss {
  enum class Kind {
    NodeNotPlaced,   // a node that no element accepted: member is the node
    PointNotPlaced,  // an integration point that no element accepted: member is the element
    Misaligned,      // a nearest node beyond the alignment reach: member is the target node
  };
  Kind kind;
  int member;
  double coords[3];  // where the point lies
  double distance;   // to the nearest source node (Misaligned), else 0
};

// Everything a search leaves unplaced, in target order, with the node counts the nearest-node
// search compares.
struct ZORSearchMisses {
  std::vector<ZORSearchMiss> misses;
  bool nodeCountsDiffer = false;
  int sourceNodeCount = 0;
  int targetNodeCount = 0;
};
