#pragma once

#include "platform/ZORSimHandles.h"

class ZORMtkElementWeights;
class ZORMtkMapper;
class ZORMtkMeshElemB;
class ZORMtkMeshNodeB;
class ZORMtkNodalWeights;

// How the transfers obtain bucket grids and weights: each request is answered from the mapper's
// caches when an object with the same key is there, and otherwise computed once, appended to the
// cache and handed out again for every later request with that key. The mapper owns every object
// returned; a cache that already holds 50 objects gives up its oldest for the new one. Owns
// nothing itself.
//
// Every operation returns null when the mapper has no reader for a mesh it needs.
class ZORMtkWeightStore {
 public:
  // The element grid of a source mesh, formed with margin max(boundary, normal tolerance).
  static ZORMtkMeshElemB* GetElementBuckets(ZORMtkMapper& mapper, const ZORSimDynamicID& source);
  // The node grid of a source mesh, for the nearest-node search.
  static ZORMtkMeshNodeB* GetNodeBuckets(ZORMtkMapper& mapper, const ZORSimDynamicID& source);

  // Nodal weights of a request: mapMethod 0 shape interpolation, 1 nearest node, anything else
  // an object without links. Keyed by both meshes, reverse, noFallback and mapMethod == 1. The
  // keys of the result are target nodes and its partners source nodes, except for reverse, where
  // keys are source nodes and partners target nodes (also after a fallback).
  static ZORMtkNodalWeights* GetNodalWeights(ZORMtkMapper& mapper, int mapMethod,
                                             const ZORSimDynamicID& source,
                                             const ZORSimDynamicID& target, bool reverse,
                                             bool noFallback);
  // Integration-point weights of every target element, keyed by both meshes.
  static ZORMtkElementWeights* GetElementWeights(ZORMtkMapper& mapper,
                                                 const ZORSimDynamicID& source,
                                                 const ZORSimDynamicID& target);
};
