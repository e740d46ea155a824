#include "search/impl/ZORMtkSourceElements.h"

#include <algorithm>
#include <cmath>

#include "element/ZORMtkShp.h"
#include "platform/impl/ZORHugePages.h"
#include "platform/impl/ZORParallelFor.h"
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
  ZORFreshArray<int> members;
  ZORFreshArray<int> connectivity;
};

// The connectivity reads as zero where the database writes nothing, as a zeroed array would; it
// is zeroed by ranges so that the threads first touch it.
ClassBlock ReadClass(const ZORMtkSimReader& reader, const cow_String& name, int threads) {
  ClassBlock block{KindOf(name), 0, {}, {}};
  const int* perElement = reader.nodesPerElementByClass.Find(name);
  block.nodesPerElement = perElement ? *perElement : 0;
  const int count = reader.GetElementClassCount(name);
  ZORHugePages::Resize(block.members, static_cast<std::size_t>(count));
  ZORHugePages::Resize(block.connectivity, static_cast<std::size_t>(count) *
                                               static_cast<std::size_t>(block.nodesPerElement));
  ZORParallelFor::Zero(block.connectivity.data(), static_cast<long long>(block.connectivity.size()),
                       threads);
  if (!reader.GetElementClassMembers(name, count, block.members.data())) block.members.clear();
  reader.GetElementClassConnectivity(name, static_cast<int>(block.connectivity.size()),
                                     block.connectivity.data());
  return block;
}

}  // namespace

ZORMtkSourceElements::ZORMtkSourceElements(const ZORMtkSimReader& reader,
                                           const ZORMtkMeshElemB& grid, int threads)
    : dimension_(grid.Dimension()), threads_(threads), boxes_(grid.Box(0)) {
  ReadNodes(reader);
  ReadClasses(reader, grid);
  SumLengths();
}

// Members ascend, so the last is the largest, and each range of node positions owns the members
// from its first up to the next range's first: every slot of the member table is written once.
void ZORMtkSourceElements::ReadNodes(const ZORMtkSimReader& reader) {
  ZORReaderPoints points = ZORReaderPoints::Read(reader, threads_);
  nodeMembers_ = std::move(points.members);
  coords_ = std::move(points.coords);
  const std::size_t nodes = nodeMembers_.size();
  const std::size_t slots = nodes == 0 ? 0 : static_cast<std::size_t>(nodeMembers_.back()) + 1;
  ZORHugePages::Resize(nodePositions_, slots);
  ZORParallelFor::Ranges(static_cast<long long>(nodes), threads_,
                         [&](int /*part*/, long long begin, long long end) {
                           std::size_t slot = begin == 0 ? 0 : nodeMembers_[begin - 1] + 1;
                           for (std::size_t n = begin; n < static_cast<std::size_t>(end); ++n) {
                             const std::size_t member = nodeMembers_[n];
                             for (; slot < member; ++slot) nodePositions_[slot] = -1;
                             nodePositions_[slot++] = static_cast<int>(n);
                           }
                         });
}

// Elements are keyed by their position in the grid; an element whose class is unknown, or that
// names a node outside the region, keeps kind None and no nodes, and is never chosen. Classes are
// entered one after another, the elements of a class by ranges on all threads (a class lists
// each element once, so the ranges write different positions).
void ZORMtkSourceElements::ReadClasses(const ZORMtkSimReader& reader, const ZORMtkMeshElemB& grid) {
  const long long elementCount = grid.ElementCount();
  ZORHugePages::Resize(kinds_, static_cast<std::size_t>(elementCount));
  ZORFreshArray<int> counts;
  ZORFreshArray<const int*> members;
  ZORHugePages::Resize(counts, static_cast<std::size_t>(elementCount));
  ZORHugePages::Resize(members, static_cast<std::size_t>(elementCount));
  ZORParallelFor::Ranges(elementCount, threads_, [&](int /*part*/, long long begin, long long end) {
    std::fill(kinds_.begin() + begin, kinds_.begin() + end, ZORElementKind::None);
    std::fill(counts.begin() + begin, counts.begin() + end, 0);
    std::fill(members.begin() + begin, members.begin() + end, nullptr);
  });
  cow_List<cow_String> names;
  reader.GetElementClassNames(names);
  std::vector<ClassBlock> blocks;
  blocks.reserve(static_cast<std::size_t>(names.Size()));
  for (const cow_String& name : names) blocks.push_back(ReadClass(reader, name, threads_));
  for (const ClassBlock& block : blocks) {
    // The element tests work in fixed buffers sized for the largest supported element.
    if (block.nodesPerElement > kMaxNodes) continue;
    const std::size_t perElement = static_cast<std::size_t>(block.nodesPerElement);
    ZORParallelFor::Chunks(static_cast<long long>(block.members.size()), threads_,
                           [&](long long begin, long long end) {
                             for (std::size_t i = begin; i < static_cast<std::size_t>(end); ++i) {
                               const int position = grid.PositionOf(block.members[i]);
                               const int* nodes = block.connectivity.data() + i * perElement;
                               if (position < 0 || !AllNodesInRegion(nodes, block.nodesPerElement))
                                 continue;
                               const std::size_t p = static_cast<std::size_t>(position);
                               kinds_[p] = block.kind;
                               counts[p] = block.nodesPerElement;
                               members[p] = nodes;
                             }
                           });
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

// Node positions of all elements in one array, element after element in position order; the
// offsets are summed in order, the positions filled by ranges of elements.
void ZORMtkSourceElements::LinkNodes(const ZORFreshArray<int>& counts,
                                     const ZORFreshArray<const int*>& members) {
  offsets_.assign(counts.size() + 1, 0);
  for (std::size_t e = 0; e < counts.size(); ++e) {
    offsets_[e + 1] = offsets_[e] + counts[e];
    largestNodeCount_ = std::max(largestNodeCount_, counts[e]);
  }
  ZORHugePages::Resize(nodes_, static_cast<std::size_t>(offsets_.back()));
  // Chunks rather than equal ranges: the members' positions are read from wherever the nodes
  // lie, which costs some elements far more than others.
  ZORParallelFor::Chunks(
      static_cast<long long>(counts.size()), threads_, [&](long long begin, long long end) {
        for (std::size_t e = begin; e < static_cast<std::size_t>(end); ++e)
          for (int k = 0; k < counts[e]; ++k)
            nodes_[static_cast<std::size_t>(offsets_[e] + k)] = NodePosition(members[e][k]);
      });
}

// The lengths are summed in element order, so that the mean is the same at any thread count.
void ZORMtkSourceElements::SumLengths() {
  double sum = 0.0;
  for (int e = 0; e < ElementCount(); ++e) sum += Length(e);
  meanLength_ = kinds_.empty() ? 0.0 : sum / static_cast<double>(kinds_.size());
}

int ZORMtkSourceElements::NodePosition(int member) const {
  if (member < 0 || static_cast<std::size_t>(member) >= nodePositions_.size()) return -1;
  return nodePositions_[static_cast<std::size_t>(member)];
}
