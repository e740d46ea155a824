#pragma once

#include <sys/mman.h>

#include <cstdint>
#include <vector>

// Sizing of the large arrays a mesh import fills (coordinates, connectivity, offsets): their
// memory is asked for in 2 MB pages where the system offers them, since touching fresh memory
// 4 kB at a time costs more than decoding into it. Stateless.
class HugePages {
 public:
  template <typename T>
  static void Resize(std::vector<T>& values, std::size_t count) {
    if (count * sizeof(T) >= kHugePage && values.capacity() < count) {
      values.reserve(count);
      Advise(values.data(), count * sizeof(T));
    }
    values.resize(count);
  }

 private:
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;

  static void Advise(void* data, std::size_t bytes) {
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (begin + bytes) & ~(kHugePage - 1);
    // Only advice: where huge pages are off, the memory is used as it is.
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
};
