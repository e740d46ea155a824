#include "MeshVtuExport.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "NodePoints.h"
#include "VtuCellTypes.h"
#include "platform/impl/ZORHugePages.h"

namespace {

constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();

// Where each cell's nodes end in the connectivity, in the narrowest type that holds them all
// (smaller files, less to compress).
template <typename End, typename Classes, typename Types>
VtuArray RunningEnds(const Classes& classes, const Types& types) {
  std::vector<End> ends;
  std::size_t cellCount = 0;
  for (const auto& cells : classes) cellCount += static_cast<std::size_t>(cells.count);
  ZORHugePages::Resize(ends, cellCount);
  std::size_t cell = 0;
  End end = 0;
  for (std::size_t c = 0; c < classes.size(); ++c)
    for (int e = 0; e < classes[c].count; ++e) ends[cell++] = end += types[c].second.nodes;
  return VtuArray("offsets", 1, std::move(ends));
}

}  // namespace

MeshVtuExport::MeshVtuExport(const ZORSrvPosition& root, const ZORSimDynamicID& mesh)
    : points_("Points", 3, std::vector<double>()),
      connectivity_("connectivity", 1, std::vector<std::int32_t>()),
      offsets_("offsets", 1, std::vector<std::int64_t>()),
      types_("types", 1, std::vector<std::uint8_t>()) {
  reader_.SetScope(root, ScopeElementRegion, mesh, cow_List<int>());
  ReadPoints();
  ReadCells();
}

// Position of every node member in the reader's node list; the list of a whole mesh holds the
// members 0 .. n-1 in order, but nothing here relies on it.
std::vector<int> MeshVtuExport::NodePositions() const {
  const int largest = reader_.nodeList.IsEmpty()
                          ? -1
                          : *std::max_element(reader_.nodeList.begin(), reader_.nodeList.end());
  std::vector<int> positions(static_cast<std::size_t>(largest + 1), -1);
  for (int p = 0; p < reader_.nodeList.Size(); ++p)
    positions[static_cast<std::size_t>(reader_.nodeList[p])] = p;
  return positions;
}

void MeshVtuExport::ReadPoints() {
  points_ = VtuArray("Points", 3, NodePoints::ThreeAxes(reader_));
}

void MeshVtuExport::ReadCells() {
  cow_List<cow_String> names;
  reader_.GetElementClassNames(names);
  std::vector<std::pair<cow_String, VtuCellTypes::CellType>> written;
  std::size_t entries = 0;
  for (const cow_String& name : names) {
    const int count = reader_.GetElementClassCount(name);
    const std::optional<VtuCellTypes::CellType> cell = VtuCellTypes::ForClass(name.Str());
    if (!cell) {
      notes_.push_back(std::to_string(count) + " elements of class " + name.Str() +
                       " left out: VTK has no cell for them");
      continue;
    }
    written.emplace_back(name, *cell);
    classes_.push_back(ClassCells{name.Str(), cellCount_, count});
    cellCount_ += count;
    entries += static_cast<std::size_t>(count) * static_cast<std::size_t>(cell->nodes);
  }
  // Each class is read straight into its place; only a class whose nodes VTK orders otherwise,
  // or a region whose node positions are not the members, is rewritten there.
  const std::vector<int> positions = NodePositions();
  bool membersArePositions = true;
  for (std::size_t p = 0; p < positions.size() && membersArePositions; ++p)
    membersArePositions = positions[p] == static_cast<int>(p);
  std::vector<std::int32_t> connectivity;
  ZORHugePages::Resize(connectivity, entries);
  std::vector<std::uint8_t> types(static_cast<std::size_t>(cellCount_));
  std::size_t entry = 0;
  for (std::size_t c = 0; c < written.size(); ++c) {
    const VtuCellTypes::CellType& type = written[c].second;
    const std::size_t size = static_cast<std::size_t>(classes_[c].count * type.nodes);
    std::int32_t* first = connectivity.data() + entry;
    reader_.GetElementClassConnectivity(written[c].first, static_cast<int>(size), first);
    const bool reordered = !std::is_sorted(type.order, type.order + type.nodes);
    for (std::size_t e = 0; e < size && (reordered || !membersArePositions); e += type.nodes) {
      int element[VtuCellTypes::kMaxNodes];
      std::copy_n(first + e, type.nodes, element);
      for (int k = 0; k < type.nodes; ++k)
        first[e + k] = positions[static_cast<std::size_t>(element[type.order[k]])];
    }
    std::fill_n(types.begin() + classes_[c].firstCell, classes_[c].count, type.vtkType);
    entry += size;
  }
  connectivity_ = VtuArray("connectivity", 1, std::move(connectivity));
  offsets_ = entries <= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())
                 ? RunningEnds<std::int32_t>(classes_, written)
                 : RunningEnds<std::int64_t>(classes_, written);
  types_ = VtuArray("types", 1, std::move(types));
}

VtuArray MeshVtuExport::NodalArray(const ExportField& field, int step, int increment) const {
  const int components = std::max(1, reader_.GetSimpleFieldSize(field.record, step, increment));
  std::vector<double> values;
  ZORHugePages::Resize(
      values, static_cast<std::size_t>(reader_.numNodes) * static_cast<std::size_t>(components));
  std::fill(values.begin(), values.end(), kMissing);
  reader_.GetSimpleNodeField(field.record, step, increment, static_cast<int>(values.size()),
                             values.data());
  if (!field.placementMarks) return VtuArray(field.arrayName, components, std::move(values));
  std::vector<std::uint8_t> marks(values.size(), 0);
  for (std::size_t n = 0; n < values.size(); ++n)
    if (values[n] >= 1.0 && values[n] <= 255.0) marks[n] = static_cast<std::uint8_t>(values[n]);
  return VtuArray(field.arrayName, 1, std::move(marks));
}

// Each cell gets components x the largest point count of any class; a class with fewer points
// fills the rest of its rows with NaN, as it does where the field has no values.
VtuArray MeshVtuExport::CellArray(const ExportField& field, int step, int increment) const {
  const int components = std::max(1, reader_.GetSimpleFieldSize(field.record, step, increment));
  int widest = 1;
  for (const ClassCells& cells : classes_)
    widest = std::max(widest, ZORMtkElementData::GetNumIntPt(cells.name));
  const std::size_t width = static_cast<std::size_t>(widest * components);
  std::vector<double> values(static_cast<std::size_t>(cellCount_) * width, kMissing);
  std::vector<int> elements;
  std::vector<double> read;
  for (const ClassCells& cells : classes_) {
    const int points = ZORMtkElementData::GetNumIntPt(cells.name);
    if (points <= 0 || cells.count == 0) continue;
    elements.resize(static_cast<std::size_t>(cells.count));
    reader_.GetElementClassMembers(cells.name, cells.count, elements.data());
    const std::size_t rowWidth = static_cast<std::size_t>(points * components);
    read.assign(elements.size() * rowWidth, kMissing);
    reader_.ReadElementRows(field.record, step, increment, elements.data(), cells.count, points,
                            components, read.data());
    for (std::size_t e = 0; e < elements.size(); ++e)
      std::copy_n(read.begin() + static_cast<long>(e * rowWidth), rowWidth,
                  values.begin() +
                      static_cast<long>((static_cast<std::size_t>(cells.firstCell) + e) * width));
  }
  return VtuArray(field.arrayName, static_cast<int>(width), std::move(values));
}

bool MeshVtuExport::HasValues(const ExportField& field, int step, int increment) const {
  ExportField values = field;
  values.placementMarks = false;
  const VtuArray array = values.integrationPoints ? CellArray(values, step, increment)
                                                  : NodalArray(values, step, increment);
  const VtkZlibCompressor::Span bytes = array.Bytes();
  const double* first = reinterpret_cast<const double*>(bytes.data);
  return std::any_of(first, first + bytes.size / sizeof(double),
                     [](double value) { return !std::isnan(value); });
}

VtuPiece MeshVtuExport::Piece(const std::vector<ExportField>& fields, int step, int increment,
                              const std::function<void(double)>& progress) const {
  VtuPiece piece{reader_.numNodes, cellCount_, points_, connectivity_, offsets_, types_, {}, {}};
  for (std::size_t f = 0; f < fields.size(); ++f) {
    if (fields[f].integrationPoints)
      piece.cellData.push_back(CellArray(fields[f], step, increment));
    else
      piece.pointData.push_back(NodalArray(fields[f], step, increment));
    if (progress) progress(static_cast<double>(f + 1) / static_cast<double>(fields.size()));
  }
  return piece;
}
