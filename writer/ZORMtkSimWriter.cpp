#include "writer/ZORMtkSimWriter.h"

#include <string>
#include <vector>

#include "element/ZORMtkShp.h"
#include "platform/ZORSimSchemaKeys.h"
#include "writer/impl/ZORDataDictionary.h"
#include "writer/impl/ZORMtkWriterSupport.h"

using ZORMtkWriterSupport::AppendMembers;
using ZORMtkWriterSupport::FollowCollection;
using ZORMtkWriterSupport::Mul32;

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
  const std::string& file = fileName.Str();
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

  ZORSimCSetID block = AppendMembers(elements, numberOfElements);

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
