#include "mapper/impl/ZORMtkWeightLinks.h"

#include <algorithm>

#include "mapper/ZORMtkMapSpecs.h"
#include "mapper/impl/ZORMtkMappingContext.h"
#include "search/impl/ZORMtkElementWeights.h"
#include "search/impl/ZORMtkNodalWeights.h"

const ZORMtkNodalWeights* ZORMtkWeightLinks::NodalWeights(ZORMtkMappingContext& context,
                                                          const ZORMtkMapSpecs& request,
                                                          bool reverse) {
  return context.cache.NodalWeights(context, request.mapMethod, request.sourceMeshIDs[0],
                                    request.targetMeshID, reverse, request.noFallback);
}

const ZORMtkElementWeights* ZORMtkWeightLinks::ElementWeights(ZORMtkMappingContext& context,
                                                              const ZORMtkMapSpecs& request) {
  return context.cache.ElementWeights(context, request.sourceMeshIDs[0], request.targetMeshID);
}

ZORMtkNodeLinks ZORMtkWeightLinks::NodeLinks(const ZORMtkNodalWeights* weights,
                                             const std::vector<int>& keyMembers,
                                             const ZORSimCSetID& partnerRegion) {
  const ZORSimCSet partners(partnerRegion);
  ZORMtkNodeLinks links;
  links.offsets.reserve(keyMembers.size() + 1);
  const int linkCount = weights ? weights->LinkCount() : 0;
  links.partnerRows.reserve(static_cast<std::size_t>(linkCount));
  links.weights.reserve(static_cast<std::size_t>(linkCount));
  for (const int member : keyMembers) {
    const int index = weights ? weights->FindKey(member) : -1;
    const int count = index < 0 ? 0 : weights->PartnerCount(index);
    for (int k = 0; k < count; ++k) {
      const int row = partners.SeekMember(weights->Partners(index)[k]);
      if (row >= 0) links.AddLink(row, weights->Weights(index)[k]);
    }
    links.CloseKey();
  }
  return links;
}

ZORMtkPointLinks ZORMtkWeightLinks::PointLinks(const ZORMtkElementWeights* weights,
                                               const std::vector<int>& members, int points) {
  ZORMtkPointLinks links;
  if (weights != nullptr) AddPlacedPoints(*weights, members, points, links);
  links.Finish();
  return links;
}

void ZORMtkWeightLinks::AddPlacedPoints(const ZORMtkElementWeights& weights,
                                        const std::vector<int>& members, int points,
                                        ZORMtkPointLinks& links) {
  for (int i = 0; i < static_cast<int>(members.size()); ++i) {
    const int index = weights.FindElement(members[static_cast<std::size_t>(i)]);
    if (index < 0) continue;
    const int placed = std::min(weights.PointCount(index), points);
    for (int q = 0; q < placed; ++q) {
      const int source = weights.PointSource(index, q);
      if (source < 0) continue;
      links.AddPoint(source, i * points + q, weights.PointWeights(index, q),
                     weights.PointWeightCount(index, q));
    }
  }
}
