#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "platform/ZORSimAPI.h"
#include "platform/ZORSimSchemaKeys.h"
#include "tests/platform/PlatformTestDatabase.h"

namespace {

// Every saved state of these tests writes one value everywhere (generation g at every node and
// component) and a marker record per generation, so a state read back is either wholly one
// generation or a mix that the test detects.
constexpr int kNodes = 400'000;

struct SavedState {
  int generation = -1;
  bool consistent = false;
  int markers = 0;
};

SavedState ReadState(const std::string& file, const NodalDrawer& shape) {
  SavedState state;
  const ZORSrvPosition root = ZORSrvSimAccess().Open(file);
  NodalDrawer d = shape;
  d.nodes = ZORSimCollectionID(SameObjectIn(root, shape.nodes.id));
  d.distribution = ZORSimDistributionID(SameObjectIn(root, shape.distribution.id));
  d.drawer = ZORSimDrawerID(SameObjectIn(root, shape.drawer.id));
  d.componentSet =
      ZORSimCollection(root.Context(), ComponentCollection(root)).CreateCSetStrided(0, 1, 1, 1);
  const std::vector<double> values =
      ReadValues(root, d, ZORSimCollection(root.Context(), d.nodes).BiggestCSetID());
  state.generation = static_cast<int>(values.front());
  state.consistent = true;
  for (double v : values) state.consistent = state.consistent && v == values.front();
  state.markers = root.FollowList(ZORSimKeys::kHistory, 1).Size();
  return state;
}

// Opens the file, writes generation `generation` everywhere with its marker, and saves.
void SaveGeneration(const std::string& file, const NodalDrawer& shape, int generation) {
  const ZORSrvPosition root = ZORSrvSimAccess().Open(file);
  NodalDrawer d = shape;
  d.nodes = ZORSimCollectionID(SameObjectIn(root, shape.nodes.id));
  d.distribution = ZORSimDistributionID(SameObjectIn(root, shape.distribution.id));
  d.drawer = ZORSimDrawerID(SameObjectIn(root, shape.drawer.id));
  d.componentSet =
      ZORSimCollection(root.Context(), ComponentCollection(root)).CreateCSetStrided(0, 1, 1, 1);
  ZORSimTransaction transaction(root.Context());
  WriteValues(root, d, ZORSimCollection(root.Context(), d.nodes).BiggestCSetID(),
              std::vector<double>(kNodes, static_cast<double>(generation)));
  root.Associate(ZORSimKeys::kHistory, 1, root.CreateDataRecord(ZORSimKeys::kHistoryRecord));
  transaction.Commit();
  root.Context().Save();
}

class ZORSimCrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = ScratchFile("crash.db");
    RemoveDatabaseFile(file_);
    const ZORSrvPosition root = CreateDatabase(file_);
    shape_ = MakeNodalDrawer(root, kNodes, 1);
    root.Context().Save();
  }
  void TearDown() override { RemoveDatabaseFile(file_); }
  std::string file_;
  NodalDrawer shape_;
};

TEST_F(ZORSimCrashTest, KilledSaveLeavesTheOldOrTheNewState) {
  std::mt19937 random(2026);
  SavedState last = ReadState(file_, shape_);
  ASSERT_TRUE(last.consistent);
  int sawNew = 0;
  int sawOld = 0;
  for (int trial = 1; trial <= 120; ++trial) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      SaveGeneration(file_, shape_, trial);
      _exit(0);
    }
    std::this_thread::sleep_for(
        std::chrono::microseconds(std::uniform_int_distribution<int>(0, 60'000)(random)));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const SavedState now = ReadState(file_, shape_);
    ASSERT_TRUE(now.consistent) << "trial " << trial << ": values of two saves are mixed";
    if (now.generation == trial) {
      ASSERT_EQ(now.markers, last.markers + 1) << "trial " << trial;
      ++sawNew;
    } else {
      ASSERT_EQ(now.generation, last.generation) << "trial " << trial;
      ASSERT_EQ(now.markers, last.markers) << "trial " << trial;
      ++sawOld;
    }
    last = now;
  }
  RecordProperty("new_states", sawNew);
  RecordProperty("old_states", sawOld);
  EXPECT_GT(sawOld, 0);
}

TEST_F(ZORSimCrashTest, SaveThatRunsOutOfDiskReportsAndKeepsTheOldFile) {
  SaveGeneration(file_, shape_, 1);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1 << 16, 1 << 16};  // the save needs megabytes
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      SaveGeneration(file_, shape_, 2);
    } catch (const ZORSimError&) {
      _exit(3);
    }
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3) << "the failed save was not reported";
  const SavedState state = ReadState(file_, shape_);
  EXPECT_TRUE(state.consistent);
  EXPECT_EQ(state.generation, 1);
}

TEST_F(ZORSimCrashTest, FirstSaveThatRunsOutOfDiskLeavesTheExistingFile) {
  SaveGeneration(file_, shape_, 4);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const ZORSrvPosition fresh = CreateDatabase(file_);
    MakeNodalDrawer(fresh, kNodes, 1);
    const rlimit limit{1 << 16, 1 << 16};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      fresh.Context().Save();
    } catch (const ZORSimError&) {
      _exit(3);
    }
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
  EXPECT_EQ(ReadState(file_, shape_).generation, 4);
}

}  // namespace
