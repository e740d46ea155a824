#pragma once

#include <cstddef>
#include <vector>

#include "platform/ZORFreshArray.h"
#include "platform/ZORSimHandles.h"

// The links from the nodes of one mesh to the nodes of another that a nodal transfer applies:
// for each key node (a node member) its partner node members and one weight per partner. It
// owns the links in three flat arrays (keys ascending, with an offset per key into partners
// and weights) and the cache key: the two meshes and the reversed, no-fallback, nearest-node and
// nearest-fallback flags.
//
// Keys are the target mesh's nodes, partners the source mesh's, unless the object is reversed
// (keys are source nodes, partners target nodes). A key node that could not be placed has no
// entry.
class ZORMtkNodalWeights {
 public:
  // Room for keys and links, so that a search that knows its counts appends without regrowing.
  void Reserve(int keys, int links);
  // Gives back room a Reserve overestimated.
  void Trim();
  // Appends the links of a key greater than every key appended so far; element is the member of
  // the source element that holds the key node, -1 when there is none (nearest node).
  void AddKey(int key, const int* partners, const double* weights, int count, int element = -1);
  // Appends keyCount keys at once, as as many AddKey calls would: counts[k] partners and weights
  // for key k, those of all keys one after another in partners and weights.
  void AppendKeys(int keyCount, const int* keys, const int* elements, const int* counts,
                  const int* partners, const double* weights);

  // Room for a search that finds links in another order than their keys': `positions` keys of up
  // to `stride` links each, after those held. For each position p the search writes its link
  // count (0 for none), its element and its links from p * stride on; KeepStaged then makes the
  // positions with links keys, in position order. The room is zeroed on up to `threads` threads.
  struct StagedLinks {
    int* counts;
    int* elements;
    int* partners;
    double* weights;
    std::size_t positions;
    std::size_t stride;
    std::size_t keyBase;
    std::size_t linkBase;

    // Position p without links.
    void Empty(std::size_t p) const { counts[p] = 0; }
    // Position p linked to one partner with weight 1 (a coincident or nearest node).
    void Single(std::size_t p, int element, int partner) const {
      counts[p] = 1;
      elements[p] = element;
      partners[p * stride] = partner;
      weights[p * stride] = 1.0;
    }
  };
  StagedLinks Stage(int positions, int stride, int threads = 1);
  // members[p] is the key of position p: ascending, and above every key held before Stage. The
  // links move towards the front in place, as no position has more than stride of them.
  void KeepStaged(const StagedLinks& staged, const int* members);

  int KeyCount() const { return static_cast<int>(keys_.size()); }
  int Key(int index) const { return keys_[static_cast<std::size_t>(index)]; }
  // Index of key, or -1 when the key has no links.
  int FindKey(int key) const;
  // Index of the first key not below key; KeyCount() when every key is below it.
  int FirstKeyNotBelow(int key) const;
  int PartnerCount(int index) const {
    return offsets_[static_cast<std::size_t>(index) + 1] -
           offsets_[static_cast<std::size_t>(index)];
  }
  // Where the links of the key at index start in the link arrays; index KeyCount() gives their
  // count.
  int LinkBegin(int index) const { return offsets_[static_cast<std::size_t>(index)]; }
  const int* Partners(int index) const {
    return partners_.data() + offsets_[static_cast<std::size_t>(index)];
  }
  const double* Weights(int index) const {
    return weights_.data() + offsets_[static_cast<std::size_t>(index)];
  }
  int LinkCount() const { return static_cast<int>(partners_.size()); }
  // The source element that holds the key node at index, -1 when there is none (nearest node,
  // fallback, transposed links).
  int SourceElement(int index) const { return elements_[static_cast<std::size_t>(index)]; }

  // Whether the number of distinct partners that carry a weight of magnitude above 1e-12 differs
  // from nodeCount, that is whether some partner-side node receives nothing.
  bool HasUncoveredNodes(int nodeCount) const;
  // Exchanges keys and partners: every partner becomes a key listing the old keys it was linked
  // to, in ascending order of the old keys, with the same weights.
  void TransposeWeights();
  // Scales each key's weights to sum to 1, unless their sum is (nearly) zero.
  void NormalizeWeights();
  // Writes the links to the platform's standard output stream.
  void PrintNodalWeights() const;

  // Bytes held by the link arrays.
  long long StorageBytes() const;

  ZORSimDynamicID targetMesh;
  ZORSimDynamicID sourceMesh;
  // Found with the containing element choice.
  bool containing = false;
  bool reversed = false;
  bool noFallback = false;
  bool nearestNode = false;
  // Nodes the shape search could not place were linked to their nearest source node.
  bool nearestFallback = false;

 private:
  // Fresh arrays: Stage leaves its room unset for the search to fill.
  ZORFreshArray<int> keys_;
  ZORFreshArray<int> elements_;
  ZORFreshArray<int> offsets_{0};
  ZORFreshArray<int> partners_;
  ZORFreshArray<double> weights_;
};
