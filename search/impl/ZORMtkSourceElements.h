#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ZORFreshArray.h"
#include "search/ZORMtkMeshElemB.h"

class ZORMtkSimReader;

// Which element test a source element gets, from its shape-table row.
enum class ZORElementKind : std::uint8_t {
  None,   // no containment test: unknown or unsupported shape, or an element of no class
  Solid,  // three-dimensional continuum
  Shell,  // three-dimensional surface facet, tested in its own plane
  Line,   // beam or truss
  Plane   // two-dimensional continuum, tested in x-y
};

// The source mesh as the point searches read it, gathered once so that the per-point work only
// indexes arrays: node members and coordinates (three per node, z = 0 in two dimensions) by node
// position, and per element position (the bucket grid's numbering) its test kind, node
// positions, bounding box and characteristic length (the diagonal of the box). Owns these arrays
// but the boxes and the element members, which stay with the grid and are read there: the grid
// must outlive the object. Read on its own, it gathers the element members and boxes as well and
// hands them to the grid formed from it. Gathered by up to `threads` threads, each filling its own
// range of elements or nodes, into the same arrays at any count; read-only after.
class ZORMtkSourceElements {
 public:
  // Nodes of the largest supported element (the 20-node hexahedron).
  static constexpr int kMaxNodes = 20;

  // Reads the reader's region; grid is the element grid formed for the same region.
  ZORMtkSourceElements(const ZORMtkSimReader& reader, const ZORMtkMeshElemB& grid, int threads = 1);
  // Reads the reader's region for a grid to be formed from it: also the region's element members
  // and every element's box over its nodes in the region (zeros for one without any).
  ZORMtkSourceElements(const ZORMtkSimReader& reader, int threads);
  // The mesh a search reads: the one the grid kept from forming, else the reader's region read
  // anew for the grid.
  static std::unique_ptr<ZORMtkSourceElements> TakeOrRead(ZORMtkMeshElemB& grid,
                                                          const ZORMtkSimReader& reader,
                                                          int threads);

  // What the grid is sized by: the mean of the elements' largest box extents and the box of all
  // element boxes, widened into a thin slab across an axis where it is flat.
  struct Extent {
    double averageSize = 0.0;
    double lower[3] = {0.0, 0.0, 0.0};
    double upper[3] = {0.0, 0.0, 0.0};
  };
  const Extent& GetExtent() const { return extent_; }
  // A flat region would give the bucket grid no depth across its plane: along every one of the
  // first `axes` axes where upper - lower is below a millionth of the average size, both are
  // moved out by a hundredth of it, a thin slab that keeps every element inside the grid.
  static void WidenFlatAxes(int axes, double averageSize, double* lower, double* upper);
  // Handed over once to the grid formed from this mesh, which reads its boxes here from then on.
  std::vector<int> TakeElementMembers() { return std::move(elementMembers_); }
  ZORFreshArray<double> TakeBoxes() { return std::move(ownBoxes_); }
  void UseBoxes(const double* boxes) { boxes_ = boxes; }

  int Dimension() const { return dimension_; }
  int NodeCount() const { return static_cast<int>(nodeMembers_.size()); }
  int NodeMember(int position) const { return nodeMembers_[static_cast<std::size_t>(position)]; }
  const double* NodeCoords(int position) const {
    return coords_.data() + 3 * static_cast<std::size_t>(position);
  }

  int ElementCount() const { return static_cast<int>(kinds_.size()); }
  int LargestNodeCount() const { return largestNodeCount_; }
  // Whether every element is a solid of 8 nodes.
  bool AllHex8() const;
  ZORElementKind Kind(int element) const { return kinds_[static_cast<std::size_t>(element)]; }
  bool HasKind(ZORElementKind kind) const {
    return std::find(kinds_.begin(), kinds_.end(), kind) != kinds_.end();
  }
  int NodeCountOf(int element) const {
    if (stride_ >= 0) return stride_;
    return offsets_[static_cast<std::size_t>(element) + 1] -
           offsets_[static_cast<std::size_t>(element)];
  }
  const int* NodePositions(int element) const {
    if (stride_ >= 0)
      return nodes_.data() + static_cast<std::size_t>(stride_) * static_cast<std::size_t>(element);
    return nodes_.data() + offsets_[static_cast<std::size_t>(element)];
  }
  double Length(int element) const { return Box(element)[6]; }
  // The element's bounding box and length side by side, so the box test of a candidate reads one
  // run of memory: lower x, y, z, upper x, y, z (z = 0 in two dimensions), length.
  const double* Box(int element) const {
    return boxes_ + ZORMtkMeshElemB::kBoxStride * static_cast<std::size_t>(element);
  }
  // Sum of the element lengths over the element count.
  double MeanLength() const { return meanLength_; }
  // A part of a larger mesh searches with the whole's mean length, which scales the shells'
  // normal reach, so that its facets accept what they would accept in the whole. Before any
  // search reads the mesh.
  void UseMeanLength(double meanLength) { meanLength_ = meanLength; }

 private:
  void ReadNodes(const ZORMtkSimReader& reader);
  void ReadElementMembers(const ZORMtkSimReader& reader);
  template <typename PositionOf>
  void ReadClasses(const ZORMtkSimReader& reader, long long elementCount,
                   const PositionOf& positionOf, double* boxes);
  bool EnterNodes(int* nodes, int count, double* box) const;
  void BoxElement(const int* positions, int count, double* box) const;
  void MeasureExtent();
  void LinkNodes(const ZORFreshArray<int>& counts, const ZORFreshArray<const int*>& positions);
  void AdoptNodes(ZORFreshArray<int>&& connectivity, int perElement);
  void SumLengths();
  int NodePosition(int member) const;

  int dimension_;
  int threads_;
  ZORFreshArray<int> nodeMembers_;
  ZORFreshArray<double> coords_;
  ZORFreshArray<ZORElementKind> kinds_;
  // Element e's node positions start at nodes_[offsets_[e]], or at nodes_[e x stride_] when every
  // element has stride_ nodes (stride_ -1 otherwise): a mesh of one class, read in order, then
  // needs no offsets, and a candidate's nodes are one read less away.
  std::vector<int> offsets_;
  int stride_ = -1;
  ZORFreshArray<int> nodes_;
  // The grid's boxes (ZORMtkMeshElemB::Box), which outlive every search over the grid.
  const double* boxes_ = nullptr;
  // Read on its own: the element members and boxes until the grid takes them, and the extent.
  std::vector<int> elementMembers_;
  ZORFreshArray<double> ownBoxes_;
  Extent extent_;
  // Node member to position, for members up to the largest in the region.
  ZORFreshArray<int> nodePositions_;
  double meanLength_ = 0.0;
  int largestNodeCount_ = 0;
};
