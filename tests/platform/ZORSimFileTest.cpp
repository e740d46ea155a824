#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <random>
#include <thread>

#include "platform/impl/ZORSimSqliteStore.h"
#include "tests/platform/PlatformTestDatabase.h"

namespace {

bool Exists(const std::string& file) { return ::access(file.c_str(), F_OK) == 0; }

TEST(ZORSimFile, KilledSaveLeavesTheOldOrTheNewState) {
  const GenerationFile file("crash.db");
  std::mt19937 random(2026);
  int lastMarkers = 0;
  int last = file.Read(&lastMarkers);
  int sawOld = 0;
  for (int trial = 1; trial <= 60; ++trial) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      file.Save(trial);
      _exit(0);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 60'000));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    int markers = 0;
    const int now = file.Read(&markers);
    ASSERT_NE(now, -1) << "trial " << trial << ": values of two saves are mixed";
    ASSERT_TRUE(now == trial || now == last) << "trial " << trial;
    ASSERT_EQ(markers, lastMarkers + (now == trial && now != last ? 1 : 0)) << "trial " << trial;
    sawOld += now == last ? 1 : 0;
    last = now;
    lastMarkers = markers;
  }
  EXPECT_GT(sawOld, 0);
}

// The program, not the library, ignores SIGXFSZ; with it ignored, reaching the file-size limit
// is a failed write that the save reports, on the first save as on later ones.
TEST(ZORSimFile, SaveBeyondTheFileSizeLimitReportsDiskFullAndKeepsTheOldFile) {
  const GenerationFile file("diskfull.db");
  file.Save(1);
  const auto previous = signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  const rlimit small{1 << 16, limit.rlim_max};
  const std::vector<std::function<void()>> saves = {
      [&] { file.Save(2); },
      [&] {
        const ZORSrvPosition fresh = CreateDatabase(file.file);
        MakeNodalDrawer(fresh, GenerationFile::kNodes, 1);
        fresh.Context().Save();
      }};
  for (const auto& save : saves) {
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    try {
      save();
      ADD_FAILURE() << "a save beyond the limit succeeded";
    } catch (const ZORSimError& error) {
      EXPECT_EQ(error.Kind(), ZORSimErrorKind::kIO);
      EXPECT_EQ(std::string(error.what()), file.file + ": cannot save: disk full");
    }
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_EQ(file.Read(), 1);
  }
  signal(SIGXFSZ, previous);
}

TEST(ZORSimFile, FirstSaveRemovesSideFilesOfSavesWhoseProcessIsGone) {
  const std::string file = ScratchFile("side.db");
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  const std::string dead = file + ".saving-" + std::to_string(child);
  const std::string living = file + ".saving-" + std::to_string(getppid());
  for (const std::string& side : {dead, dead + "-wal", living}) std::ofstream(side) << "x";
  CreateDatabase(file).Context().Save();
  EXPECT_FALSE(Exists(dead));
  EXPECT_FALSE(Exists(dead + "-wal"));
  EXPECT_TRUE(Exists(living));
  std::remove(living.c_str());
  RemoveDatabaseFile(file);
}

// Permissions do not stop root: a test running as root takes another effective user meanwhile.
class Unprivileged {
 public:
  Unprivileged() : root_(geteuid() == 0) {
    if (root_ && seteuid(65534) != 0) {
      root_ = false;
      failed_ = true;
    }
  }
  ~Unprivileged() {
    if (root_) {
      EXPECT_EQ(seteuid(0), 0);
    }
  }
  bool Failed() const { return failed_; }

 private:
  bool root_;
  bool failed_ = false;
};

TEST(ZORSimFile, FilesThatMayNotBeWrittenOpenReadOnlyWithoutSideFiles) {
  const std::string folder = ScratchFile("folder");
  ::mkdir(folder.c_str(), 0755);
  const std::string file = folder + "/readonly.db";
  {
    const ZORSrvPosition root = CreateDatabase(file);
    const NodalDrawer drawer = MakeNodalDrawer(root, 3, 1);
    WriteValues(root, drawer, ZORSimCollection(root.Context(), drawer.nodes).BiggestCSetID(),
                {1, 2, 3});
    root.Context().Save();
  }
  const std::string before = DumpOf(ZORSimSqliteStore::OpenFile(file));
  struct Case {
    const char* what;
    mode_t folderMode;
    mode_t fileMode;
  };
  for (const Case& c : {Case{"read-only folder", 0555, 0644}, Case{"read-only file", 0777, 0444}}) {
    ::chmod(folder.c_str(), c.folderMode);
    ::chmod(file.c_str(), c.fileMode);
    Unprivileged user;
    if (user.Failed()) {
      GTEST_SKIP() << "cannot take another user";
    }
    const ZORSrvPosition opened = ZORSrvSimAccess().Open(file);
    EXPECT_EQ(Dump(opened.Context().Database()), before) << c.what;
    EXPECT_FALSE(Exists(file + "-wal") || Exists(file + "-shm")) << c.what;
    try {
      opened.Context().Save();
      ADD_FAILURE() << c.what << ": saved";
    } catch (const ZORSimError& error) {
      EXPECT_EQ(error.Kind(), ZORSimErrorKind::kPermission) << c.what;
      EXPECT_NE(std::string(error.what()).find(file), std::string::npos) << error.what();
    }
  }
  ::chmod(folder.c_str(), 0755);
  RemoveDatabaseFile(file);
  ::rmdir(folder.c_str());
}

// Each cause of a failed open is told by its kind, and the text names the file; a damaged file
// keeps the text it always had.
TEST(ZORSimFile, FailedOpensTellTheirCause) {
  const std::string file = ScratchFile("causes.db");
  const auto saved = [&](const char* sql) {
    RemoveDatabaseFile(file);
    CreateDatabase(file).Context().Save();
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
  };
  const auto written = [&](const char* text) {
    RemoveDatabaseFile(file);
    std::ofstream(file) << text;
  };
  struct Case {
    std::function<void()> make;
    ZORSimErrorKind kind;
    std::string text;
  };
  const std::vector<Case> cases = {
      {[&] { RemoveDatabaseFile(file); }, ZORSimErrorKind::kNotFound,
       file + ": cannot open: No such file or directory"},
      {[&] { written(""); }, ZORSimErrorKind::kCorruption, file + ": the file is empty"},
      {[&] { written("this is a text file, not a database\n"); }, ZORSimErrorKind::kCorruption,
       file + ": not a simulation database (" + file +
           ": database prepare failed: file is not a database)"},
      {[&] { saved("UPDATE meta SET value='99' WHERE key='version'"); },
       ZORSimErrorKind::kCorruption,
       file + ": format version 99 is not supported (this library reads version 2)"},
      {[&] {
         saved("");
         ::chmod(file.c_str(), 0);
       },
       ZORSimErrorKind::kPermission, file + ": cannot open: Permission denied"}};
  for (const Case& c : cases) {
    c.make();
    Unprivileged user;
    try {
      ZORSrvSimAccess().Open(file);
      ADD_FAILURE() << c.text << ": opened";
    } catch (const ZORSimError& error) {
      EXPECT_EQ(error.what(), c.text);
      EXPECT_EQ(error.Kind(), c.kind) << c.text;
    }
  }
  RemoveDatabaseFile(file);
}

}  // namespace
