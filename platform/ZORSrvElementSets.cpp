#include "platform/ZORSrvElementSets.h"

#include "platform/ZORSimSchemaKeys.h"

using ZORSimKeys::kNamedElementSets;

ZORSimCSetID ZORSrvGetElementSetIDFromScopedName(const ZORSrvPosition& position,
                                                 const std::string& name,
                                                 const char* /*separator*/) {
  const ZORSimDynamicID set = position.FollowStringKey(kNamedElementSets, 1, name);
  return set.IsEmpty() ? ZORSimCSetID{} : ZORSrvPosition(position, set).GetCSet();
}

void ZORSrvAddElementSet(const ZORSrvPosition& root, const std::string& name,
                         const ZORSimCSetID& elements) {
  root.Associate(kNamedElementSets, 1, root.StoreSet(elements), name);
}
