#pragma once

#include <string>
#include <vector>

#include "api/ZORMtkArrayStatus.h"
#include "api/ZORMtkElementShapeCheck.h"
#include "api/ZORMtkMeshArrays.h"
#include "platform/ZORSimHandles.h"

class ZORMtkSimWriter;

// Puts a host's mesh arrays into a simulation database as a new mesh. Check looks at every array
// before anything is written and names the first entry that breaks a rule; it also chooses the
// element types (plane elements with two coordinates when no cell is a solid and every node
// lies in z = 0) and groups VTK cells into one block per element type, in the
// order the types first appear. Write then adds nodes, blocks and element types through a
// writer. Owns the grouped blocks and the host cell of every element; reads the host's arrays
// only during Check and Write. One thread at a time.
class ZORMtkMeshBuilder {
 public:
  // role names the mesh in messages ("source mesh", "target mesh").
  ZORMtkMeshBuilder(const ZORMtkMeshArrays& mesh, std::string role);

  ZORMtkArrayStatus Check();
  // Only after a Check that succeeded: how many elements are flat, inverted or too small for the
  // element search, which places no point in them.
  ZORMtkShapeCounts CountShapes() const;
  // Only after a Check that succeeded. Returns the new mesh.
  ZORSimDynamicID Write(ZORMtkSimWriter& writer) const;

  int ElementCount() const { return static_cast<int>(cellOfElement_.size()); }
  // The host's cell (or, for blocks, the element counted over the blocks in order) of each
  // element, in the order the database numbers them.
  const std::vector<int>& CellOfElement() const { return cellOfElement_; }

 private:
  struct Block {
    std::string elementType;
    int nodesPerElement;
    // Null when the block is the host's own connectivity, unchanged; else `owned`.
    const int* connectivity;
    std::vector<int> owned;
    int elementCount;
  };

  ZORMtkArrayStatus CheckNodes() const;
  ZORMtkArrayStatus CheckVtkCells();
  ZORMtkArrayStatus CheckBlocks();
  ZORMtkArrayStatus CheckNodeIndex(long long index, long long entry,
                                   const std::string& where) const;
  bool ChoosePlane() const;
  void GroupVtkCells(bool plane);

  const ZORMtkMeshArrays& mesh_;
  std::string role_;
  bool plane_ = false;
  std::vector<Block> blocks_;
  std::vector<int> cellOfElement_;
};
