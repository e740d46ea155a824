#include <algorithm>

#include "platform/ZORFreshArray.h"
#include "platform/ZORSimSchemaKeys.h"
#include "platform/impl/ZORHugePages.h"
#include "platform/impl/ZORParallelFor.h"
#include "reader/ZORMtkSimReader.h"
#include "reader/impl/ZORMtkConnectivity.h"

using namespace ZORSimKeys;

bool ZORMtkSimReader::GetNodes(int n, int* nodes) const {
  if (n < numNodes) return false;
  ZORSimCSet(nodeRegion).Members(nodes);
  return true;
}

bool ZORMtkSimReader::GetElements(int n, int* elements) const {
  if (n < numElements) return false;
  if (numElements > 0) ZORSimCSet(elementRegion).Members(elements);
  return true;
}

bool ZORMtkSimReader::FillCoordinates(int n, double* coords) const {
  if (n != numNodes * numCoordComponents) return false;
  if (n == 0) return true;
  const ZORSrvPosition mesh = MeshPosition();
  const ZORSimDistributionID distribution =
      ZORSrvPosition(mesh, mesh.Follow(kMeshCoordinates, 0)).GetDistribution();
  const ZORSimDrawerDescriptor drawer =
      ZORSimDistribution(position.Context(), distribution).QueryDrawers().front();
  const ZORSimCollectionID components =
      ZORSrvPosition(position, position.Follow(kComponentCollection, 0)).GetCollection();
  ZORSimCSetID componentDimension;
  for (const ZORSimCSetID& dimension : drawer.dimensions)
    if (dimension.collection == components) componentDimension = dimension;

  ZORSimTransfer transfer(position.Context(), distribution);
  transfer.SetRead();
  transfer.SetBufferType(2);
  transfer.SetDrawer(drawer.id);
  transfer.SetDim(0, nodeRegion);
  transfer.SetDim(1, componentDimension);
  transfer.CheckView();
  transfer.SetBuffer(0, static_cast<void*>(coords),
                     static_cast<std::int64_t>(n) * static_cast<std::int64_t>(sizeof(double)));
  transfer.ExecRead();
  transfer.RelinquishBuffers();
  return true;
}

void ZORMtkSimReader::GetElementClassNames(cow_List<cow_String>& names) const {
  for (const auto& entry : elementClasses) names.Append(entry.first);
}

int ZORMtkSimReader::GetElementClassCount(cow_String name) const {
  const cow_List<int>* members = elementClasses.Find(name);
  return members ? members->Size() : 0;
}

bool ZORMtkSimReader::GetElementClassMembers(cow_String name, int n, int* elements) const {
  const cow_List<int>* members = elementClasses.Find(name);
  if (!members || n != members->Size()) return false;
  std::copy(members->begin(), members->end(), elements);
  return true;
}

bool ZORMtkSimReader::GetElementClassConnectivity(cow_String name, int n, int* connectivity) const {
  const cow_List<int>* members = elementClasses.Find(name);
  if (!members) return false;
  const ZORSimCSetID elements =
      ZORSimCollection(position.Context(), MeshCollection(kMeshElements, 0))
          .CreateTempOrderedCSet(members->Data(), members->Size());
  ZORMtkConnectivity reader(MeshPosition());
  int nodesPerElement = 0;
  if (!reader.Locate(elements, nodesPerElement)) return false;
  if (static_cast<std::int64_t>(n) < static_cast<std::int64_t>(members->Size()) * nodesPerElement)
    return false;
  reader.Read(elements, connectivity);
  return true;
}

bool ZORMtkSimReader::GetElementBoxes(int* elements, double* boxMin, double* boxMax,
                                      double& averageSize, double* overallMin, double* overallMax,
                                      int threads) const {
  averageSize = 0.0;
  if (numElements == 0) return true;
  ZORSimCSet(elementRegion).Members(elements);
  const int dims = numCoordComponents;
  ZORFreshArray<double> coords;
  ZORHugePages::Resize(coords, static_cast<std::size_t>(numNodes) * static_cast<std::size_t>(dims));
  ZORParallelFor::Zero(coords.data(), static_cast<long long>(coords.size()), threads);
  FillCoordinates(static_cast<int>(coords.size()), coords.data());
  const std::vector<int> positionOf = NodePositions();
  cow_List<cow_String> names;
  GetElementClassNames(names);
  for (const cow_String& name : names)
    BoxClass(name, coords.data(), positionOf, boxMin, boxMax, threads);

  std::copy(boxMin, boxMin + dims, overallMin);
  std::copy(boxMax, boxMax + dims, overallMax);
  double sizeSum = 0.0;
  for (int k = 0; k < numElements; ++k) {
    const double* low = boxMin + static_cast<std::size_t>(k) * dims;
    const double* high = boxMax + static_cast<std::size_t>(k) * dims;
    double largest = 0.0;
    for (int c = 0; c < dims; ++c) {
      overallMin[c] = std::min(overallMin[c], low[c]);
      overallMax[c] = std::max(overallMax[c], high[c]);
      largest = std::max(largest, high[c] - low[c]);
    }
    sizeSum += largest;
  }
  averageSize = sizeSum / numElements;

  // A flat region would give the bucket grid no depth across its plane; a thin slab keeps every
  // element inside the grid.
  for (int c = 0; c < dims; ++c)
    if (overallMax[c] - overallMin[c] < 1e-6 * averageSize) {
      overallMin[c] -= 0.01 * averageSize;
      overallMax[c] += 0.01 * averageSize;
    }
  return true;
}

// The box of each element of a class, from its nodes in connectivity order; elements by ranges on
// all threads, each writing only the boxes of its own elements (a class lists each element once
// and an element is in one class), so the boxes are the same at any thread count.
void ZORMtkSimReader::BoxClass(const cow_String& name, const double* coords,
                               const std::vector<int>& positionOf, double* boxMin, double* boxMax,
                               int threads) const {
  const cow_List<int>* members = elementClasses.Find(name);
  const int* nodesPerElement = nodesPerElementByClass.Find(name);
  if (members == nullptr || nodesPerElement == nullptr) return;
  const std::size_t perElement = static_cast<std::size_t>(*nodesPerElement);
  ZORFreshArray<int> connectivity;
  ZORHugePages::Resize(connectivity, static_cast<std::size_t>(members->Size()) * perElement);
  ZORParallelFor::Zero(connectivity.data(), static_cast<long long>(connectivity.size()), threads);
  if (!GetElementClassConnectivity(name, static_cast<int>(connectivity.size()),
                                   connectivity.data()))
    return;
  const ZORSimCSet region(elementRegion);
  const int dims = numCoordComponents;
  ZORParallelFor::Chunks(members->Size(), threads, [&](long long begin, long long end) {
    for (long long e = begin; e < end; ++e) {
      const int k = region.SeekMember(members->Data()[e]);
      if (k < 0) continue;
      double* low = boxMin + static_cast<std::size_t>(k) * dims;
      double* high = boxMax + static_cast<std::size_t>(k) * dims;
      const int* nodes = connectivity.data() + static_cast<std::size_t>(e) * perElement;
      bool first = true;
      for (std::size_t n = 0; n < perElement; ++n) {
        const int node = nodes[n];
        if (node < 0 || static_cast<std::size_t>(node) >= positionOf.size()) continue;
        const int row = positionOf[static_cast<std::size_t>(node)];
        if (row < 0) continue;
        const double* point = coords + static_cast<std::size_t>(row) * dims;
        for (int c = 0; c < dims; ++c) {
          low[c] = first ? point[c] : std::min(low[c], point[c]);
          high[c] = first ? point[c] : std::max(high[c], point[c]);
        }
        first = false;
      }
    }
  });
}
