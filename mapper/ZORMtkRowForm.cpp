#include "mapper/impl/ZORMtkRowForm.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "platform/ZORSimCSet.h"
#include "platform/impl/ZORHugePages.h"
#include "platform/impl/ZORParallelFor.h"
#include "search/impl/ZORMtkNodalWeights.h"

ZORMtkRowForm::ZORMtkRowForm(const ZORMtkNodalWeights& weights, const ZORSimCSetID& keyRegion,
                             const ZORSimCSetID& partnerRegion, int threads)
    : keyRegion_(keyRegion), partnerRegion_(partnerRegion) {
  const bool repeats = keyRegion.members && keyRegion.members->HasDuplicates();
  if (!repeats) Build(weights, threads);
}

bool ZORMtkRowForm::Fits(const ZORSimCSetID& keyRegion, const ZORSimCSetID& partnerRegion) const {
  return keyRegion.collection == keyRegion_.collection && keyRegion.members == keyRegion_.members &&
         partnerRegion.collection == partnerRegion_.collection &&
         partnerRegion.members == partnerRegion_.members;
}

// Both the keys and the weights' keys ascend, so one walk through each range of keys meets their
// weights in order, and key i's links end where the weights' links up to it end. The view keeps
// only ends, so the links of a weights key between two keys of the region would fall into the
// later key's range: such weights, like a partner outside the partner region, leave the form
// unusable in place. Each range starts where a binary search puts its first key and must start
// where the range before it ends. The links of weights keys outside the region are never read.
void ZORMtkRowForm::Build(const ZORMtkNodalWeights& weights, int threads) {
  const int keyCount = keyRegion_.Size();
  std::vector<int> keys(static_cast<std::size_t>(keyCount));
  ZORSimCSet(keyRegion_).Members(keys.data());
  const ZORSimMemberSet* partners = partnerRegion_.members.get();
  ZORHugePages::Resize(offsets_, static_cast<std::size_t>(keyCount) + 1);
  ZORHugePages::Resize(rows_, static_cast<std::size_t>(weights.LinkCount()));
  const int parts = ZORParallelFor::Parts(keyCount, threads);
  std::vector<char> broken(static_cast<std::size_t>(parts), 0);
  std::vector<long long> firstKey(static_cast<std::size_t>(parts), 0);
  std::vector<int> firstLink(static_cast<std::size_t>(parts), 0);
  ZORParallelFor::Ranges(keyCount, threads, [&](int part, long long begin, long long end) {
    int index = weights.FirstKeyNotBelow(keys[static_cast<std::size_t>(begin)]);
    int linkEnd = weights.LinkBegin(index);
    firstKey[static_cast<std::size_t>(part)] = begin;
    firstLink[static_cast<std::size_t>(part)] = linkEnd;
    for (long long key = begin; key < end; ++key) {
      const int member = keys[static_cast<std::size_t>(key)];
      while (index < weights.KeyCount() && weights.Key(index) < member) ++index;
      bool whole = weights.LinkBegin(index) == linkEnd;
      if (index < weights.KeyCount() && weights.Key(index) == member) {
        const int count = weights.PartnerCount(index);
        int* rows = rows_.data() + weights.LinkBegin(index);
        if (partners) {
          whole = partners->SeekEach(weights.Partners(index), count, rows) && whole;
        } else {
          std::fill(rows, rows + count, -1);
          whole = whole && count == 0;
        }
        linkEnd = weights.LinkBegin(++index);
      }
      if (!whole) broken[static_cast<std::size_t>(part)] = 1;
      offsets_[static_cast<std::size_t>(key) + 1] = linkEnd;
    }
  });
  offsets_[0] = keyCount > 0 ? firstLink[0] : 0;
  for (int part = 1; part < parts; ++part) {
    const std::size_t at = static_cast<std::size_t>(part);
    if (offsets_[static_cast<std::size_t>(firstKey[at])] != firstLink[at]) broken[at] = 1;
  }
  inPlace_ = std::find(broken.begin(), broken.end(), 1) == broken.end();
}

ZORMtkNodeLinkView ZORMtkRowForm::View(const ZORMtkNodalWeights& weights) const {
  return ZORMtkNodeLinkView(offsets_.data(), rows_.data(), weights.Weights(0),
                            static_cast<int>(offsets_.size()) - 1);
}

long long ZORMtkRowForm::StorageBytes() const {
  return static_cast<long long>(sizeof(int) * (offsets_.size() + rows_.size()));
}
