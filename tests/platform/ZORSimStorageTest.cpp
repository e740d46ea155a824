#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <numeric>
#include <random>

#include "platform/impl/ZORSimFaultStore.h"
#include "platform/impl/ZORSimSqliteStore.h"
#include "platform/impl/ZORSimValues.h"
#include "tests/platform/PlatformTestDatabase.h"

namespace {

std::string DumpOfFile(const std::string& file) {
  return DumpOf(ZORSimSqliteStore::OpenFile(file));
}

// A saved file of random content: drawers of one and of several value blocks (one of them
// always written), history records.
std::string SavedRandomFile(const std::string& name, unsigned seed) {
  const std::string file = ScratchFile(name);
  RemoveDatabaseFile(file);
  std::mt19937 random(seed);
  const ZORSrvPosition root = CreateDatabase(file);
  const NodalDrawer drawer = MakeNodalDrawer(root, 300'000, 1);
  Mutate(root, random);
  std::vector<double> values(300'000);
  std::iota(values.begin(), values.end(), 1.0);
  WriteValues(root, drawer, ZORSimCollection(root.Context(), drawer.nodes).BiggestCSetID(), values);
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

// A failed save, the first (no file yet) or a later one, leaves what was saved before and can be
// repeated, in memory and on a file, where the failure must roll back the batch it opened.
TEST(ZORSimStorage, FailedSavesLeaveTheSavedStateAndCanBeRepeated) {
  const std::string file = ScratchFile("repeated.db");
  for (const bool onFile : {false, true}) {
    SCOPED_TRACE(onFile ? "file" : "memory");
    RemoveDatabaseFile(file);
    const auto medium = std::make_shared<ZORSimMemoryStore::Medium>();
    const auto saved = [&] { return onFile ? DumpOfFile(file) : DumpOf(Memory(medium)); };
    std::unique_ptr<ZORSimStore> inner = Memory(medium);
    if (onFile) inner = ZORSimSqliteStore::ForNewFile(file);
    auto store = std::make_unique<ZORSimFaultStore>(std::move(inner));
    ZORSimFaultStore& faults = *store;
    const ZORSrvPosition root = CreateOn(std::move(store));
    std::string before;  // nothing before the first save
    for (int save = 0; save < 2; ++save) {
      MakeNodalDrawer(root, 5, 2);
      for (const ZORSimFault fault : {ZORSimFault::kFailWrite, ZORSimFault::kFailSync}) {
        faults.Arm(fault, faults.Writes() + (save == 0 ? 40 : 2));
        EXPECT_THROW(root.Context().Save(), ZORSimError);
        if (save == 0) {
          EXPECT_TRUE(onFile ? !std::filesystem::exists(file)
                             : Memory(medium)->Meta("format").empty());
        } else {
          EXPECT_EQ(saved(), before);
        }
      }
      faults.Arm(ZORSimFault::kNone, 0);
      root.Context().Save();
      before = saved();
      EXPECT_EQ(before, Dump(root.Context().Database())) << save;
    }
  }
  RemoveDatabaseFile(file);
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
  for (int i = 0; i < 120; ++i) {
    // Cuts at the first pages and anywhere, and single flipped bits anywhere.
    const std::size_t at = i < 8 ? std::size_t(i) * 4096 : random() % bytes.size();
    const char bit = i < 40 ? 0 : static_cast<char>(1 << (random() % 8));
    cases.emplace_back((bit ? "flip at " : "cut at ") + std::to_string(at), [&, at, bit] {
      std::string copy = bit ? bytes : bytes.substr(0, at);
      if (bit) copy[at] = static_cast<char>(copy[at] ^ bit);
      WriteFile(damaged, copy);
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
      "UPDATE blocks SET body = substr(body, 1, 99) || X'A5' || substr(body, 101) WHERE block = 1",
      // A block cut to one byte, with the checksum of that byte, which only its size can tell.
      "UPDATE blocks SET body = X'00', crc = 3523407757 WHERE block = 1"};
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

// Values load on use; an open database keeps its state while another saves over the file; a
// save writes only the changed block; a database created over a file replaces it at its first
// save only, and only once no other database of the process has that file open.
TEST(ZORSimStorage, SavesWriteOnlyChangesAndLeaveOtherOpenStatesAlone) {
  const GenerationFile file("snapshot.db");
  file.Save(1);
  const ZORSrvPosition reader = ZORSrvSimAccess().Open(file.file);
  EXPECT_EQ(reader.Context().Database().LoadedBlockCount(), 0);
  EXPECT_EQ(file.ValueAt(reader, 5), 1.0);
  EXPECT_EQ(reader.Context().Database().LoadedBlockCount(), 1);
  file.Save(2);
  EXPECT_EQ(file.ValueAt(reader, 300'000), 1.0);
  const ZORSrvPosition root = ZORSrvSimAccess().Open(file.file);
  const int member[] = {7};
  WriteValues(
      root, file.In(root),
      ZORSimCollection(root.Context(), file.In(root).nodes).CreateTempOrderedCSet(member, 1), {-1});
  EXPECT_EQ(file.Read(), 2);
  root.Context().Save();
  EXPECT_LE(root.Context().Database().LastSaveBytes(), 2 << 20);  // one block, not 3.2 MB
  EXPECT_EQ(file.ValueAt(ZORSrvSimAccess().Open(file.file), 7), -1.0);
  const std::string before = ReadFile(file.file);
  const ZORSrvPosition replacement = CreateDatabase(file.file);
  replacement.CreateDataRecord(ZORSimKeys::kHistoryRecord);
  EXPECT_EQ(ReadFile(file.file), before);
  for (const ZORSrvPosition& open : {reader, root}) {
    const ZORSimError error = ErrorOf([&] { replacement.Context().Save(); },
                                      "saved over a file another database has open");
    EXPECT_EQ(error.Kind(), ZORSimErrorKind::kInvalidArgument);
    EXPECT_NE(std::string(error.what()).find("has that file open"), std::string::npos);
    EXPECT_EQ(ReadFile(file.file), before);
    ZORSrvSimAccess().Close(open);
  }
  replacement.Context().Save();
  EXPECT_EQ(ZORSrvSimAccess().Open(file.file).FollowList(ZORSimKeys::kHistory, 1).Size(), 0);
}

// A drawer grown by appended members whose last block was cut short by the old count reads, saves
// and reopens whole: when nothing is written into the grown part, when the write lands past the
// short block only, on a database still being made and on one reopened from its saved state.
TEST(ZORSimStorage, DrawersGrownPastAShortLastBlockSaveAndReopenWhole) {
  // Three components per node; 43,690 nodes end 16 bytes before the first block's end, so the
  // appended node's third component is the first value of the second block.
  const struct {
    int nodes;
    std::vector<int> columns;  // of the appended node, written
  } cases[] = {{6, {}}, {6, {1}}, {43'690, {}}, {43'690, {2}}};
  for (const auto& growth : cases)
    for (const bool reopenFirst : {false, true}) {
      SCOPED_TRACE("nodes " + std::to_string(growth.nodes) + ", columns written " +
                   std::to_string(growth.columns.size()) + (reopenFirst ? ", reopened" : ""));
      const auto medium = std::make_shared<ZORSimMemoryStore::Medium>();
      ZORSrvPosition root = CreateOn(Memory(medium));
      NodalDrawer drawer = MakeNodalDrawer(root, growth.nodes, 3);
      std::vector<double> old(static_cast<std::size_t>(growth.nodes) * 3);
      std::iota(old.begin(), old.end(), 1.0);
      ZORSimCollection nodes(root.Context(), drawer.nodes);
      WriteValues(root, drawer, nodes.BiggestCSetID(), old);
      if (reopenFirst) {
        root.Context().Save();
        root = FocusOf(ZORSimStorage::Open(Memory(medium)));
        drawer = SameDrawerIn(root, drawer, 3);
        nodes = ZORSimCollection(root.Context(), drawer.nodes);
      }
      nodes.ExtendSpace(growth.nodes + 1);
      const int appended[] = {growth.nodes};
      NodalDrawer part = drawer;
      part.componentSet = ZORSimCollection(root.Context(), ComponentCollection(root))
                              .CreateTempOrderedCSet(growth.columns.data(),
                                                     static_cast<int>(growth.columns.size()));
      WriteValues(root, part, nodes.CreateTempOrderedCSet(appended, 1),
                  std::vector<double>(growth.columns.size(), -7.0), true);
      std::vector<double> expected = old;
      expected.resize(old.size() + 3, 0.0);
      for (const int column : growth.columns) expected[old.size() + column] = -7.0;
      const ZORSimCSetID all =
          ZORSimCollection(root.Context(), drawer.nodes)
              .CreateTempCSetStrided(0, static_cast<int>(expected.size() / 3), 1, 1);
      EXPECT_EQ(ReadValues(root, drawer, all), expected);
      root.Context().Save();
      EXPECT_EQ(DumpOf(Memory(medium)), Dump(root.Context().Database()));
    }
}

// A read that takes whole blocks copies them from the file into the caller's buffer and keeps
// none; a read of part of a block keeps that block. Both see the same values, at every offset,
// and both refuse a block whose bytes no longer match its checksum.
TEST(ZORSimStorage, WholeBlocksAreReadThroughAndPartBlocksKept) {
  const GenerationFile file("readthrough.db");
  std::vector<double> written(GenerationFile::kNodes);
  std::iota(written.begin(), written.end(), 0.5);
  {
    const ZORSrvPosition root = ZORSrvSimAccess().Open(file.file);
    WriteValues(root, file.In(root), file.AllNodes(root), written);
    root.Context().Save();
  }
  const ZORSrvPosition reader = ZORSrvSimAccess().Open(file.file);
  const ZORSimDatabase& database = reader.Context().Database();
  EXPECT_EQ(ReadValues(reader, file.In(reader), file.AllNodes(reader)), written);
  EXPECT_EQ(database.LoadedBlockCount(), 0);
  // Members from the end of the first block into the second: a part of each.
  constexpr int kPerBlock = static_cast<int>(ZORSimValues::kBlockBytes / sizeof(double));
  std::vector<int> members(200);
  std::iota(members.begin(), members.end(), kPerBlock - 100);
  const std::vector<double> part =
      ReadValues(reader, file.In(reader),
                 ZORSimCollection(reader.Context(), file.In(reader).nodes)
                     .CreateTempOrderedCSet(members.data(), static_cast<int>(members.size())));
  EXPECT_EQ(part, std::vector<double>(written.begin() + (kPerBlock - 100),
                                      written.begin() + (kPerBlock + 100)));
  EXPECT_EQ(database.LoadedBlockCount(), 2);
  EXPECT_EQ(ReadValues(reader, file.In(reader), file.AllNodes(reader)), written);
  EXPECT_EQ(database.LoadedBlockCount(), 2);

  RunSql(file.file, "UPDATE blocks SET body = randomblob(length(body)) WHERE block = 2");
  const ZORSrvPosition damaged = ZORSrvSimAccess().Open(file.file);
  const std::string error =
      ErrorOf([&] { ReadValues(damaged, file.In(damaged), file.AllNodes(damaged)); },
              "a damaged block was read")
          .what();
  EXPECT_NE(error.find("checksum mismatch in block 2"), std::string::npos) << error;
}

// The block cursor of a file steps on to the next block of the drawer it read and seeks any
// other: reads in order, backwards, shuffled, across drawers and past a drawer's last block
// each return what a first read of a freshly opened file returns.
TEST(ZORSimStorage, BlockReadsInAnyOrderReturnWhatAFreshReadReturns) {
  using Key = std::pair<std::int64_t, std::int64_t>;
  const std::string file = ScratchFile("cursor.db");
  RemoveDatabaseFile(file);
  {
    const ZORSrvPosition root = CreateDatabase(file);
    double next = 0.5;
    for (const auto& [nodes, components] : {std::pair{300'000, 1}, std::pair{200'000, 2}}) {
      const NodalDrawer drawer = MakeNodalDrawer(root, nodes, components);
      std::vector<double> values(static_cast<std::size_t>(nodes * components));
      for (double& value : values) value = next++;
      WriteValues(root, drawer, ZORSimCollection(root.Context(), drawer.nodes).BiggestCSetID(),
                  values);
    }
    root.Context().Save();
  }
  std::vector<Key> keys;
  ZORSimSqliteStore::OpenFile(file)->Scan(
      ZORSimTable::kBlocks, [&](const ZORSimRow& row) { keys.emplace_back(row.key, row.block); });
  std::map<Key, std::string> fresh;
  const auto bytesOf = [](const ZORSimRow& row) {
    return std::string(reinterpret_cast<const char*>(row.body), row.size) + std::to_string(row.crc);
  };
  for (const Key& key : keys)
    ZORSimSqliteStore::OpenFile(file)->ReadBlock(
        key.first, key.second, [&](const ZORSimRow& row) { fresh[key] = bytesOf(row); });
  ASSERT_EQ(keys.size(), 7U);  // blocks of 1 MB: 3 of the first drawer, 4 of the second
  ASSERT_EQ(fresh.size(), keys.size());

  std::vector<Key> reads = keys;
  reads.insert(reads.end(), keys.rbegin(), keys.rend());
  std::vector<Key> shuffled = keys;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(6));
  reads.insert(reads.end(), shuffled.begin(), shuffled.end());
  for (const Key& key : keys) {
    reads.push_back(key);
    reads.emplace_back(key.first, key.second + 1);
    reads.emplace_back(key.first + 1, 0);
  }
  {
    const auto store = ZORSimSqliteStore::OpenFile(file);
    for (const Key& key : reads) {
      std::string bytes;
      const bool found = store->ReadBlock(key.first, key.second,
                                          [&](const ZORSimRow& row) { bytes = bytesOf(row); });
      const auto expected = fresh.find(key);
      ASSERT_EQ(found, expected != fresh.end()) << key.first << " " << key.second;
      if (found) {
        EXPECT_EQ(bytes, expected->second) << key.first << " " << key.second;
      }
    }
  }
  RemoveDatabaseFile(file);
}

// A row id is a number in the file, not a position: a huge one must not size memory. An
// association to an object the file no longer holds is refused even when the counts agree.
TEST(ZORSimStorage, AssociationRowsNeitherSizeMemoryNorPointPastTheObjects) {
  const GenerationFile file("rowids.db");
  file.Save(1);
  RunSql(file.file,
         "UPDATE associations SET id = 1000000000000000 WHERE id = (SELECT max(id) FROM "
         "associations)");
  int markers = 0;
  EXPECT_EQ(file.Read(&markers), 1);
  EXPECT_EQ(markers, 1);
  // The last object is the history record of the save, which only an association names.
  RunSql(file.file,
         "DELETE FROM objects WHERE id = (SELECT max(id) FROM objects); "
         "UPDATE meta SET value = value - 1 WHERE key = 'objects'");
  EXPECT_THROW(file.Read(), ZORSimError);
}

}  // namespace
