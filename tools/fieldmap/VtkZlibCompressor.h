#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Compresses data arrays into the block layout VTK's zlib compressor writes and its XML readers
// expect with a UInt64 header: the block count, the block size, the size of a last partial block
// (0 when the last block is full), the compressed size of every block, then the compressed
// blocks. Blocks are compressed independently, so they are spread over threads and the result is
// the same bytes at any thread count. Holds only its settings; one object may be used by one
// thread at a time.
class VtkZlibCompressor {
 public:
  struct Span {
    const std::uint8_t* data;
    std::size_t size;
    // Mapped field values repeat only in runs of equal bytes (exponents, fill values), so they are
    // compressed with run-length matching alone: at about the same size, deflate's search for
    // longer repeats would cost twice the time and find almost nothing.
    bool fieldValues = false;
  };
  // One compressed array: the header, then the blocks, to be written in this order.
  struct Encoded {
    std::vector<std::uint8_t> header;
    std::vector<std::vector<std::uint8_t>> blocks;

    std::size_t Size() const;
  };

  // threads 0: ZORMTK_THREADS when it is a positive number, else every hardware thread.
  explicit VtkZlibCompressor(int threads);

  // One encoded array per input span, in the same order. progress, when given, hears the
  // fraction of blocks done, on the caller's thread.
  std::vector<Encoded> Compress(const std::vector<Span>& arrays,
                                const std::function<void(double)>& progress = {}) const;

  int Threads() const { return threads_; }

 private:
  int threads_;
};
