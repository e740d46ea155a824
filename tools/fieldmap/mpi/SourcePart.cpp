#include "SourcePart.h"

#include <algorithm>
#include <numeric>

#include "FieldmapError.h"

namespace {

FieldmapError Refusal(const std::string& file, const std::string& why) {
  return FieldmapError::Usage("--parts cannot map the source mesh of " + file + ": " + why +
                              "; map it without --parts");
}

// Plane meshes come from export with z = 0; the array form takes a mesh without solids whose
// every z is 0 as plane elements.
bool IsPlane(const VtuPiece& piece) {
  const std::uint8_t* types = piece.types.Bytes().data;
  for (std::int64_t c = 0; c < piece.cellCount; ++c)
    if (ZORMtkVtkCells::Find(types[c]) != nullptr && ZORMtkVtkCells::Find(types[c])->dimension == 3)
      return false;
  const double* points = reinterpret_cast<const double*>(piece.points.Bytes().data);
  for (std::int64_t n = 0; n < piece.pointCount; ++n)
    if (points[3 * n + 2] != 0.0) return false;
  return true;
}

// The element type the array form gives cells of one class; a usage error when the class has
// no such type of the same shape.
std::string ArrayType(const std::string& className, const ZORMtkVtkCell* cell, bool plane,
                      const std::string& file) {
  if (cell == nullptr)
    throw Refusal(file, "its elements of class " + className + " have no cell the ranks take");
  const std::string type = plane ? cell->planeElement : cell->solidOrShellElement;
  if (ZORMtkShp::GetBaseShape(type) != ZORMtkShp::GetBaseShape(className))
    throw Refusal(
        file, "its elements of class " + className + " would become " + type + ", another shape");
  return type;
}

// Where each cell's nodes start in the connectivity, by the cell's place in the mesh.
std::vector<std::int64_t> CellStarts(const VtuPiece& piece) {
  const std::uint8_t* types = piece.types.Bytes().data;
  std::vector<std::int64_t> starts(static_cast<std::size_t>(piece.cellCount) + 1, 0);
  for (std::size_t c = 0; c + 1 < starts.size(); ++c)
    starts[c + 1] = starts[c] + ZORMtkVtkCells::Find(types[c])->nodes;
  return starts;
}

// One process takes a mesh without solids whose every z is 0 as plane elements; the ranks take
// the whole so only when every part with cells is so, and refuse a part so alone, which would
// lose the shapes the whole has. flat holds per rank -1 for a part without cells, 1 for a part
// lying wholly in z = 0 without solids, else 0. A usage error names the first part so alone.
void RefuseLoneFlatParts(const std::vector<int>& flat, const std::string& what,
                         const std::string& file) {
  if (std::find(flat.begin(), flat.end(), 0) == flat.end()) return;
  const auto lone = std::find(flat.begin(), flat.end(), 1);
  if (lone == flat.end()) return;
  throw Refusal(file, "the " + what + " rank " + std::to_string(lone - flat.begin()) +
                          " takes lie wholly in z = 0 without solids, so the ranks would take "
                          "them for plane elements while the whole mesh is not plane; map it "
                          "at another rank count");
}

// A usage error naming two nodes of the mesh at one place, if there are such nodes.
void RefuseSharedPlaces(const VtuPiece& piece, const ZORMtkSimReader& reader,
                        const std::string& file) {
  const double* points = reinterpret_cast<const double*>(piece.points.Bytes().data);
  const auto at = [points](int node) { return points + 3 * static_cast<std::size_t>(node); };
  std::vector<int> order(static_cast<std::size_t>(piece.pointCount));
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&at](int a, int b) {
    return std::lexicographical_compare(at(a), at(a) + 3, at(b), at(b) + 3);
  });
  for (std::size_t i = 1; i < order.size(); ++i)
    if (std::equal(at(order[i - 1]), at(order[i - 1]) + 3, at(order[i]))) {
      const int first = std::min(order[i - 1], order[i]);
      const int second = std::max(order[i - 1], order[i]);
      throw Refusal(file, "its nodes " + std::to_string(reader.nodeList[first]) + " and " +
                              std::to_string(reader.nodeList[second]) +
                              " lie at one place, which the ranks' nearest-node search takes "
                              "for one node");
    }
}

// Shells race by their facets, which the ranks cannot do beside solids or lines. classOfKind
// holds the first shell class and the first other class met.
void RefuseMixedShells(const std::string (&classOfKind)[2], const std::string& file) {
  if (!classOfKind[0].empty() && !classOfKind[1].empty())
    throw Refusal(file, "its elements of class " + classOfKind[0] +
                            " are shells and those of "
                            "class " +
                            classOfKind[1] +
                            " are not; the ranks map shells only in a mesh of shells alone");
}

// Per rank, how its run of cells in member order lies, as RefuseLoneFlatParts takes it.
std::vector<int> FlatShares(const VtuPiece& piece, const std::vector<int>& cells, int ranks) {
  const double* points = reinterpret_cast<const double*>(piece.points.Bytes().data);
  const std::int32_t* connectivity =
      reinterpret_cast<const std::int32_t*>(piece.connectivity.Bytes().data);
  const std::uint8_t* types = piece.types.Bytes().data;
  const std::vector<std::int64_t> starts = CellStarts(piece);
  const std::int64_t count = static_cast<std::int64_t>(cells.size());
  std::vector<int> flat(static_cast<std::size_t>(ranks), -1);
  for (int r = 0; r < ranks; ++r)
    for (std::int64_t i = FirstOfShare(count, r, ranks); i < FirstOfShare(count, r + 1, ranks);
         ++i) {
      const std::size_t cell = static_cast<std::size_t>(cells[static_cast<std::size_t>(i)]);
      bool lies = ZORMtkVtkCells::Find(types[cell])->dimension != 3;
      for (std::int64_t entry = starts[cell]; entry < starts[cell + 1] && lies; ++entry)
        lies = points[3 * static_cast<std::size_t>(connectivity[entry]) + 2] == 0.0;
      int& part = flat[static_cast<std::size_t>(r)];
      part = part != 0 && lies ? 1 : 0;
    }
  return flat;
}

// Per rank, how its run of the node chain lies, as RefuseLoneFlatParts takes it.
std::vector<int> FlatChains(const VtuPiece& piece, int ranks) {
  const double* points = reinterpret_cast<const double*>(piece.points.Bytes().data);
  const std::int64_t lines = std::max<std::int64_t>(piece.pointCount - 1, 0);
  std::vector<int> flat(static_cast<std::size_t>(ranks), -1);
  for (int r = 0; r < ranks; ++r) {
    const std::int64_t first = FirstOfShare(lines, r, ranks);
    const std::int64_t last = FirstOfShare(lines, r + 1, ranks);
    for (std::int64_t node = first; last > first && node <= last; ++node)
      flat[static_cast<std::size_t>(r)] =
          flat[static_cast<std::size_t>(r)] != 0 && points[3 * node + 2] == 0.0 ? 1 : 0;
  }
  return flat;
}

}  // namespace

std::int64_t FirstOfShare(std::int64_t count, int rank, int ranks) {
  return count / ranks * rank + std::min<std::int64_t>(rank, count % ranks);
}

SourcePart::SourcePart(const MeshVtuExport& mesh, const std::string& file, int rank, int ranks) {
  if (!mesh.Notes().empty()) throw Refusal(file, mesh.Notes().front());
  const VtuPiece piece = mesh.Piece({}, 1, 1);
  const std::vector<int> cells = CellsInMemberOrder(piece, mesh.Reader(), file);
  RefuseLoneFlatParts(FlatShares(piece, cells, ranks), "elements", file);
  const std::int64_t count = static_cast<std::int64_t>(cells.size());
  first_ = static_cast<int>(FirstOfShare(count, rank, ranks));
  last_ = static_cast<int>(FirstOfShare(count, rank + 1, ranks));
  Take(piece, cells);
}

// The cells sorted by element member. The array form groups cells into one block per element
// type, the types in the order they first appear, so in member order a type may not come back
// after another one: the blocks would then number the elements otherwise.
std::vector<int> SourcePart::CellsInMemberOrder(const VtuPiece& piece,
                                                const ZORMtkSimReader& reader,
                                                const std::string& file) const {
  const bool plane = IsPlane(piece);
  const std::uint8_t* types = piece.types.Bytes().data;
  std::string classOfKind[2];
  cow_List<cow_String> names;
  reader.GetElementClassNames(names);
  std::vector<int> members(static_cast<std::size_t>(piece.cellCount));
  // The element type of each cell, as an index into typeNames.
  std::vector<std::string> typeNames;
  std::vector<std::uint8_t> typeOfCell(members.size());
  std::size_t at = 0;
  for (const cow_String& name : names) {
    const int count = reader.GetElementClassCount(name);
    reader.GetElementClassMembers(name, count, members.data() + at);
    if (count > 0) {
      const ZORMtkVtkCell* cell = ZORMtkVtkCells::Find(types[at]);
      const std::string type = ArrayType(name.Str(), cell, plane, file);
      std::string& kind = classOfKind[!plane && cell->dimension == 2 ? 0 : 1];
      if (kind.empty()) kind = name.Str();
      const auto known = std::find(typeNames.begin(), typeNames.end(), type);
      std::fill_n(typeOfCell.begin() + static_cast<long>(at), count,
                  static_cast<std::uint8_t>(known - typeNames.begin()));
      if (known == typeNames.end()) typeNames.push_back(type);
    }
    at += static_cast<std::size_t>(count);
  }
  RefuseMixedShells(classOfKind, file);
  std::vector<int> cells(members.size());
  std::iota(cells.begin(), cells.end(), 0);
  std::sort(cells.begin(), cells.end(), [&members](int a, int b) {
    return members[static_cast<std::size_t>(a)] < members[static_cast<std::size_t>(b)];
  });
  std::vector<bool> seen(typeNames.size(), false);
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const std::uint8_t type = typeOfCell[static_cast<std::size_t>(cells[i])];
    if (i > 0 && typeOfCell[static_cast<std::size_t>(cells[i - 1])] == type) continue;
    if (seen[type])
      throw Refusal(file, "its " + typeNames[type] + " elements are not numbered in one run");
    seen[type] = true;
  }
  return cells;
}

// Takes cells first_ to last_ of the member order with the nodes they use, numbered here in the
// order they are first met.
void SourcePart::Take(const VtuPiece& piece, const std::vector<int>& cells) {
  const double* points = reinterpret_cast<const double*>(piece.points.Bytes().data);
  const std::int32_t* connectivity =
      reinterpret_cast<const std::int32_t*>(piece.connectivity.Bytes().data);
  const std::uint8_t* types = piece.types.Bytes().data;
  const std::vector<std::int64_t> starts = CellStarts(piece);
  std::vector<int> local(static_cast<std::size_t>(piece.pointCount), -1);
  offsets_.assign(1, 0);
  for (int i = first_; i < last_; ++i) {
    const std::size_t cell = static_cast<std::size_t>(cells[static_cast<std::size_t>(i)]);
    for (std::int64_t entry = starts[cell]; entry < starts[cell + 1]; ++entry) {
      const std::size_t node = static_cast<std::size_t>(connectivity[entry]);
      if (local[node] < 0) {
        local[node] = static_cast<int>(nodes_.size());
        nodes_.push_back(static_cast<int>(node));
        coordinates_.insert(coordinates_.end(), points + 3 * node, points + 3 * node + 3);
      }
      connectivity_.push_back(local[node]);
    }
    offsets_.push_back(static_cast<std::int64_t>(connectivity_.size()));
    types_.push_back(types[cell]);
  }
}

SourcePart SourcePart::NodeChain(const MeshVtuExport& mesh, const std::string& file, int rank,
                                 int ranks) {
  const VtuPiece piece = mesh.Piece({}, 1, 1);
  RefuseSharedPlaces(piece, mesh.Reader(), file);
  RefuseLoneFlatParts(FlatChains(piece, ranks), "nodes", file);
  constexpr std::uint8_t kVtkLine = 3;
  const std::int64_t lines = std::max<std::int64_t>(piece.pointCount - 1, 0);
  SourcePart part;
  part.first_ = static_cast<int>(FirstOfShare(lines, rank, ranks));
  part.last_ = static_cast<int>(FirstOfShare(lines, rank + 1, ranks));
  const double* points = reinterpret_cast<const double*>(piece.points.Bytes().data);
  part.offsets_.assign(1, 0);
  for (int node = part.first_; part.last_ > part.first_ && node <= part.last_; ++node) {
    part.nodes_.push_back(node);
    part.coordinates_.insert(part.coordinates_.end(), points + 3 * static_cast<std::size_t>(node),
                             points + 3 * static_cast<std::size_t>(node) + 3);
  }
  for (int line = 0; line < part.last_ - part.first_; ++line) {
    part.connectivity_.insert(part.connectivity_.end(), {line, line + 1});
    part.offsets_.push_back(static_cast<std::int64_t>(part.connectivity_.size()));
    part.types_.push_back(kVtkLine);
  }
  return part;
}

ZORMtkMeshArrays SourcePart::Arrays() const {
  ZORMtkMeshArrays arrays;
  arrays.coordinates = coordinates_.data();
  arrays.nodeCount = static_cast<int>(nodes_.size());
  arrays.dimension = 3;
  arrays.connectivity = connectivity_.data();
  arrays.offsets = offsets_.data();
  arrays.types = types_.data();
  arrays.cellCount = static_cast<int>(types_.size());
  return arrays;
}

std::vector<double> SourcePart::Rows(const std::vector<double>& values, int components) const {
  const std::size_t width = static_cast<std::size_t>(components);
  std::vector<double> rows(nodes_.size() * width);
  for (std::size_t n = 0; n < nodes_.size(); ++n)
    std::copy_n(values.begin() + static_cast<long>(static_cast<std::size_t>(nodes_[n]) * width),
                width, rows.begin() + static_cast<long>(n * width));
  return rows;
}
