#pragma once

#include <cstdint>
#include <vector>

// Bit vector over the members 0 … size-1 of a collection, stored in 64-bit blocks so that the
// ascending traversal skips empty stretches a word at a time.
class omi_BlkBitVect {
 public:
  explicit omi_BlkBitVect(int size = 0) : size_(size), words_((size + 63) / 64, 0) {}

  int Size() const { return size_; }
  // Grows the vector when bit lies beyond its end; a negative bit is ignored.
  void Set(int bit) {
    if (bit < 0) return;
    if (bit >= size_) Resize(bit + 1);
    words_[bit >> 6] |= std::uint64_t{1} << (bit & 63);
  }
  bool IsSet(int bit) const {
    return bit >= 0 && bit < size_ && ((words_[bit >> 6] >> (bit & 63)) & 1U) != 0;
  }
  int Count() const {
    int count = 0;
    for (std::uint64_t word : words_) count += __builtin_popcountll(word);
    return count;
  }
  // The first set bit at or after start, or -1.
  int Next(int start) const {
    if (start < 0) start = 0;
    for (int w = start >> 6; w < static_cast<int>(words_.size()); ++w) {
      std::uint64_t word = words_[w];
      if (w == (start >> 6)) word &= ~std::uint64_t{0} << (start & 63);
      if (word != 0) return (w << 6) + __builtin_ctzll(word);
    }
    return -1;
  }
  int First() const { return Next(0); }

 private:
  void Resize(int size) {
    size_ = size;
    words_.resize((size + 63) / 64, 0);
  }
  int size_;
  std::vector<std::uint64_t> words_;
};
