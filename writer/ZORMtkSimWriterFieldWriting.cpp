#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/ZORSimSchemaKeys.h"
#include "platform/ZORStream.h"
#include "writer/ZORMtkSimWriter.h"
#include "writer/impl/ZORMtkWriterSupport.h"

using ZORMtkWriterSupport::FollowCollection;
using ZORMtkWriterSupport::Mul32;

namespace {

// The two rejection texts of the nodal writes, and one of the same form for a step below 1.
const char kStepBeyondLast[] = " ZORMtkSimReader::WriteSimpleNodeField: stepNo > numTasks ";
const char kStepBelowOne[] = " ZORMtkSimReader::WriteSimpleNodeField: stepNo < 1 ";
const char kStaticIncrement[] = " ZORMtkSimReader::WriteSimpleNodeField: static event mishandling ";

void Reject(bool print, const char* text) {
  if (!print) return;
  aio_cerr << text << "\n";
  aio_cerr.flush();
}

// The step record of a 1-based step number into stepAt, or false after the rejection text (only
// the nodal writes print it): a step beyond the last or below 1, or an increment other than 1
// on a static step.
bool FindWriteStep(const ZORSrvPosition& historyAt, const ZORSimSchema& schema, int step,
                   int increment, bool print, ZORSrvPosition& stepAt) {
  const int numberOfSteps = historyAt.FollowList(ZORSimKeys::kHistorySteps, 1).Size();
  if (step > numberOfSteps) {
    Reject(print, kStepBeyondLast);
    return false;
  }
  if (step < 1) {
    Reject(print, kStepBelowOne);
    return false;
  }
  stepAt =
      ZORSrvPosition(historyAt, historyAt.FollowIntKey(ZORSimKeys::kHistorySteps, 1, step - 1));
  if (schema.IsA(stepAt.ID(), schema.TypeID(ZORSimKeys::kStaticStep)) && increment != 1) {
    Reject(print, kStaticIncrement);
    return false;
  }
  return true;
}

// The step's increment set when the step is of the increment-bearing type; an empty set (of no
// collection) otherwise.
ZORSimCSetID StepIncrementSet(const ZORSimSchema& schema, const ZORSrvPosition& stepAt) {
  if (!schema.IsA(stepAt.ID(), schema.TypeID(ZORSimKeys::kIncrementBearingStep))) return {};
  return ZORSrvPosition(stepAt, stepAt.Follow(ZORSimKeys::kStepIncrements, 1)).GetCSet();
}

// Grows the step increment set to cover members 0 … increment, so that a reader finds the
// increment written.
void CoverIncrement(const ZORSimCollection& increments, const ZORSrvPosition& stepAt,
                    const ZORSimCSetID& stepIncrements, int increment) {
  if (increments.ID().IsEmpty() || std::int64_t{increments.Space()} >= std::int64_t{increment} + 1)
    return;
  increments.ExtendSpace(static_cast<int>(static_cast<std::uint32_t>(increment) + 1u));
  stepAt.Remove(ZORSimKeys::kStepIncrements, 1, stepIncrements);
  stepAt.Associate(ZORSimKeys::kStepIncrements, 1, increments.BiggestCSetID());
}

// The fields attached to the step whose field-type symbol is named name, in list order.
std::vector<ZORSimDynamicID> FieldsNamed(const ZORSimContext& context, const ZORSimSchema& schema,
                                         const ZORSrvPosition& stepAt, const std::string& name) {
  std::vector<ZORSimDynamicID> fields;
  const ZORSimSymbols symbols(context);
  const ZORSimTypeID symbolType = schema.TypeID(ZORSimKeys::kFieldTypeSymbol);
  ZORSrvIterator attached = stepAt.FollowList(ZORSimKeys::kStepFields, 0);
  for (attached.First(); !attached.IsDone(); attached.Next()) {
    const ZORSimDynamicID record = attached.CurrentValueID();
    const ZORSimDynamicID symbol =
        ZORSrvPosition(stepAt, record).Follow(ZORSimKeys::kFieldFieldType, 1);
    if (symbol.IsEmpty()) continue;
    if (schema.SymbolName(symbolType, symbols.Get(symbol)) == name) fields.push_back(record);
  }
  return fields;
}

// One write as every drawer of it sees it: the values with their byte length, the point and
// increment sets, and the collections that tell a drawer's dimensions apart (empty where the
// database has none or the kind of write takes none).
struct FieldWrite {
  bool nodal = true;
  ZORSimCollectionID increments;
  ZORSimCollectionID points;
  ZORSimCollectionID components;
  ZORSimCollectionID intPoints;
  ZORSimCollectionID sectPoints;
  ZORSimCollectionID complexParts;
  ZORSimCollectionID limitTypes;
  ZORSimCSetID pointSet;
  ZORSimCSetID singleIncrement;
  double* values = nullptr;
  std::int64_t bytes = 0;
};

// Where each kind of dimension sits in a drawer, -1 when it has none; the last of each kind
// counts.
struct DimensionPositions {
  int component = -1;
  int intPoint = -1;
  int sectPoint = -1;
  int complex = -1;
  int limit = -1;
  int point = -1;
};

DimensionPositions ClassifyDimensions(const ZORSimDrawerDescriptor& descriptor,
                                      const FieldWrite& write) {
  DimensionPositions at;
  for (int d = 0; d < static_cast<int>(descriptor.dimensions.size()); ++d) {
    const ZORSimCollectionID& c = descriptor.dimensions[static_cast<std::size_t>(d)].collection;
    if (c == write.increments) continue;
    if (c == write.components)
      at.component = d;
    else if (!write.nodal && c == write.intPoints)
      at.intPoint = d;
    else if (write.nodal && !write.sectPoints.IsEmpty() && c == write.sectPoints)
      at.sectPoint = d;
    else if (!write.complexParts.IsEmpty() && c == write.complexParts)
      at.complex = d;
    else if (!write.limitTypes.IsEmpty() && c == write.limitTypes)
      at.limit = d;
    else if (c == write.points)
      at.point = d;
  }
  return at;
}

// The drawer's descriptor as its distribution lists it; false when the distribution does not
// list the drawer.
bool FindDescriptor(const ZORSimContext& context, const ZORSimDistributionID& distribution,
                    const ZORSimDynamicID& drawerID, ZORSimDrawerDescriptor& found) {
  for (ZORSimDrawerDescriptor& d : ZORSimDistribution(context, distribution).QueryDrawers())
    if (d.id.id == drawerID) {
      found = std::move(d);
      return true;
    }
  return false;
}

// Writes the values into one field drawer, with the dimensions in the order the drawer declares
// them. A drawer that is not over this mesh's points, that has no component (or, for an
// integration-point field, no integration-point) dimension, or that lacks one of the given
// elements is passed over.
void WriteDrawer(const ZORSimContext& context, const FieldWrite& write,
                 const ZORSimDynamicID& drawerID) {
  const ZORSimDistributionID distribution = ZORSrvPosition(context, drawerID).GetDistribution();
  ZORSimDrawerDescriptor descriptor;
  if (!FindDescriptor(context, distribution, drawerID, descriptor)) return;
  const DimensionPositions at = ClassifyDimensions(descriptor, write);
  if (at.point < 0 || at.component < 0 || (!write.nodal && at.intPoint < 0)) return;
  const auto own = [&descriptor](int d) {
    return descriptor.dimensions[static_cast<std::size_t>(d)];
  };
  if (!write.nodal &&
      ZORSimCSet(own(at.point)).Intersection(write.pointSet).Size() != write.pointSet.Size())
    return;

  std::vector<ZORSimCSetID> dims{write.singleIncrement};
  if (at.sectPoint >= 0) dims.push_back(own(at.sectPoint));
  if (at.complex >= 0) dims.push_back(own(at.complex));
  if (at.limit >= 0) dims.push_back(own(at.limit));
  dims.push_back(write.pointSet);
  if (!write.nodal) dims.push_back(own(at.intPoint));
  dims.push_back(own(at.component));

  ZORSimTransfer transfer(context, distribution);
  transfer.SetWrite();
  transfer.SetDrawer(ZORSimDrawerID(drawerID));
  transfer.SetBufferPadding(false);
  transfer.SetBufferType(2);
  transfer.SetAutoExtend(true);
  transfer.SetDims(dims);
  transfer.CheckView();
  transfer.SetBuffer(0, static_cast<void*>(write.values), write.bytes);
  transfer.ExecWrite();
  transfer.RelinquishBuffers();
}

// Writes into every drawer of a field record: the drawer of each values record of each output
// record. A record that is not a field record is passed over.
void WriteFieldRecord(const ZORSimContext& context, const ZORSimSchema& schema,
                      const FieldWrite& write, const ZORSimDynamicID& record) {
  if (!schema.IsA(record, schema.TypeID(ZORSimKeys::kFieldRecord))) return;
  ZORSrvIterator outputs = ZORSrvPosition(context, record).FollowList(ZORSimKeys::kFieldOutputs, 1);
  for (outputs.First(); !outputs.IsDone(); outputs.Next()) {
    ZORSrvIterator valueRecords =
        ZORSrvPosition(context, outputs.CurrentValueID()).FollowList(ZORSimKeys::kOutputValues, 0);
    for (valueRecords.First(); !valueRecords.IsDone(); valueRecords.Next()) {
      const ZORSimDynamicID drawerID = ZORSrvPosition(context, valueRecords.CurrentValueID())
                                           .Follow(ZORSimKeys::kValuesDrawer, 0);
      if (!drawerID.IsEmpty()) WriteDrawer(context, write, drawerID);
    }
  }
}

}  // namespace

bool ZORMtkSimWriter::WriteSimpleNodeField(ZORSimDynamicID field, ZORSimDynamicID mesh, int step,
                                           int increment, int numberOfComponents,
                                           cow_List<int>& points, double* values) {
  return WriteField(true, FieldSelection::kByHandle, field, std::string(), mesh, step, increment,
                    numberOfComponents, points, values);
}

bool ZORMtkSimWriter::WriteSimpleNodeField(ZORSimDynamicID mesh, DRUUnicodeString name, int step,
                                           int increment, int numberOfComponents,
                                           cow_List<int>& points, double* values) {
  return WriteField(true, FieldSelection::kByName, ZORSimDynamicID(), name.ToNarrow(), mesh, step,
                    increment, numberOfComponents, points, values);
}

bool ZORMtkSimWriter::WriteSimpleElementClassField(ZORSimDynamicID field, ZORSimDynamicID mesh,
                                                   int step, int increment, int pointsPerElement,
                                                   int numberOfComponents, cow_List<int>& points,
                                                   double* values) {
  return WriteField(false, FieldSelection::kByHandle, field, std::string(), mesh, step, increment,
                    Mul32(pointsPerElement, numberOfComponents), points, values);
}

bool ZORMtkSimWriter::WriteField(bool nodal, FieldSelection selection, ZORSimDynamicID field,
                                 const std::string& name, ZORSimDynamicID mesh, int step,
                                 int increment, int valuesPerPoint, cow_List<int>& points,
                                 double* values) {
  const ZORSimContext context = root_.Context();
  ZORSimTransaction transaction(context);
  const ZORSimSchema schema(context);
  const ZORSrvPosition historyAt(root_, root_.Follow(ZORSimKeys::kHistory, 1));
  ZORSrvPosition stepAt;
  // A rejected step commits nothing: the transaction rolls back.
  if (!FindWriteStep(historyAt, schema, step, increment, nodal, stepAt)) return false;
  const ZORSimCSetID stepIncrements = StepIncrementSet(schema, stepAt);
  const ZORSimCollection increments(context, stepIncrements.collection);

  // The point set, in the caller's order.
  const ZORSrvPosition meshAt(root_, mesh);
  const ZORSimCollection pointCollection(
      context, nodal ? FollowCollection(meshAt, ZORSimKeys::kMeshNodes, 1)
                     : FollowCollection(meshAt, ZORSimKeys::kMeshElements, 0));
  FieldWrite write;
  write.nodal = nodal;
  write.increments = increments.ID();
  write.points = pointCollection.ID();
  write.values = values;
  write.pointSet = pointCollection.CreateTempOrderedCSet(points.Data(), points.Size());
  write.components = FollowCollection(root_, ZORSimKeys::kComponentCollection, 0);
  if (!nodal) write.intPoints = FollowCollection(root_, ZORSimKeys::kIntegrationPoints, 1);
  if (nodal) write.sectPoints = FollowCollection(root_, ZORSimKeys::kSecondAuxiliary, 1);
  write.complexParts = FollowCollection(root_, ZORSimKeys::kThirdAuxiliary, 0);
  write.limitTypes = FollowCollection(historyAt, ZORSimKeys::kFirstAuxiliary, 0);

  CoverIncrement(increments, stepAt, stepIncrements, increment);
  write.singleIncrement = increments.CreateTempCSetStrided(increment, 1, 1, 1);
  const std::vector<ZORSimDynamicID> fields = selection == FieldSelection::kByHandle
                                                  ? std::vector<ZORSimDynamicID>{field}
                                                  : FieldsNamed(context, schema, stepAt, name);
  write.bytes = Mul32(Mul32(points.Size(), valuesPerPoint), 8);
  for (const ZORSimDynamicID& record : fields) WriteFieldRecord(context, schema, write, record);
  transaction.Commit();
  return true;
}
