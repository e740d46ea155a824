#include <string>

#include "element/impl/ZORMtkElementClasses.h"
#include "platform/ZORSimSchemaKeys.h"
#include "reader/ZORMtkSimReader.h"
#include "reader/impl/ZORMtkConnectivity.h"

using namespace ZORSimKeys;

void ZORMtkSimReader::ResolveElementRegion() {
  numElements = elementRegion.Size();
  const ZORSimContext context = position.Context();
  const ZORSrvPosition mesh = MeshPosition();
  const ZORSimCollectionID elements = MeshCollection(kMeshElements, 0);
  const ZORSimCollectionID nodes = MeshCollection(kMeshNodes, 1);
  // A region of every element uses every node, so its node list needs no connectivity read.
  const bool wholeMesh = numElements == ZORSimCollection(context, elements).Space();

  ZORMtkConnectivity connectivity(mesh);
  omi_BlkBitVect used(ZORSimCollection(context, nodes).Space());
  for (ZORMtkElementClasses::Class& elementClass :
       ZORMtkElementClasses::OfRegion(position, mesh.ID(), elementRegion)) {
    const ZORSimCSetID inRegion = elementClass.elements;
    elementClasses.Insert(elementClass.name, cow_List<int>(std::move(elementClass.members)));
    int nodesPerElement = 0;
    if (!connectivity.Locate(inRegion, nodesPerElement)) continue;
    nodesPerElementByClass.Insert(elementClass.name, nodesPerElement);
    if (!wholeMesh) MarkNodesOf(connectivity, inRegion, nodesPerElement, used);
  }
  FillNodeList(nodes, used, wholeMesh);
  ResolveCoordComponents();
}

void ZORMtkSimReader::MarkNodesOf(const ZORMtkConnectivity& connectivity,
                                  const ZORSimCSetID& elements, int nodesPerElement,
                                  omi_BlkBitVect& used) {
  std::vector<int> nodes(static_cast<std::size_t>(elements.Size()) *
                         static_cast<std::size_t>(nodesPerElement));
  connectivity.Read(elements, nodes.data());
  for (const int node : nodes) used.Set(node);
}

void ZORMtkSimReader::FillNodeList(const ZORSimCollectionID& nodes, const omi_BlkBitVect& used,
                                   bool wholeMesh) {
  const ZORSimCollection collection(position.Context(), nodes);
  if (wholeMesh) {
    nodeRegion = collection.BiggestCSetID();
    std::vector<int> all(static_cast<std::size_t>(nodeRegion.Size()));
    ZORSimCSet(nodeRegion).Members(all.data());
    nodeList = cow_List<int>(std::move(all));
  } else {
    std::vector<int> marked;
    marked.reserve(static_cast<std::size_t>(used.Count()));
    for (int node = used.First(); node >= 0; node = used.Next(node + 1)) marked.push_back(node);
    nodeList = cow_List<int>(std::move(marked));
    nodeRegion = collection.CreateTempCSet(nodeList.Data(), nodeList.Size(), false);
  }
  numNodes = nodeList.Size();
}
