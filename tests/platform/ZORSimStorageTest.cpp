#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "platform/impl/ZORSimFaultStore.h"
#include "platform/impl/ZORSimSqliteStore.h"
#include "tests/platform/PlatformTestDatabase.h"

namespace {

std::string ReadFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

void RunSql(const std::string& file, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  sqlite3_close(db);
}

std::string DumpOfFile(const std::string& file) {
  return DumpOf(ZORSimSqliteStore::OpenFile(file));
}

// A saved file of random content: drawers of one and of several value blocks, history records.
std::string SavedRandomFile(const std::string& name, unsigned seed) {
  const std::string file = ScratchFile(name);
  RemoveDatabaseFile(file);
  std::mt19937 random(seed);
  const ZORSrvPosition root = CreateDatabase(file);
  MakeNodalDrawer(root, 300'000, 1);
  Mutate(root, random);
  root.Context().Save();
  return file;
}

TEST(ZORSimStorage, RandomModelsSurviveSavesAndReopensOnMemoryAndFile) {
  for (const bool onFile : {false, true}) {
    const std::string file = ScratchFile("roundtrip.db");
    RemoveDatabaseFile(file);
    const auto medium = std::make_shared<ZORSimMemoryStore::Medium>();
    const auto reopen = [&]() -> std::unique_ptr<ZORSimStore> {
      if (onFile) return ZORSimSqliteStore::OpenFile(file);
      return Memory(medium);
    };
    std::mt19937 random(onFile ? 3 : 4);
    ZORSrvPosition root = onFile ? CreateDatabase(file) : CreateOn(Memory(medium));
    for (int save = 0; save < 4; ++save) {
      Mutate(root, random);
      root.Context().Save();
      ASSERT_EQ(DumpOf(reopen()), Dump(root.Context().Database())) << "save " << save;
      root = FocusOf(ZORSimStorage::Open(reopen()));
    }
    RemoveDatabaseFile(file);
  }
}

// Every fault of the store at every write of a save either is reported, leaving the saved state
// as it was and the save repeatable, or (a short write the medium hides) is refused on open.
TEST(ZORSimStorage, EveryFaultAtEveryWriteEndsInAnErrorOrTheOldState) {
  const auto medium = std::make_shared<ZORSimMemoryStore::Medium>();
  {
    std::mt19937 random(9);
    const ZORSrvPosition root = CreateOn(Memory(medium));
    Mutate(root, random);
    root.Context().Save();
  }
  const std::string before = DumpOf(Memory(medium));
  // One trial: opens a copy of the saved state through a fault store, changes it the same way
  // every time, and saves with the fault armed. Returns whether the save reported an error.
  const auto trial = [&](ZORSimFault fault, std::int64_t at, std::string* after,
                         std::int64_t* writes) {
    const auto copy = std::make_shared<ZORSimMemoryStore::Medium>(*medium);
    auto store = std::make_unique<ZORSimFaultStore>(Memory(copy));
    ZORSimFaultStore& faults = *store;
    const ZORSrvPosition root = FocusOf(ZORSimStorage::Open(std::move(store)));
    std::mt19937 random(17);
    Mutate(root, random);
    faults.Arm(fault, at);
    bool failed = false;
    try {
      root.Context().Save();
    } catch (const ZORSimError& error) {
      failed = true;
      EXPECT_EQ(error.Kind(), ZORSimErrorKind::kIO) << error.what();
      EXPECT_EQ(DumpOf(Memory(copy)), before) << "fault " << int(fault) << " at " << at;
      faults.Arm(ZORSimFault::kNone, 0);
      root.Context().Save();
    }
    if (writes) *writes = faults.Writes();
    try {
      const std::string saved = DumpOf(Memory(copy));
      if (after && after->empty()) *after = saved;
      EXPECT_TRUE(after && saved == *after) << "fault " << int(fault) << " at " << at;
    } catch (const ZORSimError& error) {
      EXPECT_TRUE(fault == ZORSimFault::kShortWrite && !failed) << error.what();
    }
    return failed;
  };
  std::string after;
  std::int64_t writes = 0;
  EXPECT_FALSE(trial(ZORSimFault::kNone, 0, &after, &writes));
  ASSERT_NE(after, before);
  for (std::int64_t at = 0; at < writes; ++at) {
    EXPECT_TRUE(trial(ZORSimFault::kFailWrite, at, &after, nullptr)) << at;
    trial(ZORSimFault::kShortWrite, at, &after, nullptr);
  }
  EXPECT_TRUE(trial(ZORSimFault::kFailSync, 0, &after, nullptr));
  for (const std::int64_t budget : {0, 100, 1000})
    EXPECT_TRUE(trial(ZORSimFault::kDiskFull, budget, &after, nullptr)) << budget;
}

TEST(ZORSimStorage, FirstSaveThatFailsLeavesNoFileAndCanBeRepeated) {
  const auto medium = std::make_shared<ZORSimMemoryStore::Medium>();
  auto store = std::make_unique<ZORSimFaultStore>(Memory(medium));
  ZORSimFaultStore& faults = *store;
  const ZORSrvPosition root = CreateOn(std::move(store));
  MakeNodalDrawer(root, 5, 2);
  for (const ZORSimFault fault : {ZORSimFault::kFailWrite, ZORSimFault::kFailSync}) {
    faults.Arm(fault, faults.Writes() + 40);
    EXPECT_THROW(root.Context().Save(), ZORSimError);
    EXPECT_TRUE(Memory(medium)->Meta("format").empty());
  }
  faults.Arm(ZORSimFault::kNone, 0);
  root.Context().Save();
  EXPECT_EQ(DumpOf(Memory(medium)), Dump(root.Context().Database()));
}

// Truncations, flipped bits, every kind of deleted row (meta, objects, associations, value
// blocks) and a changed byte in each kind of row end in ZORSimError or read back exactly what
// was saved; a deleted row never reads.
TEST(ZORSimStorage, DamagedFilesAreRefusedOrReadIntact) {
  const std::string file = SavedRandomFile("intact.db", 21);
  const std::string intact = DumpOfFile(file);
  const std::string bytes = ReadFile(file);
  const std::string damaged = ScratchFile("damaged.db");
  std::vector<std::pair<std::string, std::function<void()>>> cases;
  std::mt19937 random(5);
  for (int i = 0; i < 40; ++i) {
    const std::size_t length = i < 8 ? std::size_t(i) * 4096 : random() % bytes.size();
    cases.emplace_back("cut at " + std::to_string(length),
                       [&, length] { WriteFile(damaged, bytes.substr(0, length)); });
  }
  for (int i = 0; i < 80; ++i) {
    const std::size_t at = random() % bytes.size();
    const char bit = static_cast<char>(1 << (random() % 8));
    cases.emplace_back("flip at " + std::to_string(at), [&, at, bit] {
      std::string flipped = bytes;
      flipped[at] = static_cast<char>(flipped[at] ^ bit);
      WriteFile(damaged, flipped);
    });
  }
  const std::vector<std::string> edits = {
      "DELETE FROM meta WHERE key='version'", "DELETE FROM meta WHERE key='objects'",
      "DELETE FROM meta WHERE key='associations'", "DELETE FROM objects WHERE id=1",
      "DELETE FROM objects WHERE id=40",
      "DELETE FROM objects WHERE id=(SELECT max(id) FROM objects)",
      "DELETE FROM associations WHERE id=(SELECT min(id) FROM associations)",
      "DELETE FROM associations WHERE id=(SELECT max(id) FROM associations)",
      "DELETE FROM blocks WHERE (drawer, block)=(SELECT drawer, max(block) FROM blocks)",
      "DELETE FROM blocks WHERE (drawer, block)=(SELECT drawer, min(block) FROM blocks)",
      // One changed byte in a row of each kind, which only its checksum can tell.
      "UPDATE objects SET body = substr(body, 1, 8) || X'A5' || substr(body, 10) WHERE id = 40",
      "UPDATE associations SET body = X'A5' || substr(body, 2) WHERE id = (SELECT max(id) FROM "
      "associations)",
      "UPDATE blocks SET body = substr(body, 1, 99) || X'A5' || substr(body, 101) WHERE block = 1"};
  for (const std::string& sql : edits)
    cases.emplace_back(sql, [&, sql] {
      WriteFile(damaged, bytes);
      RunSql(damaged, sql);
    });
  int refused = 0;
  int readIntact = 0;
  int wrong = 0;
  for (const auto& [label, damage] : cases) {
    RemoveDatabaseFile(damaged);
    damage();
    try {
      const bool same = DumpOfFile(damaged) == intact;
      readIntact += same ? 1 : 0;
      wrong += same ? 0 : 1;
      EXPECT_TRUE(same && label.rfind("DELETE", 0) != 0) << label << " was read";
    } catch (const ZORSimError& error) {
      ++refused;
      EXPECT_NE(std::string(error.what()).find(damaged), std::string::npos) << error.what();
    }
  }
  std::printf("damaged-file sweep: %zu cases, %d refused, %d read intact, %d silently wrong\n",
              cases.size(), refused, readIntact, wrong);
  RemoveDatabaseFile(damaged);
  RemoveDatabaseFile(file);
}

// A saved database holding one nodal drawer of 200,000 nodes x 3 components whose values are
// node * 3 + component.
class ZORSimStorageTest : public ::testing::Test {
 protected:
  static constexpr int kNodes = 200'000;
  void SetUp() override {
    file_ = ScratchFile("storage.db");
    RemoveDatabaseFile(file_);
    root_ = CreateDatabase(file_);
    drawer_ = MakeNodalDrawer(root_, kNodes, 3);
    std::vector<double> values(kNodes * 3);
    for (int i = 0; i < kNodes * 3; ++i) values[i] = i;
    WriteValues(root_, drawer_, ZORSimCollection(root_.Context(), drawer_.nodes).BiggestCSetID(),
                values);
    root_.Context().Save();
  }
  void TearDown() override { RemoveDatabaseFile(file_); }

  NodalDrawer Reopened(const ZORSrvPosition& root) const {
    NodalDrawer d = drawer_;
    d.nodes = ZORSimCollectionID(SameObjectIn(root, drawer_.nodes.id));
    d.distribution = ZORSimDistributionID(SameObjectIn(root, drawer_.distribution.id));
    d.drawer = ZORSimDrawerID(SameObjectIn(root, drawer_.drawer.id));
    d.componentSet =
        ZORSimCollection(root.Context(), ComponentCollection(root)).CreateCSetStrided(0, 3, 1, 1);
    return d;
  }
  double ValueAt(const ZORSrvPosition& root, int node, int component) const {
    const NodalDrawer d = Reopened(root);
    const int member[] = {node};
    return ReadValues(root, d,
                      ZORSimCollection(root.Context(), d.nodes)
                          .CreateTempOrderedCSet(member, 1))[static_cast<std::size_t>(component)];
  }

  std::string file_;
  ZORSrvPosition root_;
  NodalDrawer drawer_;
};

TEST_F(ZORSimStorageTest, ReopenedDatabaseHoldsWhatWasSaved) {
  const ZORSrvPosition reopened = ZORSrvSimAccess().Open(file_);
  EXPECT_EQ(ZORSimCollection(reopened.Context(), ComponentCollection(reopened)).Space(), 38);
  EXPECT_EQ(ValueAt(reopened, 0, 0), 0.0);
  EXPECT_EQ(ValueAt(reopened, 123'456, 2), 123'456 * 3 + 2);
  EXPECT_EQ(ValueAt(reopened, kNodes - 1, 1), (kNodes - 1) * 3 + 1);
  const ZORSimCollectionID fieldTypes =
      ZORSrvPosition(reopened, reopened.Follow(ZORSimKeys::kFieldTypeCollection, 0))
          .GetCollection();
  EXPECT_EQ(ZORSrvPosition(reopened,
                           ZORSimSymbols(reopened.Context())
                               .Get(ZORSimTypeID(ZORSimKeys::kFieldTypeSymbol), 621, fieldTypes))
                .GetSymbolName(),
            "U_D");
}

TEST_F(ZORSimStorageTest, OpenReadsValuesOnlyWhenTheyAreUsed) {
  const ZORSrvPosition reopened = ZORSrvSimAccess().Open(file_);
  EXPECT_EQ(reopened.Context().Database().LoadedBlockCount(), 0);
  ValueAt(reopened, 5, 0);
  EXPECT_EQ(reopened.Context().Database().LoadedBlockCount(), 1);
}

TEST_F(ZORSimStorageTest, SecondSaveWritesOnlyWhatChanged) {
  const ZORSrvPosition reopened = ZORSrvSimAccess().Open(file_);
  NodalDrawer d = Reopened(reopened);
  const int member[] = {7};
  WriteValues(reopened, d,
              ZORSimCollection(reopened.Context(), d.nodes).CreateTempOrderedCSet(member, 1),
              {-1, -2, -3});
  reopened.Context().Save();
  const std::int64_t written = reopened.Context().Database().LastSaveBytes();
  EXPECT_GT(written, 0);
  EXPECT_LE(written, 2 * (1 << 20));  // one value block and a little metadata, not 4.8 MB
  const ZORSrvPosition third = ZORSrvSimAccess().Open(file_);
  EXPECT_EQ(ValueAt(third, 7, 1), -2.0);
  EXPECT_EQ(ValueAt(third, 8, 1), 25.0);
}

TEST_F(ZORSimStorageTest, CreateOverAnExistingFileKeepsItUntilTheFirstSave) {
  const std::string before = ReadFile(file_);
  const ZORSrvPosition replacement = CreateDatabase(file_);
  replacement.CreateDataRecord(ZORSimKeys::kHistoryRecord);
  EXPECT_EQ(ReadFile(file_), before);
  EXPECT_EQ(ValueAt(ZORSrvSimAccess().Open(file_), 10, 0), 30.0);
  replacement.Context().Save();
  const ZORSrvPosition reopened = ZORSrvSimAccess().Open(file_);
  EXPECT_LT(reopened.Context().Database().ObjectCount(), root_.Context().Database().ObjectCount());
}

TEST_F(ZORSimStorageTest, OpenReaderKeepsItsStateWhileAnotherSaves) {
  const ZORSrvPosition reader = ZORSrvSimAccess().Open(file_);
  const ZORSrvPosition writer = ZORSrvSimAccess().Open(file_);
  NodalDrawer d = Reopened(writer);
  std::vector<double> values(kNodes * 3, -5.0);
  WriteValues(writer, d, ZORSimCollection(writer.Context(), d.nodes).BiggestCSetID(), values);
  writer.Context().Save();
  EXPECT_EQ(ValueAt(reader, 150'000, 0), 450'000.0);
  EXPECT_EQ(ValueAt(ZORSrvSimAccess().Open(file_), 150'000, 0), -5.0);
}

TEST_F(ZORSimStorageTest, UnsavedChangesAreNotInTheFile) {
  const int member[] = {3};
  WriteValues(root_, drawer_,
              ZORSimCollection(root_.Context(), drawer_.nodes).CreateTempOrderedCSet(member, 1),
              {1, 1, 1});
  EXPECT_EQ(ValueAt(ZORSrvSimAccess().Open(file_), 3, 0), 9.0);
}

TEST(ZORSimStorage, RemovedAndNewAssociationsSurviveRepeatedSaves) {
  const std::string file = ScratchFile("associations.db");
  RemoveDatabaseFile(file);
  const ZORSrvPosition root = CreateDatabase(file);
  const ZORSimDynamicID first = root.CreateDataRecord(ZORSimKeys::kHistoryRecord);
  root.Associate(ZORSimKeys::kHistory, 1, first);
  root.Context().Save();
  for (int round = 0; round < 3; ++round) {
    const ZORSrvPosition opened = ZORSrvSimAccess().Open(file);
    const ZORSimDynamicID old = opened.Follow(ZORSimKeys::kHistory, 1);
    ASSERT_FALSE(old.IsEmpty()) << "round " << round;
    opened.Remove(ZORSimKeys::kHistory, 1, old);
    opened.Associate(ZORSimKeys::kHistory, 1, opened.CreateDataRecord(ZORSimKeys::kHistoryRecord));
    opened.Context().Save();
    opened.Remove(ZORSimKeys::kHistory, 1, opened.Follow(ZORSimKeys::kHistory, 1));
    opened.Associate(ZORSimKeys::kHistory, 1, old);
    opened.Context().Save();
    const ZORSrvPosition check = ZORSrvSimAccess().Open(file);
    ASSERT_EQ(check.FollowList(ZORSimKeys::kHistory, 1).Size(), 1) << "round " << round;
    EXPECT_EQ(check.Follow(ZORSimKeys::kHistory, 1).object, old.object) << "round " << round;
  }
  RemoveDatabaseFile(file);
}

TEST(ZORSimStorage, RowIdsOfAssociationsNeverSizeMemory) {
  const std::string file = ScratchFile("rowids.db");
  RemoveDatabaseFile(file);
  const ZORSrvPosition root = CreateDatabase(file);
  root.Associate(ZORSimKeys::kHistory, 1, root.CreateDataRecord(ZORSimKeys::kHistoryRecord));
  root.Context().Save();
  ZORSrvSimAccess().Close(root);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "UPDATE associations SET id = 1000000000000000 WHERE id = (SELECT max(id) "
                         "FROM associations)",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  const ZORSrvPosition reopened = ZORSrvSimAccess().Open(file);
  EXPECT_FALSE(reopened.Follow(ZORSimKeys::kHistory, 1).IsEmpty());
  RemoveDatabaseFile(file);
}

}  // namespace
