#include <gtest/gtest.h>
#include <signal.h>
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
    const ZORSimError error = ErrorOf(save, "a save beyond the limit succeeded");
    EXPECT_EQ(error.Kind(), ZORSimErrorKind::kIO);
    EXPECT_EQ(std::string(error.what()), file.file + ": cannot save: disk full");
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
struct Unprivileged {
  const bool root = geteuid() == 0;
  const bool failed = root && seteuid(65534) != 0;
  ~Unprivileged() { EXPECT_TRUE(!root || failed || seteuid(0) == 0); }
};

// A file the process may not write, through its folder or itself, opens read-only without side
// files and refuses a save naming the file; a failed open tells its cause by kind and names the
// file, and a damaged file keeps the text it always had.
TEST(ZORSimFile, UnwritableFilesOpenReadOnlyAndFailedOpensTellTheirCause) {
  const std::string folder = ScratchFile("folder"), file = folder + "/file.db";
  ::mkdir(folder.c_str(), 0755);
  const auto saved = [&](const char* sql) {
    RemoveDatabaseFile(file);
    const ZORSrvPosition root = CreateDatabase(file);
    MakeNodalDrawer(root, 3, 1);
    root.Context().Save();
    RunSql(file, sql);
  };
  const auto written = [&](const char* text) {
    RemoveDatabaseFile(file);
    WriteFile(file, text);
  };
  struct Case {
    std::function<void()> make;
    mode_t folderMode, fileMode;
    ZORSimErrorKind kind;  // of the failed open, or of the refused save when `text` is empty
    std::string text;
  };
  const std::vector<Case> cases = {
      {[&] { saved("SELECT 1"); }, 0555, 0644, ZORSimErrorKind::kPermission, ""},
      {[&] { saved("SELECT 1"); }, 0777, 0444, ZORSimErrorKind::kPermission, ""},
      {[&] { saved("SELECT 1"); }, 0755, 0, ZORSimErrorKind::kPermission,
       file + ": cannot open: Permission denied"},
      {[&] { RemoveDatabaseFile(file); }, 0755, 0644, ZORSimErrorKind::kNotFound,
       file + ": cannot open: No such file or directory"},
      {[&] { written(""); }, 0755, 0644, ZORSimErrorKind::kCorruption,
       file + ": the file is empty"},
      {[&] { written("this is a text file, not a database\n"); }, 0755, 0644,
       ZORSimErrorKind::kCorruption,
       file + ": not a simulation database (" + file +
           ": database prepare failed: file is not a database)"},
      {[&] { saved("UPDATE meta SET value='99' WHERE key='version'"); }, 0755, 0644,
       ZORSimErrorKind::kCorruption,
       file + ": format version 99 is not supported (this library reads version 2)"}};
  for (const Case& c : cases) {
    ::chmod(folder.c_str(), 0755);
    c.make();
    const std::string before = c.text.empty() ? DumpOf(ZORSimSqliteStore::OpenFile(file)) : "";
    ::chmod(file.c_str(), c.fileMode);
    ::chmod(folder.c_str(), c.folderMode);
    Unprivileged user;
    if (user.failed) GTEST_SKIP() << "cannot take another user";
    const auto openAndSave = [&] {
      const ZORSrvPosition opened = ZORSrvSimAccess().Open(file);
      ASSERT_TRUE(c.text.empty()) << c.text << ": opened";
      EXPECT_EQ(Dump(opened.Context().Database()), before);
      EXPECT_FALSE(Exists(file + "-wal") || Exists(file + "-shm"));
      opened.Context().Save();
    };
    const ZORSimError error = ErrorOf(openAndSave, "a file that may not be written was saved");
    EXPECT_EQ(error.Kind(), c.kind) << error.what();
    EXPECT_TRUE(c.text.empty() ? std::string(error.what()).find(file) != std::string::npos
                               : error.what() == c.text)
        << error.what();
  }
  ::chmod(folder.c_str(), 0755);
  RemoveDatabaseFile(file);
  ::rmdir(folder.c_str());
}

// A new database is refused at its first save, before any file is made, where it cannot go: a
// missing folder, a folder of its name, a folder or an existing file that may not be written.
// Opening a database without a name says so.
TEST(ZORSimFile, NewDatabasesAreRefusedWhereTheyCannotGoNamingWhy) {
  const std::string folder = ScratchFile("fresh"), existing = folder + "/existing.db";
  ::mkdir(folder.c_str(), 0755);
  ::mkdir((folder + "/sub").c_str(), 0755);
  WriteFile(existing, "kept");
  const struct {
    std::string file;
    mode_t folderMode, existingMode;
    ZORSimErrorKind kind;
    std::string why;
  } cases[] = {
      {folder + "/no/such/new.db", 0777, 0644, ZORSimErrorKind::kNotFound,
       "the folder " + folder + "/no/such/ does not exist"},
      {folder + "/sub", 0777, 0644, ZORSimErrorKind::kInvalidArgument, "a folder has that name"},
      {folder + "/new.db", 0555, 0644, ZORSimErrorKind::kPermission,
       "the folder " + folder + "/ may not be written"},
      {existing, 0777, 0444, ZORSimErrorKind::kPermission,
       "the file there may not be written, and a new database does not replace it"}};
  for (const auto& c : cases) {
    const ZORSrvPosition fresh = CreateDatabase(c.file);
    ::chmod(existing.c_str(), c.existingMode);
    ::chmod(folder.c_str(), c.folderMode);
    {
      Unprivileged user;
      if (user.failed) GTEST_SKIP() << "cannot take another user";
      const ZORSimError error = ErrorOf([&] { fresh.Context().Save(); }, c.file + ": saved");
      EXPECT_EQ(error.Kind(), c.kind) << error.what();
      EXPECT_EQ(std::string(error.what()), c.file + ": cannot save: " + c.why);
    }
    ::chmod(folder.c_str(), 0755);
    EXPECT_EQ(ReadFile(existing), "kept");
    EXPECT_FALSE(Exists(folder + "/new.db"));
  }
  EXPECT_STREQ(
      ErrorOf([] { ZORSrvSimAccess().Open(""); }, "opened a database without a name").what(),
      "cannot open a database without a file name");
  std::remove(existing.c_str());
  ::rmdir((folder + "/sub").c_str());
  ::rmdir(folder.c_str());
}

}  // namespace
