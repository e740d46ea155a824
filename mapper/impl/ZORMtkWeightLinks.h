#pragma once

#include <vector>

#include "mapper/impl/ZORMtkNodeLinks.h"
#include "mapper/impl/ZORMtkPointLinks.h"
#include "platform/ZORSimAPI.h"

class ZORMtkMappingContext;
class ZORMtkMapSpecs;
class ZORMtkNodalWeights;
class ZORMtkElementWeights;

// The seam between the weight cache, which links node and element members, and the transfer
// arithmetic, which works on rows and slots. It fetches the weights of a request from the
// context's weight cache and turns them into row links (kept in the cache beside the weights) or
// ZORMtkPointLinks. Owns nothing; the weight objects stay in the cache.
class ZORMtkWeightLinks {
 public:
  // The nodal weights of the request (its method and no-fallback flag, source mesh 0, target
  // mesh): gathering (reverse false: keys are target nodes) or scattering (reverse true: keys are
  // source nodes). Null when the context lacks a reader of either mesh.
  static const ZORMtkNodalWeights* NodalWeights(ZORMtkMappingContext& context,
                                                const ZORMtkMapSpecs& request, bool reverse);
  // The integration-point weights of the request's source mesh 0 and target mesh, or null.
  static const ZORMtkElementWeights* ElementWeights(ZORMtkMappingContext& context,
                                                    const ZORMtkMapSpecs& request);

  // Key i is keyMembers[i]; its partners become positions in partnerRegion, and a partner
  // outside that region is dropped. A key without links, and every key when there are no
  // weights, gets none. Built by up to `threads` threads, into the same links at any count.
  static ZORMtkNodeLinks NodeLinks(const ZORMtkNodalWeights* weights,
                                   const std::vector<int>& keyMembers,
                                   const ZORSimCSetID& partnerRegion, int threads = 1);
  // The links of weights with keys the members of keyRegion, ascending, and partners positions in
  // partnerRegion, read in place through the row form the context's cache keeps beside the
  // weights; the form is built when the regions are new to it. Weights that cannot be read in
  // place are turned into `built`, as NodeLinks does, and the view reads that.
  static ZORMtkNodeLinkView RowLinks(ZORMtkMappingContext& context,
                                     const ZORMtkNodalWeights* weights,
                                     const ZORSimCSetID& keyRegion,
                                     const ZORSimCSetID& partnerRegion, ZORMtkNodeLinks& built);
  // The placed points of one target class: element i of members owns slots i x points to
  // i x points + points - 1. Unplaced points, and points beyond the class's count, get no entry;
  // without weights no point has one.
  static ZORMtkPointLinks PointLinks(const ZORMtkElementWeights* weights,
                                     const std::vector<int>& members, int points);

 private:
  static void AddPlacedPoints(const ZORMtkElementWeights& weights, const std::vector<int>& members,
                              int points, ZORMtkPointLinks& links);
};
