#include "element/impl/ZORMtkElementClasses.h"

#include "platform/ZORSimSchemaKeys.h"

namespace {

ZORSimCollectionID FollowCollection(const ZORSrvPosition& from, int type, int side) {
  return ZORSrvPosition(from, from.Follow(type, side)).GetCollection();
}

}  // namespace

std::vector<ZORMtkElementClasses::Class> ZORMtkElementClasses::OfRegion(
    const ZORSrvPosition& root, const ZORSimDynamicID& meshID, const ZORSimCSetID& region) {
  const ZORSimContext context = root.Context();
  const ZORSrvPosition mesh(root, meshID);
  const ZORSimDSet types(
      context, ZORSrvPosition(mesh, mesh.Follow(ZORSimKeys::kMeshElementTypes, 0)).GetDSet());
  const ZORSimCollectionID elements = FollowCollection(mesh, ZORSimKeys::kMeshElements, 0);
  const ZORSimCollectionID typeCollection =
      FollowCollection(root, ZORSimKeys::kElementTypeCollection, 0);
  std::vector<Class> classes;
  const ZORSimCSet present(types.Collect(typeCollection));
  for (int i = 0; i < present.Size(); ++i) {
    const int type = present[i];
    const ZORSimCSet ofType(types.Select(typeCollection, type).Collect(elements));
    const ZORSimCSetID inRegion = ofType.Intersection(region);
    if (inRegion.Size() == 0) continue;
    ZORSimCSet(inRegion).RegisterWithTempCollection();
    Class entry;
    entry.name = ZORSrvPosition(mesh, context.GetRecord(typeCollection, type)).GetSymbolName();
    entry.elements = inRegion;
    entry.members.resize(static_cast<std::size_t>(inRegion.Size()));
    ZORSimCSet(inRegion).OrderedMembers(entry.members.data());
    classes.push_back(std::move(entry));
  }
  return classes;
}

std::vector<ZORMtkElementClasses::Class> ZORMtkElementClasses::OfMesh(const ZORSrvPosition& root,
                                                                      const ZORSimDynamicID& mesh) {
  const ZORSimCollectionID elements =
      FollowCollection(ZORSrvPosition(root, mesh), ZORSimKeys::kMeshElements, 0);
  return OfRegion(root, mesh, ZORSimCollection(root.Context(), elements).BiggestCSetID());
}
