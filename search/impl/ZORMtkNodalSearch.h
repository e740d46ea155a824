#pragma once

#include "search/impl/ZORSearchMisses.h"
#include "search/impl/ZORSearchOptions.h"

class ZORMtkMeshElemB;
class ZORMtkMeshNodeB;
class ZORMtkNodalWeights;
class ZORMtkSimReader;

// The two searches that link the nodes of one mesh to the nodes of another. Shape interpolation
// places each node of the point mesh in an element of the host mesh and links it to that
// element's nodes with the element's shape-function values there; nearest node links it to the
// closest host node with weight 1. Both record node members, add the links to the weight object
// in ascending key order, and append the nodes they cannot place (or place only approximately)
// to misses, in key order. Owns nothing; reads the readers, and the grids but for the source
// mesh an element grid may hand over (ZORMtkMeshElemB::TakeMesh).
class ZORMtkNodalSearch {
 public:
  // A nearest node counts as aligned within kAlignment M, M the mean squared distance of the
  // source nodes from their centroid: a distance of 2% of the mesh's spread.
  static constexpr double kAlignment = 0.0004;

  // A node not placed after both passes gets a NodeNotPlaced miss with its member and
  // coordinates, and no links unless options name a nearest-node fallback grid (of the element
  // reader's nodes): then it is linked to its nearest source node with weight 1.
  static void SearchNodesInElements(ZORMtkNodalWeights& weights, ZORMtkMeshElemB& grid,
                                    const ZORMtkSimReader& elementReader,
                                    const ZORMtkSimReader& pointReader,
                                    const ZORSearchOptions& options, ZORSearchMisses& misses);
  // Different node counts are noted in misses and the search proceeds. A target node whose
  // nearest source node lies beyond 0.02 times the source nodes' root-mean-square distance from
  // their centroid is linked and gets a Misaligned miss; without source nodes every target node
  // gets one and none is linked.
  static void FindNearestNodes(ZORMtkNodalWeights& weights, const ZORMtkMeshNodeB& grid,
                               const ZORMtkSimReader& sourceReader,
                               const ZORMtkSimReader& targetReader, const ZORSearchOptions& options,
                               ZORSearchMisses& misses);
};
