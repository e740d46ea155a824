#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/ZORSimAPI.h"
#include "platform/ZORSimSchemaKeys.h"
#include "platform/ZORStream.h"
#include "platform/impl/ZORSimDatabase.h"
#include "writer/ZORMtkSimWriter.h"

// Helpers of the writer tests: scratch files, navigation by schema key, the objects behind
// handles, drawer reads, and a capture of the platform's error stream.
namespace writertest {

inline std::string ScratchFile(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir ? dir : "/tmp") + "/zorwriter-" + std::to_string(::getpid()) + "-" + name;
}

inline void RemoveDatabaseFile(const std::string& file) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((file + suffix).c_str());
}

inline bool FileExists(const std::string& file) {
  struct stat info;
  return ::stat(file.c_str(), &info) == 0;
}

inline ZORSrvPosition At(const ZORSrvPosition& root, ZORSimDynamicID id) {
  return ZORSrvPosition(root, id);
}

// The object behind a handle, as the database holds it.
inline const ZORSimObject& Object(const ZORSrvPosition& root, ZORSimDynamicID id) {
  ZORSimDatabase& db = root.Context().Database();
  return db.Object(db.ResolveAny(id, "test"));
}

inline ZORSimCollectionID FollowCollection(const ZORSrvPosition& from, int fragment, int index,
                                           int side) {
  return ZORSrvPosition(from, from.Follow(ZORSimKeys::Key(fragment, index), side)).GetCollection();
}

inline ZORSimDynamicID History(const ZORSrvPosition& root) {
  return root.Follow(ZORSimKeys::kHistory, 1);
}

inline ZORSimDynamicID Step(const ZORSrvPosition& root, int key) {
  return At(root, History(root)).FollowIntKey(ZORSimKeys::kHistorySteps, 1, key);
}

// The step increment set of a step, and the collection that holds it.
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

// Every object of one kind and type, in creation order.
inline std::vector<ZORSimDynamicID> ObjectsOf(const ZORSrvPosition& root, ZORSimObjectKind kind,
                                              int type) {
  ZORSimDatabase& db = root.Context().Database();
  std::vector<ZORSimDynamicID> found;
  for (std::int64_t i = 1; i < db.ObjectCount(); ++i)
    if (db.Object(i).kind == kind && db.Object(i).type == type) found.push_back(db.Handle(i));
  return found;
}

// The field drawers of a field record: (11,63), then (11,70), then the first (11,61).
inline std::vector<ZORSimDrawerID> FieldDrawers(const ZORSrvPosition& root, ZORSimDynamicID field) {
  std::vector<ZORSimDrawerID> drawers;
  const std::vector<ZORSimDynamicID> outputs =
      At(root, field).FollowList(ZORSimKeys::kFieldOutputs, 1).Items();
  for (const ZORSimDynamicID& output : outputs) {
    const std::vector<ZORSimDynamicID> values =
        At(root, output).FollowList(ZORSimKeys::kOutputValues, 0).Items();
    for (const ZORSimDynamicID& record : values)
      drawers.emplace_back(At(root, record).Follow(ZORSimKeys::kValuesDrawer, 0));
  }
  return drawers;
}

inline ZORSimDistributionID DistributionOf(const ZORSrvPosition& root, ZORSimDrawerID drawer) {
  return At(root, drawer.id).GetDistribution();
}

inline std::vector<ZORSimCSetID> DrawerDims(const ZORSrvPosition& root, ZORSimDrawerID drawer) {
  for (const ZORSimDrawerDescriptor& d :
       ZORSimDistribution(root.Context(), DistributionOf(root, drawer)).QueryDrawers())
    if (d.id == drawer) return d.dimensions;
  ADD_FAILURE() << "drawer not listed by its distribution";
  return {};
}

// Values of a drawer over the given dimension sets (doubles, or ints for connectivity).
template <typename T>
std::vector<T> ReadDrawer(const ZORSrvPosition& root, ZORSimDrawerID drawer,
                          const std::vector<ZORSimCSetID>& dims) {
  std::int64_t count = 1;
  for (const ZORSimCSetID& set : dims) count *= set.Size();
  std::vector<T> values(static_cast<std::size_t>(count));
  ZORSimTransfer read(root.Context(), DistributionOf(root, drawer));
  read.SetRead();
  read.SetBufferPadding(false);
  if (sizeof(T) == 8) read.SetBufferType(2);
  read.SetDrawer(drawer);
  read.SetDims(dims);
  read.CheckView();
  read.SetBuffer(0, static_cast<void*>(values.data()),
                 static_cast<std::int64_t>(values.size() * sizeof(T)));
  read.ExecRead();
  read.RelinquishBuffers();
  return values;
}

// The drawer's values of one increment, over the drawer's own sets of the other dimensions.
inline std::vector<double> ReadIncrement(const ZORSrvPosition& root, ZORSimDrawerID drawer,
                                         int increment) {
  std::vector<ZORSimCSetID> dims = DrawerDims(root, drawer);
  dims[0] = ZORSimCollection(root.Context(), dims[0].collection)
                .CreateTempCSetStrided(increment, 1, 1, 1);
  return ReadDrawer<double>(root, drawer, dims);
}

// Sends aio_cerr to a string while it lives.
class CaptureCerr {
 public:
  CaptureCerr() { aio_cerr.SetTarget(&text_); }
  ~CaptureCerr() { aio_cerr.SetTarget(nullptr); }
  CaptureCerr(const CaptureCerr&) = delete;
  CaptureCerr& operator=(const CaptureCerr&) = delete;
  std::string Text() const { return text_.str(); }

 private:
  std::ostringstream text_;
};

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

  ZORSrvPosition Open() const {
    ZORSrvSimAccess access;
    return access.Open(file_);
  }

  // A grid of nx x ny nodes in the plane z = 0 (3 components), numbered row by row.
  std::vector<double> PlaneNodes(int nx, int ny) const {
    std::vector<double> xyz;
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i < nx; ++i) {
        xyz.push_back(i);
        xyz.push_back(j);
        xyz.push_back(0.0);
      }
    return xyz;
  }

  std::string file_;
  ZORMtkSimWriter writer_;
  ZORSrvPosition root_;
};

}  // namespace writertest
