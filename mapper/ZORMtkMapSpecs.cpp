#include "mapper/ZORMtkMapSpecs.h"

ZORMtkMapSpecs::ZORMtkMapSpecs()
    : index(-1),
      mapTag(MapNodeToNode),
      mapMethod(MethodShapeInterpolation),
      conserve(ConserveNone),
      recordedFlag(false),
      noFallback(false) {}

ZORMtkMapSpecs::ZORMtkMapSpecs(ZORSimDynamicID sourceField, ZORSimDynamicID targetField,
                               Map_Tag tag, Conserve_Tag conservation, MapMethod_Tag method,
                               bool recorded, bool withoutFallback)
    : index(-1),
      targetFieldID(targetField),
      sourceFieldIDs{sourceField},
      mapTag(tag),
      mapMethod(method),
      conserve(conservation),
      recordedFlag(recorded),
      noFallback(withoutFallback) {}

void ZORMtkMapSpecs::AddSourceID(int position, ZORSimDynamicID id) {
  SetEntry(sourceFieldIDs, position, id);
}

void ZORMtkMapSpecs::AddSourceMeshID(int position, ZORSimDynamicID id) {
  SetEntry(sourceMeshIDs, position, id);
}

void ZORMtkMapSpecs::SetEntry(ZORSimArray<ZORSimDynamicID>& ids, int position, ZORSimDynamicID id) {
  if (position < 0) return;
  if (position < ids.Size()) {
    ids[position] = id;
    return;
  }
  while (ids.Size() < position) ids.Append(ZORSimDynamicID());
  ids.Append(id);
}
