#include "VtkZlibCompressor.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "platform/ZOREnvironmentKeys.h"

namespace {

// Large blocks keep the table short and give each thread enough work per job; deflate's window
// is 32 KiB, so the ratio barely depends on the block size beyond that.
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
// Level 1 compresses doubles almost as well as the default level at a few times the speed; most
// of what deflate finds in mapped values is in the exponent bytes, which any level finds.
constexpr int kLevel = 1;

struct Job {
  std::size_t array;
  std::size_t block;
};

void PutWord(std::vector<std::uint8_t>& out, std::size_t at, std::uint64_t value) {
  for (int byte = 0; byte < 8; ++byte)
    out[at + static_cast<std::size_t>(byte)] = static_cast<std::uint8_t>(value >> (8 * byte));
}

// One worker's deflate streams, one per strategy, set up once and reset for every block (the
// same bytes as a fresh stream), and its scratch buffer, sized once for any block on first use
// (inside the worker's error handling, like every other allocation).
class BlockDeflater {
 public:
  BlockDeflater() {
    for (std::size_t s = 0; s < streams_.size(); ++s)
      ready_[s] = deflateInit2(&streams_[s], kLevel, Z_DEFLATED, MAX_WBITS, kMemoryLevel,
                               kStrategies[s]) == Z_OK;
  }
  ~BlockDeflater() {
    for (std::size_t s = 0; s < streams_.size(); ++s)
      if (ready_[s]) deflateEnd(&streams_[s]);
  }
  BlockDeflater(const BlockDeflater&) = delete;
  BlockDeflater& operator=(const BlockDeflater&) = delete;

  // Keeps only the bytes produced, so no block buffer is cleared or copied twice.
  std::vector<std::uint8_t> Deflate(const std::uint8_t* data, std::size_t size, bool fieldValues) {
    if (scratch_.empty()) scratch_.resize(compressBound(static_cast<uLong>(kBlockBytes)));
    z_stream& stream = streams_[fieldValues ? 1 : 0];
    if (!ready_[fieldValues ? 1 : 0] || deflateReset(&stream) != Z_OK)
      throw std::runtime_error("zlib could not start a block");
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = scratch_.data();
    stream.avail_out = static_cast<uInt>(scratch_.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END)
      throw std::runtime_error("zlib could not compress a block");
    return std::vector<std::uint8_t>(scratch_.data(), stream.next_out);
  }

 private:
  static constexpr int kMemoryLevel = 8;
  static constexpr std::array<int, 2> kStrategies{Z_DEFAULT_STRATEGY, Z_RLE};

  std::array<z_stream, 2> streams_{};
  std::array<bool, 2> ready_{};
  std::vector<std::uint8_t> scratch_;
};

std::vector<std::uint8_t> Header(std::size_t size,
                                 const std::vector<std::vector<std::uint8_t>>& blocks) {
  std::vector<std::uint8_t> header(8 * (3 + blocks.size()));
  PutWord(header, 0, blocks.size());
  PutWord(header, 8, kBlockBytes);
  PutWord(header, 16, size % kBlockBytes);
  for (std::size_t b = 0; b < blocks.size(); ++b) PutWord(header, 8 * (3 + b), blocks[b].size());
  return header;
}

}  // namespace

VtkZlibCompressor::VtkZlibCompressor(int threads) : threads_(threads) {
  if (threads_ > 0) return;
  const char* text = std::getenv(zor_environment::kThreads);
  threads_ = text ? std::atoi(text) : 0;
  if (threads_ <= 0) threads_ = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

std::size_t VtkZlibCompressor::Encoded::Size() const {
  std::size_t size = header.size();
  for (const auto& block : blocks) size += block.size();
  return size;
}

std::vector<VtkZlibCompressor::Encoded> VtkZlibCompressor::Compress(
    const std::vector<Span>& arrays, const std::function<void(double)>& progress) const {
  std::vector<Job> jobs;
  std::vector<Encoded> encoded(arrays.size());
  for (std::size_t a = 0; a < arrays.size(); ++a) {
    const std::size_t count = (arrays[a].size + kBlockBytes - 1) / kBlockBytes;
    encoded[a].blocks.resize(count);
    for (std::size_t b = 0; b < count; ++b) jobs.push_back({a, b});
  }
  // Jobs are taken in turn from a shared counter; a failure stops every thread at its next job
  // and is raised on the caller's thread.
  std::atomic<std::size_t> next{0}, done{0};
  std::exception_ptr failure;
  std::mutex failureLock;
  const auto work = [&](bool reports) {
    BlockDeflater deflater;
    for (std::size_t j = next++; j < jobs.size(); j = next++) {
      try {
        const Span& span = arrays[jobs[j].array];
        const std::size_t first = jobs[j].block * kBlockBytes;
        encoded[jobs[j].array].blocks[jobs[j].block] = deflater.Deflate(
            span.data + first, std::min(kBlockBytes, span.size - first), span.fieldValues);
      } catch (...) {
        const std::lock_guard<std::mutex> hold(failureLock);
        if (!failure) failure = std::current_exception();
        next = jobs.size();
      }
      ++done;
      if (reports && progress)
        progress(static_cast<double>(done) / static_cast<double>(jobs.size()));
    }
  };
  const std::size_t workers = std::min(jobs.size(), static_cast<std::size_t>(threads_));
  std::vector<std::thread> pool;
  for (std::size_t t = 1; t < workers; ++t) pool.emplace_back(work, false);
  work(true);
  for (std::thread& thread : pool) thread.join();
  if (failure) std::rethrow_exception(failure);
  for (std::size_t a = 0; a < arrays.size(); ++a)
    encoded[a].header = Header(arrays[a].size, encoded[a].blocks);
  return encoded;
}
