#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mapper/ZORMtkMapper.h"
#include "platform/ZORSimAPI.h"
#include "reader/ZORMtkSimReader.h"
#include "support/ZORTestMeshes.h"
#include "tests/platform/PlatformTestDatabase.h"
#include "writer/ZORMtkSimWriter.h"

// Databases of the end-to-end transfer tests, written with the writer, saved and opened again as
// a host finds them, and one mapping between two of them. A source is written and reopened; a
// target is mapped into through its writer and read back the same way.
namespace transfertest {

using zor_test_mesh::TestMesh;

inline cow_List<int> Range(int count) {
  cow_List<int> members;
  for (int i = 0; i < count; ++i) members.Append(i);
  return members;
}

// A saved database opened again, with a reader over the whole of its one mesh.
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
  // Values of the given elements, [element][point][component].
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

// One mesh in a new scratch database, with fields added (and written when given values) at step
// 1, increment 1. Reader() is scoped on the open database so that a mapper finds the mesh there.
class ScratchDatabase {
 public:
  ScratchDatabase(const std::string& name, const TestMesh& mesh)
      : file_(ScratchFile("transfer-" + name + ".zsd")), mesh_(mesh) {
    RemoveDatabaseFile(file_);
    writer_.CreateSim(file_);
    id_ = writer_.AddMesh();
    std::vector<double> coordinates = mesh_.coords;
    writer_.AddMeshNodes(id_, mesh_.NodeCount(), mesh_.dimension, coordinates.data());
    std::vector<int> connectivity = mesh_.connectivity;
    ZORSimArray<ZORSimCSetID> blocks{writer_.AddMeshElements(
        id_, mesh_.ElementCount(), mesh_.type, mesh_.nodesPerElement, connectivity.data())};
    cow_List<cow_String> types{mesh_.type};
    writer_.ConnectMeshEltypes(id_, blocks, types);
  }
  ~ScratchDatabase() {
    reopened_.reset();
    RemoveDatabaseFile(file_);
  }
  ScratchDatabase(const ScratchDatabase&) = delete;
  ScratchDatabase& operator=(const ScratchDatabase&) = delete;

  // values: `components` per node, in node order.
  ZORSimDynamicID NodeField(const char* name, int components, std::vector<double> values = {}) {
    const ZORSimDynamicID field = writer_.AddSimpleNodeField(id_, name, components);
    cow_List<int> nodes = Range(mesh_.NodeCount());
    if (!values.empty())
      writer_.WriteSimpleNodeField(field, id_, 1, 1, components, nodes, values.data());
    return Scoped(field);
  }
  // values: [element][point][component].
  ZORSimDynamicID PointField(const char* name, int components, int points,
                             std::vector<double> values = {}) {
    const ZORSimDynamicID field = writer_.AddSimpleElementField(id_, name, components);
    cow_List<int> elements = Range(mesh_.ElementCount());
    if (!values.empty())
      writer_.WriteSimpleElementClassField(field, id_, 1, 1, points, components, elements,
                                           values.data());
    return Scoped(field);
  }
  ZORMtkSimWriter& Writer() { return writer_; }
  ZORMtkSimReader& Reader() { return reader_; }
  const ZORSimDynamicID& Mesh() const { return id_; }
  ReopenedDatabase& Reopen() {
    writer_.SaveContext();
    reopened_ = std::make_unique<ReopenedDatabase>(file_, id_);
    return *reopened_;
  }

 private:
  ZORSimDynamicID Scoped(const ZORSimDynamicID& field) {
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

// One mapping of field "NT" (nodal) or "PRESS" (points) from a source database into a new target
// database. A field is nodal when its points are 0, else it holds `points` values per element;
// the tag decides which side has points.
struct Mapping {
  Mapping(TestMesh from, TestMesh to, std::vector<double> given, Map_Tag how = MapNodeToNode,
          int componentCount = 1, int points = 4)
      : source(std::move(from)),
        target(std::move(to)),
        values(std::move(given)),
        components(componentCount),
        sourcePoints(how == MapIntPtToNode || how == MapIntPtToIntPt ? points : 0),
        targetPoints(how == MapNodeToIntPt || how == MapIntPtToIntPt ? points : 0),
        tag(how) {}

  TestMesh source, target;
  std::vector<double> values;  // per node, or per element, point and component
  int components, sourcePoints, targetPoints;
  Map_Tag tag;
  MapMethod_Tag method = MethodShapeInterpolation;
  Conserve_Tag conserve = ConserveNone;
  std::string name;            // the field on both sides, if not "NT" or "PRESS"
  std::vector<double> before;  // the target field's values before mapping, if any
  int flags = -1;              // what MapField returned

  // Runs the mapping with `mapper` as the request "map" from step 1, increment 1 into the same
  // step and increment, and returns the target field as read back.
  std::vector<double> Run(ZORMtkMapper& mapper) {
    ScratchDatabase from("source", source), to("target", target);
    const std::string given = !name.empty() ? name : sourcePoints == 0 ? "NT" : "PRESS";
    const std::string wanted = !name.empty() ? name : targetPoints == 0 ? "NT" : "PRESS";
    if (sourcePoints == 0) from.NodeField(given.c_str(), components, values);
    if (sourcePoints > 0) from.PointField(given.c_str(), components, sourcePoints, values);
    const ZORSimDynamicID field =
        targetPoints == 0 ? to.NodeField(wanted.c_str(), components, before)
                          : to.PointField(wanted.c_str(), components, targetPoints, before);
    ReopenedDatabase& opened = from.Reopen();
    mapper.SetReader(&opened.Reader());
    mapper.SetReader(&to.Reader());
    mapper.SetWriter(&to.Writer());
    mapper.AddMapSpec("map", tag, method, conserve, opened.Mesh(), to.Mesh(),
                      opened.Field(given.c_str()), field, false, false);
    flags = mapper.MapField("map", 1, 1, 1, 1);
    ReopenedDatabase& back = to.Reopen();
    if (targetPoints == 0) return back.NodeValues(wanted.c_str(), components);
    return back.PointValues(wanted.c_str(), Range(back.Reader().numElements).Items(), targetPoints,
                            components);
  }
};

}  // namespace transfertest
