#include <algorithm>

#include "platform/ZORSimSchemaKeys.h"
#include "reader/ZORMtkSimReader.h"
#include "reader/impl/ZORMtkConnectivity.h"

using namespace ZORSimKeys;

namespace {

constexpr int kElementMemberMask = 0x1FFFFFF;

}  // namespace

bool ZORMtkSimReader::GetNodes(int n, int* nodes) const {
  if (n < numNodes) return false;
  ZORSimCSet(nodeRegion).Members(nodes);
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
                                      double& averageSize, double* overallMin,
                                      double* overallMax) const {
  averageSize = 0.0;
  if (numElements == 0) return true;
  ZORSimCSet(elementRegion).Members(elements);
  ZORSrvInverseConnectivity inverse(MeshPosition());
  inverse.Invert(elementRegion);
  const int dims = numCoordComponents;
  std::vector<double> coords(static_cast<std::size_t>(numNodes) * static_cast<std::size_t>(dims));
  FillCoordinates(static_cast<int>(coords.size()), coords.data());

  const ZORSimCSet region(elementRegion);
  std::vector<char> seen(static_cast<std::size_t>(numElements), 0);
  const int* members = nodeList.Data();
  for (int i = 0; i < numNodes; ++i) {
    const double* point = coords.data() + static_cast<std::size_t>(i) * dims;
    int count = 0;
    const int* entries = inverse.Entries(members[i], count);
    for (int e = 0; e < count; ++e) {
      const int k = region.SeekMember(entries[e] & kElementMemberMask);
      if (k < 0) continue;
      double* low = boxMin + static_cast<std::size_t>(k) * dims;
      double* high = boxMax + static_cast<std::size_t>(k) * dims;
      for (int c = 0; c < dims; ++c) {
        const bool first = !seen[static_cast<std::size_t>(k)];
        low[c] = first ? point[c] : std::min(low[c], point[c]);
        high[c] = first ? point[c] : std::max(high[c], point[c]);
      }
      seen[static_cast<std::size_t>(k)] = 1;
    }
  }

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
