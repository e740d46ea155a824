#include "mapper/impl/ZORMtkWeightLinks.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "mapper/ZORMtkMapSpecs.h"
#include "mapper/impl/ZORMtkMappingContext.h"
#include "mapper/impl/ZORMtkRowForm.h"
#include "platform/impl/ZORHugePages.h"
#include "platform/impl/ZORParallelFor.h"
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

// The keys are split into ranges over the threads. A first pass finds each key's weights and
// counts its partners in the region; the counts, summed in key order, give each key its first
// link; a second pass writes each key's links from there. Every key writes only its own slots.
ZORMtkNodeLinks ZORMtkWeightLinks::NodeLinks(const ZORMtkNodalWeights* weights,
                                             const std::vector<int>& keyMembers,
                                             const ZORSimCSetID& partnerRegion, int threads) {
  const ZORSimCSet partners(partnerRegion);
  const long long keyCount = static_cast<long long>(keyMembers.size());
  ZORMtkNodeLinks links;
  ZORHugePages::Resize(links.offsets, keyMembers.size() + 1);
  links.offsets[0] = 0;
  // Per key the index of its weights, -1 for a key without any.
  ZORFreshArray<int> indices;
  ZORHugePages::Resize(indices, keyMembers.size());
  ZORParallelFor::Ranges(keyCount, threads, [&](int /*part*/, long long begin, long long end) {
    for (std::size_t key = begin; key < static_cast<std::size_t>(end); ++key) {
      const int index = weights ? weights->FindKey(keyMembers[key]) : -1;
      const int count = index < 0 ? 0 : weights->PartnerCount(index);
      int kept = 0;
      for (int k = 0; k < count; ++k) kept += partners.SeekMember(weights->Partners(index)[k]) >= 0;
      indices[key] = index;
      links.offsets[key + 1] = kept;
    }
  });
  for (std::size_t key = 0; key < keyMembers.size(); ++key)
    links.offsets[key + 1] += links.offsets[key];
  ZORHugePages::Resize(links.partnerRows, static_cast<std::size_t>(links.offsets.back()));
  ZORHugePages::Resize(links.weights, static_cast<std::size_t>(links.offsets.back()));
  ZORParallelFor::Ranges(keyCount, threads, [&](int /*part*/, long long begin, long long end) {
    for (std::size_t key = begin; key < static_cast<std::size_t>(end); ++key) {
      const int index = indices[key];
      const int count = index < 0 ? 0 : weights->PartnerCount(index);
      std::size_t link = static_cast<std::size_t>(links.offsets[key]);
      for (int k = 0; k < count; ++k) {
        const int row = partners.SeekMember(weights->Partners(index)[k]);
        if (row < 0) continue;
        links.partnerRows[link] = row;
        links.weights[link++] = weights->Weights(index)[k];
      }
    }
  });
  return links;
}

ZORMtkNodeLinkView ZORMtkWeightLinks::RowLinks(ZORMtkMappingContext& context,
                                               const ZORMtkNodalWeights* weights,
                                               const ZORSimCSetID& keyRegion,
                                               const ZORSimCSetID& partnerRegion,
                                               ZORMtkNodeLinks& built) {
  const int threads = ZORParallelFor::ResolveThreads(context.options.threads);
  if (weights != nullptr) {
    const ZORMtkRowForm* form = context.cache.RowForm(weights);
    if (form == nullptr || !form->Fits(keyRegion, partnerRegion)) {
      form = context.cache.KeepRowForm(
          weights, std::make_unique<ZORMtkRowForm>(*weights, keyRegion, partnerRegion, threads));
    }
    if (form != nullptr && form->InPlace()) return form->View(*weights);
  }
  std::vector<int> keys(static_cast<std::size_t>(keyRegion.Size()));
  ZORSimCSet(keyRegion).Members(keys.data());
  built = NodeLinks(weights, keys, partnerRegion, threads);
  return built;
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
