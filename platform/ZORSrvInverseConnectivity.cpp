#include <algorithm>

#include "platform/ZORSrvInverseConnectivity.h"

#include "platform/ZORSimCSet.h"
#include "platform/ZORSimCollection.h"
#include "platform/ZORSimDSet.h"
#include "platform/ZORSimDistribution.h"
#include "platform/ZORSimSchemaKeys.h"
#include "platform/ZORSimTransfer.h"

namespace {
using ZORSimKeys::kMeshConnectivity;
using ZORSimKeys::kMeshElements;
using ZORSimKeys::kMeshNodes;
constexpr int kElementMask = 0x1FFFFFF;

// The nodes of the region's elements in one connectivity drawer, element by element.
std::vector<int> ReadConnectivity(const ZORSimContext& context, ZORSimDistributionID distribution,
                                  const ZORSimDrawerDescriptor& drawer,
                                  const ZORSimCSetID& inRegion) {
  std::vector<int> connectivity(static_cast<std::size_t>(inRegion.Size()) *
                                static_cast<std::size_t>(drawer.dimensions[1].Size()));
  ZORSimTransfer read(context, distribution);
  read.SetRead();
  read.SetBufferPadding(false);
  read.SetDrawer(drawer.id);
  read.SetDim(0, inRegion);
  read.SetDim(1, drawer.dimensions[1]);
  read.CheckView();
  read.SetBuffer(0, connectivity.data(),
                 static_cast<std::int64_t>(connectivity.size() * sizeof(int)));
  read.ExecRead();
  read.RelinquishBuffers();
  return connectivity;
}
}  // namespace

void ZORSrvInverseConnectivity::Invert(const ZORSimCSetID& elements) {
  offsets_.clear();
  entries_.clear();
  const ZORSimCollectionID nodeCollection =
      ZORSrvPosition(mesh_, mesh_.Follow(kMeshNodes, 1)).GetCollection();
  const ZORSimCollectionID elementCollection =
      ZORSrvPosition(mesh_, mesh_.Follow(kMeshElements, 0)).GetCollection();
  const ZORSimDSetID connectivitySet =
      ZORSrvPosition(mesh_, mesh_.Follow(kMeshConnectivity, 0)).GetDSet();
  const int nodeCount = ZORSimCollection(mesh_.Context(), nodeCollection).Space();
  offsets_.assign(static_cast<std::size_t>(nodeCount) + 1, 0);
  if (connectivitySet.IsEmpty() || !elements.members) return;
  const ZORSimDistributionID distribution =
      ZORSimDSet(mesh_.Context(), connectivitySet).GetRelationalDistributionID();
  if (distribution.IsEmpty()) return;

  // Two passes over the connectivity drawers: count the entries of every node, then place them.
  struct Block {
    int nodesPerElement;
    std::vector<int> connectivity;
    std::vector<int> members;
  };
  std::vector<Block> blocks;
  for (const ZORSimDrawerDescriptor& drawer :
       ZORSimDistribution(mesh_.Context(), distribution).QueryDrawers()) {
    if (drawer.dimensions.size() != 2 || drawer.dimensions[0].collection != elementCollection)
      continue;
    const ZORSimCSetID inRegion = ZORSimCSet(drawer.dimensions[0]).Intersection(elements);
    if (inRegion.Size() == 0) continue;
    const int nodesPerElement = drawer.dimensions[1].Size();
    std::vector<int> connectivity =
        ReadConnectivity(mesh_.Context(), distribution, drawer, inRegion);
    for (std::size_t e = 0; e < static_cast<std::size_t>(inRegion.Size()); ++e)
      for (int k = 0; k < nodesPerElement; ++k) {
        const int node = connectivity[e * nodesPerElement + k];
        if (node >= 0 && node < nodeCount) ++offsets_[static_cast<std::size_t>(node) + 1];
      }
    std::vector<int> members(static_cast<std::size_t>(inRegion.Size()));
    ZORSimCSet(inRegion).OrderedMembers(members.data());
    blocks.push_back(Block{nodesPerElement, std::move(connectivity), std::move(members)});
  }
  for (std::size_t i = 1; i < offsets_.size(); ++i) offsets_[i] += offsets_[i - 1];
  entries_.resize(static_cast<std::size_t>(offsets_.back()));
  std::vector<std::int64_t> fill(offsets_.begin(), offsets_.end() - 1);
  for (const Block& block : blocks) {
    const int nodesPerElement = block.nodesPerElement;
    const std::vector<int>& connectivity = block.connectivity;
    const std::vector<int>& members = block.members;
    for (std::size_t e = 0; e < members.size(); ++e)
      for (int k = 0; k < nodesPerElement; ++k) {
        const int node = connectivity[e * nodesPerElement + k];
        if (node >= 0 && node < nodeCount)
          entries_[static_cast<std::size_t>(fill[static_cast<std::size_t>(node)]++)] =
              members[e] & kElementMask;
      }
  }
}

const int* ZORSrvInverseConnectivity::Entries(int node, int& count) const {
  count = 0;
  if (node < 0 || node + 1 >= static_cast<int>(offsets_.size())) return nullptr;
  count = static_cast<int>(offsets_[node + 1] - offsets_[node]);
  return count > 0 ? entries_.data() + offsets_[node] : nullptr;
}
