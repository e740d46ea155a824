#include "search/impl/ZORMtkSourceElements.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "element/ZORMtkShp.h"
#include "platform/impl/ZORHugePages.h"
#include "platform/impl/ZORParallelFor.h"
#include "reader/ZORMtkSimReader.h"
#include "search/ZORMtkMeshElemB.h"
#include "search/impl/ZORGeomMath.h"
#include "search/impl/ZORReaderPoints.h"

namespace {

// A region whose extent along an axis is below this fraction of the average element size is
// flat there, and is widened by this fraction of it on each side (WidenFlatAxes).
constexpr double kFlatExtent = 1e-6;
constexpr double kSlabHalfWidth = 0.01;
// The element tests multiply up to three differences of coordinates (a Jacobian's determinant):
// within this size none passes 1e301, below the largest double, where nodes farther out could
// give infinite determinants and lengths, and weights that are wrong without a sign.
constexpr double kLargestCoordinate = 1e100;

// Whether a node's coordinates are numbers the element tests can measure with.
bool Measurable(const double* x) {
  return std::fabs(x[0]) <= kLargestCoordinate && std::fabs(x[1]) <= kLargestCoordinate &&
         std::fabs(x[2]) <= kLargestCoordinate;
}

ZORElementKind KindOf(const cow_String& className) {
  const ZORMtkShpRow& row = ZORMtkShp::GetRow(ZORMtkShp::GetBaseShape(className));
  if (row.family == 0) return ZORElementKind::Line;
  if (row.dimension == 1 && (row.family == 1 || row.family == 2)) return ZORElementKind::Shell;
  if (row.dimension == 1 && row.family >= 3 && row.family <= 5) return ZORElementKind::Solid;
  if (row.dimension == 0 && (row.family == 1 || row.family == 2)) return ZORElementKind::Plane;
  return ZORElementKind::None;
}

// One class of the region as the reader gives it; `read` is false when its connectivity could not
// be read, and then none of its elements is entered.
struct ClassBlock {
  ZORElementKind kind;
  int nodesPerElement;
  ZORFreshArray<int> members;
  ZORFreshArray<int> connectivity;
  bool read;
};

// The connectivity reads as zero where the database writes nothing, as a zeroed array would; it
// is zeroed by ranges so that the threads first touch it.
ClassBlock ReadClass(const ZORMtkSimReader& reader, const cow_String& name, int threads) {
  ClassBlock block{KindOf(name), 0, {}, {}, false};
  const int* perElement = reader.nodesPerElementByClass.Find(name);
  block.nodesPerElement = perElement ? *perElement : 0;
  const int count = reader.GetElementClassCount(name);
  ZORHugePages::Resize(block.members, static_cast<std::size_t>(count));
  ZORHugePages::Resize(block.connectivity, static_cast<std::size_t>(count) *
                                               static_cast<std::size_t>(block.nodesPerElement));
  ZORParallelFor::Zero(block.connectivity.data(), static_cast<long long>(block.connectivity.size()),
                       threads);
  if (!reader.GetElementClassMembers(name, count, block.members.data())) block.members.clear();
  block.read = reader.GetElementClassConnectivity(name, static_cast<int>(block.connectivity.size()),
                                                  block.connectivity.data());
  return block;
}

// Per element position its node count and nodes, for the linking; zero and null for now.
void ClearLinks(long long elementCount, int threads, ZORFreshArray<int>& counts,
                ZORFreshArray<const int*>& positions) {
  ZORHugePages::Resize(counts, static_cast<std::size_t>(elementCount));
  ZORHugePages::Resize(positions, static_cast<std::size_t>(elementCount));
  ZORParallelFor::Ranges(elementCount, threads, [&](int /*part*/, long long begin, long long end) {
    std::fill(counts.begin() + begin, counts.begin() + end, 0);
    std::fill(positions.begin() + begin, positions.begin() + end, nullptr);
  });
}

// The links of one class entered as the chunks enter it: its elements in the region whose nodes
// all are, node members turned positions.
template <typename PositionOf>
void GatherLinks(const ClassBlock& block, const PositionOf& positionOf, ZORFreshArray<int>& counts,
                 ZORFreshArray<const int*>& positions) {
  const int perElement = block.nodesPerElement;
  for (std::size_t i = 0; i < block.members.size(); ++i) {
    const int position = positionOf(block.members[i]);
    const int* nodes = block.connectivity.data() + i * static_cast<std::size_t>(perElement);
    if (position < 0 || std::any_of(nodes, nodes + perElement, [](int n) { return n < 0; }))
      continue;
    counts[static_cast<std::size_t>(position)] = perElement;
    positions[static_cast<std::size_t>(position)] = nodes;
  }
}

}  // namespace

ZORMtkSourceElements::ZORMtkSourceElements(const ZORMtkSimReader& reader,
                                           const ZORMtkMeshElemB& grid, int threads)
    : dimension_(grid.Dimension()), threads_(threads), boxes_(grid.Box(0)) {
  ReadNodes(reader);
  ReadClasses(
      reader, grid.ElementCount(), [&grid](int member) { return grid.PositionOf(member); },
      nullptr);
  SumLengths();
}

std::unique_ptr<ZORMtkSourceElements> ZORMtkSourceElements::TakeOrRead(
    ZORMtkMeshElemB& grid, const ZORMtkSimReader& reader, int threads) {
  std::unique_ptr<ZORMtkSourceElements> kept = grid.TakeMesh();
  return kept ? std::move(kept) : std::make_unique<ZORMtkSourceElements>(reader, grid, threads);
}

ZORMtkSourceElements::ZORMtkSourceElements(const ZORMtkSimReader& reader, int threads)
    : dimension_(reader.numCoordComponents), threads_(threads) {
  ReadElementMembers(reader);
  ReadNodes(reader);
  const long long elementCount = static_cast<long long>(elementMembers_.size());
  ZORHugePages::Resize(ownBoxes_, ZORMtkMeshElemB::kBoxStride * elementMembers_.size());
  ZORParallelFor::Zero(ownBoxes_.data(), static_cast<long long>(ownBoxes_.size()), threads_);
  boxes_ = ownBoxes_.data();
  const bool consecutive = ZORMtkMeshElemB::RunsWithoutGap(elementMembers_);
  ReadClasses(
      reader, elementCount,
      [this, consecutive](int member) {
        return ZORMtkMeshElemB::PositionIn(elementMembers_, consecutive, member);
      },
      ownBoxes_.data());
  MeasureExtent();
}

void ZORMtkSourceElements::ReadElementMembers(const ZORMtkSimReader& reader) {
  ZORHugePages::Resize(elementMembers_, static_cast<std::size_t>(std::max(reader.numElements, 0)));
  reader.GetElements(static_cast<int>(elementMembers_.size()), elementMembers_.data());
}

// Members ascend, so the last is the largest, and each range of node positions owns the members
// from its first up to the next range's first: every slot of the member table is written once.
// A node that cannot be measured with takes no position, so the elements that name it are left
// out as those naming a node outside the region are.
void ZORMtkSourceElements::ReadNodes(const ZORMtkSimReader& reader) {
  ZORReaderPoints points = ZORReaderPoints::Read(reader, threads_);
  nodeMembers_ = std::move(points.members);
  coords_ = std::move(points.coords);
  const std::size_t nodes = nodeMembers_.size();
  const std::size_t slots = nodes == 0 ? 0 : static_cast<std::size_t>(nodeMembers_.back()) + 1;
  ZORHugePages::Resize(nodePositions_, slots);
  ZORParallelFor::Ranges(
      static_cast<long long>(nodes), threads_, [&](int /*part*/, long long begin, long long end) {
        std::size_t slot = begin == 0 ? 0 : nodeMembers_[begin - 1] + 1;
        for (std::size_t n = begin; n < static_cast<std::size_t>(end); ++n) {
          const std::size_t member = nodeMembers_[n];
          for (; slot < member; ++slot) nodePositions_[slot] = -1;
          nodePositions_[slot++] = Measurable(coords_.data() + 3 * n) ? static_cast<int>(n) : -1;
        }
      });
}

// Elements are keyed by their position in the grid; an element whose class is unknown, or that
// names a node outside the region, keeps kind None and no nodes, and is never chosen. With boxes,
// every element of the region gets its box over its nodes in the region, whatever its class.
// Classes are entered one after another, the elements of a class by chunks on all threads (a class
// lists each element once, so the chunks write different positions).
template <typename PositionOf>
void ZORMtkSourceElements::ReadClasses(const ZORMtkSimReader& reader, long long elementCount,
                                       const PositionOf& positionOf, double* boxes) {
  ZORHugePages::Resize(kinds_, static_cast<std::size_t>(elementCount));
  ZORParallelFor::Ranges(elementCount, threads_, [&](int /*part*/, long long begin, long long end) {
    std::fill(kinds_.begin() + begin, kinds_.begin() + end, ZORElementKind::None);
  });
  cow_List<cow_String> names;
  reader.GetElementClassNames(names);
  std::vector<ClassBlock> blocks;
  blocks.reserve(static_cast<std::size_t>(names.Size()));
  for (const cow_String& name : names) blocks.push_back(ReadClass(reader, name, threads_));
  // Whether the region may be one class whose elements it lists in position order and all of
  // which are entered; the chunks clear it on any other element. Only a region that may not
  // gathers the links as it is entered: one that turns out not to gathers them afterwards.
  const bool mayAdopt = blocks.size() == 1 && blocks.front().read &&
                        blocks.front().nodesPerElement <= kMaxNodes &&
                        static_cast<long long>(blocks.front().members.size()) == elementCount;
  std::atomic<bool> inOrder{mayAdopt};
  ZORFreshArray<int> counts;
  ZORFreshArray<const int*> positions;
  if (!mayAdopt) ClearLinks(elementCount, threads_, counts, positions);
  for (ClassBlock& block : blocks) {
    // The element tests work in fixed buffers sized for the largest supported element.
    const bool tested = block.nodesPerElement <= kMaxNodes;
    if (!block.read || (!tested && boxes == nullptr)) continue;
    const std::size_t perElement = static_cast<std::size_t>(block.nodesPerElement);
    ZORParallelFor::Chunks(static_cast<long long>(block.members.size()), threads_,
                           [&](long long begin, long long end) {
                             for (std::size_t i = begin; i < static_cast<std::size_t>(end); ++i) {
                               const int position = positionOf(block.members[i]);
                               if (position != static_cast<int>(i))
                                 inOrder.store(false, std::memory_order_relaxed);
                               if (position < 0) continue;
                               const std::size_t p = static_cast<std::size_t>(position);
                               int* nodes = block.connectivity.data() + i * perElement;
                               const bool inRegion = EnterNodes(
                                   nodes, block.nodesPerElement,
                                   boxes ? boxes + ZORMtkMeshElemB::kBoxStride * p : nullptr);
                               if (!inRegion) inOrder.store(false, std::memory_order_relaxed);
                               if (!tested || !inRegion) continue;
                               kinds_[p] = block.kind;
                               if (mayAdopt) continue;
                               counts[p] = block.nodesPerElement;
                               positions[p] = nodes;
                             }
                           });
  }
  if (inOrder.load()) {
    AdoptNodes(std::move(blocks.front().connectivity), blocks.front().nodesPerElement);
    return;
  }
  if (mayAdopt) {
    ClearLinks(elementCount, threads_, counts, positions);
    GatherLinks(blocks.front(), positionOf, counts, positions);
  }
  LinkNodes(counts, positions);
}

// The node members become node positions in place, each looked up once for the box, the region
// test and the links; whether every node lies in the region.
bool ZORMtkSourceElements::EnterNodes(int* nodes, int count, double* box) const {
  bool inRegion = true;
  for (int k = 0; k < count; ++k) {
    nodes[k] = NodePosition(nodes[k]);
    inRegion = inRegion && nodes[k] >= 0;
  }
  if (box != nullptr) BoxElement(nodes, count, box);
  return inRegion;
}

// The box over the element's nodes that lie in the region (position -1 for the others), on the
// mesh's axes, and its diagonal; a box without such nodes stays as it was, zero.
void ZORMtkSourceElements::BoxElement(const int* positions, int count, double* box) const {
  const int axes = dimension_ == 2 ? 2 : 3;
  bool first = true;
  for (int k = 0; k < count; ++k) {
    if (positions[k] < 0) continue;
    const double* x = NodeCoords(positions[k]);
    for (int c = 0; c < axes; ++c) {
      box[c] = first ? x[c] : std::min(box[c], x[c]);
      box[3 + c] = first ? x[c] : std::max(box[3 + c], x[c]);
    }
    first = false;
  }
  if (first) return;
  double squared = 0.0;
  for (int a = 0; a < axes; ++a) squared += (box[3 + a] - box[a]) * (box[3 + a] - box[a]);
  box[6] = std::sqrt(squared);
}

// The extent, average size and mean length in one pass over the boxes, in element order, so that
// they are the same at any thread count. Boxes that are not finite take no part: a node at
// infinity would stretch the grid over everything.
void ZORMtkSourceElements::MeasureExtent() {
  const int axes = dimension_ == 2 ? 2 : 3;
  const long long elementCount = static_cast<long long>(elementMembers_.size());
  const double* boxes = ownBoxes_.data();
  meanLength_ = 0.0;
  if (elementCount == 0) return;
  std::fill_n(extent_.lower, axes, std::numeric_limits<double>::infinity());
  std::fill_n(extent_.upper, axes, -std::numeric_limits<double>::infinity());
  double sizeSum = 0.0, lengthSum = 0.0;
  long long measured = 0;
  for (long long e = 0; e < elementCount; ++e) {
    const double* box = boxes + ZORMtkMeshElemB::kBoxStride * static_cast<std::size_t>(e);
    if (!zor_geom::FiniteBox(box, axes)) continue;
    ++measured;
    double largest = 0.0;
    for (int c = 0; c < axes; ++c) {
      extent_.lower[c] = std::min(extent_.lower[c], box[c]);
      extent_.upper[c] = std::max(extent_.upper[c], box[3 + c]);
      largest = std::max(largest, box[3 + c] - box[c]);
    }
    sizeSum += largest;
    lengthSum += box[6];
  }
  if (measured == 0) {
    std::fill_n(extent_.lower, axes, 0.0);
    std::fill_n(extent_.upper, axes, 0.0);
    measured = 1;
  }
  extent_.averageSize = sizeSum / static_cast<double>(measured);
  meanLength_ = lengthSum / static_cast<double>(measured);
  WidenFlatAxes(axes, extent_.averageSize, extent_.lower, extent_.upper);
}

void ZORMtkSourceElements::WidenFlatAxes(int axes, double averageSize, double* lower,
                                         double* upper) {
  for (int c = 0; c < axes; ++c)
    if (upper[c] - lower[c] < kFlatExtent * averageSize) {
      lower[c] -= kSlabHalfWidth * averageSize;
      upper[c] += kSlabHalfWidth * averageSize;
    }
}

bool ZORMtkSourceElements::AllHex8() const {
  for (int e = 0; e < ElementCount(); ++e) {
    if (Kind(e) != ZORElementKind::Solid || NodeCountOf(e) != 8) return false;
  }
  return true;
}

// Node positions of all elements in one array, element after element in position order; the
// offsets are summed in order, the positions copied by chunks of elements.
void ZORMtkSourceElements::LinkNodes(const ZORFreshArray<int>& counts,
                                     const ZORFreshArray<const int*>& positions) {
  stride_ = -1;
  offsets_.assign(counts.size() + 1, 0);
  for (std::size_t e = 0; e < counts.size(); ++e) {
    offsets_[e + 1] = offsets_[e] + counts[e];
    largestNodeCount_ = std::max(largestNodeCount_, counts[e]);
  }
  ZORHugePages::Resize(nodes_, static_cast<std::size_t>(offsets_.back()));
  ZORParallelFor::Chunks(static_cast<long long>(counts.size()), threads_,
                         [&](long long begin, long long end) {
                           for (std::size_t e = begin; e < static_cast<std::size_t>(end); ++e)
                             std::copy_n(positions[e], counts[e],
                                         nodes_.begin() + static_cast<std::ptrdiff_t>(offsets_[e]));
                         });
}

// The class's connectivity, node positions by now and element after element in position order,
// is the linked array as it stands: taken over instead of copied, with a stride for offsets.
void ZORMtkSourceElements::AdoptNodes(ZORFreshArray<int>&& connectivity, int perElement) {
  offsets_.clear();
  stride_ = perElement;
  largestNodeCount_ = kinds_.empty() ? 0 : perElement;
  nodes_ = std::move(connectivity);
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
