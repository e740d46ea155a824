#include "support/ZORTestSourceDatabase.h"

#include <algorithm>
#include <atomic>

#include "platform/ZORSimSchemaKeys.h"
#include "writer/impl/ZORDataDictionary.h"

using namespace ZORSimKeys;

namespace {

std::string UniqueName() {
  static std::atomic<int> counter{0};
  return "zor_test_source_" + std::to_string(++counter) + ".zsd";
}

}  // namespace

ZORTestSourceDatabase::ZORTestSourceDatabase() {
  access_.SetSchema(eds_SSDLallSource_Get());
  root_ = access_.Create(UniqueName(), "Input", ZORDataDictionaryText(), "anchor:focus");
  history_ = root_.CreateDataRecord(kHistoryRecord);
  root_.Associate(kHistory, 1, history_);
  incrementCollection_ = At(history_).CreateTypedCollection(0, kIncrementCollectionType);
}

ZORTestSourceDatabase::~ZORTestSourceDatabase() { access_.Close(root_); }

ZORSimCollectionID ZORTestSourceDatabase::RootCollection(int key, int side) const {
  return At(root_.Follow(key, side)).GetCollection();
}

ZORSimCollectionID ZORTestSourceDatabase::NodeCollection(const ZORSimDynamicID& mesh) const {
  return At(At(mesh).Follow(kMeshNodes, 1)).GetCollection();
}

ZORSimCollectionID ZORTestSourceDatabase::ElementCollection(const ZORSimDynamicID& mesh) const {
  return At(At(mesh).Follow(kMeshElements, 0)).GetCollection();
}

ZORSimCollectionID ZORTestSourceDatabase::ComponentCollection() const {
  return RootCollection(kComponentCollection, 0);
}

ZORSimCollectionID ZORTestSourceDatabase::PointCollection() const {
  const ZORSimCollectionID points = RootCollection(kIntegrationPoints, 1);
  ZORSimCollection(Context(), points).ExtendSpace(27);
  return points;
}

ZORSimCSetID ZORTestSourceDatabase::Set(const ZORSimCollectionID& collection,
                                        const std::vector<int>& members) const {
  return ZORSimCollection(Context(), collection)
      .CreateCSet(members.data(), static_cast<int>(members.size()), true);
}

ZORSimCSetID ZORTestSourceDatabase::Range(const ZORSimCollectionID& collection, int first,
                                          int count) const {
  return ZORSimCollection(Context(), collection).CreateCSetStrided(first, count, 1, 1);
}

// A new drawer of the distribution chunked by the sizes of its dimension sets (at least 1),
// holding `bytes` bytes of `values` (doubles for buffer type 2) when there are any.
ZORSimDrawerID ZORTestSourceDatabase::MakeDrawer(const ZORSimDistributionID& distribution,
                                                 const std::vector<ZORSimCSetID>& dims,
                                                 const void* values, std::int64_t bytes,
                                                 int bufferType) const {
  std::vector<int> chunk;
  for (const ZORSimCSetID& set : dims) chunk.push_back(std::max(set.Size(), 1));
  ZORSimTransfer make(Context(), distribution);
  make.SetMakeNewDrawerChunked(chunk);
  make.SetDims(dims);
  make.ExecMake();
  if (bytes > 0) WriteDrawer(distribution, make.DrawerID(), dims, values, bytes, bufferType);
  return make.DrawerID();
}

void ZORTestSourceDatabase::WriteDrawer(const ZORSimDistributionID& distribution,
                                        const ZORSimDrawerID& drawer,
                                        const std::vector<ZORSimCSetID>& dims, const void* values,
                                        std::int64_t bytes, int bufferType) const {
  ZORSimTransfer write(Context(), distribution);
  write.SetWrite();
  if (bufferType) write.SetBufferType(bufferType);
  write.SetAutoExtend(true);
  write.SetDrawer(drawer);
  write.SetDims(dims);
  write.SetBuffer(0, values, bytes);
  write.ExecWrite();
}

ZORSimCSetID ZORTestSourceDatabase::Append(const ZORSimCollectionID& collection, int count) const {
  const ZORSimCollection members(Context(), collection);
  const int first = members.Space();
  members.ExtendSpace(first + count);
  return members.CreateCSetStrided(first, count, 1, 1);
}

ZORSimDynamicID ZORTestSourceDatabase::AddMesh() {
  const ZORSimDynamicID mesh = root_.CreateDataRecord(kMeshRecord);
  At(root_.Follow(kModel, 0)).Associate(kModelMesh, 1, mesh);
  const ZORSrvPosition at = At(mesh);
  const ZORSimCollectionID nodes = root_.CreateTypedCollection(0, kNodeCollectionType);
  const ZORSimCollectionID elements = root_.CreateTypedCollection(0, kElementCollectionType);
  at.Associate(kMeshNodes, 1, nodes.id);
  at.Associate(kMeshElements, 0, elements.id);
  const ZORSimDistributionID coordinates = at.CreateTypedDistribution(
      {nodes, ComponentCollection()}, kCoordinateDistributionType, ZORSimRangeType(2));
  at.Associate(kMeshCoordinates, 0, coordinates.id);
  const ZORSimDSetID connectivity = Context().CreateDSet(
      {elements, RootCollection(kPointCollection, 1), nodes}, ZORSimTypeID(kConnectivitySetType));
  at.Associate(kMeshConnectivity, 0, connectivity.id);
  return mesh;
}

void ZORTestSourceDatabase::AddNodes(const ZORSimDynamicID& mesh, int components,
                                     const std::vector<double>& coords) {
  const int count = static_cast<int>(coords.size()) / components;
  const ZORSimCSetID added = Append(NodeCollection(mesh), count);
  const ZORSimCSetID componentSet = Range(ComponentCollection(), 0, components);
  const ZORSimDistributionID distribution =
      At(At(mesh).Follow(kMeshCoordinates, 0)).GetDistribution();
  const auto drawers = ZORSimDistribution(Context(), distribution).QueryDrawers();
  const std::vector<ZORSimCSetID> dims = {added, componentSet};
  const auto bytes = static_cast<std::int64_t>(coords.size() * sizeof(double));
  if (drawers.empty())
    MakeDrawer(distribution, dims, coords.data(), bytes, 2);
  else
    WriteDrawer(distribution, drawers.front().id, dims, coords.data(), bytes, 2);
}

ZORSimCSetID ZORTestSourceDatabase::AddElements(const ZORSimDynamicID& mesh,
                                                const std::string& type, int nodesPerElement,
                                                const std::vector<int>& connectivity) {
  const int count = static_cast<int>(connectivity.size()) / nodesPerElement;
  const ZORSrvPosition at = At(mesh);
  const ZORSimDSetID dset = At(at.Follow(kMeshConnectivity, 0)).GetDSet();
  ZORSimDistributionID distribution = ZORSimDSet(Context(), dset).GetRelationalDistributionID();
  if (distribution.IsEmpty()) {
    distribution = at.CreateTypedDistribution(
        {ElementCollection(mesh), RootCollection(kPointCollection, 1)},
        kConnectivityDistributionType, ZORSimRangeType(5, NodeCollection(mesh)));
    Context().UpdateDSet(dset, distribution);
  }
  const ZORSimCSetID block = Append(ElementCollection(mesh), count);
  const ZORSimCSetID positions = Range(RootCollection(kPointCollection, 1), 0, nodesPerElement);
  MakeDrawer(distribution, {block, positions}, connectivity.data(),
             static_cast<std::int64_t>(connectivity.size() * sizeof(int)), 0);
  blocks_[mesh].emplace_back(block, SymbolMember(kElementTypeCollection, type));
  ConnectTypes(mesh);
  return block;
}

// The member of the collection at the root's `key` whose record has the symbol `name`.
int ZORTestSourceDatabase::SymbolMember(int key, const std::string& name) const {
  const ZORSimCollectionID symbols = RootCollection(key, 0);
  const int count = ZORSimCollection(Context(), symbols).Space();
  for (int member = 0; member < count; ++member)
    if (At(Context().GetRecord(symbols, member)).GetSymbolName() == name) return member;
  throw ZORSimError("test database: no symbol " + name);
}

// The element-type set pairs every block with its type; it is made anew after each block.
void ZORTestSourceDatabase::ConnectTypes(const ZORSimDynamicID& mesh) {
  const ZORSrvPosition at = At(mesh);
  const ZORSimDynamicID old = at.Follow(kMeshElementTypes, 0);
  if (!old.IsEmpty()) at.Remove(kMeshElementTypes, 0, old);
  const ZORSimCollection types(Context(), RootCollection(kElementTypeCollection, 0));
  std::vector<std::vector<ZORSimCSetID>> compartments;
  for (const auto& [block, type] : blocks_[mesh])
    compartments.push_back({block, types.CreateCSet(&type, 1, false)});
  at.Associate(kMeshElementTypes, 0, at.CreateTypedDSet(compartments, kElementTypeSetType).id);
}

ZORSimDynamicID ZORTestSourceDatabase::AddHexBox(int nx, int ny, int nz, double spacing) {
  const ZORSimDynamicID mesh = AddMesh();
  std::vector<double> coords;
  coords.reserve(static_cast<std::size_t>((nx + 1) * (ny + 1) * (nz + 1) * 3));
  for (int k = 0; k <= nz; ++k)
    for (int j = 0; j <= ny; ++j)
      for (int i = 0; i <= nx; ++i)
        coords.insert(coords.end(), {i * spacing, j * spacing, k * spacing});
  AddNodes(mesh, 3, coords);
  const auto node = [&](int i, int j, int k) { return i + (nx + 1) * (j + (ny + 1) * k); };
  std::vector<int> connectivity;
  connectivity.reserve(static_cast<std::size_t>(nx * ny * nz * 8));
  for (int k = 0; k < nz; ++k)
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i)
        connectivity.insert(connectivity.end(),
                            {node(i, j, k), node(i + 1, j, k), node(i + 1, j + 1, k),
                             node(i, j + 1, k), node(i, j, k + 1), node(i + 1, j, k + 1),
                             node(i + 1, j + 1, k + 1), node(i, j + 1, k + 1)});
  AddElements(mesh, "C3D8", 8, connectivity);
  return mesh;
}

void ZORTestSourceDatabase::NameElementSet(const std::string& name, const ZORSimCSetID& elements) {
  ZORSrvAddElementSet(root_, name, elements);
}

ZORSimDynamicID ZORTestSourceDatabase::AddStep(int type) {
  const ZORSimDynamicID step = root_.CreateDataRecord(type);
  At(history_).Associate(kHistorySteps, 1, step, steps_++);
  return step;
}

ZORSimDynamicID ZORTestSourceDatabase::AddStaticStep() { return AddStep(kStaticStep); }

ZORSimDynamicID ZORTestSourceDatabase::AddIncrementStep(const std::vector<int>& increments) {
  const ZORSimDynamicID step = AddStep(kStepRecord);
  At(step).Associate(kStepIncrements, 1, Increments(increments));
  return step;
}

ZORSimCSetID ZORTestSourceDatabase::Increments(const std::vector<int>& increments) const {
  const ZORSimCollection collection(Context(), incrementCollection_);
  const int largest =
      increments.empty() ? -1 : *std::max_element(increments.begin(), increments.end());
  collection.ExtendSpace(largest + 1);
  return Set(incrementCollection_, increments);
}

ZORSimCollectionID ZORTestSourceDatabase::FirstAuxiliary(const ZORSimDynamicID& step, int size) {
  const ZORSimCollectionID collection = root_.CreateTypedCollection(0, 0);
  ZORSimCollection(Context(), collection).ExtendSpace(size);
  At(step).Associate(kFirstAuxiliary, 0, collection.id);
  return collection;
}

ZORSimCollectionID ZORTestSourceDatabase::SecondAuxiliary(int size) const {
  const ZORSimCollectionID collection = RootCollection(kSecondAuxiliary, 1);
  ZORSimCollection(Context(), collection).ExtendSpace(size);
  return collection;
}

ZORSimCollectionID ZORTestSourceDatabase::ThirdAuxiliary(int size) const {
  const ZORSimCollectionID collection = RootCollection(kThirdAuxiliary, 0);
  ZORSimCollection(Context(), collection).ExtendSpace(size);
  return collection;
}

ZORSimDynamicID ZORTestSourceDatabase::AddField(const ZORSimDynamicID& step,
                                                const std::string& name, int recordType) {
  const ZORSimDynamicID field = root_.CreateDataRecord(recordType);
  const ZORSrvPosition at = At(field);
  at.Associate(kFieldFieldType, 1,
               Context().GetRecord(RootCollection(kFieldTypeCollection, 0),
                                   SymbolMember(kFieldTypeCollection, name)));
  at.Associate(kStepFields, 1, step);
  const ZORSimDynamicID output = root_.CreateDataRecord(kFieldOutputRecord);
  at.Associate(kFieldOutputs, 1, output);
  outputs_[field] = output;
  return field;
}

ZORSimDrawerID ZORTestSourceDatabase::AddDrawer(const ZORSimDynamicID& field,
                                                const std::vector<ZORSimCSetID>& dims,
                                                const std::vector<double>& values) {
  std::vector<ZORSimCollectionID> grid;
  for (const ZORSimCSetID& set : dims) grid.push_back(set.collection);
  const ZORSimDrawerID drawer =
      MakeDrawer(Context().CreateDistribution(grid, ZORSimRangeType(2)), dims, values.data(),
                 static_cast<std::int64_t>(values.size() * sizeof(double)), 2);
  const ZORSimDynamicID valuesRecord = root_.CreateDataRecord(kFieldValuesRecord);
  At(outputs_.at(field)).Associate(kOutputValues, 0, valuesRecord);
  At(valuesRecord).Associate(kValuesDrawer, 0, drawer.id);
  return drawer;
}

ZORSimDrawerID ZORTestSourceDatabase::AddNodalDrawer(const ZORSimDynamicID& field,
                                                     const ZORSimDynamicID& mesh,
                                                     const std::vector<int>& nodes, int components,
                                                     const std::vector<double>& values) {
  return AddDrawer(field,
                   {Set(NodeCollection(mesh), nodes), Range(ComponentCollection(), 0, components)},
                   values);
}
