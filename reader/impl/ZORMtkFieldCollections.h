#pragma once

#include "platform/ZORSimAPI.h"

// What a dimension of a field drawer runs over.
enum class ZORMtkDimensionKind {
  kIncrement,
  kNode,
  kElement,
  kComponent,
  kPoint,
  kFirstAuxiliary,
  kSecondAuxiliary,
  kThirdAuxiliary,
  kUnknown
};

// The collections by which the dimensions of a field drawer are told apart: the step's increment
// collection, the mesh's node and element collections, and the global collections of components,
// integration points and the three auxiliary dimensions. A value; absent collections stay empty.
class ZORMtkFieldCollections {
 public:
  ZORMtkFieldCollections(const ZORSrvPosition& root, const ZORSrvPosition& mesh,
                         const ZORSrvPosition& step, const ZORSimCSetID& increment);

  // The first kind, in the order of the members below, whose collection is `collection`.
  ZORMtkDimensionKind KindOf(const ZORSimCollectionID& collection) const;
  const ZORSimCollectionID& Elements() const { return element_; }

 private:
  ZORSimCollectionID increment_;
  ZORSimCollectionID node_;
  ZORSimCollectionID element_;
  ZORSimCollectionID component_;
  ZORSimCollectionID point_;
  ZORSimCollectionID firstAuxiliary_;
  ZORSimCollectionID secondAuxiliary_;
  ZORSimCollectionID thirdAuxiliary_;
};
