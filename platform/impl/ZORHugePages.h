#pragma once

#include <sys/mman.h>

#include <cstdint>
#include <vector>

// Sizing of large arrays that are filled once (a mesh import's coordinates and connectivity, the
// search's per-element frames): their memory is asked for in 2 MB pages where the system offers
// them, since touching fresh memory 4 kB at a time can cost more than filling it. Stateless.
class ZORHugePages {
 public:
  // Room for count values, in huge pages when the array is large enough to have any.
  template <typename T, typename Allocator>
  static void Reserve(std::vector<T, Allocator>& values, std::size_t count) {
    if (count * sizeof(T) >= kHugePage && values.capacity() < count) {
      values.reserve(count);
      Advise(values.data(), count * sizeof(T));
    }
  }

  template <typename T, typename Allocator>
  static void Resize(std::vector<T, Allocator>& values, std::size_t count) {
    Reserve(values, count);
    values.resize(count);
  }

 private:
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;

  // The whole 2 MB pages inside the array: from its start rounded up to a page boundary.
  static void Advise(void* data, std::size_t bytes) {
    const std::size_t begin = reinterpret_cast<std::uintptr_t>(data) % kHugePage;
    const std::size_t lead = (kHugePage - begin) % kHugePage;
    if (bytes <= lead) return;
    const std::size_t length = (bytes - lead) & ~(kHugePage - 1);
    // Only advice: where huge pages are off, the memory is used as it is.
    if (length > 0) ::madvise(static_cast<char*>(data) + lead, length, MADV_HUGEPAGE);
  }
};
