#pragma once

// Gives the fieldmap process an allocator tuned for its large, short-lived arrays, before any of
// them exists. Mapping builds search structures of tens of megabytes, uses them once and frees
// them; with the C library's defaults each comes fresh from the system and is faulted in one
// 4 KiB page at a time, which costs as much as the search itself on a mesh of 1e5 cells. Asking
// for transparent huge pages and keeping freed memory in the process removes most of those
// faults. The C library reads its tunables only when a program starts, so the program starts
// itself again once with them set. Called first thing in main, on the only thread.
class AllocatorTuning {
 public:
  // Returns only when no restart is needed or possible: the tunables are already in the
  // environment (set by the user, who keeps the last word, or by the first start), the C
  // library is not glibc, a sanitizer owns the allocator, or the restart failed.
  static void RestartTunedIfNeeded(char** argv);
};
