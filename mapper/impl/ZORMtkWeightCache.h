#pragma once

#include <memory>
#include <vector>

#include "mapper/ZORMtkOwnedTable.h"
#include "platform/ZORSimHandles.h"

class ZORMtkElementWeights;
class ZORMtkMappingContext;
class ZORMtkMeshElemB;
class ZORMtkMeshNodeB;
class ZORMtkNodalWeights;
class ZORMtkRowForm;

// The mapper's bucket grids and weight objects: each request is answered from the cache when an
// object with the same key is there, and otherwise computed once by the searches, kept, and
// handed out again for every later request with that key. A cache that already holds 50 objects
// gives up its oldest for the new one. Owns every object it returns. What a search leaves
// unplaced is reported through the context when the object is computed, never when it is
// reused. Used by one thread at a time.
//
// Every operation returns null when the context has no reader for a mesh it needs.
class ZORMtkWeightCache {
 public:
  ZORMtkWeightCache();
  ~ZORMtkWeightCache();
  ZORMtkWeightCache(const ZORMtkWeightCache&) = delete;
  ZORMtkWeightCache& operator=(const ZORMtkWeightCache&) = delete;

  // The element grid of a source mesh, formed with margin max(boundary, normal tolerance).
  ZORMtkMeshElemB* ElementGrid(ZORMtkMappingContext& context, const ZORSimDynamicID& source);
  // The node grid of a source mesh, for the nearest-node search.
  ZORMtkMeshNodeB* NodeGrid(ZORMtkMappingContext& context, const ZORSimDynamicID& source);

  // Nodal weights of a request: mapMethod 0 shape interpolation, 1 nearest node, anything else
  // an object without links. Keyed by both meshes, reverse, noFallback and mapMethod == 1. The
  // keys of the result are target nodes and its partners source nodes, except for reverse, where
  // keys are source nodes and partners target nodes (also after a fallback).
  const ZORMtkNodalWeights* NodalWeights(ZORMtkMappingContext& context, int mapMethod,
                                         const ZORSimDynamicID& source,
                                         const ZORSimDynamicID& target, bool reverse,
                                         bool noFallback);
  // Integration-point weights of every target element, keyed by both meshes.
  const ZORMtkElementWeights* ElementWeights(ZORMtkMappingContext& context,
                                             const ZORSimDynamicID& source,
                                             const ZORSimDynamicID& target);

  // The row form kept beside nodal weights this cache handed out, or null when none was kept.
  const ZORMtkRowForm* RowForm(const ZORMtkNodalWeights* weights) const;
  // Keeps form beside weights, which this cache handed out, in place of the form kept before; the
  // form goes when the weights do. Returns the kept form, or null when the weights are gone.
  const ZORMtkRowForm* KeepRowForm(const ZORMtkNodalWeights* weights,
                                   std::unique_ptr<ZORMtkRowForm> form);

  int ElementGridCount() const { return elementGrids_.Count(); }
  int NodeGridCount() const { return nodeGrids_.Count(); }
  int NodalWeightCount() const { return nodalWeights_.Count(); }
  int ElementWeightCount() const { return elementWeights_.Count(); }
  // The nodal weights in cache slot order, oldest first.
  const ZORMtkNodalWeights* NodalWeightsAt(int slot) const { return nodalWeights_.At(slot); }

 private:
  ZORMtkOwnedTable<ZORMtkMeshElemB> elementGrids_;
  ZORMtkOwnedTable<ZORMtkMeshNodeB> nodeGrids_;
  ZORMtkOwnedTable<ZORMtkNodalWeights> nodalWeights_;
  // Per slot of nodalWeights_, its row form or null.
  std::vector<std::unique_ptr<ZORMtkRowForm>> rowForms_;
  ZORMtkOwnedTable<ZORMtkElementWeights> elementWeights_;
};
