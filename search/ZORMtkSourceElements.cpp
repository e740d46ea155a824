#include "search/impl/ZORMtkSourceElements.h"

#include <algorithm>
#include <cmath>

#include "element/ZORMtkShp.h"
#include "platform/impl/ZORHugePages.h"
#include "reader/ZORMtkSimReader.h"
#include "search/ZORMtkMeshElemB.h"
#include "search/impl/ZORReaderPoints.h"

namespace {

ZORElementKind KindOf(const cow_String& className) {
  const ZORMtkShpRow& row = ZORMtkShp::GetRow(ZORMtkShp::GetBaseShape(className));
  if (row.family == 0) return ZORElementKind::Line;
  if (row.dimension == 1 && (row.family == 1 || row.family == 2)) return ZORElementKind::Shell;
  if (row.dimension == 1 && row.family >= 3 && row.family <= 5) return ZORElementKind::Solid;
  if (row.dimension == 0 && (row.family == 1 || row.family == 2)) return ZORElementKind::Plane;
  return ZORElementKind::None;
}

// One class of the region as the reader gives it.
struct ClassBlock {
  ZORElementKind kind;
  int nodesPerElement;
  std::vector<int> members;
  std::vector<int> connectivity;
};

ClassBlock ReadClass(const ZORMtkSimReader& reader, const cow_String& name) {
  ClassBlock block{KindOf(name), 0, {}, {}};
  const int* perElement = reader.nodesPerElementByClass.Find(name);
  block.nodesPerElement = perElement ? *perElement : 0;
  const int count = reader.GetElementClassCount(name);
  ZORHugePages::Resize(block.members, static_cast<std::size_t>(count));
  ZORHugePages::Resize(block.connectivity, static_cast<std::size_t>(count) *
                                               static_cast<std::size_t>(block.nodesPerElement));
  if (!reader.GetElementClassMembers(name, count, block.members.data())) block.members.clear();
  reader.GetElementClassConnectivity(name, static_cast<int>(block.connectivity.size()),
                                     block.connectivity.data());
  return block;
}

}  // namespace

ZORMtkSourceElements::ZORMtkSourceElements(const ZORMtkSimReader& reader,
                                           const ZORMtkMeshElemB& grid)
    : dimension_(grid.Dimension()) {
  ReadNodes(reader);
  ReadClasses(reader, grid);
  ComputeBoxes(grid);
}

void ZORMtkSourceElements::ReadNodes(const ZORMtkSimReader& reader) {
  ZORReaderPoints points = ZORReaderPoints::Read(reader);
  nodeMembers_ = std::move(points.members);
  coords_ = std::move(points.coords);
  // Members ascend, so the last is the largest.
  nodePositions_.assign(
      nodeMembers_.empty() ? 0 : static_cast<std::size_t>(nodeMembers_.back()) + 1, -1);
  for (std::size_t n = 0; n < nodeMembers_.size(); ++n)
    nodePositions_[static_cast<std::size_t>(nodeMembers_[n])] = static_cast<int>(n);
}

// Elements are keyed by their position in the grid; an element whose class is unknown, or that
// names a node outside the region, keeps kind None and no nodes, and is never chosen.
void ZORMtkSourceElements::ReadClasses(const ZORMtkSimReader& reader, const ZORMtkMeshElemB& grid) {
  const std::size_t elementCount = static_cast<std::size_t>(grid.ElementCount());
  kinds_.assign(elementCount, ZORElementKind::None);
  std::vector<int> counts(elementCount, 0);
  std::vector<const int*> members(elementCount, nullptr);
  cow_List<cow_String> names;
  reader.GetElementClassNames(names);
  std::vector<ClassBlock> blocks;
  blocks.reserve(static_cast<std::size_t>(names.Size()));
  for (const cow_String& name : names) blocks.push_back(ReadClass(reader, name));
  for (const ClassBlock& block : blocks) {
    for (std::size_t i = 0; i < block.members.size(); ++i) {
      const int position = grid.PositionOf(block.members[i]);
      // The element tests work in fixed buffers sized for the largest supported element.
      if (position < 0 || block.nodesPerElement > kMaxNodes) continue;
      const std::size_t p = static_cast<std::size_t>(position);
      const int* nodes =
          block.connectivity.data() + i * static_cast<std::size_t>(block.nodesPerElement);
      if (!AllNodesInRegion(nodes, block.nodesPerElement)) continue;
      kinds_[p] = block.kind;
      counts[p] = block.nodesPerElement;
      members[p] = nodes;
    }
  }
  LinkNodes(counts, members);
}

bool ZORMtkSourceElements::AllHex8() const {
  for (int e = 0; e < ElementCount(); ++e) {
    if (Kind(e) != ZORElementKind::Solid || NodeCountOf(e) != 8) return false;
  }
  return true;
}

bool ZORMtkSourceElements::AllNodesInRegion(const int* members, int count) const {
  for (int k = 0; k < count; ++k) {
    if (NodePosition(members[k]) < 0) return false;
  }
  return true;
}

// Node positions of all elements in one array, element after element in position order.
void ZORMtkSourceElements::LinkNodes(const std::vector<int>& counts,
                                     const std::vector<const int*>& members) {
  offsets_.assign(counts.size() + 1, 0);
  for (std::size_t e = 0; e < counts.size(); ++e) {
    offsets_[e + 1] = offsets_[e] + counts[e];
    largestNodeCount_ = std::max(largestNodeCount_, counts[e]);
  }
  ZORHugePages::Resize(nodes_, static_cast<std::size_t>(offsets_.back()));
  for (std::size_t e = 0; e < counts.size(); ++e) {
    for (int k = 0; k < counts[e]; ++k)
      nodes_[static_cast<std::size_t>(offsets_[e] + k)] = NodePosition(members[e][k]);
  }
}

void ZORMtkSourceElements::ComputeBoxes(const ZORMtkMeshElemB& grid) {
  const int axes = dimension_ == 2 ? 2 : 3;
  ZORHugePages::Reserve(boxes_, kBoxStride * kinds_.size());
  boxes_.assign(kBoxStride * kinds_.size(), 0.0);
  double sum = 0.0;
  for (int e = 0; e < grid.ElementCount(); ++e) {
    double* box = boxes_.data() + kBoxStride * static_cast<std::size_t>(e);
    double squared = 0.0;
    for (int a = 0; a < axes; ++a) {
      box[a] = grid.BoxMin(e)[a];
      box[3 + a] = grid.BoxMax(e)[a];
      squared += (box[3 + a] - box[a]) * (box[3 + a] - box[a]);
    }
    box[6] = std::sqrt(squared);
    sum += box[6];
  }
  meanLength_ = kinds_.empty() ? 0.0 : sum / static_cast<double>(kinds_.size());
}

int ZORMtkSourceElements::NodePosition(int member) const {
  if (member < 0 || static_cast<std::size_t>(member) >= nodePositions_.size()) return -1;
  return nodePositions_[static_cast<std::size_t>(member)];
}
