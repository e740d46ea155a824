#include "writer/ZORMtkSimWriter.h"

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ZORStream.h"
#include "reader/ZORMtkSimReader.h"
#include "search/ZORMtkElementData.h"
#include "search/ZORMtkShp.h"
#include "writer/ZORDataDictionary.h"
#include "writer/ZORFieldTypeCodes.h"

namespace {

// The type index of a schema type key (fragment, index).
int Key(int fragment, int index) { return eds_InputFragmentTypeIndex(fragment, index); }

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
  const ZORSimDynamicID history = root_.CreateDataRecord(Key(22, 17));
  root_.Associate(Key(22, 11), 1, history);
  const ZORSrvPosition historyAt(root_, history);
  const ZORSimDynamicID step = root_.CreateDataRecord(Key(6, 30));
  historyAt.Associate(Key(14, 17), 1, step, 0);
  historyAt.Associate(Key(14, 16), 1, step, std::string("StaticStep"));

  const ZORSimCollection increments(context, historyAt.CreateTypedCollection(0, Key(10, 34)));
  const ZORSrvPosition stepAt(root_, step);
  stepAt.Associate(Key(6, 38), 1, increments.EmptyCSetID());
  const ZORSimDistributionID distribution =
      stepAt.CreateTypedDistribution({increments.ID()}, Key(10, 35), ZORSimRangeType(3));

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
  const ZORSrvPosition modelAt(root_, root_.Follow(Key(22, 5), 0));
  const ZORSimDynamicID mesh = root_.CreateDataRecord(Key(19, 31));
  const ZORSrvPosition meshAt(root_, mesh);
  modelAt.Associate(Key(19, 1), 1, mesh);

  const ZORSimCollectionID nodes = root_.CreateTypedCollection(0, Key(19, 54));
  meshAt.Associate(Key(19, 43), 1, nodes.id);
  const ZORSimCollectionID elements = root_.CreateTypedCollection(0, Key(19, 13));
  meshAt.Associate(Key(19, 38), 0, elements.id);

  const ZORSimCollectionID components = FollowCollection(root_, Key(11, 43), 0);
  const ZORSimDistributionID coordinates =
      meshAt.CreateTypedDistribution({nodes, components}, Key(19, 55), ZORSimRangeType(2));
  meshAt.Associate(Key(19, 34), 0, coordinates.id);

  const ZORSimCollectionID points = FollowCollection(root_, Key(21, 28), 1);
  const ZORSimDSetID connectivity =
      context.CreateDSet({elements, points, nodes}, ZORSimSchema(context).TypeID(Key(19, 23)));
  meshAt.Associate(Key(19, 33), 0, connectivity.id);
  transaction.Commit();
  return mesh;
}

void ZORMtkSimWriter::AddMeshNodes(ZORSimDynamicID mesh, int numberOfNodes, int numberOfComponents,
                                   double* coordinates) {
  const ZORSimContext context = root_.Context();
  ZORSimTransaction transaction(context);
  const ZORSrvPosition meshAt(root_, mesh);
  const ZORSimCollection nodes(context, FollowCollection(meshAt, Key(19, 43), 1));
  const ZORSimCSetID newNodes = AppendMembers(nodes, numberOfNodes);

  const ZORSimCollection components(context, FollowCollection(root_, Key(11, 43), 0));
  const ZORSimCSetID componentSet = components.CreateCSetStrided(0, numberOfComponents, 1, 1);

  const ZORSimDistributionID distribution =
      ZORSrvPosition(root_, meshAt.Follow(Key(19, 34), 0)).GetDistribution();
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
  const ZORSimCollection points(context, FollowCollection(root_, Key(21, 28), 1));
  const ZORSimCSetID pointSet = points.CreateCSetStrided(0, nodesPerElement, 1, 1);

  const ZORSrvPosition meshAt(root_, mesh);
  const ZORSimCollectionID nodes = FollowCollection(meshAt, Key(19, 43), 1);
  const ZORSimCollection elements(context, FollowCollection(meshAt, Key(19, 38), 0));
  const ZORSimDSetID connectivitySet =
      ZORSrvPosition(root_, meshAt.Follow(Key(19, 33), 0)).GetDSet();

  // The connectivity set is "empty" until the first block attached its relational distribution.
  ZORSimDistributionID distribution =
      ZORSimDSet(context, connectivitySet).GetRelationalDistributionID();
  if (distribution.IsEmpty())
    distribution = meshAt.CreateTypedDistribution({elements.ID(), points.ID()}, Key(19, 22),
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

  const ZORSimCollection types(context, FollowCollection(root_, Key(19, 29), 0));
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
  const ZORSimDSetID elementTypeSet = meshAt.CreateTypedDSet(compartments, Key(19, 28));
  meshAt.Associate(Key(19, 40), 0, elementTypeSet.id);
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
  // The element classes come from a reader over all elements of the mesh, built before the
  // transaction opens.
  ZORMtkSimReader reader;
  if (!nodal) reader.SetElsetRegion(root_, mesh, cow_List<int>());

  const ZORSimContext context = root_.Context();
  ZORSimTransaction transaction(context);
  const ZORSimCollectionID fieldTypes = FollowCollection(root_, Key(11, 44), 0);
  const ZORSimSchema schema(context);
  const int code = FieldTypeCode(name);
  const ZORSimDynamicID symbol =
      ZORSimSymbols(context).Get(schema.TypeID(Key(11, 37)), code, fieldTypes);

  const ZORSimDynamicID field = root_.CreateDataRecord(Key(11, 62));
  const ZORSrvPosition fieldAt(root_, field);
  ZORSimDataRecord(fieldAt).SetTypeID(0, schema.TypeID(nodal ? Key(19, 57) : Key(11, 11)));
  fieldAt.Associate(Key(11, 18), 1, symbol);

  const ZORSrvPosition historyAt(root_, root_.Follow(Key(22, 11), 1));
  const ZORSrvPosition stepAt(root_, historyAt.FollowIntKey(Key(14, 17), 1, 0));
  fieldAt.Associate(Key(10, 31), 1, stepAt.ID());

  const ZORSimDynamicID output = root_.CreateDataRecord(Key(11, 68));
  const ZORSrvPosition outputAt(root_, output);
  fieldAt.Associate(Key(11, 63), 1, output);

  // The increment collection holds the step's increment set; without one, an empty handle.
  const ZORSimDynamicID incrementSet = stepAt.Follow(Key(6, 38), 1);
  const ZORSimCollection increments(
      context, incrementSet.IsEmpty() ? ZORSimCollectionID()
                                      : ZORSrvPosition(root_, incrementSet).GetCollection());

  const ZORSrvPosition meshAt(root_, mesh);
  const ZORSimCollection components(context, FollowCollection(root_, Key(11, 43), 0));

  if (nodal) {
    const ZORSimDynamicID values = root_.CreateDataRecord(Key(11, 60));
    outputAt.Associate(Key(11, 70), 0, values);
    const ZORSimCollection nodes(context, FollowCollection(meshAt, Key(19, 43), 1));
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
    ZORSrvPosition(root_, values).Associate(Key(11, 61), 0, make.DrawerID().id);
    transaction.Commit();
    return field;
  }

  const ZORSimCollection elements(context, FollowCollection(meshAt, Key(19, 38), 0));
  const ZORSimCollection intPoints(context, FollowCollection(root_, Key(21, 27), 1));
  const ZORSimDistributionID distribution = context.CreateDistribution(
      {increments.ID(), elements.ID(), intPoints.ID(), components.ID()}, ZORSimRangeType(2));
  if (components.Space() < numberOfComponents) components.ExtendSpace(numberOfComponents);
  const ZORSimCSetID componentSet = components.CreateCSetStrided(0, numberOfComponents, 1, 1);
  const ZORSimCSetID incrementEmpty = increments.EmptyCSetID();

  cow_List<cow_String> classes;
  reader.GetElementClassNames(classes);
  for (const cow_String& elementClass : classes) {
    const int count = reader.GetElementClassCount(elementClass);
    std::vector<int> members(static_cast<std::size_t>(count < 0 ? 0 : count));
    reader.GetElementClassMembers(elementClass, count, members.data());
    const ZORSimCSetID elementSet = elements.CreateCSet(members.data(), count, false);

    // A class without integration-point data (GetNumIntPt -1, e.g. the solids) gets no drawer:
    // the operation handles only the classes that carry integration-point results.
    const int pointsPerElement = ZORMtkElementData::GetNumIntPt(elementClass);
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

    const ZORSimDynamicID values = root_.CreateDataRecord(Key(11, 60));
    outputAt.Associate(Key(11, 70), 0, values);
    ZORSrvPosition(root_, values).Associate(Key(11, 61), 0, make.DrawerID().id);
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
  const ZORSrvPosition historyAt(root_, root_.Follow(Key(22, 11), 1));
  const int numberOfSteps = historyAt.FollowList(Key(14, 17), 1).Size();
  if (step > numberOfSteps) {
    Reject(nodal, kStepBeyondLast);
    return false;
  }
  if (step < 1) {
    Reject(nodal, kStepBelowOne);
    return false;
  }
  const ZORSrvPosition stepAt(root_, historyAt.FollowIntKey(Key(14, 17), 1, step - 1));
  const ZORSimSchema schema(context);
  if (schema.IsA(stepAt.ID(), schema.TypeID(Key(30, 16))) && increment != 1) {
    Reject(nodal, kStaticIncrement);
    return false;
  }

  // 3. The increment collection of an increment-bearing step.
  ZORSimCSetID stepIncrements;
  if (schema.IsA(stepAt.ID(), schema.TypeID(Key(14, 18))))
    stepIncrements = ZORSrvPosition(root_, stepAt.Follow(Key(6, 38), 1)).GetCSet();
  const ZORSimCollection increments(context, stepIncrements.collection);

  // 4. The point set, in the caller's order.
  const ZORSrvPosition meshAt(root_, mesh);
  const ZORSimCollection pointCollection(context, nodal ? FollowCollection(meshAt, Key(19, 43), 1)
                                                        : FollowCollection(meshAt, Key(19, 38), 0));
  const ZORSimCSetID pointSet = pointCollection.CreateTempOrderedCSet(points.Data(), points.Size());

  // 5. The global collections a field drawer may have as dimensions.
  const ZORSimCollectionID components = FollowCollection(root_, Key(11, 43), 0);
  const ZORSimCollectionID intPoints =
      nodal ? ZORSimCollectionID() : FollowCollection(root_, Key(21, 27), 1);
  const ZORSimCollectionID sectPoints =
      nodal ? FollowCollection(root_, Key(21, 33), 1) : ZORSimCollectionID();
  const ZORSimCollectionID complexParts = FollowCollection(root_, Key(11, 42), 0);
  const ZORSimCollectionID limitTypes = FollowCollection(historyAt, Key(20, 49), 0);

  // 6. The step increment set covers members 0 … increment.
  if (!increments.ID().IsEmpty() &&
      std::int64_t{increments.Space()} < std::int64_t{increment} + 1) {
    increments.ExtendSpace(static_cast<int>(static_cast<std::uint32_t>(increment) + 1u));
    stepAt.Remove(Key(6, 38), 1, stepIncrements);
    stepAt.Associate(Key(6, 38), 1, increments.BiggestCSetID());
  }
  const ZORSimCSetID singleIncrement = increments.CreateTempCSetStrided(increment, 1, 1, 1);

  // 7. The field records.
  std::vector<ZORSimDynamicID> fields;
  if (selection == FieldSelection::kByHandle) {
    fields.push_back(field);
  } else {
    const ZORSimSymbols symbols(context);
    const ZORSimTypeID symbolType = schema.TypeID(Key(11, 37));
    ZORSrvIterator attached = stepAt.FollowList(Key(10, 31), 0);
    for (attached.First(); !attached.IsDone(); attached.Next()) {
      const ZORSimDynamicID record = attached.CurrentValueID();
      const ZORSimDynamicID symbol = ZORSrvPosition(root_, record).Follow(Key(11, 18), 1);
      if (symbol.IsEmpty()) continue;
      if (schema.SymbolName(symbolType, symbols.Get(symbol)) == name) fields.push_back(record);
    }
  }

  const ZORSimTypeID fieldType = schema.TypeID(Key(11, 62));
  const std::int64_t bytes = Mul32(Mul32(points.Size(), valuesPerPoint), 8);
  for (const ZORSimDynamicID& record : fields) {
    if (!schema.IsA(record, fieldType)) continue;
    ZORSrvIterator outputs = ZORSrvPosition(root_, record).FollowList(Key(11, 63), 1);
    for (outputs.First(); !outputs.IsDone(); outputs.Next()) {
      ZORSrvIterator valueRecords =
          ZORSrvPosition(root_, outputs.CurrentValueID()).FollowList(Key(11, 70), 0);
      for (valueRecords.First(); !valueRecords.IsDone(); valueRecords.Next()) {
        const ZORSimDynamicID drawerID =
            ZORSrvPosition(root_, valueRecords.CurrentValueID()).Follow(Key(11, 61), 0);
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
