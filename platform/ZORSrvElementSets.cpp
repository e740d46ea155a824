#include "platform/ZORSimAPI.h"

namespace {
constexpr int kNamedElementSets = 19070;  // root -> named element set, end 1, string key
}

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
