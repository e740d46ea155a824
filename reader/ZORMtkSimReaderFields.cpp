#include <algorithm>
#include <string>
#include <vector>

#include "platform/ZORStream.h"
#include "reader/ZORMtkSimReader.h"
#include "reader/impl/ZORMtkFieldRecord.h"
#include "reader/impl/ZORMtkStepResolver.h"

namespace {

void ReportStepProblem(ZORMtkStepStatus status) {
  const char* text = status == ZORMtkStepStatus::kNoSuchStep
                         ? " ZORMtkSimReader::GetSimpleNodeField: stepNo > numTasks "
                     : status == ZORMtkStepStatus::kStaticIncrement
                         ? " ZORMtkSimReader::GetSimpleNodeField: static task record problem "
                         : " ZORMtkSimReader::GetSimpleNodeField: incrementNo not found ";
  aio_cerr << text << "\n";
  aio_cerr.flush();
}

// Position of each member in `members` (the last one for a repeated member), -1 for members
// that are not listed; indexed by member.
std::vector<int> PositionsOf(const int* members, int count) {
  const int largest = count > 0 ? *std::max_element(members, members + count) : -1;
  std::vector<int> positions(static_cast<std::size_t>(largest + 1), -1);
  for (int i = 0; i < count; ++i)
    if (members[i] >= 0) positions[static_cast<std::size_t>(members[i])] = i;
  return positions;
}

// Copies the rows of one drawer read to the caller's layout [position][point][component], rows
// of points x components values; a drawer keeping more points or components than a row holds
// gives its first ones, one keeping fewer leaves the rest of the row as it was. A row of one value
// (a scalar at a node) is copied without the loops over points and components, as most fields'
// rows are.
void Scatter(const ZORMtkDrawerValues& read, const ZORSimCSetID& rows,
             const std::vector<int>& positionOf, int rowPoints, int rowComponents, double* values) {
  const int rowCount = rows.Size();
  std::vector<int> members(static_cast<std::size_t>(rowCount));
  ZORSimCSet(rows).OrderedMembers(members.data());
  const int perRow = read.points * read.components;
  const std::size_t rowWidth = static_cast<std::size_t>(rowPoints) * rowComponents;
  const int points = std::min(read.points, rowPoints);
  const int components = std::min(read.components, rowComponents);
  const int listed = static_cast<int>(positionOf.size());
  for (int r = 0; r < rowCount; ++r) {
    const int member = members[static_cast<std::size_t>(r)];
    if (member < 0 || member >= listed) continue;
    const int position = positionOf[static_cast<std::size_t>(member)];
    if (position < 0) continue;
    double* out = values + static_cast<std::size_t>(position) * rowWidth;
    if (perRow == 1) {
      *out = read.At(r, 0, 0);
      continue;
    }
    for (int p = 0; p < points; ++p)
      for (int c = 0; c < components; ++c) out[p * rowComponents + c] = read.At(r, p, c);
  }
}

// Linear interpolation in time between two states, extrapolating outside [time1, time2], of
// their first `count` values; a time span that is not positive takes the second state.
void Blend(const std::vector<double>& first, const std::vector<double>& second, double time1,
           double time2, double time, int count, double* values) {
  const double span = time2 - time1;
  const double w = span > 0.0 ? (time - time1) / span : 1.0;
  const std::size_t blended = std::min(first.size(), static_cast<std::size_t>(std::max(count, 0)));
  for (std::size_t k = 0; k < blended; ++k) values[k] = (1.0 - w) * first[k] + w * second[k];
}

std::vector<double> WorkBuffer(int count) {
  return std::vector<double>(static_cast<std::size_t>(std::max(count, 0)), 0.0);
}

}  // namespace

ZORSimDynamicID ZORMtkSimReader::GetFieldID(DRUUnicodeString name, int stepNo) const {
  const ZORMtkStepResolver step(position, stepNo, 0, false);
  if (!step.Found()) return {};
  for (const ZORSimDynamicID& field : step.FieldRecords())
    if (ZORMtkFieldRecord(ZORSrvPosition(position, field)).Name() == name.ToNarrow()) return field;
  return {};
}

std::vector<ZORMtkFieldDrawer> ZORMtkSimReader::DrawersOf(const ZORMtkStepResolver& step,
                                                          const ZORSimDynamicID& field) const {
  const ZORMtkFieldRecord record(ZORSrvPosition(position, field));
  if (!record.IsField()) return {};
  return record.Drawers(
      ZORMtkFieldCollections(position, MeshPosition(), step.Step(), step.Increment()));
}

int ZORMtkSimReader::FieldSize(const ZORMtkStepResolver& step, const ZORSimDynamicID& field) const {
  for (const ZORMtkFieldDrawer& drawer : DrawersOf(step, field)) {
    const bool overMesh =
        drawer.Has(ZORMtkDimensionKind::kNode) || drawer.Has(ZORMtkDimensionKind::kElement);
    if (overMesh && drawer.Has(ZORMtkDimensionKind::kComponent))
      return drawer.SizeOf(ZORMtkDimensionKind::kComponent);
  }
  return 0;
}

int ZORMtkSimReader::GetSimpleFieldSize(ZORSimDynamicID field, int stepNo, int incrementNo) const {
  const ZORMtkStepResolver step(position, stepNo, incrementNo);
  if (!step.Found() || !step.HoldsField(field)) return 0;
  return FieldSize(step, field);
}

bool ZORMtkSimReader::GetSimpleNodeFieldSize(DRUUnicodeString name, int stepNo, int incrementNo,
                                             int& size) const {
  const ZORMtkStepResolver step(position, stepNo, incrementNo);
  if (!step.Found()) return false;
  const int components = SizeByName(step, name.ToNarrow());
  if (components > 0) size = components;
  return components > 0;
}

std::vector<int> ZORMtkSimReader::NodePositions() const {
  return PositionsOf(nodeList.Data(), nodeList.Size());
}

int ZORMtkSimReader::SizeByName(const ZORMtkStepResolver& step, const std::string& name) const {
  for (const ZORSimDynamicID& field : step.FieldRecords()) {
    if (ZORMtkFieldRecord(ZORSrvPosition(position, field)).Name() != name) continue;
    const int components = FieldSize(step, field);
    if (components > 0) return components;
  }
  return 0;
}

void ZORMtkSimReader::ReadNodeField(const ZORMtkStepResolver& step, const ZORSimDynamicID& field,
                                    int width, double* values) const {
  // A drawer over the region's own nodes in list order reads straight into the caller's rows; the
  // others are read aside and scattered to the positions of their nodes.
  const bool regionInOrder = nodeRegion.members && nodeRegion.members->IsAscending() &&
                             !nodeRegion.members->HasDuplicates();
  std::vector<int> positionOf;
  for (const ZORMtkFieldDrawer& drawer : DrawersOf(step, field)) {
    const ZORSimCSetID nodes = drawer.SetOf(ZORMtkDimensionKind::kNode);
    if (nodes.IsEmpty() || ZORSimCSet(nodes).Intersection(nodeRegion).Size() == 0) continue;
    if (regionInOrder && nodes == nodeRegion &&
        drawer.SizeOf(ZORMtkDimensionKind::kComponent) == width &&
        drawer.ReadRows(position.Context(), ZORMtkDimensionKind::kNode, nodes, step.Increment(),
                        values))
      continue;
    if (positionOf.empty()) positionOf = NodePositions();
    ZORMtkDrawerValues read;
    if (drawer.Read(position.Context(), ZORMtkDimensionKind::kNode, nodes, step.Increment(), read))
      Scatter(read, nodes, positionOf, 1, width, values);
  }
}

bool ZORMtkSimReader::GetSimpleNodeField(DRUUnicodeString name, int stepNo, int incrementNo,
                                         int /*count*/, double* values) const {
  const ZORMtkStepResolver step(position, stepNo, incrementNo);
  if (!step.Found()) {
    ReportStepProblem(step.Status());
    return false;
  }
  // Rows are as wide as the size the name gives, the first record's of that name that has one.
  const std::string narrow = name.ToNarrow();
  const int width = std::max(1, SizeByName(step, narrow));
  for (const ZORSimDynamicID& field : step.FieldRecords())
    if (ZORMtkFieldRecord(ZORSrvPosition(position, field)).Name() == narrow)
      ReadNodeField(step, field, width, values);
  return true;
}

bool ZORMtkSimReader::GetSimpleNodeField(ZORSimDynamicID field, int stepNo, int incrementNo,
                                         int /*count*/, double* values) const {
  const ZORMtkStepResolver step(position, stepNo, incrementNo);
  if (!step.Found()) return false;
  if (step.HoldsField(field))
    ReadNodeField(step, field, std::max(1, FieldSize(step, field)), values);
  return true;
}

bool ZORMtkSimReader::ReadNodeRows(ZORSimDynamicID field, int stepNo, int incrementNo, int width,
                                   double* values) const {
  const ZORMtkStepResolver step(position, stepNo, incrementNo);
  if (!step.Found()) return false;
  if (step.HoldsField(field)) ReadNodeField(step, field, std::max(1, width), values);
  return true;
}

bool ZORMtkSimReader::GetInterpolatedSimpleNodeField(ZORSimDynamicID field, int stepNo,
                                                     int increment1, double time1, int increment2,
                                                     double time2, double time, int count,
                                                     double* values) const {
  // The work buffers hold the field's whole rows whatever `count` says; `count` values are blended.
  const int width = std::max({1, GetSimpleFieldSize(field, stepNo, increment1),
                              GetSimpleFieldSize(field, stepNo, increment2)});
  std::vector<double> first = WorkBuffer(std::max(count, numNodes * width));
  std::vector<double> second = WorkBuffer(std::max(count, numNodes * width));
  GetSimpleNodeField(field, stepNo, increment1, count, first.data());
  GetSimpleNodeField(field, stepNo, increment2, count, second.data());
  Blend(first, second, time1, time2, time, count, values);
  return true;
}

void ZORMtkSimReader::SumSimpleNodeField(ZORSimDynamicID field, int stepNo, int incrementNo,
                                         double* sums, int nComp) const {
  if (nComp <= 0) return;
  // Rows come as wide as the field's own component count; the first nComp of each are summed.
  const int width = std::max(1, GetSimpleFieldSize(field, stepNo, incrementNo));
  std::vector<double> nodal = WorkBuffer(width * numNodes);
  GetSimpleNodeField(field, stepNo, incrementNo, nComp, nodal.data());
  std::fill(sums, sums + nComp, 0.0);
  for (std::size_t k = 0; k < nodal.size(); ++k) {
    const int component = static_cast<int>(k % static_cast<std::size_t>(width));
    if (component < nComp) sums[component] += nodal[k];
  }
}

bool ZORMtkSimReader::GetSimpleElementClassField(ZORSimDynamicID field, int stepNo, int incrementNo,
                                                 const int* elements, int nElements,
                                                 int /*nPoints*/, int /*count*/,
                                                 double* values) const {
  return ReadElementField(field, stepNo, incrementNo, elements, nElements, RowShape{}, values);
}

bool ZORMtkSimReader::ReadElementRows(ZORSimDynamicID field, int stepNo, int incrementNo,
                                      const int* elements, int nElements, int nPoints, int nComp,
                                      double* values) const {
  return ReadElementField(field, stepNo, incrementNo, elements, nElements,
                          RowShape{std::max(1, nPoints), std::max(1, nComp)}, values);
}

bool ZORMtkSimReader::ReadElementField(const ZORSimDynamicID& field, int stepNo, int incrementNo,
                                       const int* elements, int nElements, RowShape shape,
                                       double* values) const {
  const ZORMtkStepResolver step(position, stepNo, incrementNo);
  if (!step.Found() || !step.HoldsField(field)) return false;
  const ZORMtkFieldRecord record(ZORSrvPosition(position, field));
  if (!record.IsField()) return true;
  const ZORMtkFieldCollections collections(position, MeshPosition(), step.Step(), step.Increment());
  const ZORSimCSetID requested = ZORSimCollection(position.Context(), collections.Elements())
                                     .CreateTempCSet(elements, nElements, false);
  const std::vector<int> positionOf = PositionsOf(elements, nElements);
  for (const ZORMtkFieldDrawer& drawer : record.Drawers(collections)) {
    const ZORSimCSetID own = drawer.SetOf(ZORMtkDimensionKind::kElement);
    if (own.IsEmpty()) continue;
    const ZORSimCSetID rows = ZORSimCSet(own).Intersection(requested);
    if (rows.Size() != nElements) continue;
    ZORSimCSet(rows).RegisterWithTempCollection();
    ZORMtkDrawerValues read;
    if (!drawer.Read(position.Context(), ZORMtkDimensionKind::kElement, rows, step.Increment(),
                     read))
      continue;
    const bool ownShape = shape.points == 0;
    Scatter(read, rows, positionOf, ownShape ? read.points : shape.points,
            ownShape ? read.components : shape.components, values);
  }
  return true;
}

int ZORMtkSimReader::WidestElementRow(const ZORSimDynamicID& field, int stepNo,
                                      int incrementNo) const {
  const ZORMtkStepResolver step(position, stepNo, incrementNo);
  if (!step.Found() || !step.HoldsField(field)) return 0;
  int widest = 0;
  for (const ZORMtkFieldDrawer& drawer : DrawersOf(step, field))
    if (drawer.Has(ZORMtkDimensionKind::kElement))
      widest = std::max(widest, drawer.SizeOf(ZORMtkDimensionKind::kPoint) *
                                    drawer.SizeOf(ZORMtkDimensionKind::kComponent));
  return widest;
}

bool ZORMtkSimReader::GetInterpolatedSimpleElementClassField(
    ZORSimDynamicID field, int stepNo, int increment1, double time1, int increment2, double time2,
    double time, int* elements, int nElements, int nPoints, int count, double* values) const {
  // The work buffers hold every row a drawer writes, whatever `count` says; `count` values are
  // blended.
  const int widest = std::max(WidestElementRow(field, stepNo, increment1),
                              WidestElementRow(field, stepNo, increment2));
  const int room = std::max(count, std::max(nElements, 0) * widest);
  std::vector<double> first = WorkBuffer(room);
  std::vector<double> second = WorkBuffer(room);
  GetSimpleElementClassField(field, stepNo, increment1, elements, nElements, nPoints, room,
                             first.data());
  GetSimpleElementClassField(field, stepNo, increment2, elements, nElements, nPoints, room,
                             second.data());
  Blend(first, second, time1, time2, time, count, values);
  return true;
}
