#pragma once

// The tolerances a point search runs with: boundary b (natural coordinates) and normal n
// (distance from a facet, in element lengths).
struct ZORSearchTolerances {
  double boundary;
  double normal;
};

// How far a search has come, for a host that shows progress: done and total count the points
// searched. The callback runs on the searching caller's thread.
struct ZORSearchProgress {
  void (*callback)(void* context, long long done, long long total) = nullptr;
  void* context = nullptr;

  void Report(long long done, long long total) const {
    if (callback != nullptr) callback(context, done, total);
  }
};

class ZORMtkMeshNodeB;

// What a search is asked to do besides placing points.
struct ZORSearchOptions {
  ZORSearchTolerances tolerances;
  ZORSearchProgress progress;
  // The node grid of the source mesh when nodes the shape search cannot place are to take their
  // nearest source node instead; null leaves them without links.
  const ZORMtkMeshNodeB* nearestFallback = nullptr;
  // Prefer the element whose reference shape holds the point over the first that accepts it.
  bool containing = false;
  // Threads to search with; 0 takes ZORMTK_THREADS, else every hardware thread.
  int threads = 0;
};
