// What the machine itself gives a second thread, to read the library's thread figures against:
// - register work (a recurrence that never leaves the core) at 1 and 2 threads;
// - memory copy bandwidth, each thread copying its own 64 MB;
// - first touch of 400 MB of fresh memory, in 2 MB pages as the library asks for its large
//   arrays, right after the previous iteration freed the same amount and after 10 s idle. A
//   virtual machine that hands freed memory back to its host pays the host again for each page
//   the next process touches, and that cost is part of every map phase that allocates.
// Counters: work_per_thread_s (register work; equal at 1 and 2 threads when the cores are whole),
// GB_per_s (copy and first touch, all threads together).
#include <benchmark/benchmark.h>
#include <sys/mman.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr long kRecurrenceSteps = 200000000;
constexpr std::size_t kCopyBytes = std::size_t{64} << 20;
constexpr int kCopyRounds = 4;
constexpr std::size_t kTouchBytes = std::size_t{400} << 20;
constexpr std::size_t kPageBytes = 4096;
constexpr double kGigabyte = 1024.0 * 1024.0 * 1024.0;

double WallNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Runs work(part) on `threads` threads and returns the wall seconds until the last one ends.
template <typename Work>
double OnThreads(int threads, const Work& work) {
  const double start = WallNow();
  std::vector<std::thread> pool;
  for (int part = 0; part < threads; ++part) pool.emplace_back(work, part);
  for (std::thread& thread : pool) thread.join();
  return WallNow() - start;
}

// A multiply-add chain: each step waits for the previous one, so it measures the core, not the
// memory or the compiler's vectoriser.
double Recurrence(long steps) {
  double a = 1.0, b = 1e-9;
  for (long i = 0; i < steps; ++i) {
    a = a * 1.0000001 + b;
    b = b * 0.9999999 + a * 1e-12;
  }
  return a + b;
}

void BM_RegisterWork(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  std::vector<double> results(static_cast<std::size_t>(threads));
  double seconds = 0.0;
  for (auto _ : state) {
    seconds = OnThreads(threads, [&](int part) {
      results[static_cast<std::size_t>(part)] = Recurrence(kRecurrenceSteps);
    });
    benchmark::DoNotOptimize(results.data());
  }
  state.counters["work_per_thread_s"] = seconds;
}

void BM_CopyBandwidth(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  std::vector<std::vector<char>> from(static_cast<std::size_t>(threads),
                                      std::vector<char>(kCopyBytes, 1));
  std::vector<std::vector<char>> to(static_cast<std::size_t>(threads),
                                    std::vector<char>(kCopyBytes, 2));
  double seconds = 0.0;
  for (auto _ : state) {
    seconds = OnThreads(threads, [&](int part) {
      for (int round = 0; round < kCopyRounds; ++round)
        std::memcpy(to[static_cast<std::size_t>(part)].data(),
                    from[static_cast<std::size_t>(part)].data(), kCopyBytes);
    });
    benchmark::ClobberMemory();
  }
  state.counters["GB_per_s"] = threads * kCopyRounds * (kCopyBytes / kGigabyte) / seconds;
}

// Maps 400 MB, writes one byte per 4 kB page, each thread over its own contiguous share as the
// library's parallel zeroing splits its arrays, and unmaps it: the seconds of the writes, or a
// negative number when the memory could not be mapped.
double TouchFresh(int threads) {
  void* mapped =
      ::mmap(nullptr, kTouchBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return -1.0;
  ::madvise(mapped, kTouchBytes, MADV_HUGEPAGE);
  char* bytes = static_cast<char*>(mapped);
  const std::size_t share = kTouchBytes / static_cast<std::size_t>(threads);
  const double seconds = OnThreads(threads, [&](int part) {
    char* begin = bytes + share * static_cast<std::size_t>(part);
    for (std::size_t offset = 0; offset < share; offset += kPageBytes) begin[offset] = 1;
  });
  ::munmap(mapped, kTouchBytes);
  return seconds;
}

// The memory is first touched and freed once untimed, so that the timed touch finds pages the
// system has just had back, and then, after the idle seconds, whatever the host has left of them.
void BM_FirstTouch(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  const int idleSeconds = static_cast<int>(state.range(1));
  double seconds = 0.0;
  for (auto _ : state) {
    const bool warmed = TouchFresh(threads) >= 0.0;
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    seconds = TouchFresh(threads);
    if (!warmed || seconds < 0.0) {
      state.SkipWithError("could not map 400 MB");
      return;
    }
    state.SetIterationTime(seconds);
  }
  state.counters["GB_per_s"] = (kTouchBytes / kGigabyte) / seconds;
}

}  // namespace

BENCHMARK(BM_RegisterWork)->Arg(1)->Arg(2)->Iterations(1)->UseRealTime();
BENCHMARK(BM_CopyBandwidth)->Arg(1)->Arg(2)->Iterations(3)->UseRealTime();
BENCHMARK(BM_FirstTouch)->ArgsProduct({{1, 2}, {0, 10}})->Iterations(1)->UseManualTime();
