#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <iterator>
#include <random>

#include "platform/ZORSimAPI.h"
#include "platform/ZORSimSchemaKeys.h"
#include "tests/platform/PlatformTestDatabase.h"

namespace {

std::vector<char> ReadFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& file, const std::vector<char>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
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
  const std::vector<char> before = ReadFile(file_);
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

TEST_F(ZORSimStorageTest, BadFilesAreRefusedWithTheirName) {
  const auto expectRefusal = [](const std::string& file, const char* what) {
    try {
      ZORSrvSimAccess().Open(file);
      ADD_FAILURE() << what << " was opened";
    } catch (const ZORSimError& error) {
      EXPECT_NE(std::string(error.what()).find(file), std::string::npos) << error.what();
    }
  };
  expectRefusal(ScratchFile("missing.db"), "a missing file");
  const std::string empty = ScratchFile("empty.db");
  WriteFile(empty, {});
  expectRefusal(empty, "an empty file");
  const std::string foreign = ScratchFile("foreign.db");
  const std::string text = "this is a text file, not a database\n";
  WriteFile(foreign, std::vector<char>(text.begin(), text.end()));
  expectRefusal(foreign, "a text file");
  RemoveDatabaseFile(empty);
  RemoveDatabaseFile(foreign);
}

TEST_F(ZORSimStorageTest, TruncatedFilesAreRefusedOrReadCorrectly) {
  const std::vector<char> whole = ReadFile(file_);
  const std::string damaged = ScratchFile("truncated.db");
  std::mt19937 random(11);
  for (int trial = 0; trial < 12; ++trial) {
    const std::size_t length =
        std::uniform_int_distribution<std::size_t>(0, whole.size() - 1)(random);
    RemoveDatabaseFile(damaged);
    WriteFile(damaged, std::vector<char>(whole.begin(),
                                         whole.begin() + static_cast<std::ptrdiff_t>(length)));
    try {
      const ZORSrvPosition opened = ZORSrvSimAccess().Open(damaged);
      // What opens must never give wrong values.
      EXPECT_EQ(ValueAt(opened, kNodes - 1, 2), (kNodes - 1) * 3 + 2) << "cut at " << length;
    } catch (const ZORSimError&) {
    }
  }
  RemoveDatabaseFile(damaged);
}

TEST_F(ZORSimStorageTest, FlippedBytesAreReportedNotReturned) {
  const std::vector<char> whole = ReadFile(file_);
  const std::string damaged = ScratchFile("flipped.db");
  std::mt19937 random(5);
  int refused = 0;
  for (int trial = 0; trial < 24; ++trial) {
    std::vector<char> bytes = whole;
    const std::size_t at =
        std::uniform_int_distribution<std::size_t>(100, bytes.size() - 1)(random);
    bytes[at] = static_cast<char>(bytes[at] ^ (1 << (trial % 8)));
    RemoveDatabaseFile(damaged);
    WriteFile(damaged, bytes);
    try {
      const ZORSrvPosition opened = ZORSrvSimAccess().Open(damaged);
      for (int node = 0; node < kNodes; node += 9973) {
        ASSERT_EQ(ValueAt(opened, node, 0), node * 3.0) << "flip at " << at;
        ASSERT_EQ(ValueAt(opened, node, 2), node * 3.0 + 2) << "flip at " << at;
      }
    } catch (const ZORSimError&) {
      ++refused;
    }
  }
  EXPECT_GT(refused, 0);
  RemoveDatabaseFile(damaged);
}

TEST(ZORSimStorage, NewerFormatVersionIsRefused) {
  const std::string file = ScratchFile("newer.db");
  RemoveDatabaseFile(file);
  const ZORSrvPosition root = CreateDatabase(file);
  root.Context().Save();
  ZORSrvSimAccess().Close(root);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(
      sqlite3_exec(db, "UPDATE meta SET value='99' WHERE key='version'", nullptr, nullptr, nullptr),
      SQLITE_OK);
  sqlite3_close(db);
  try {
    ZORSrvSimAccess().Open(file);
    ADD_FAILURE() << "a newer format was opened";
  } catch (const ZORSimError& error) {
    EXPECT_NE(std::string(error.what()).find("version 99"), std::string::npos) << error.what();
  }
  RemoveDatabaseFile(file);
}

}  // namespace

namespace {

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
