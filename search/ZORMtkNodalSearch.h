#pragma once

class ZORMtkDiagnosticsData;
class ZORMtkMeshElemB;
class ZORMtkMeshNodeB;
class ZORMtkNodalWeights;
class ZORMtkSimReader;

// The two searches that link the nodes of one mesh to the nodes of another. Shape interpolation
// places each node of the point mesh in an element of the host mesh and links it to that
// element's nodes with the element's shape-function values there; nearest node links it to the
// closest host node with weight 1. Both record node members, add the links to the weight object
// in ascending key order, and record the nodes they cannot place in the diagnostics. Owns
// nothing.
class ZORMtkNodalSearch {
 public:
  // tolerances: boundary and normal tolerance. A node not placed after both passes gets no
  // links and codes 2 and 4 with its member and coordinates.
  static void SearchNodesInElements(ZORMtkNodalWeights& weights, ZORMtkMeshElemB* grid,
                                    ZORMtkSimReader* elementReader, ZORMtkSimReader* pointReader,
                                    ZORMtkDiagnosticsData& diagnostics, const double* tolerances);
  // Different node counts record code 16 (source count, target count) and proceed. A target node
  // whose nearest source node lies beyond 0.02 times the source nodes' root-mean-square distance
  // from their centroid is linked and reported with code 128; without source nodes every target
  // node is reported and none is linked.
  static void FindNearestNodes(ZORMtkNodalWeights& weights, ZORMtkMeshNodeB* grid,
                               ZORMtkSimReader* sourceReader, ZORMtkSimReader* targetReader,
                               ZORMtkDiagnosticsData& diagnostics);
};
