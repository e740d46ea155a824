#include "writer/ZORMtkSimWriter.h"

#include <cstdint>
#include <string>
#include <vector>

#include "element/ZORMtkElementData.h"
#include "element/ZORMtkShp.h"
#include "element/impl/ZORMtkElementClasses.h"
#include "platform/ZORSimSchemaKeys.h"
#include "platform/ZORStream.h"
#include "writer/impl/ZORDataDictionary.h"
#include "writer/impl/ZORFieldTypeCodes.h"

namespace {

// Byte lengths are computed in 32-bit int arithmetic: a product beyond 2^31
// wraps, and the database then refuses the buffer because it does not match the view.
int Mul32(int a, int b) {
  return static_cast<int>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// The collection reached from a position by one association (empty when there is none).
ZORSimCollectionID FollowCollection(const ZORSrvPosition& from, int type, int side) {
  return ZORSrvPosition(from, from.Follow(type, side)).GetCollection();
}

// Append members: the set of n new members s … s+n−1 of a collection whose space was s.
ZORSimCSetID AppendMembers(const ZORSimCollection& collection, int n) {
  const int space = collection.Space();
  collection.ExtendSpace(
      static_cast<int>(static_cast<std::uint32_t>(space) + static_cast<std::uint32_t>(n)));
  return collection.CreateCSetStrided(space, n, 1, 1);
}

// The two rejection texts of the nodal writes, and one of the same form for a step below 1.
const char kStepBeyondLast[] = " ZORMtkSimReader::WriteSimpleNodeField: stepNo > numTasks ";
const char kStepBelowOne[] = " ZORMtkSimReader::WriteSimpleNodeField: stepNo < 1 ";
const char kStaticIncrement[] = " ZORMtkSimReader::WriteSimpleNodeField: static event mishandling ";

void Reject(bool print, const char* text) {
  if (!print) return;
  aio_cerr << text << "\n";
  aio_cerr.flush();
}

// The field-type code of a name: its position among the byte-sorted field-type
// symbols; a name that is none of them gets the code of "UNDEFINED", with a note.
int FieldTypeCode(const cow_String& name) {
  const int code = ZORFieldTypeCodes::Find(name.Str());
  if (code >= 0) return code;
  aio_cerr << "ZORMtkSimWriter: \"" << name.Str()
           << "\" is no field-type symbol of the data dictionary; the field is defined as "
              "UNDEFINED"
           << "\n";
  aio_cerr.flush();
  return ZORFieldTypeCodes::kUndefined;
}

}  // namespace

// ---- writer object and database creation

ZORMtkSimWriter::ZORMtkSimWriter() : access_(), created_(false), root_() {}

ZORMtkSimWriter::~ZORMtkSimWriter() {
  if (!created_) return;
  try {
    access_.Close(ZORSrvPosition(root_));
  } catch (...) {
    // A destructor reports nothing; Close only drops the in-memory model.
  }
}

void ZORMtkSimWriter::CreateSim(cow_String fileName) {
  created_ = true;
  access_.SetSchema(eds_SSDLallSource_Get());
  const std::string focus = "anchor:focus";
  const std::string role = "Input";
  const std::string file = fileName.Str();
  root_ = access_.Create(file, role, ZORDataDictionaryText(), focus);

  const ZORSimContext context = root_.Context();
  ZORSimTransaction transaction(context);
  const ZORSimDynamicID history = root_.CreateDataRecord(ZORSimKeys::kHistoryRecord);
  root_.Associate(ZORSimKeys::kHistory, 1, history);
  const ZORSrvPosition historyAt(root_, history);
  const ZORSimDynamicID step = root_.CreateDataRecord(ZORSimKeys::kStepRecord);
  historyAt.Associate(ZORSimKeys::kHistorySteps, 1, step, 0);
  historyAt.Associate(ZORSimKeys::kHistoryStepNames, 1, step, std::string("StaticStep"));

  const ZORSimCollection increments(
      context, historyAt.CreateTypedCollection(0, ZORSimKeys::kIncrementCollectionType));
  const ZORSrvPosition stepAt(root_, step);
  stepAt.Associate(ZORSimKeys::kStepIncrements, 1, increments.EmptyCSetID());
  const ZORSimDistributionID distribution = stepAt.CreateTypedDistribution(
      {increments.ID()}, ZORSimKeys::kIncrementDistributionType, ZORSimRangeType(3));

  ZORSimTransfer make(context, distribution);
  make.SetWrite();
  make.SetMakeNewDrawerChunked({100});
  make.SetBufferPadding(false);
  make.SetExtendableDim(0);
  make.SetDim(0, increments.EmptyCSetID());
  make.CheckView();
  make.ExecMake();
  make.RelinquishBuffers();
  transaction.Commit();
}

void ZORMtkSimWriter::AcceptSim(ZORSrvPosition position) { root_ = position; }

void ZORMtkSimWriter::SaveContext() {
  ZORSimContext context = root_.Context();
  context.Save();
}

ZORSrvPosition ZORMtkSimWriter::GetRootPosition() const { return root_; }

// ---- mesh writing

ZORSimDynamicID ZORMtkSimWriter::AddMesh() {
  const ZORSimContext context = root_.Context();
  ZORSimTransaction transaction(context);
  const ZORSrvPosition modelAt(root_, root_.Follow(ZORSimKeys::kModel, 0));
  const ZORSimDynamicID mesh = root_.CreateDataRecord(ZORSimKeys::kMeshRecord);
  const ZORSrvPosition meshAt(root_, mesh);
  modelAt.Associate(ZORSimKeys::kModelMesh, 1, mesh);

  const ZORSimCollectionID nodes = root_.CreateTypedCollection(0, ZORSimKeys::kNodeCollectionType);
  meshAt.Associate(ZORSimKeys::kMeshNodes, 1, nodes.id);
  const ZORSimCollectionID elements =
      root_.CreateTypedCollection(0, ZORSimKeys::kElementCollectionType);
  meshAt.Associate(ZORSimKeys::kMeshElements, 0, elements.id);

  const ZORSimCollectionID components =
      FollowCollection(root_, ZORSimKeys::kComponentCollection, 0);
  const ZORSimDistributionID coordinates = meshAt.CreateTypedDistribution(
      {nodes, components}, ZORSimKeys::kCoordinateDistributionType, ZORSimRangeType(2));
  meshAt.Associate(ZORSimKeys::kMeshCoordinates, 0, coordinates.id);

  const ZORSimCollectionID points = FollowCollection(root_, ZORSimKeys::kPointCollection, 1);
  const ZORSimDSetID connectivity = context.CreateDSet(
      {elements, points, nodes}, ZORSimSchema(context).TypeID(ZORSimKeys::kConnectivitySetType));
  meshAt.Associate(ZORSimKeys::kMeshConnectivity, 0, connectivity.id);
  transaction.Commit();
  return mesh;
}

void ZORMtkSimWriter::AddMeshNodes(ZORSimDynamicID mesh, int numberOfNodes, int numberOfComponents,
                                   double* coordinates) {
  const ZORSimContext context = root_.Context();
  ZORSimTransaction transaction(context);
  const ZORSrvPosition meshAt(root_, mesh);
  const ZORSimCollection nodes(context, FollowCollection(meshAt, ZORSimKeys::kMeshNodes, 1));
  const ZORSimCSetID newNodes = AppendMembers(nodes, numberOfNodes);

  const ZORSimCollection components(context,
                                    FollowCollection(root_, ZORSimKeys::kComponentCollection, 0));
  const ZORSimCSetID componentSet = components.CreateCSetStrided(0, numberOfComponents, 1, 1);

  const ZORSimDistributionID distribution =
      ZORSrvPosition(root_, meshAt.Follow(ZORSimKeys::kMeshCoordinates, 0)).GetDistribution();
  const std::vector<ZORSimDrawerDescriptor> drawers =
      ZORSimDistribution(context, distribution).QueryDrawers();
  ZORSimDrawerID drawer;
  if (!drawers.empty()) {
    drawer = drawers.front().id;
  } else {
    ZORSimTransfer make(context, distribution);
    make.SetMakeNewDrawerChunked({numberOfNodes, numberOfComponents});
    make.SetBufferPadding(false);
    make.SetExtendableDim(0);
    make.SetDim(0, newNodes);
    make.SetDim(1, componentSet);
    make.CheckView();
    make.ExecMake();
    drawer = make.DrawerID();
  }

  ZORSimTransfer write(context, distribution);
  write.SetWrite();
  write.SetBufferPadding(false);
  write.SetBufferType(2);
  write.SetAutoExtend(true);
  write.SetDrawer(drawer);
  write.SetDim(0, newNodes);
  write.SetDim(1, componentSet);
  write.CheckView();
  write.SetBuffer(0, static_cast<void*>(coordinates),
                  Mul32(Mul32(numberOfNodes, numberOfComponents), 8));
  write.ExecWrite();
  write.RelinquishBuffers();
  transaction.Commit();
}

ZORSimCSetID ZORMtkSimWriter::AddMeshElements(ZORSimDynamicID mesh, int numberOfElements,
                                              cow_String /*elementType*/, int nodesPerElement,
                                              int* connectivity) {
  const ZORSimContext context = root_.Context();
  ZORSimTransaction transaction(context);
  const ZORSimCollection points(context, FollowCollection(root_, ZORSimKeys::kPointCollection, 1));
  const ZORSimCSetID pointSet = points.CreateCSetStrided(0, nodesPerElement, 1, 1);

  const ZORSrvPosition meshAt(root_, mesh);
  const ZORSimCollectionID nodes = FollowCollection(meshAt, ZORSimKeys::kMeshNodes, 1);
  const ZORSimCollection elements(context, FollowCollection(meshAt, ZORSimKeys::kMeshElements, 0));
  const ZORSimDSetID connectivitySet =
      ZORSrvPosition(root_, meshAt.Follow(ZORSimKeys::kMeshConnectivity, 0)).GetDSet();

  // The connectivity set is "empty" until the first block attached its relational distribution.
  ZORSimDistributionID distribution =
      ZORSimDSet(context, connectivitySet).GetRelationalDistributionID();
  if (distribution.IsEmpty())
    distribution = meshAt.CreateTypedDistribution({elements.ID(), points.ID()},
                                                  ZORSimKeys::kConnectivityDistributionType,
                                                  ZORSimRangeType(5, nodes));

  const ZORSimCSetID block = AppendMembers(elements, numberOfElements);

  ZORSimTransfer make(context, distribution);
  make.SetMakeNewDrawerChunked({numberOfElements, nodesPerElement});
  make.SetBufferPadding(false);
  make.SetExtendableDim(0);
  make.SetDim(0, block);
  make.SetDim(1, pointSet);
  make.CheckView();
  make.ExecMake();
  const ZORSimDrawerID drawer = make.DrawerID();

  ZORSimTransfer write(context, distribution);
  write.SetWrite();
  write.SetAutoExtend(true);
  write.SetBufferPadding(false);
  write.SetDrawer(drawer);
  write.SetDim(0, block);
  write.SetDim(1, pointSet);
  write.CheckView();
  write.SetBuffer(0, static_cast<void*>(connectivity),
                  Mul32(Mul32(numberOfElements, nodesPerElement), 4));
  write.ExecWrite();
  write.RelinquishBuffers();

  context.UpdateDSet(connectivitySet, distribution);
  transaction.Commit();
  return block;
}

void ZORMtkSimWriter::ConnectMeshEltypes(ZORSimDynamicID mesh, ZORSimArray<ZORSimCSetID>& blocks,
                                         cow_List<cow_String>& elementTypes) {
  const ZORSimContext context = root_.Context();
  ZORSimTransaction transaction(context);
  const ZORSrvPosition meshAt(root_, mesh);
  const int numberOfBlocks = blocks.Size();
  if (numberOfBlocks == 0) return;  // nothing created, nothing committed

  const ZORSimCollection types(context,
                               FollowCollection(root_, ZORSimKeys::kElementTypeCollection, 0));
  const ZORSimCSet walk(types.BiggestCSetID());
  std::vector<std::vector<ZORSimCSetID>> compartments;
  compartments.reserve(static_cast<std::size_t>(numberOfBlocks));
  for (int i = 0; i < numberOfBlocks; ++i) {
    const ZORMtkShp_enum shape = ZORMtkShp::GetBaseShape(elementTypes[i]);
    const std::string baseName = ZORMtkShp::GetRow(shape).elementName;
    int typeNumber = 0;
    for (int j = 0; j < walk.Size(); ++j) {
      const ZORSimDynamicID record = context.GetRecord(types.ID(), walk[j]);
      if (ZORSrvPosition(root_, record).GetSymbolName() == baseName) {
        typeNumber = j;
        break;
      }
    }
    const ZORSimCSetID typeSet = types.CreateCSet(&typeNumber, 1, false);
    compartments.push_back({blocks[i], typeSet});
  }
  const ZORSimDSetID elementTypeSet =
      meshAt.CreateTypedDSet(compartments, ZORSimKeys::kElementTypeSetType);
  meshAt.Associate(ZORSimKeys::kMeshElementTypes, 0, elementTypeSet.id);
  transaction.Commit();
}

// ---- field definition

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
  const ZORSimCollectionID fieldTypes =
      FollowCollection(root_, ZORSimKeys::kFieldTypeCollection, 0);
  const ZORSimSchema schema(context);
  const int code = FieldTypeCode(name);
  const ZORSimDynamicID symbol =
      ZORSimSymbols(context).Get(schema.TypeID(ZORSimKeys::kFieldTypeSymbol), code, fieldTypes);

  const ZORSimDynamicID field = root_.CreateDataRecord(ZORSimKeys::kFieldRecord);
  const ZORSrvPosition fieldAt(root_, field);
  ZORSimDataRecord(fieldAt).SetTypeID(
      0, schema.TypeID(nodal ? ZORSimKeys::kNodalFieldType : ZORSimKeys::kIntPtFieldType));
  fieldAt.Associate(ZORSimKeys::kFieldFieldType, 1, symbol);

  const ZORSrvPosition historyAt(root_, root_.Follow(ZORSimKeys::kHistory, 1));
  const ZORSrvPosition stepAt(root_, historyAt.FollowIntKey(ZORSimKeys::kHistorySteps, 1, 0));
  fieldAt.Associate(ZORSimKeys::kStepFields, 1, stepAt.ID());

  const ZORSimDynamicID output = root_.CreateDataRecord(ZORSimKeys::kFieldOutputRecord);
  const ZORSrvPosition outputAt(root_, output);
  fieldAt.Associate(ZORSimKeys::kFieldOutputs, 1, output);

  // The increment collection holds the step's increment set; without one, an empty handle.
  const ZORSimDynamicID incrementSet = stepAt.Follow(ZORSimKeys::kStepIncrements, 1);
  const ZORSimCollection increments(
      context, incrementSet.IsEmpty() ? ZORSimCollectionID()
                                      : ZORSrvPosition(root_, incrementSet).GetCollection());

  const ZORSrvPosition meshAt(root_, mesh);
  const ZORSimCollection components(context,
                                    FollowCollection(root_, ZORSimKeys::kComponentCollection, 0));

  if (nodal) {
    const ZORSimDynamicID values = root_.CreateDataRecord(ZORSimKeys::kFieldValuesRecord);
    outputAt.Associate(ZORSimKeys::kOutputValues, 0, values);
    const ZORSimCollection nodes(context, FollowCollection(meshAt, ZORSimKeys::kMeshNodes, 1));
    const ZORSimDistributionID distribution = context.CreateDistribution(
        {increments.ID(), nodes.ID(), components.ID()}, ZORSimRangeType(2));
    if (components.Space() < numberOfComponents) components.ExtendSpace(numberOfComponents);
    const ZORSimCSetID componentSet = components.CreateCSetStrided(0, numberOfComponents, 1, 1);
    const ZORSimCSetID nodeSet = nodes.BiggestCSetID();
    const ZORSimCSetID incrementEmpty = increments.EmptyCSetID();

    ZORSimTransfer make(context, distribution);
    make.SetMakeNewDrawerChunked({10, nodes.Space(), numberOfComponents});
    make.SetBufferPadding(false);
    make.SetExtendableDim(0);
    make.SetDims({incrementEmpty, nodeSet, componentSet});
    make.CheckView();
    make.ExecMake();
    ZORSrvPosition(root_, values).Associate(ZORSimKeys::kValuesDrawer, 0, make.DrawerID().id);
    transaction.Commit();
    return field;
  }

  const ZORSimCollection elements(context, FollowCollection(meshAt, ZORSimKeys::kMeshElements, 0));
  const ZORSimCollection intPoints(context,
                                   FollowCollection(root_, ZORSimKeys::kIntegrationPoints, 1));
  const ZORSimDistributionID distribution = context.CreateDistribution(
      {increments.ID(), elements.ID(), intPoints.ID(), components.ID()}, ZORSimRangeType(2));
  if (components.Space() < numberOfComponents) components.ExtendSpace(numberOfComponents);
  const ZORSimCSetID componentSet = components.CreateCSetStrided(0, numberOfComponents, 1, 1);
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

    ZORSimTransfer make(context, distribution);
    make.SetMakeNewDrawerChunked({10, count, pointsPerElement, numberOfComponents});
    make.SetBufferPadding(false);
    make.SetExtendableDim(0);
    make.SetDims({incrementEmpty, elementSet, pointSet, componentSet});
    make.CheckView();
    make.ExecMake();

    const ZORSimDynamicID values = root_.CreateDataRecord(ZORSimKeys::kFieldValuesRecord);
    outputAt.Associate(ZORSimKeys::kOutputValues, 0, values);
    ZORSrvPosition(root_, values).Associate(ZORSimKeys::kValuesDrawer, 0, make.DrawerID().id);
  }
  transaction.Commit();
  return field;
}

// ---- field writing

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

  // 1-2. The step, or a rejection (nothing is committed: the transaction rolls back).
  const ZORSrvPosition historyAt(root_, root_.Follow(ZORSimKeys::kHistory, 1));
  const int numberOfSteps = historyAt.FollowList(ZORSimKeys::kHistorySteps, 1).Size();
  if (step > numberOfSteps) {
    Reject(nodal, kStepBeyondLast);
    return false;
  }
  if (step < 1) {
    Reject(nodal, kStepBelowOne);
    return false;
  }
  const ZORSrvPosition stepAt(root_,
                              historyAt.FollowIntKey(ZORSimKeys::kHistorySteps, 1, step - 1));
  const ZORSimSchema schema(context);
  if (schema.IsA(stepAt.ID(), schema.TypeID(ZORSimKeys::kStaticStep)) && increment != 1) {
    Reject(nodal, kStaticIncrement);
    return false;
  }

  // 3. The increment collection of an increment-bearing step.
  ZORSimCSetID stepIncrements;
  if (schema.IsA(stepAt.ID(), schema.TypeID(ZORSimKeys::kIncrementBearingStep)))
    stepIncrements = ZORSrvPosition(root_, stepAt.Follow(ZORSimKeys::kStepIncrements, 1)).GetCSet();
  const ZORSimCollection increments(context, stepIncrements.collection);

  // 4. The point set, in the caller's order.
  const ZORSrvPosition meshAt(root_, mesh);
  const ZORSimCollection pointCollection(
      context, nodal ? FollowCollection(meshAt, ZORSimKeys::kMeshNodes, 1)
                     : FollowCollection(meshAt, ZORSimKeys::kMeshElements, 0));
  const ZORSimCSetID pointSet = pointCollection.CreateTempOrderedCSet(points.Data(), points.Size());

  // 5. The global collections a field drawer may have as dimensions.
  const ZORSimCollectionID components =
      FollowCollection(root_, ZORSimKeys::kComponentCollection, 0);
  const ZORSimCollectionID intPoints =
      nodal ? ZORSimCollectionID() : FollowCollection(root_, ZORSimKeys::kIntegrationPoints, 1);
  const ZORSimCollectionID sectPoints =
      nodal ? FollowCollection(root_, ZORSimKeys::kSecondAuxiliary, 1) : ZORSimCollectionID();
  const ZORSimCollectionID complexParts = FollowCollection(root_, ZORSimKeys::kThirdAuxiliary, 0);
  const ZORSimCollectionID limitTypes = FollowCollection(historyAt, ZORSimKeys::kFirstAuxiliary, 0);

  // 6. The step increment set covers members 0 … increment.
  if (!increments.ID().IsEmpty() &&
      std::int64_t{increments.Space()} < std::int64_t{increment} + 1) {
    increments.ExtendSpace(static_cast<int>(static_cast<std::uint32_t>(increment) + 1u));
    stepAt.Remove(ZORSimKeys::kStepIncrements, 1, stepIncrements);
    stepAt.Associate(ZORSimKeys::kStepIncrements, 1, increments.BiggestCSetID());
  }
  const ZORSimCSetID singleIncrement = increments.CreateTempCSetStrided(increment, 1, 1, 1);

  // 7. The field records.
  std::vector<ZORSimDynamicID> fields;
  if (selection == FieldSelection::kByHandle) {
    fields.push_back(field);
  } else {
    const ZORSimSymbols symbols(context);
    const ZORSimTypeID symbolType = schema.TypeID(ZORSimKeys::kFieldTypeSymbol);
    ZORSrvIterator attached = stepAt.FollowList(ZORSimKeys::kStepFields, 0);
    for (attached.First(); !attached.IsDone(); attached.Next()) {
      const ZORSimDynamicID record = attached.CurrentValueID();
      const ZORSimDynamicID symbol =
          ZORSrvPosition(root_, record).Follow(ZORSimKeys::kFieldFieldType, 1);
      if (symbol.IsEmpty()) continue;
      if (schema.SymbolName(symbolType, symbols.Get(symbol)) == name) fields.push_back(record);
    }
  }

  const ZORSimTypeID fieldType = schema.TypeID(ZORSimKeys::kFieldRecord);
  const std::int64_t bytes = Mul32(Mul32(points.Size(), valuesPerPoint), 8);
  for (const ZORSimDynamicID& record : fields) {
    if (!schema.IsA(record, fieldType)) continue;
    ZORSrvIterator outputs = ZORSrvPosition(root_, record).FollowList(ZORSimKeys::kFieldOutputs, 1);
    for (outputs.First(); !outputs.IsDone(); outputs.Next()) {
      ZORSrvIterator valueRecords =
          ZORSrvPosition(root_, outputs.CurrentValueID()).FollowList(ZORSimKeys::kOutputValues, 0);
      for (valueRecords.First(); !valueRecords.IsDone(); valueRecords.Next()) {
        const ZORSimDynamicID drawerID = ZORSrvPosition(root_, valueRecords.CurrentValueID())
                                             .Follow(ZORSimKeys::kValuesDrawer, 0);
        if (drawerID.IsEmpty()) continue;

        // 8. The drawer's descriptor.
        const ZORSimDistributionID distribution = ZORSrvPosition(root_, drawerID).GetDistribution();
        const std::vector<ZORSimDrawerDescriptor> drawers =
            ZORSimDistribution(context, distribution).QueryDrawers();
        const ZORSimDrawerDescriptor* descriptor = nullptr;
        for (const ZORSimDrawerDescriptor& d : drawers)
          if (d.id.id == drawerID) {
            descriptor = &d;
            break;
          }
        if (!descriptor) continue;

        // 9. Its dimensions by kind; the last of each kind counts.
        int componentDim = -1, intPointDim = -1, sectPointDim = -1, complexDim = -1, limitDim = -1,
            pointDim = -1;
        for (int d = 0; d < static_cast<int>(descriptor->dimensions.size()); ++d) {
          const ZORSimCollectionID& c =
              descriptor->dimensions[static_cast<std::size_t>(d)].collection;
          if (c == increments.ID()) continue;
          if (c == components)
            componentDim = d;
          else if (!nodal && c == intPoints)
            intPointDim = d;
          else if (nodal && !sectPoints.IsEmpty() && c == sectPoints)
            sectPointDim = d;
          else if (!complexParts.IsEmpty() && c == complexParts)
            complexDim = d;
          else if (!limitTypes.IsEmpty() && c == limitTypes)
            limitDim = d;
          else if (c == pointCollection.ID())
            pointDim = d;
        }
        // A drawer that is not over this mesh's points, or that has no component (or, for an
        // integration-point field, no integration-point) dimension, is not a drawer to write.
        if (pointDim < 0 || componentDim < 0 || (!nodal && intPointDim < 0)) continue;
        const auto own = [descriptor](int d) {
          return descriptor->dimensions[static_cast<std::size_t>(d)];
        };

        // 10. Integration-point write: every given element lies in this drawer.
        if (!nodal && ZORSimCSet(own(pointDim)).Intersection(pointSet).Size() != pointSet.Size())
          continue;

        // 11. The write, dimensions in the order the drawer declares them.
        std::vector<ZORSimCSetID> dims{singleIncrement};
        if (sectPointDim >= 0) dims.push_back(own(sectPointDim));
        if (complexDim >= 0) dims.push_back(own(complexDim));
        if (limitDim >= 0) dims.push_back(own(limitDim));
        dims.push_back(pointSet);
        if (!nodal) dims.push_back(own(intPointDim));
        dims.push_back(own(componentDim));

        ZORSimTransfer write(context, distribution);
        write.SetWrite();
        write.SetDrawer(ZORSimDrawerID(drawerID));
        write.SetBufferPadding(false);
        write.SetBufferType(2);
        write.SetAutoExtend(true);
        write.SetDims(dims);
        write.CheckView();
        write.SetBuffer(0, static_cast<void*>(values), bytes);
        write.ExecWrite();
        write.RelinquishBuffers();
      }
    }
  }
  transaction.Commit();
  return true;
}
