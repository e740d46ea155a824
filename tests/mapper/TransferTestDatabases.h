#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "TransferTestMeshes.h"
#include "platform/ZORSimAPI.h"
#include "reader/ZORMtkSimReader.h"
#include "writer/ZORMtkSimWriter.h"

// Databases of the end-to-end transfer tests. A source is written with the writer, saved and
// opened again, as a host finds it; a target is created with the writer and mapped into, then
// saved and read back the same way.
namespace transfertest {

// The process id keeps test runs that share the temporary folder (a CI job beside a developer's
// build) off each other's files.
inline std::string ScratchPath(const std::string& name) {
  return ::testing::TempDir() + "zor_transfer_" + std::to_string(::getpid()) + "_" + name + ".zsd";
}

inline void RemoveDatabase(const std::string& file) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((file + suffix).c_str());
}

inline ZORSimDynamicID WriteMesh(ZORMtkSimWriter& writer, const TestMesh& mesh) {
  const ZORSimDynamicID id = writer.AddMesh();
  std::vector<double> coordinates = mesh.coordinates;
  writer.AddMeshNodes(id, mesh.NodeCount(), mesh.dimension, coordinates.data());
  ZORSimArray<ZORSimCSetID> blocks;
  cow_List<cow_String> types;
  for (const TestBlock& block : mesh.blocks) {
    std::vector<int> connectivity = block.connectivity;
    blocks.Append(writer.AddMeshElements(id, block.ElementCount(), block.type,
                                         block.nodesPerElement, connectivity.data()));
    types.Append(block.type);
  }
  writer.ConnectMeshEltypes(id, blocks, types);
  return id;
}

inline cow_List<int> Range(int first, int count) {
  cow_List<int> members;
  for (int i = 0; i < count; ++i) members.Append(first + i);
  return members;
}

// A written database reopened from its file, with a reader over the whole of its one mesh.
class ReopenedDatabase {
 public:
  ReopenedDatabase(const std::string& file, const ZORSimDynamicID& writtenMesh)
      : root_(access_.Open(file)) {
    // Object numbers survive the file; the leading int names the database now open.
    mesh_.leading = root_.ID().leading;
    mesh_.object = writtenMesh.object;
    reader_.SetElsetRegion(root_, mesh_, {});
  }
  ~ReopenedDatabase() { access_.Close(root_); }
  ReopenedDatabase(const ReopenedDatabase&) = delete;
  ReopenedDatabase& operator=(const ReopenedDatabase&) = delete;

  ZORMtkSimReader& Reader() { return reader_; }
  const ZORSimDynamicID& Mesh() const { return mesh_; }
  ZORSimDynamicID Field(const char* name) const { return reader_.GetFieldID(name, 1); }
  std::vector<double> NodeValues(const char* name, int components) const {
    std::vector<double> values(static_cast<std::size_t>(reader_.numNodes * components), 0.0);
    reader_.GetSimpleNodeField(Field(name), 1, 1, static_cast<int>(values.size()), values.data());
    return values;
  }
  std::vector<double> PointValues(const char* name, const std::vector<int>& elements, int points,
                                  int components) const {
    const int count = static_cast<int>(elements.size());
    std::vector<double> values(static_cast<std::size_t>(count * points * components), 0.0);
    reader_.GetSimpleElementClassField(Field(name), 1, 1, elements.data(), count, points,
                                       static_cast<int>(values.size()), values.data());
    return values;
  }

 private:
  ZORSrvSimAccess access_;
  ZORSrvPosition root_;
  ZORSimDynamicID mesh_;
  ZORMtkSimReader reader_;
};

// A source mesh with one field written into a new database; Reopen saves it and opens the file.
class SourceDatabase {
 public:
  SourceDatabase(const std::string& name, const TestMesh& mesh)
      : file_(ScratchPath(name + "_source")), mesh_(mesh) {
    RemoveDatabase(file_);
    writer_.CreateSim(file_);
    id_ = WriteMesh(writer_, mesh_);
  }
  ~SourceDatabase() {
    reopened_.reset();
    RemoveDatabase(file_);
  }

  // values: `components` per node, in node order.
  void WriteNodeField(const char* fieldName, int components, std::vector<double> values) {
    const ZORSimDynamicID field = writer_.AddSimpleNodeField(id_, fieldName, components);
    cow_List<int> nodes = Range(0, mesh_.NodeCount());
    writer_.WriteSimpleNodeField(field, id_, 1, 1, components, nodes, values.data());
  }
  // values per block: [element][point][component], elements numbered through the blocks.
  void WritePointField(const char* fieldName, int components, int points,
                       std::vector<double> values) {
    const ZORSimDynamicID field = writer_.AddSimpleElementField(id_, fieldName, components);
    cow_List<int> elements = Range(0, mesh_.blocks.front().ElementCount());
    writer_.WriteSimpleElementClassField(field, id_, 1, 1, points, components, elements,
                                         values.data());
  }
  ReopenedDatabase& Reopen() {
    writer_.SaveContext();
    reopened_ = std::make_unique<ReopenedDatabase>(file_, id_);
    return *reopened_;
  }

 private:
  std::string file_;
  TestMesh mesh_;
  ZORMtkSimWriter writer_;
  ZORSimDynamicID id_;
  std::unique_ptr<ReopenedDatabase> reopened_;
};

// A target mesh with an empty field in a new database, scoped by a reader on the open database
// so that the mapper can find it; ReadBack saves and opens the file.
class TargetDatabase {
 public:
  TargetDatabase(const std::string& name, const TestMesh& mesh)
      : file_(ScratchPath(name + "_target")), mesh_(mesh) {
    RemoveDatabase(file_);
    writer_.CreateSim(file_);
    id_ = WriteMesh(writer_, mesh_);
  }
  ~TargetDatabase() {
    reopened_.reset();
    RemoveDatabase(file_);
  }

  ZORSimDynamicID AddNodeField(const char* fieldName, int components) {
    return ScopeAfter(writer_.AddSimpleNodeField(id_, fieldName, components));
  }
  // A field holding `values` (`components` per node, in node order) before any mapping.
  ZORSimDynamicID AddWrittenNodeField(const char* fieldName, int components,
                                      std::vector<double> values) {
    const ZORSimDynamicID field = AddNodeField(fieldName, components);
    cow_List<int> nodes = Range(0, mesh_.NodeCount());
    writer_.WriteSimpleNodeField(field, id_, 1, 1, components, nodes, values.data());
    return field;
  }
  ZORSimDynamicID AddPointField(const char* fieldName, int components) {
    return ScopeAfter(writer_.AddSimpleElementField(id_, fieldName, components));
  }
  ZORMtkSimWriter& Writer() { return writer_; }
  ZORMtkSimReader& Reader() { return reader_; }
  const ZORSimDynamicID& Mesh() const { return id_; }
  ReopenedDatabase& ReadBack() {
    writer_.SaveContext();
    reopened_ = std::make_unique<ReopenedDatabase>(file_, id_);
    return *reopened_;
  }

 private:
  ZORSimDynamicID ScopeAfter(const ZORSimDynamicID& field) {
    reader_.SetElsetRegion(writer_.GetRootPosition(), id_, {});
    return field;
  }

  std::string file_;
  TestMesh mesh_;
  ZORMtkSimWriter writer_;
  ZORSimDynamicID id_;
  ZORMtkSimReader reader_;
  std::unique_ptr<ReopenedDatabase> reopened_;
};

}  // namespace transfertest
