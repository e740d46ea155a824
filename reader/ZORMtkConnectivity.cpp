#include "reader/impl/ZORMtkConnectivity.h"

#include "platform/ZORSimSchemaKeys.h"

using namespace ZORSimKeys;

ZORMtkConnectivity::ZORMtkConnectivity(const ZORSrvPosition& mesh)
    : mesh_(mesh),
      distribution_(ZORSimDSet(mesh.Context(),
                               ZORSrvPosition(mesh, mesh.Follow(kMeshConnectivity, 0)).GetDSet())
                        .GetRelationalDistributionID()),
      drawers_(ZORSimDistribution(mesh.Context(), distribution_).QueryDrawers()) {}

bool ZORMtkConnectivity::Locate(const ZORSimCSetID& elements, int& nodesPerElement) {
  for (std::size_t index = 0; index < drawers_.size(); ++index) {
    const ZORSimDrawerDescriptor& drawer = drawers_[index];
    for (std::size_t d = 0; d < drawer.dimensions.size(); ++d) {
      const ZORSimCSetID& set = drawer.dimensions[d];
      if (set.collection != elements.collection ||
          ZORSimCSet(set).Intersection(elements).Size() != elements.Size())
        continue;
      // A connectivity drawer runs over elements and node positions; whichever of its two
      // dimensions is not the element one holds the positions.
      positionDimension_ = d == 0 ? 1 : 0;
      if (static_cast<std::size_t>(positionDimension_) >= drawer.dimensions.size()) continue;
      located_ = index;
      nodesPerElement = drawer.dimensions[static_cast<std::size_t>(positionDimension_)].Size();
      return true;
    }
  }
  return false;
}

void ZORMtkConnectivity::Read(const ZORSimCSetID& elements, int* nodes) const {
  const ZORSimDrawerDescriptor& drawer = drawers_[located_];
  const ZORSimCSetID& positions = drawer.dimensions[static_cast<std::size_t>(positionDimension_)];
  const std::int64_t count = static_cast<std::int64_t>(elements.Size()) * positions.Size();
  if (count == 0) return;
  ZORSimTransfer transfer(mesh_.Context(), distribution_);
  transfer.SetRead();
  transfer.SetDrawer(drawer.id);
  transfer.SetDim(0, elements);
  transfer.SetDim(1, positions);
  transfer.CheckView();
  transfer.SetBuffer(0, static_cast<void*>(nodes), count * static_cast<std::int64_t>(sizeof(int)));
  transfer.ExecRead();
  transfer.RelinquishBuffers();
}
