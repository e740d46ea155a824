#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/ZORSimAPI.h"
#include "platform/ZORSimSchemaKeys.h"
#include "platform/impl/ZORSimByteWriter.h"
#include "platform/impl/ZORSimDatabase.h"
#include "platform/impl/ZORSimMemoryStore.h"
#include "platform/impl/ZORSimStorage.h"
#include "writer/impl/ZORDataDictionary.h"

// Databases made from the data dictionary in a scratch folder or in memory, a nodal drawer to
// move values through, a byte dump that tells two databases' contents apart, random changes of
// the kinds a writer makes, and a file whose saves can be told apart when read back.
inline std::string ScratchFile(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir ? dir : "/tmp") + "/zorsim-" + std::to_string(::getpid()) + "-" + name;
}

inline void RemoveDatabaseFile(const std::string& file) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((file + suffix).c_str());
}

// A scratch database removed, with whatever SQLite kept beside it, when the test ends; declared
// before the positions that open it, so that they have closed it by then.
struct RemovedAtEnd {
  std::string name;
  explicit RemovedAtEnd(std::string file) : name(std::move(file)) {}
  RemovedAtEnd(const RemovedAtEnd&) = delete;
  RemovedAtEnd& operator=(const RemovedAtEnd&) = delete;
  ~RemovedAtEnd() { RemoveDatabaseFile(name); }
};

inline std::string ReadFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::string& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// Edits a saved file behind the library's back.
inline void RunSql(const std::string& file, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  sqlite3_close(db);
}

// The error `action` throws; the test fails, saying what `action` did instead, when it throws none.
inline ZORSimError ErrorOf(const std::function<void()>& action, const std::string& instead) {
  try {
    action();
  } catch (const ZORSimError& error) {
    return error;
  }
  ADD_FAILURE() << instead;
  return ZORSimError("no error");
}

inline ZORSrvPosition CreateDatabase(const std::string& file) {
  ZORSrvSimAccess access;
  access.SetSchema(eds_SSDLallSource_Get());
  return access.Create(file, "Input", ZORDataDictionaryText(), "anchor:focus");
}

inline ZORSimCollectionID ComponentCollection(const ZORSrvPosition& root) {
  return ZORSrvPosition(root, root.Follow(ZORSimKeys::kComponentCollection, 0)).GetCollection();
}

// A node collection and a distribution [nodes, components] with one drawer over every node and
// the first `components` components.
struct NodalDrawer {
  ZORSimCollectionID nodes;
  ZORSimDistributionID distribution;
  ZORSimDrawerID drawer;
  ZORSimCSetID componentSet;
};

inline NodalDrawer MakeNodalDrawer(const ZORSrvPosition& root, int nodeCount, int components) {
  NodalDrawer made;
  made.nodes = root.CreateTypedCollection(0, ZORSimKeys::kNodeCollectionType);
  ZORSimCollection nodes(root.Context(), made.nodes);
  nodes.ExtendSpace(nodeCount);
  made.distribution =
      root.CreateTypedDistribution({made.nodes, ComponentCollection(root)},
                                   ZORSimKeys::kCoordinateDistributionType, ZORSimRangeType(2));
  made.componentSet = ZORSimCollection(root.Context(), ComponentCollection(root))
                          .CreateCSetStrided(0, components, 1, 1);
  ZORSimTransfer make(root.Context(), made.distribution);
  make.SetMakeNewDrawerChunked({nodeCount, components});
  make.SetExtendableDim(0);
  make.SetDims({nodes.BiggestCSetID(), made.componentSet});
  make.ExecMake();
  made.drawer = make.DrawerID();
  return made;
}

// Moves the doubles of `values` to or from the members `nodes` of the drawer; the library
// checks that the buffer's length fits the view.
inline void Move(const ZORSrvPosition& root, const NodalDrawer& d, const ZORSimCSetID& nodes,
                 std::vector<double>& values, bool write, bool autoExtend = false) {
  ZORSimTransfer transfer(root.Context(), d.distribution);
  write ? transfer.SetWrite() : transfer.SetRead();
  transfer.SetBufferType(2);
  transfer.SetAutoExtend(autoExtend);
  transfer.SetDrawer(d.drawer);
  transfer.SetDims({nodes, d.componentSet});
  transfer.CheckView();
  transfer.SetBuffer(0, values.data(), static_cast<std::int64_t>(values.size() * sizeof(double)));
  write ? transfer.ExecWrite() : transfer.ExecRead();
}

inline void WriteValues(const ZORSrvPosition& root, const NodalDrawer& d, const ZORSimCSetID& nodes,
                        std::vector<double> values, bool autoExtend = false) {
  Move(root, d, nodes, values, true, autoExtend);
}

inline std::vector<double> ReadValues(const ZORSrvPosition& root, const NodalDrawer& d,
                                      const ZORSimCSetID& nodes) {
  std::vector<double> values(static_cast<std::size_t>(nodes.Size() * d.componentSet.Size()));
  Move(root, d, nodes, values, false);
  return values;
}

// Handles are tied to one open database; the same object of a reopened file has the same number.
inline ZORSimDynamicID SameObjectIn(const ZORSrvPosition& root, ZORSimDynamicID id) {
  return root.Context().Database().Handle(id.object);
}

// A nodal drawer of `components` components as another opening of its file sees it.
inline NodalDrawer SameDrawerIn(const ZORSrvPosition& root, const NodalDrawer& drawer,
                                int components) {
  return NodalDrawer{ZORSimCollectionID(SameObjectIn(root, drawer.nodes.id)),
                     ZORSimDistributionID(SameObjectIn(root, drawer.distribution.id)),
                     ZORSimDrawerID(SameObjectIn(root, drawer.drawer.id)),
                     ZORSimCollection(root.Context(), ComponentCollection(root))
                         .CreateCSetStrided(0, components, 1, 1)};
}

// Every object, association and value of a database as bytes: two databases hold the same
// content exactly when their dumps are equal. Loads every value block.
inline std::string Dump(ZORSimDatabase& db) {
  std::string out;
  for (std::int64_t n = 1; n < db.ObjectCount(); ++n) {
    ZORSimByteWriter writer;
    writer.Object(db.Object(n));
    out.append(writer.Bytes().begin(), writer.Bytes().end());
    const std::shared_ptr<ZORSimValues> values = db.Object(n).values;
    for (std::int64_t b = 0; values && b < values->BlockCount(); ++b) {
      const auto* data = reinterpret_cast<const char*>(db.BlockForRead(n, *values, b));
      const auto size = static_cast<std::size_t>(
          std::min(ZORSimValues::kBlockBytes, values->ByteCount() - b * ZORSimValues::kBlockBytes));
      out += data ? std::string(data, size) : std::string(size, '\0');
    }
  }
  for (std::int64_t i = 0; i < static_cast<std::int64_t>(db.MutableAssociations().size()); ++i) {
    if (!db.Association(i).alive) continue;
    ZORSimByteWriter writer;
    writer.Association(db.Association(i));
    out.append(writer.Bytes().begin(), writer.Bytes().end());
  }
  return out;
}

inline ZORSrvPosition FocusOf(const std::shared_ptr<ZORSimDatabase>& db) {
  return ZORSrvPosition(ZORSimContext(db), db->Handle(1));
}

// A new database that saves into `store` instead of a file.
inline ZORSrvPosition CreateOn(std::unique_ptr<ZORSimStore> store) {
  const ZORSrvPosition root = CreateDatabase(store->Name());
  root.Context().Database().AttachStorage(std::make_unique<ZORSimStorage>(std::move(store), false));
  return root;
}

inline std::unique_ptr<ZORSimStore> Memory(
    const std::shared_ptr<ZORSimMemoryStore::Medium>& medium) {
  return std::make_unique<ZORSimMemoryStore>("memory.db", medium);
}

inline std::string DumpOf(std::unique_ptr<ZORSimStore> store) {
  return Dump(*ZORSimStorage::Open(std::move(store)));
}

// One random change of the kinds a writer makes: a drawer over a new node collection (some of
// several value blocks), values written through a strided range or a shuffled member list, or a
// history record associated plainly, by int key or by string key, or removed again.
inline void MutateOnce(const ZORSrvPosition& root, std::mt19937& random, int action) {
  ZORSimDatabase& db = root.Context().Database();
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  std::vector<std::int64_t> drawers;
  for (std::int64_t n = 1; n < db.ObjectCount(); ++n)
    if (db.Object(n).kind == ZORSimObjectKind::kDrawer) drawers.push_back(n);
  if (action == 0 || drawers.empty()) {
    MakeNodalDrawer(root, pick(3) == 0 ? 140'000 + pick(200'000) : 1 + pick(40), 1 + pick(3));
  } else if (action == 1) {
    const std::int64_t number = drawers[random() % drawers.size()];
    const ZORSimObject& drawer = db.Object(number);
    const int count = drawer.dims[0].members->Size();
    ZORSimCollection nodes(root.Context(),
                           ZORSimCollectionID(db.Handle(drawer.dims[0].collection)));
    const int stride = 1 + pick(3), start = pick(count);
    ZORSimCSetID members =
        nodes.CreateTempCSetStrided(start, 1 + pick((count - start - 1) / stride + 1), stride, 1);
    if (pick(2) == 0) {
      std::vector<int> list(static_cast<std::size_t>(count));
      std::iota(list.begin(), list.end(), 0);
      std::shuffle(list.begin(), list.end(), random);
      members = nodes.CreateTempOrderedCSet(list.data(), 1 + pick(count));
    }
    const NodalDrawer view{nodes.ID(), ZORSimDistributionID(db.Handle(drawer.distribution)),
                           ZORSimDrawerID(db.Handle(number)),
                           ZORSimCSetID{ComponentCollection(root), drawer.dims[1].members}};
    std::vector<double> values(static_cast<std::size_t>(members.Size() * view.componentSet.Size()));
    for (double& v : values) v = static_cast<double>(random()) / 7.0;
    WriteValues(root, view, members, values);
  } else if (action == 2) {
    const ZORSimDynamicID record = root.CreateDataRecord(ZORSimKeys::kHistoryRecord);
    if (pick(3) == 0)
      root.Associate(ZORSimKeys::kHistory, 1, record, pick(100));
    else if (pick(2) == 0)
      root.Associate(ZORSimKeys::kHistory, 1, record, "step " + std::to_string(pick(100)));
    else
      root.Associate(ZORSimKeys::kHistory, 1, record);
  } else {
    const auto history = root.FollowList(ZORSimKeys::kHistory, 1).Items();
    if (!history.empty())
      root.Remove(ZORSimKeys::kHistory, 1,
                  history[static_cast<std::size_t>(pick(static_cast<int>(history.size())))]);
  }
}

// Random changes, some of them made inside a transaction that is dropped and so must leave no
// trace in the model or in later saves.
inline void Mutate(const ZORSrvPosition& root, std::mt19937& random) {
  for (int step = 0; step < 8; ++step) {
    if (random() % 5 != 0) {
      MutateOnce(root, random, static_cast<int>(random() % 4));
      continue;
    }
    ZORSimTransaction dropped(root.Context());
    for (int i = 0; i < 3; ++i) MutateOnce(root, random, static_cast<int>(random() % 4));
  }
}

// A file whose one nodal drawer holds `generation` at every node, with one history record per
// saved generation, so a state read back is wholly one generation or a detectable mix.
struct GenerationFile {
  static constexpr int kNodes = 400'000;
  std::string file;
  NodalDrawer shape;

  explicit GenerationFile(const std::string& name) : file(ScratchFile(name)) {
    RemoveDatabaseFile(file);
    const ZORSrvPosition root = CreateDatabase(file);
    shape = MakeNodalDrawer(root, kNodes, 1);
    root.Context().Save();
  }
  ~GenerationFile() { RemoveDatabaseFile(file); }
  NodalDrawer In(const ZORSrvPosition& root) const { return SameDrawerIn(root, shape, 1); }
  ZORSimCSetID AllNodes(const ZORSrvPosition& root) const {
    return ZORSimCollection(root.Context(), In(root).nodes).BiggestCSetID();
  }
  // The generation read back, -1 for a mix; `markers` receives the history record count.
  int Read(int* markers = nullptr) const {
    const ZORSrvPosition root = ZORSrvSimAccess().Open(file);
    const std::vector<double> values = ReadValues(root, In(root), AllNodes(root));
    if (markers) *markers = root.FollowList(ZORSimKeys::kHistory, 1).Size();
    for (double v : values)
      if (v != values.front()) return -1;
    return static_cast<int>(values.front());
  }
  double ValueAt(const ZORSrvPosition& root, int node) const {
    const int member[] = {node};
    return ReadValues(
        root, In(root),
        ZORSimCollection(root.Context(), In(root).nodes).CreateTempOrderedCSet(member, 1))[0];
  }
  void Save(int generation) const {
    const ZORSrvPosition root = ZORSrvSimAccess().Open(file);
    ZORSimTransaction transaction(root.Context());
    WriteValues(root, In(root), AllNodes(root),
                std::vector<double>(kNodes, static_cast<double>(generation)));
    root.Associate(ZORSimKeys::kHistory, 1, root.CreateDataRecord(ZORSimKeys::kHistoryRecord));
    transaction.Commit();
    root.Context().Save();
  }
};
