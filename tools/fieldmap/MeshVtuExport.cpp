#include "MeshVtuExport.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "VtuCellTypes.h"

namespace {

constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();

}  // namespace

MeshVtuExport::MeshVtuExport(const ZORSrvPosition& root, const ZORSimDynamicID& mesh)
    : points_("Points", 3, std::vector<double>()),
      connectivity_("connectivity", 1, std::vector<std::int32_t>()),
      offsets_("offsets", 1, std::vector<std::int64_t>()),
      types_("types", 1, std::vector<std::uint8_t>()) {
  reader_.SetScope(root, ScopeElementRegion, mesh, cow_List<int>());
  ReadGeometry();
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

void MeshVtuExport::ReadGeometry() {
  const int nodes = reader_.numNodes, axes = reader_.numCoordComponents;
  std::vector<double> stored(static_cast<std::size_t>(nodes) * static_cast<std::size_t>(axes));
  reader_.FillCoordinates(static_cast<int>(stored.size()), stored.data());
  std::vector<double> xyz(3 * static_cast<std::size_t>(nodes), 0.0);
  for (std::size_t n = 0; n < static_cast<std::size_t>(nodes); ++n)
    for (std::size_t a = 0; a < static_cast<std::size_t>(axes); ++a)
      xyz[3 * n + a] = stored[n * static_cast<std::size_t>(axes) + a];
  points_ = VtuArray("Points", 3, std::move(xyz));

  const std::vector<int> positions = NodePositions();
  std::vector<std::int32_t> connectivity;
  std::vector<std::int64_t> offsets;
  std::vector<std::uint8_t> types;
  cow_List<cow_String> names;
  reader_.GetElementClassNames(names);
  std::vector<int> members;
  for (const cow_String& name : names) {
    const int count = reader_.GetElementClassCount(name);
    const std::optional<VtuCellTypes::CellType> cell = VtuCellTypes::ForClass(name.Str());
    if (!cell) {
      notes_.push_back(std::to_string(count) + " elements of class " + name.Str() +
                       " left out: VTK has no cell for them");
      continue;
    }
    members.assign(static_cast<std::size_t>(count) * static_cast<std::size_t>(cell->nodes), 0);
    reader_.GetElementClassConnectivity(name, static_cast<int>(members.size()), members.data());
    classes_.push_back(ClassCells{name.Str(), cellCount_, count});
    for (std::size_t e = 0; e < static_cast<std::size_t>(count); ++e) {
      const int* element = members.data() + e * static_cast<std::size_t>(cell->nodes);
      for (int k = 0; k < cell->nodes; ++k)
        connectivity.push_back(positions[static_cast<std::size_t>(element[cell->order[k]])]);
      offsets.push_back(static_cast<std::int64_t>(connectivity.size()));
      types.push_back(cell->vtkType);
    }
    cellCount_ += count;
  }
  connectivity_ = VtuArray("connectivity", 1, std::move(connectivity));
  offsets_ = VtuArray("offsets", 1, std::move(offsets));
  types_ = VtuArray("types", 1, std::move(types));
}

VtuArray MeshVtuExport::NodalArray(const ExportField& field, int step, int increment) const {
  const int components = std::max(1, reader_.GetSimpleFieldSize(field.record, step, increment));
  std::vector<double> values(
      static_cast<std::size_t>(reader_.numNodes) * static_cast<std::size_t>(components), kMissing);
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
    reader_.GetSimpleElementClassField(field.record, step, increment, elements.data(), cells.count,
                                       points, static_cast<int>(read.size()), read.data());
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
