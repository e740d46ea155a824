#include <string>
#include <vector>

#include "element/ZORMtkElementData.h"
#include "element/impl/ZORMtkElementClasses.h"
#include "platform/ZORSimSchemaKeys.h"
#include "writer/ZORMtkSimWriter.h"
#include "writer/impl/ZORFieldTypeCodes.h"
#include "writer/impl/ZORMtkWriterSupport.h"

using ZORMtkWriterSupport::FollowCollection;

namespace {

// The field-type code of a name: its position among the byte-sorted field-type symbols. The
// writer checks and reports nothing, so a name that is none of them is defined, silently, as
// "UNDEFINED"; hosts that want the check make it before (the array-level file API does).
int FieldTypeCode(const cow_String& name) {
  const int code = ZORFieldTypeCodes::Find(name.Str());
  return code >= 0 ? code : ZORFieldTypeCodes::kUndefined;
}

// The records of a new field: the field record with its type set and field-type symbol, attached
// to the first step, and its output record, under which the values records go.
struct FieldRecords {
  ZORSimDynamicID field;
  ZORSrvPosition outputAt;
  ZORSrvPosition stepAt;
};

FieldRecords CreateFieldRecords(const ZORSrvPosition& root, const ZORSimContext& context,
                                const cow_String& name, bool nodal) {
  const ZORSimCollectionID fieldTypes = FollowCollection(root, ZORSimKeys::kFieldTypeCollection, 0);
  const ZORSimSchema schema(context);
  const int code = FieldTypeCode(name);
  const ZORSimDynamicID symbol =
      ZORSimSymbols(context).Get(schema.TypeID(ZORSimKeys::kFieldTypeSymbol), code, fieldTypes);

  const ZORSimDynamicID field = root.CreateDataRecord(ZORSimKeys::kFieldRecord);
  const ZORSrvPosition fieldAt(root, field);
  ZORSimDataRecord(fieldAt).SetTypeID(
      0, schema.TypeID(nodal ? ZORSimKeys::kNodalFieldType : ZORSimKeys::kIntPtFieldType));
  fieldAt.Associate(ZORSimKeys::kFieldFieldType, 1, symbol);

  const ZORSrvPosition historyAt(root, root.Follow(ZORSimKeys::kHistory, 1));
  const ZORSrvPosition stepAt(root, historyAt.FollowIntKey(ZORSimKeys::kHistorySteps, 1, 0));
  fieldAt.Associate(ZORSimKeys::kStepFields, 1, stepAt.ID());

  const ZORSimDynamicID output = root.CreateDataRecord(ZORSimKeys::kFieldOutputRecord);
  const ZORSrvPosition outputAt(root, output);
  fieldAt.Associate(ZORSimKeys::kFieldOutputs, 1, output);
  return {field, outputAt, stepAt};
}

// The increment collection holds the step's increment set; without one, an empty handle.
ZORSimCollectionID IncrementCollectionOf(const ZORSrvPosition& root, const ZORSrvPosition& stepAt) {
  const ZORSimDynamicID incrementSet = stepAt.Follow(ZORSimKeys::kStepIncrements, 1);
  return incrementSet.IsEmpty() ? ZORSimCollectionID()
                                : ZORSrvPosition(root, incrementSet).GetCollection();
}

// The component set 0 … count−1, the component collection first extended to count members.
ZORSimCSetID ComponentSet(const ZORSimCollection& components, int numberOfComponents) {
  if (components.Space() < numberOfComponents) components.ExtendSpace(numberOfComponents);
  return components.CreateCSetStrided(0, numberOfComponents, 1, 1);
}

// Makes an empty drawer over the given dimension sets, chunked by 10 increments and the whole
// extent of the others, and extendable along the increments.
ZORSimDrawerID MakeFieldDrawer(const ZORSimContext& context,
                               const ZORSimDistributionID& distribution,
                               const std::vector<int>& chunks,
                               const std::vector<ZORSimCSetID>& dimensions) {
  ZORSimTransfer make(context, distribution);
  make.SetMakeNewDrawerChunked(chunks);
  make.SetBufferPadding(false);
  make.SetExtendableDim(0);
  make.SetDims(dimensions);
  make.CheckView();
  make.ExecMake();
  return make.DrawerID();
}

// A nodal field: one values record and one drawer over (increments, all nodes, components).
void DefineNodalValues(const ZORSrvPosition& root, const ZORSimContext& context,
                       const ZORSrvPosition& outputAt, const ZORSimCollection& increments,
                       const ZORSrvPosition& meshAt, const ZORSimCollection& components,
                       int numberOfComponents) {
  const ZORSimDynamicID values = root.CreateDataRecord(ZORSimKeys::kFieldValuesRecord);
  outputAt.Associate(ZORSimKeys::kOutputValues, 0, values);
  const ZORSimCollection nodes(context, FollowCollection(meshAt, ZORSimKeys::kMeshNodes, 1));
  const ZORSimDistributionID distribution = context.CreateDistribution(
      {increments.ID(), nodes.ID(), components.ID()}, ZORSimRangeType(2));
  const ZORSimCSetID componentSet = ComponentSet(components, numberOfComponents);
  const ZORSimCSetID nodeSet = nodes.BiggestCSetID();
  const ZORSimCSetID incrementEmpty = increments.EmptyCSetID();
  const ZORSimDrawerID drawer =
      MakeFieldDrawer(context, distribution, {10, nodes.Space(), numberOfComponents},
                      {incrementEmpty, nodeSet, componentSet});
  ZORSrvPosition(root, values).Associate(ZORSimKeys::kValuesDrawer, 0, drawer.id);
}

// An integration-point field: per element class, in the given order, one drawer over
// (increments, the class's elements, its integration points, components) and one values record.
void DefineIntPtValues(const ZORSrvPosition& root, const ZORSimContext& context,
                       const ZORSrvPosition& outputAt, const ZORSimCollection& increments,
                       const ZORSrvPosition& meshAt, const ZORSimCollection& components,
                       int numberOfComponents,
                       const std::vector<ZORMtkElementClasses::Class>& classes) {
  const ZORSimCollection elements(context, FollowCollection(meshAt, ZORSimKeys::kMeshElements, 0));
  const ZORSimCollection intPoints(context,
                                   FollowCollection(root, ZORSimKeys::kIntegrationPoints, 1));
  const ZORSimDistributionID distribution = context.CreateDistribution(
      {increments.ID(), elements.ID(), intPoints.ID(), components.ID()}, ZORSimRangeType(2));
  const ZORSimCSetID componentSet = ComponentSet(components, numberOfComponents);
  const ZORSimCSetID incrementEmpty = increments.EmptyCSetID();

  for (const ZORMtkElementClasses::Class& elementClass : classes) {
    const int count = static_cast<int>(elementClass.members.size());
    const ZORSimCSetID elementSet = elements.CreateCSet(elementClass.members.data(), count, false);

    // A class without integration-point data (GetNumIntPt -1, e.g. the solids) gets no drawer:
    // the operation handles only the classes that carry integration-point results.
    const int pointsPerElement = ZORMtkElementData::GetNumIntPt(elementClass.name);
    if (pointsPerElement < 0) continue;
    if (intPoints.Space() < pointsPerElement) intPoints.ExtendSpace(pointsPerElement);
    const ZORSimCSetID pointSet = intPoints.CreateCSetStrided(0, pointsPerElement, 1, 1);

    const ZORSimDrawerID drawer =
        MakeFieldDrawer(context, distribution, {10, count, pointsPerElement, numberOfComponents},
                        {incrementEmpty, elementSet, pointSet, componentSet});
    const ZORSimDynamicID values = root.CreateDataRecord(ZORSimKeys::kFieldValuesRecord);
    outputAt.Associate(ZORSimKeys::kOutputValues, 0, values);
    ZORSrvPosition(root, values).Associate(ZORSimKeys::kValuesDrawer, 0, drawer.id);
  }
}

}  // namespace

ZORSimDynamicID ZORMtkSimWriter::AddSimpleNodeField(ZORSimDynamicID mesh, cow_String name,
                                                    int numberOfComponents) {
  return AddField(mesh, name, numberOfComponents, true);
}

ZORSimDynamicID ZORMtkSimWriter::AddSimpleElementField(ZORSimDynamicID mesh, cow_String name,
                                                       int numberOfComponents) {
  return AddField(mesh, name, numberOfComponents, false);
}

ZORSimDynamicID ZORMtkSimWriter::AddField(ZORSimDynamicID mesh, const cow_String& name,
                                          int numberOfComponents, bool nodal) {
  // The element classes are read before the transaction opens.
  const std::vector<ZORMtkElementClasses::Class> classes =
      nodal ? std::vector<ZORMtkElementClasses::Class>()
            : ZORMtkElementClasses::OfMesh(root_, mesh);

  const ZORSimContext context = root_.Context();
  ZORSimTransaction transaction(context);
  const FieldRecords records = CreateFieldRecords(root_, context, name, nodal);
  const ZORSimCollection increments(context, IncrementCollectionOf(root_, records.stepAt));
  const ZORSrvPosition meshAt(root_, mesh);
  const ZORSimCollection components(context,
                                    FollowCollection(root_, ZORSimKeys::kComponentCollection, 0));
  if (nodal)
    DefineNodalValues(root_, context, records.outputAt, increments, meshAt, components,
                      numberOfComponents);
  else
    DefineIntPtValues(root_, context, records.outputAt, increments, meshAt, components,
                      numberOfComponents, classes);
  transaction.Commit();
  return records.field;
}
