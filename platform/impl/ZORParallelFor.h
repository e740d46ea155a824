#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/ZOREnvironmentKeys.h"

// Runs work over the chunks of a range on several threads. Chunks are numbered; work(chunk,
// worker) sees each chunk exactly once, on one worker, in no particular order, so a caller that
// wants the same result at any thread count writes each chunk's output to its own slot and joins
// the slots in chunk order. A worker takes a run of neighbouring chunks at a time, so that where
// neighbouring chunks read the same data (points along a space-filling curve) one core's cache
// serves them all; runs shorten as the chunks run out, so the threads still finish together.
// `worker` (0 .. workers - 1) lets the caller keep one set of scratch memory per thread. The
// caller's thread is worker 0, so n threads take n - 1 new ones; with one thread everything runs
// on the caller's thread.
//
// onReady(prefix) runs on the caller's thread only, between its own chunks and once it has none
// left, whenever chunks 0 .. prefix - 1 have all finished and prefix has grown, and last with
// prefix == chunks: the place to join finished chunks (and free them, so that at most a few runs
// per thread are held at once) and to tell a host how far the work has come. work must not throw.
class ZORParallelFor {
 public:
  // Chunks hands out about this many chunks per thread, of at least kSmallestChunk items.
  static constexpr long long kChunksPerThread = 16;
  static constexpr long long kSmallestChunk = 4096;
  // Run hands a worker at most this many neighbouring chunks at once: single chunks handed out in
  // turn split the searches' runs of neighbouring points between the cores' caches, while longer
  // runs would hold more finished chunks back from onReady.
  static constexpr int kLongestRun = 8;
  // The bytes one core's cache moves as a unit. Per-worker state (search scratch, result lists)
  // is aligned to it: two workers writing into one line make the cores hand the line back and
  // forth on every write, and a search that should run at the speed of its arithmetic waits on it.
  static constexpr std::size_t kCacheLine = 64;
  // No count above this: far more threads than any machine this runs on has cores, and the
  // system cannot start billions. Results are the same at any count, so a larger request is
  // served with this many.
  static constexpr int kMostThreads = 1024;
  // The thread count to use for `requested` threads: requested itself when positive, else
  // ZORMTK_THREADS when set to a positive number, else every hardware thread; at most
  // kMostThreads.
  static int ResolveThreads(int requested) {
    if (requested > 0) return std::min(requested, kMostThreads);
    if (const char* text = std::getenv(zor_environment::kThreads)) {
      // strtoll holds a number too large for its type at the type's limit, where atoi's result
      // is undefined.
      const long long fromEnvironment = std::strtoll(text, nullptr, 10);
      if (fromEnvironment > 0)
        return static_cast<int>(std::min<long long>(fromEnvironment, kMostThreads));
    }
    return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, kMostThreads);
  }

  // Chunks of at most `preferred` items, and at least 200 chunks per thread when the range
  // allows, so that progress moves in steps under 1% and the threads stay balanced.
  static int ChunkSize(long long count, int threads, int preferred) {
    const long long fine = count / (200LL * std::max(1, threads));
    return static_cast<int>(std::max<long long>(1, std::min<long long>(preferred, fine)));
  }

  // The number of ranges Ranges splits count items into for `threads` threads.
  static int Parts(long long count, int threads) {
    return static_cast<int>(std::max<long long>(1, std::min<long long>(threads, count)));
  }

  // Runs work(part, begin, end) on Parts(count, threads) contiguous ranges of 0 .. count - 1 at
  // once, for set-up loops whose items write only their own slots (and each part its own slot
  // of any per-part result): the result is then the same at any thread count, and each range's
  // output is first touched, and so placed in memory, by the thread that fills it. With one
  // part everything runs on the caller's thread.
  static void Ranges(long long count, int threads,
                     const std::function<void(int part, long long begin, long long end)>& work) {
    const int parts = Parts(count, threads);
    Run(
        parts, parts,
        [&](int part, int /*worker*/) {
          work(part, count * part / parts, count * (part + 1) / parts);
        },
        [](int /*prefix*/) {});
  }

  // Runs work(begin, end) over consecutive chunks of 0 .. count - 1, many per thread, handed to
  // up to `threads` threads as they come free: for loops whose items write only their own slots
  // and whose cost varies along the range (nodes read from far apart, say), where equal ranges
  // would leave one thread finishing alone. With one thread it is one call on the caller's thread.
  static void Chunks(long long count, int threads,
                     const std::function<void(long long begin, long long end)>& work) {
    if (count <= 0) return;
    if (threads <= 1) {
      work(0, count);
      return;
    }
    const long long size =
        std::max<long long>(kSmallestChunk, count / (kChunksPerThread * threads));
    const long long chunks = (count + size - 1) / size;
    Run(
        static_cast<int>(chunks), threads,
        [&](int chunk, int /*worker*/) { work(chunk * size, std::min(count, (chunk + 1) * size)); },
        [](int /*prefix*/) {});
  }
  // For arrays packed in item order: runs countRange(part, begin, end) on the ranges Ranges uses
  // and returns per part the slots the parts before it need, then the total, so that a second
  // Ranges pass over the same count and threads fills part p's slots from starts[p]. The slots
  // follow item order at any thread count.
  static std::vector<long long> RangeStarts(
      long long count, int threads,
      const std::function<long long(int part, long long begin, long long end)>& countRange) {
    std::vector<long long> starts(static_cast<std::size_t>(Parts(count, threads)) + 1, 0);
    Ranges(count, threads, [&](int part, long long begin, long long end) {
      starts[static_cast<std::size_t>(part) + 1] = countRange(part, begin, end);
    });
    for (std::size_t part = 1; part < starts.size(); ++part) starts[part] += starts[part - 1];
    return starts;
  }

  // Zeroes values[0 .. count - 1] by ranges: for arrays a database read fills, which must read as
  // zero where it writes nothing, while each part is first touched by the thread that zeroes it.
  template <typename T>
  static void Zero(T* values, long long count, int threads) {
    Ranges(count, threads, [values](int /*part*/, long long begin, long long end) {
      std::fill(values + begin, values + end, T{});
    });
  }

  static void Run(int chunks, int threads, const std::function<void(int chunk, int worker)>& work,
                  const std::function<void(int prefix)>& onReady) {
    // With one worker the caller alone runs every chunk in order, reporting after each.
    const int workers = std::max(1, std::min(threads, chunks));
    std::atomic<int> next{0};
    Finished finished(chunks);
    const auto runChunks = [&](int worker, const auto& afterChunk) {
      for (std::pair<int, int> run = Claim(next, chunks, workers); run.first < run.second;
           run = Claim(next, chunks, workers)) {
        for (int chunk = run.first; chunk < run.second; ++chunk) {
          work(chunk, worker);
          finished.Mark(chunk);
          afterChunk();
        }
      }
    };
    std::vector<std::thread> pool;
    pool.reserve(static_cast<std::size_t>(workers) - 1);
    for (int worker = 1; worker < workers; ++worker)
      pool.emplace_back([&, worker] { runChunks(worker, [] {}); });
    int prefix = 0;
    const auto report = [&](bool wait) {
      const int grown = finished.Advance(prefix, wait);
      if (grown == prefix) return;
      prefix = grown;
      onReady(prefix);
    };
    runChunks(0, [&] { report(false); });
    while (prefix < chunks) report(true);
    for (std::thread& thread : pool) thread.join();
  }

 private:
  // Which chunks have finished, for the caller to report finished prefixes in order. Workers
  // wake the caller only once it waits for them, so no thread beyond the workers is woken per
  // chunk to take a core from one of them. Thread-safe.
  class Finished {
   public:
    explicit Finished(int chunks) : done_(static_cast<std::size_t>(chunks), 0) {}

    void Mark(int chunk) {
      const std::lock_guard<std::mutex> hold(lock_);
      done_[static_cast<std::size_t>(chunk)] = 1;
      if (waiting_) wake_.notify_one();
    }

    // The end of the finished prefix that starts at `prefix`; with wait, once it has grown.
    int Advance(int prefix, bool wait) {
      std::unique_lock<std::mutex> hold(lock_);
      if (wait) {
        waiting_ = true;
        wake_.wait(hold, [&] { return done_[static_cast<std::size_t>(prefix)] != 0; });
        waiting_ = false;
      }
      while (prefix < static_cast<int>(done_.size()) &&
             done_[static_cast<std::size_t>(prefix)] != 0)
        ++prefix;
      return prefix;
    }

   private:
    std::mutex lock_;
    std::condition_variable wake_;
    std::vector<char> done_;
    bool waiting_ = false;
  };

  // Claims the next run of chunks, [first, second), empty once none are left: half of what is
  // left per worker, at least one chunk and at most kLongestRun.
  static std::pair<int, int> Claim(std::atomic<int>& next, int chunks, int workers) {
    int first = next.load(std::memory_order_relaxed);
    int end = first;
    do {
      if (first >= chunks) return {chunks, chunks};
      end = first + std::max(1, std::min(kLongestRun, (chunks - first) / (2 * workers)));
    } while (!next.compare_exchange_weak(first, end));
    return {first, end};
  }
};
