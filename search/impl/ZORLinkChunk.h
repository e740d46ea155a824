#pragma once

#include <vector>

#include "search/impl/ZORSearchMisses.h"

// The links and misses that one chunk of a part's point search found, in key order. Each chunk is
// filled by one thread and joined into the weight object in chunk order, so the result does not
// depend on the thread count. Owns its arrays; Clear gives their memory back once joined.
struct ZORLinkChunk {
  std::vector<int> keys;
  std::vector<int> elements;  // source element member per key, -1 when there is none
  std::vector<int> counts;
  std::vector<int> partners;
  std::vector<double> weights;
  std::vector<ZORSearchMiss> misses;

  // Room for `keyCount` keys of up to `linksPerKey` links, so that Add does not reallocate.
  void Reserve(int keyCount, int linksPerKey) {
    keys.reserve(static_cast<std::size_t>(keyCount));
    elements.reserve(static_cast<std::size_t>(keyCount));
    counts.reserve(static_cast<std::size_t>(keyCount));
    partners.reserve(static_cast<std::size_t>(keyCount) * static_cast<std::size_t>(linksPerKey));
    weights.reserve(static_cast<std::size_t>(keyCount) * static_cast<std::size_t>(linksPerKey));
  }

  // Link by link: a key has a handful, where a range insert costs a library copy call.
  void Add(int key, int element, const int* keyPartners, const double* keyWeights, int count) {
    keys.push_back(key);
    elements.push_back(element);
    counts.push_back(count);
    for (int k = 0; k < count; ++k) {
      partners.push_back(keyPartners[k]);
      weights.push_back(keyWeights[k]);
    }
  }

  void Clear() { *this = ZORLinkChunk(); }
};
