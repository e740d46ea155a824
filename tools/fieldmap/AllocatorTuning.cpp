#include "AllocatorTuning.h"

#include <cstdlib>

#if defined(__GLIBC__)
#include <unistd.h>
#endif

namespace {

// Huge pages for what malloc takes from the system; large blocks from the heap rather than from
// a mapping of their own, and freed memory kept for the next array instead of handed back.
constexpr const char* kTunablesVariable = "GLIBC_TUNABLES";
constexpr const char* kTunables =
    "glibc.malloc.hugetlb=1:glibc.malloc.mmap_threshold=4294967296:"
    "glibc.malloc.trim_threshold=4294967296";

constexpr bool SanitizerOwnsAllocator() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
  return true;
#else
  return false;
#endif
#else
  return false;
#endif
}

}  // namespace

void AllocatorTuning::RestartTunedIfNeeded(char** argv) {
#if defined(__GLIBC__)
  if (SanitizerOwnsAllocator() || std::getenv(kTunablesVariable) != nullptr) return;
  if (setenv(kTunablesVariable, kTunables, 0) != 0) return;
  execv("/proc/self/exe", argv);
  // The restart failed (no /proc, say): go on with the defaults, and leave the variable unset so
  // nothing started from here believes it has them.
  unsetenv(kTunablesVariable);
#else
  (void)argv;
#endif
}
