#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/ZORBitVector.h"
#include "platform/ZORContainers.h"
#include "platform/ZORPlatformModules.h"
#include "platform/impl/ZORParallelFor.h"
#include "support/ZORTestCapture.h"

// Lists keep insertion order and copy on write; maps iterate by key and insert replaces; both
// array kinds refuse an index one past either end.
TEST(ZORContainers, KeepTheirOrderAndRefuseIndicesOutside) {
  cow_List<int> list = {3, 1, 2};
  cow_List<int> copy = list;
  copy.Append(9);
  EXPECT_EQ(list.Size(), 3);
  EXPECT_EQ((std::vector<int>{list[0], list[1], list[2]}), (std::vector<int>{3, 1, 2}));
  EXPECT_THROW(list[3], std::out_of_range);
  EXPECT_THROW(list[-1], std::out_of_range);
  cow_Map<cow_String, int> map;
  for (const auto& [key, value] : {std::pair{"b", 1}, std::pair{"a", 2}, std::pair{"b", 3}})
    map.Insert(key, value);
  std::string keys;
  for (const auto& entry : map) keys += entry.first.Str() + std::to_string(entry.second);
  EXPECT_EQ(keys, "a2b3");
  EXPECT_EQ(map.Find("c"), nullptr);
  cow_2DArray<double> array(2, 3);
  array(1, 2) = 5.0;
  EXPECT_EQ(array(1, 2), 5.0);
  EXPECT_THROW(array(2, 0), std::out_of_range);
  EXPECT_THROW(array(0, 3), std::out_of_range);
}

TEST(omi_BlkBitVect, TraversesSetBitsInAscendingOrderAcrossWords) {
  omi_BlkBitVect bits(10);
  for (int b : {200, 3, 64, 63, 0}) bits.Set(b);
  std::vector<int> seen;
  for (int b = bits.First(); b >= 0; b = bits.Next(b + 1)) seen.push_back(b);
  EXPECT_EQ(seen, (std::vector<int>{0, 3, 63, 64, 200}));
  EXPECT_EQ(bits.Count(), 5);
  EXPECT_FALSE(bits.IsSet(199));
  EXPECT_EQ(omi_BlkBitVect(0).First(), -1);
}

// The use count goes 1, 1, 0 and stays 0: one finalize too many changes nothing.
TEST(PlatformModules, UseCountAddsOnFirstInitializeAndSubtractsOnLastFinalize) {
  int status = 0;
  ZORSimAPI_initialize(status);
  ZORSimAPI_initialize(status);
  EXPECT_EQ(status, 1);
  for (const int expected : {1, 0, 0}) {
    ZORSimAPI_finalize(status);
    EXPECT_EQ(status, expected);
  }
}

// A request is served as given up to the cap; without one ZORMTK_THREADS decides when it is a
// positive number, however large, and otherwise every hardware thread.
TEST(ZORParallelFor, ThreadCountsComeFromTheRequestThenTheEnvironmentAndStayUnderTheCap) {
  const int most = ZORParallelFor::kMostThreads;
  const int hardware = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, most);
  const ScopedEnvironmentVariable threads("ZORMTK_THREADS", nullptr);
  const struct {
    int requested;
    const char* environment;
    int expected;
  } cases[] = {{3, "7", 3},          {most + 1, nullptr, most},
               {0, "7", 7},          {0, "99999999999", most},
               {-2, "0", hardware},  {0, "-3", hardware},
               {0, "abc", hardware}, {0, nullptr, hardware}};
  for (const auto& c : cases) {
    threads.Set(c.environment);
    EXPECT_EQ(ZORParallelFor::ResolveThreads(c.requested), c.expected)
        << c.requested << " " << (c.environment ? c.environment : "(unset)");
  }
}

// Chunks hands every item to exactly one call, whatever the count (around the smallest chunk and
// its multiples) and the thread count.
TEST(ZORParallelFor, ChunksVisitEveryItemOnce) {
  const long long small = ZORParallelFor::kSmallestChunk;
  for (const long long count : {0LL, 1LL, small - 1, small, small + 1, 37 * small + 5}) {
    for (int threads = 1; threads <= 4; ++threads) {
      std::vector<int> visits(static_cast<std::size_t>(count), 0);
      ZORParallelFor::Chunks(count, threads, [&visits](long long begin, long long end) {
        for (long long item = begin; item < end; ++item) ++visits[static_cast<std::size_t>(item)];
      });
      EXPECT_EQ(std::count(visits.begin(), visits.end(), 1), count)
          << count << " items, " << threads << " threads";
    }
  }
}

// Run hands every chunk to one worker once, reports only prefixes whose chunks have all finished,
// ending at the chunk count, on the caller's thread, which is worker 0, and gives each worker runs
// of neighbouring chunks: of a worker's successive chunks most are next to each other.
TEST(ZORParallelFor, RunVisitsEveryChunkOnceInRunsOfNeighbours) {
  for (const int chunks : {1, 2, 7, 8, 9, 33, 1000}) {
    for (int threads = 1; threads <= 3; ++threads) {
      std::vector<std::atomic<int>> visits(static_cast<std::size_t>(chunks));
      std::vector<std::vector<int>> byWorker(static_cast<std::size_t>(threads));
      int lastPrefix = 0;
      bool prefixesFinished = true;
      const std::thread::id caller = std::this_thread::get_id();
      std::atomic<bool> workerZeroIsCaller{true};
      bool reportsOnCaller = true;
      ZORParallelFor::Run(
          chunks, threads,
          [&](int chunk, int worker) {
            if ((worker == 0) != (std::this_thread::get_id() == caller)) workerZeroIsCaller = false;
            byWorker[static_cast<std::size_t>(worker)].push_back(chunk);
            // Long enough that every worker is busy while chunks are left.
            std::this_thread::sleep_for(std::chrono::microseconds(20));
            ++visits[static_cast<std::size_t>(chunk)];
          },
          [&](int prefix) {
            reportsOnCaller = reportsOnCaller && std::this_thread::get_id() == caller;
            prefixesFinished = prefixesFinished && prefix > lastPrefix;
            for (int chunk = 0; chunk < prefix; ++chunk)
              prefixesFinished = prefixesFinished && visits[static_cast<std::size_t>(chunk)] == 1;
            lastPrefix = prefix;
          });
      const std::string at =
          std::to_string(chunks) + " chunks, " + std::to_string(threads) + " threads";
      EXPECT_TRUE(std::all_of(visits.begin(), visits.end(), [](const auto& v) { return v == 1; }))
          << at;
      EXPECT_TRUE(prefixesFinished) << at;
      EXPECT_EQ(lastPrefix, chunks) << at;
      EXPECT_TRUE(workerZeroIsCaller) << at;
      EXPECT_TRUE(reportsOnCaller) << at;
      int steps = 0, neighbours = 0;
      for (const std::vector<int>& seen : byWorker)
        for (std::size_t k = 1; k < seen.size(); ++k, ++steps)
          neighbours += seen[k] == seen[k - 1] + 1 ? 1 : 0;
      if (chunks == 1000) {
        EXPECT_GT(4 * neighbours, 3 * steps) << at;
      }
    }
  }
}
