#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/ZORSimAPI.h"
#include "platform/ZORSimSchemaKeys.h"

// A source database built straight through the database interface, for tests that read meshes
// and results: the data dictionary as initial content, a history, meshes, static and
// increment-bearing steps, fields and their drawers, laid out as a reader finds them. It also
// makes what the writer never makes: steps with several increments, static steps, drawers with
// auxiliary dimensions, fields spread over overlapping drawers, named element sets.
// Owns the open database (never saved) and closes it on destruction.
class ZORTestSourceDatabase {
 public:
  ZORTestSourceDatabase();
  ~ZORTestSourceDatabase();
  ZORTestSourceDatabase(const ZORTestSourceDatabase&) = delete;
  ZORTestSourceDatabase& operator=(const ZORTestSourceDatabase&) = delete;

  const ZORSrvPosition& Root() const { return root_; }
  ZORSimContext Context() const { return root_.Context(); }

  // ---- meshes. The first mesh added is the model's default mesh.
  ZORSimDynamicID AddMesh();
  // Appends nodes; coordinates hold `components` values per node.
  void AddNodes(const ZORSimDynamicID& mesh, int components, const std::vector<double>& coords);
  // Appends a block of elements of one element type (a symbol of the element-type collection,
  // "C3D8", "CPE4", ...) and returns its element set.
  ZORSimCSetID AddElements(const ZORSimDynamicID& mesh, const std::string& type,
                           int nodesPerElement, const std::vector<int>& connectivity);
  // A hex8 box of nx × ny × nz elements with edge length `spacing`, nodes numbered x fastest.
  ZORSimDynamicID AddHexBox(int nx, int ny, int nz, double spacing);
  void NameElementSet(const std::string& name, const ZORSimCSetID& elements);

  ZORSimCollectionID NodeCollection(const ZORSimDynamicID& mesh) const;
  ZORSimCollectionID ElementCollection(const ZORSimDynamicID& mesh) const;
  ZORSimCollectionID ComponentCollection() const;
  ZORSimCollectionID PointCollection() const;
  ZORSimCSetID Set(const ZORSimCollectionID& collection, const std::vector<int>& members) const;
  ZORSimCSetID Range(const ZORSimCollectionID& collection, int first, int count) const;

  // ---- steps, numbered from 1 in the order they are added.
  ZORSimDynamicID AddStaticStep();
  ZORSimDynamicID AddIncrementStep(const std::vector<int>& increments);
  // The one-member set of an increment, for drawer dimensions.
  ZORSimCSetID Increments(const std::vector<int>& increments) const;
  // Auxiliary collections with `size` members: the first belongs to a step, the other two are
  // global.
  ZORSimCollectionID FirstAuxiliary(const ZORSimDynamicID& step, int size);
  ZORSimCollectionID SecondAuxiliary(int size) const;
  ZORSimCollectionID ThirdAuxiliary(int size) const;

  // ---- fields. `recordType` lets a test attach a record that is not a field.
  static constexpr int kNodalFieldRecord = ZORSimKeys::kNodalFieldType;
  static constexpr int kPointFieldRecord = ZORSimKeys::kIntPtFieldType;
  ZORSimDynamicID AddField(const ZORSimDynamicID& step, const std::string& name,
                           int recordType = kNodalFieldRecord);
  // A drawer of the field over the given dimension sets, in their order, holding `values`
  // row-major over them (last dimension fastest); no values leaves the drawer unwritten.
  ZORSimDrawerID AddDrawer(const ZORSimDynamicID& field, const std::vector<ZORSimCSetID>& dims,
                           const std::vector<double>& values);
  // A nodal drawer over (nodes, components) of a static step's field.
  ZORSimDrawerID AddNodalDrawer(const ZORSimDynamicID& field, const ZORSimDynamicID& mesh,
                                const std::vector<int>& nodes, int components,
                                const std::vector<double>& values);

 private:
  ZORSrvPosition At(const ZORSimDynamicID& id) const { return ZORSrvPosition(root_, id); }
  ZORSimCollectionID RootCollection(int key, int side) const;
  ZORSimCSetID Append(const ZORSimCollectionID& collection, int count) const;
  int SymbolMember(int key, const std::string& name) const;
  ZORSimDrawerID MakeDrawer(const ZORSimDistributionID& distribution,
                            const std::vector<ZORSimCSetID>& dims, const void* values,
                            std::int64_t bytes, int bufferType) const;
  void WriteDrawer(const ZORSimDistributionID& distribution, const ZORSimDrawerID& drawer,
                   const std::vector<ZORSimCSetID>& dims, const void* values, std::int64_t bytes,
                   int bufferType) const;
  void ConnectTypes(const ZORSimDynamicID& mesh);
  ZORSimDynamicID AddStep(int type);

  ZORSrvSimAccess access_;
  ZORSrvPosition root_;
  ZORSimDynamicID history_;
  ZORSimCollectionID incrementCollection_;
  int steps_ = 0;
  std::map<ZORSimDynamicID, std::vector<std::pair<ZORSimCSetID, int>>> blocks_;
  std::map<ZORSimDynamicID, ZORSimDynamicID> outputs_;
};
