// Figures of the embedded database: bulk transfer throughput, Create, and Save/Open of a
// 1-million-node mesh with four 3-component nodal fields (96 MB of values; the save reports its
// rate in bytes of values per second).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/ZORSimAPI.h"
#include "platform/ZORSimSchemaKeys.h"
#include "platform/impl/ZORSimDatabase.h"
#include "writer/impl/ZORDataDictionary.h"

namespace {

std::string BenchFile(const char* name) {
  return "/tmp/zorsim-bench-" + std::to_string(::getpid()) + name;
}

void Remove(const std::string& file) {
  for (const char* suffix : {"", "-wal", "-shm"}) std::remove((file + suffix).c_str());
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

ZORSrvPosition Create(const std::string& file) {
  ZORSrvSimAccess access;
  access.SetSchema(eds_SSDLallSource_Get());
  return access.Create(file, "Input", ZORDataDictionaryText(), "anchor:focus");
}

struct Field {
  ZORSimDistributionID distribution;
  ZORSimDrawerID drawer;
  ZORSimCSetID nodes;
  ZORSimCSetID components;
};

Field MakeField(const ZORSrvPosition& root, ZORSimCollectionID nodeCollection, int components) {
  const ZORSimCollectionID componentCollection =
      ZORSrvPosition(root, root.Follow(ZORSimKeys::kComponentCollection, 0)).GetCollection();
  Field field;
  field.distribution =
      root.CreateTypedDistribution({nodeCollection, componentCollection},
                                   ZORSimKeys::kCoordinateDistributionType, ZORSimRangeType(2));
  field.nodes = ZORSimCollection(root.Context(), nodeCollection).BiggestCSetID();
  field.components =
      ZORSimCollection(root.Context(), componentCollection).CreateCSetStrided(0, components, 1, 1);
  ZORSimTransfer make(root.Context(), field.distribution);
  make.SetMakeNewDrawerChunked({field.nodes.Size(), components});
  make.SetDims({field.nodes, field.components});
  make.ExecMake();
  field.drawer = make.DrawerID();
  return field;
}

void Move(const ZORSrvPosition& root, const Field& field, std::vector<double>& values, bool write) {
  ZORSimTransfer transfer(root.Context(), field.distribution);
  if (write)
    transfer.SetWrite();
  else
    transfer.SetRead();
  transfer.SetBufferType(2);
  transfer.SetDrawer(field.drawer);
  transfer.SetDims({field.nodes, field.components});
  transfer.SetBuffer(0, values.data(), static_cast<std::int64_t>(values.size() * sizeof(double)));
  if (write)
    transfer.ExecWrite();
  else
    transfer.ExecRead();
}

ZORSimCollectionID Nodes(const ZORSrvPosition& root, int count) {
  const ZORSimCollectionID nodes = root.CreateTypedCollection(0, ZORSimKeys::kNodeCollectionType);
  ZORSimCollection(root.Context(), nodes).ExtendSpace(count);
  return nodes;
}

void BM_TransferTenMillionDoubles(benchmark::State& state) {
  const bool write = state.range(0) == 1;
  const ZORSrvPosition root = Create(BenchFile("transfer.db"));
  const Field field = MakeField(root, Nodes(root, 10'000'000), 1);
  std::vector<double> values(10'000'000, 1.5);
  Move(root, field, values, true);
  for (auto _ : state) {
    Move(root, field, values, write);
    benchmark::DoNotOptimize(values.data());
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(values.size() * sizeof(double)));
  state.SetLabel(write ? "write" : "read");
}
BENCHMARK(BM_TransferTenMillionDoubles)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_Create(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Create(BenchFile("create.db")).ID());
}
BENCHMARK(BM_Create)->Unit(benchmark::kMillisecond);

// A mesh of 1 million nodes (coordinates) with three 3-component nodal fields.
void BuildMillionNodeDatabase(const ZORSrvPosition& root) {
  const ZORSimCollectionID nodes = Nodes(root, 1'000'000);
  std::vector<double> values(3'000'000);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<double>(i) * 0.001;
  for (int field = 0; field < 4; ++field) {
    const Field f = MakeField(root, nodes, 3);
    Move(root, f, values, true);
  }
}

void BM_SaveMillionNodeDatabase(benchmark::State& state) {
  const std::string file = BenchFile("save.db");
  for (auto _ : state) {
    state.PauseTiming();
    Remove(file);
    const ZORSrvPosition root = Create(file);
    BuildMillionNodeDatabase(root);
    state.ResumeTiming();
    root.Context().Save();
  }
  // Four fields of 3 million doubles: 96 MB of values per save.
  state.SetBytesProcessed(state.iterations() * 4 * 3'000'000 * std::int64_t{sizeof(double)});
  state.counters["peak_MB"] = PeakMegabytes();
  Remove(file);
}
BENCHMARK(BM_SaveMillionNodeDatabase)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_OpenMillionNodeDatabase(benchmark::State& state) {
  const std::string file = BenchFile("open.db");
  Remove(file);
  {
    const ZORSrvPosition root = Create(file);
    BuildMillionNodeDatabase(root);
    root.Context().Save();
  }
  for (auto _ : state) {
    const ZORSrvPosition opened = ZORSrvSimAccess().Open(file);
    benchmark::DoNotOptimize(opened.ID());
  }
  Remove(file);
}
BENCHMARK(BM_OpenMillionNodeDatabase)->Unit(benchmark::kMillisecond);

}  // namespace
