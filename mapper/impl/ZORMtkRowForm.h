#pragma once

#include <memory>

#include "mapper/impl/ZORMtkNodeLinks.h"
#include "platform/ZORFreshArray.h"
#include "platform/ZORSimCSetID.h"

class ZORMtkNodalWeights;

// The row form of one nodal weights object for one key region and one partner region: per key
// row where its links start and end in the weights' own arrays, and per link the row of its
// partner. The weights themselves are not copied, so a field transfer reads them in place and a
// second field between the same meshes costs the arithmetic alone; the form adds 4 bytes per key
// and per link. It holds both regions' member sets, so no other set can take their identity while
// it lives. Read-only once built: any number of threads may read its view.
class ZORMtkRowForm {
 public:
  // Keys are the members of keyRegion in ascending order, partners become positions in
  // partnerRegion. Built by up to `threads` threads, into the same form at any count.
  ZORMtkRowForm(const ZORMtkNodalWeights& weights, const ZORSimCSetID& keyRegion,
                const ZORSimCSetID& partnerRegion, int threads);

  // Whether the form was built for these two regions (the same member sets, not merely equal
  // ones: a region is never changed, only replaced).
  bool Fits(const ZORSimCSetID& keyRegion, const ZORSimCSetID& partnerRegion) const;
  // False when the weights cannot be read in place: a key region that repeats a member, or a
  // partner of one of its keys outside the partner region, which the transfer drops.
  bool InPlace() const { return inPlace_; }
  // The links, valid while the form and the weights it was built from live.
  ZORMtkNodeLinkView View(const ZORMtkNodalWeights& weights) const;
  long long StorageBytes() const;

 private:
  void Build(const ZORMtkNodalWeights& weights, int threads);

  ZORSimCSetID keyRegion_;
  ZORSimCSetID partnerRegion_;
  bool inPlace_ = false;
  ZORFreshArray<int> offsets_;
  ZORFreshArray<int> rows_;
};
