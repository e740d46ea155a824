#include "reader/impl/ZORMtkFieldCollections.h"

#include <utility>

#include "platform/ZORSimSchemaKeys.h"

using namespace ZORSimKeys;

namespace {

ZORSimCollectionID CollectionAt(const ZORSrvPosition& from, int key, int side) {
  return ZORSrvPosition(from, from.Follow(key, side)).GetCollection();
}

}  // namespace

ZORMtkFieldCollections::ZORMtkFieldCollections(const ZORSrvPosition& root,
                                               const ZORSrvPosition& mesh,
                                               const ZORSrvPosition& step,
                                               const ZORSimCSetID& increment)
    : increment_(increment.collection),
      node_(CollectionAt(mesh, kMeshNodes, 1)),
      element_(CollectionAt(mesh, kMeshElements, 0)),
      component_(CollectionAt(root, kComponentCollection, 0)),
      point_(CollectionAt(root, kIntegrationPoints, 1)),
      firstAuxiliary_(CollectionAt(step, kFirstAuxiliary, 0)),
      secondAuxiliary_(CollectionAt(root, kSecondAuxiliary, 1)),
      thirdAuxiliary_(CollectionAt(root, kThirdAuxiliary, 0)) {}

ZORMtkDimensionKind ZORMtkFieldCollections::KindOf(const ZORSimCollectionID& collection) const {
  if (collection.IsEmpty()) return ZORMtkDimensionKind::kUnknown;
  const std::pair<const ZORSimCollectionID*, ZORMtkDimensionKind> kinds[] = {
      {&increment_, ZORMtkDimensionKind::kIncrement},
      {&node_, ZORMtkDimensionKind::kNode},
      {&element_, ZORMtkDimensionKind::kElement},
      {&component_, ZORMtkDimensionKind::kComponent},
      {&point_, ZORMtkDimensionKind::kPoint},
      {&firstAuxiliary_, ZORMtkDimensionKind::kFirstAuxiliary},
      {&secondAuxiliary_, ZORMtkDimensionKind::kSecondAuxiliary},
      {&thirdAuxiliary_, ZORMtkDimensionKind::kThirdAuxiliary}};
  for (const auto& [candidate, kind] : kinds)
    if (*candidate == collection) return kind;
  return ZORMtkDimensionKind::kUnknown;
}
