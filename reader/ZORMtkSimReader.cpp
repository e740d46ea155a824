#include "reader/ZORMtkSimReader.h"

#include <utility>

#include "platform/ZORSimSchemaKeys.h"

using namespace ZORSimKeys;

namespace {

// The region set of a caller's member list: every member of the collection when the list is
// empty; otherwise the listed members, ascending.
ZORSimCSetID RegionSet(const ZORSimContext& context, const ZORSimCollectionID& collection,
                       const cow_List<int>& list) {
  const ZORSimCollection members(context, collection);
  if (list.IsEmpty()) return ZORSimCSet(members.BiggestCSetID()).AscendingID();
  const ZORSimCSet ordered(members.CreateTempOrderedCSet(list.Data(), list.Size()));
  ordered.RegisterWithTempCollection();
  return ordered.AscendingID();
}

}  // namespace

ZORMtkSimReader::ZORMtkSimReader() : numElements(0), numNodes(0), numCoordComponents(0) {}

ZORMtkSimReader::~ZORMtkSimReader() = default;

void ZORMtkSimReader::SetScope(ZORSrvPosition root, ZORMtkScope scope, ZORSimDynamicID mesh,
                               cow_List<int> list) {
  switch (scope) {
    case ScopeElementRegion:
    case ScopeElementRegionAlt:
      SetElsetRegion(std::move(root), mesh, std::move(list));
      break;
    case ScopeNodeRegion:
      SetNodesetRegion(std::move(root), mesh, std::move(list));
      break;
  }
}

void ZORMtkSimReader::SetElsetRegion(ZORSrvPosition root, ZORSimDynamicID mesh,
                                     cow_List<int> elements) {
  ClearRegion();
  SelectMesh(root, mesh);
  elementRegion = RegionSet(position.Context(), MeshCollection(kMeshElements, 0), elements);
  ResolveElementRegion();
}

void ZORMtkSimReader::SetElsetRegion(ZORSrvPosition root, DRUUnicodeString name) {
  ClearRegion();
  position = std::move(root);
  elementRegion =
      ZORSimCSet(ZORSrvGetElementSetIDFromScopedName(position, name.ToNarrow(), "_")).AscendingID();
  ResolveElementRegion();
}

void ZORMtkSimReader::SetNodesetRegion(ZORSrvPosition root, ZORSimDynamicID mesh,
                                       cow_List<int> nodes) {
  ClearRegion();
  SelectMesh(root, mesh);
  nodeRegion = RegionSet(position.Context(), MeshCollection(kMeshNodes, 1), nodes);
  std::vector<int> members(static_cast<std::size_t>(nodeRegion.Size()));
  ZORSimCSet(nodeRegion).OrderedMembers(members.data());
  nodeList = cow_List<int>(std::move(members));
  numNodes = nodeList.Size();
  ResolveCoordComponents();
}

void ZORMtkSimReader::ClearRegion() {
  numElements = 0;
  numNodes = 0;
  numCoordComponents = 0;
  elementClasses.Clear();
  nodesPerElementByClass.Clear();
  nodeList.Clear();
  elementRegion = ZORSimCSetID{};
  nodeRegion = ZORSimCSetID{};
}

void ZORMtkSimReader::SelectMesh(const ZORSrvPosition& root, const ZORSimDynamicID& mesh) {
  position = root;
  if (!mesh.IsEmpty()) {
    meshID = mesh;
    return;
  }
  const ZORSrvPosition model(root, root.Follow(kModel, 0));
  meshID = model.Follow(kModelMesh, 1);
}

ZORSrvPosition ZORMtkSimReader::MeshPosition() const {
  if (!meshID.IsEmpty() || elementRegion.collection.IsEmpty())
    return ZORSrvPosition(position, meshID);
  const ZORSrvPosition elements(position, elementRegion.collection.id);
  return ZORSrvPosition(position, elements.Follow(kMeshElements, 1));
}

ZORSimCollectionID ZORMtkSimReader::MeshCollection(int key, int side) const {
  const ZORSrvPosition mesh = MeshPosition();
  return ZORSrvPosition(mesh, mesh.Follow(key, side)).GetCollection();
}

void ZORMtkSimReader::ResolveCoordComponents() {
  const ZORSrvPosition mesh = MeshPosition();
  const ZORSimDistributionID coordinates =
      ZORSrvPosition(mesh, mesh.Follow(kMeshCoordinates, 0)).GetDistribution();
  const std::vector<ZORSimDrawerDescriptor> drawers =
      ZORSimDistribution(position.Context(), coordinates).QueryDrawers();
  if (drawers.empty()) return;
  const ZORSimCollectionID components =
      ZORSrvPosition(position, position.Follow(kComponentCollection, 0)).GetCollection();
  for (const ZORSimCSetID& dimension : drawers.front().dimensions)
    if (dimension.collection == components) numCoordComponents = dimension.Size();
}
