#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ZORSimAPI.h"
#include "platform/ZORSimSchemaKeys.h"
#include "platform/ZORStream.h"
#include "platform/impl/ZORSimDatabase.h"
#include "support/ZORTestCapture.h"
#include "tests/platform/PlatformTestDatabase.h"
#include "writer/ZORMtkSimWriter.h"

// Helpers of the writer tests (scratch files come from the platform tests'): navigation by schema
// key, the objects behind handles, drawer reads, and a writer on a new database with a plane mesh
// of 10 x 10 nodes, 10 "CPE4" and 5 "S3R" elements.
namespace writertest {

inline ZORSrvPosition At(const ZORSrvPosition& root, ZORSimDynamicID id) {
  return ZORSrvPosition(root, id);
}

// The object behind a handle, as the database holds it.
inline const ZORSimObject& Object(const ZORSrvPosition& root, ZORSimDynamicID id) {
  ZORSimDatabase& db = root.Context().Database();
  return db.Object(db.ResolveAny(id, "test"));
}

inline ZORSimCollectionID Collection(const ZORSrvPosition& from, int key, int side) {
  return ZORSrvPosition(from, from.Follow(key, side)).GetCollection();
}

inline ZORSimDynamicID Step(const ZORSrvPosition& root, int key) {
  return At(root, root.Follow(ZORSimKeys::kHistory, 1))
      .FollowIntKey(ZORSimKeys::kHistorySteps, 1, key);
}

inline ZORSimCSetID StepIncrementSet(const ZORSrvPosition& root, ZORSimDynamicID step) {
  return At(root, At(root, step).Follow(ZORSimKeys::kStepIncrements, 1)).GetCSet();
}

inline std::vector<int> Members(const ZORSimCSetID& set) {
  std::vector<int> members(static_cast<std::size_t>(set.Size()));
  ZORSimCSet(set).OrderedMembers(members.data());
  return members;
}

inline std::vector<int> Range(int first, int count) {
  std::vector<int> members;
  for (int i = 0; i < count; ++i) members.push_back(first + i);
  return members;
}

// The field drawers of a field record: (11,63), then (11,70), then the first (11,61).
inline std::vector<ZORSimDrawerID> FieldDrawers(const ZORSrvPosition& root, ZORSimDynamicID field) {
  std::vector<ZORSimDrawerID> drawers;
  for (const ZORSimDynamicID& output :
       At(root, field).FollowList(ZORSimKeys::kFieldOutputs, 1).Items())
    for (const ZORSimDynamicID& record :
         At(root, output).FollowList(ZORSimKeys::kOutputValues, 0).Items())
      drawers.emplace_back(At(root, record).Follow(ZORSimKeys::kValuesDrawer, 0));
  return drawers;
}

inline std::vector<ZORSimCSetID> DrawerDims(const ZORSrvPosition& root, ZORSimDrawerID drawer) {
  for (const ZORSimDrawerDescriptor& d :
       ZORSimDistribution(root.Context(), At(root, drawer.id).GetDistribution()).QueryDrawers())
    if (d.id == drawer) return d.dimensions;
  ADD_FAILURE() << "drawer not listed by its distribution";
  return {};
}

// The values of a drawer over the given sets (doubles, or ints for connectivity); by default
// over its own sets, and with increment >= 0 only that member of its first dimension.
template <typename T = double>
std::vector<T> ReadDrawer(const ZORSrvPosition& root, ZORSimDrawerID drawer, int increment = -1,
                          std::vector<ZORSimCSetID> dims = {}) {
  if (dims.empty()) dims = DrawerDims(root, drawer);
  if (increment >= 0)
    dims[0] = ZORSimCollection(root.Context(), dims[0].collection)
                  .CreateTempCSetStrided(increment, 1, 1, 1);
  std::int64_t count = 1;
  for (const ZORSimCSetID& set : dims) count *= set.Size();
  std::vector<T> values(static_cast<std::size_t>(count));
  ZORSimTransfer read(root.Context(), At(root, drawer.id).GetDistribution());
  read.SetRead();
  if (sizeof(T) == 8) read.SetBufferType(2);
  read.SetDrawer(drawer);
  read.SetDims(dims);
  read.SetBuffer(0, static_cast<void*>(values.data()),
                 static_cast<std::int64_t>(values.size() * sizeof(T)));
  read.ExecRead();
  return values;
}

// A writer on a new database in a scratch file, removed afterwards.
class WriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    file_ = ScratchFile(std::string(info->test_suite_name()) + "-" + info->name() + ".db");
    RemoveDatabaseFile(file_);
    writer_.CreateSim(file_);
    root_ = writer_.GetRootPosition();
  }
  void TearDown() override { RemoveDatabaseFile(file_); }

  ZORSrvPosition Open() const { return ZORSrvSimAccess().Open(file_); }
  ZORSimDatabase& Database() const { return root_.Context().Database(); }

  ZORSimDynamicID PlaneMesh() {
    const ZORSimDynamicID mesh = writer_.AddMesh();
    std::vector<double> xyz;
    for (int n = 0; n < 100; ++n) xyz.insert(xyz.end(), {n % 10 * 1.0, n / 10 * 1.0, 0.0});
    writer_.AddMeshNodes(mesh, 100, 3, xyz.data());
    std::vector<int> quads, triangles;
    for (int e = 0; e < 10; ++e) quads.insert(quads.end(), {e, e + 1, e + 11, e + 10});
    for (int e = 0; e < 5; ++e) triangles.insert(triangles.end(), {e + 50, e + 51, e + 61});
    ZORSimArray<ZORSimCSetID> blocks;
    blocks.Append(writer_.AddMeshElements(mesh, 10, "CPE4", 4, quads.data()));
    blocks.Append(writer_.AddMeshElements(mesh, 5, "S3R", 3, triangles.data()));
    cow_List<cow_String> names = {"CPE4", "S3R"};
    writer_.ConnectMeshEltypes(mesh, blocks, names);
    return mesh;
  }

  std::string file_;
  ZORMtkSimWriter writer_;
  ZORSrvPosition root_;
};

}  // namespace writertest
