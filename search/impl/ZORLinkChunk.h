#pragma once

#include <vector>

#include "search/impl/ZORSearchMisses.h"

// The links and misses that one chunk of a nodal search found, in key order. Each chunk is
// filled by one thread and joined into the weight object in chunk order, so the result does not
// depend on the thread count. Owns its arrays; Clear gives their memory back once joined.
struct ZORLinkChunk {
  std::vector<int> keys;
  std::vector<int> elements;  // source element member per key, -1 when there is none
  std::vector<int> counts;
  std::vector<int> partners;
  std::vector<double> weights;
  std::vector<ZORSearchMiss> misses;

  void Add(int key, int element, const int* keyPartners, const double* keyWeights, int count) {
    keys.push_back(key);
    elements.push_back(element);
    counts.push_back(count);
    partners.insert(partners.end(), keyPartners, keyPartners + count);
    weights.insert(weights.end(), keyWeights, keyWeights + count);
  }

  void Clear() { *this = ZORLinkChunk(); }
};
