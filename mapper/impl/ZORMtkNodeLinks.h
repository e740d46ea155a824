#pragma once

#include "platform/ZORFreshArray.h"

// The nodal weights of one transfer as rows: for each key row its partner rows and one weight
// per partner. The weight store speaks in node members; the transfers turn the members into rows
// of their value arrays once, so that the arithmetic is plain array work and can be tested with
// links made by hand. Owns its three arrays, which are made unset, so that the threads that fill
// their parts are the first to touch them.
//
// The partners of key i are entries offsets[i] .. offsets[i + 1] - 1 of partnerRows and weights.
struct ZORMtkNodeLinks {
  ZORFreshArray<int> offsets{0};
  ZORFreshArray<int> partnerRows;
  ZORFreshArray<double> weights;

  int KeyCount() const { return static_cast<int>(offsets.size()) - 1; }
  void AddLink(int partnerRow, double weight) {
    partnerRows.push_back(partnerRow);
    weights.push_back(weight);
  }
  // Ends the current key; a key closed without links has none.
  void CloseKey() { offsets.push_back(static_cast<int>(partnerRows.size())); }
};

// Nodal links as the arithmetic reads them, owned elsewhere: by a ZORMtkNodeLinks, or by the
// weight cache, which keeps the rows beside the weights so that no field copies them. The
// partners of key i are entries offsets[i] .. offsets[i + 1] - 1 of partnerRows and weights;
// offsets[0] need not be 0, and entries outside every key's range are never read. Valid while
// its owner lives and is left unchanged.
struct ZORMtkNodeLinkView {
  ZORMtkNodeLinkView() = default;
  ZORMtkNodeLinkView(const int* offsetsOf, const int* partnerRowsOf, const double* weightsOf,
                     int keyCount)
      : offsets(offsetsOf), partnerRows(partnerRowsOf), weights(weightsOf), keys(keyCount) {}
  // Links made by hand or built for one transfer read the same way as kept ones.
  ZORMtkNodeLinkView(const ZORMtkNodeLinks& links)
      : ZORMtkNodeLinkView(links.offsets.data(), links.partnerRows.data(), links.weights.data(),
                           links.KeyCount()) {}

  int KeyCount() const { return keys; }
  int LinkCount(int key) const { return offsets[key + 1] - offsets[key]; }
  // visit(key, partnerRow, weight) for every link, keys in order and each key's links in order.
  template <typename Visit>
  void ForEachLink(Visit&& visit) const {
    for (int key = 0; key < keys; ++key)
      for (int link = offsets[key]; link < offsets[key + 1]; ++link)
        visit(key, partnerRows[link], weights[link]);
  }

  const int* offsets = nullptr;
  const int* partnerRows = nullptr;
  const double* weights = nullptr;
  int keys = 0;
};
