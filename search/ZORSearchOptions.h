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
  // Reports at the end and about every hundredth of the total in between, so the callback costs
  // nothing next to the search however many points there are.
  void Step(long long done, long long total) const {
    if (callback == nullptr) return;
    const long long every = total < 100 ? 1 : total / 100;
    if (done % every == 0 || done == total) callback(context, done, total);
  }
};

// What a search is asked to do besides placing points.
struct ZORSearchOptions {
  ZORSearchTolerances tolerances;
  ZORSearchProgress progress;
};
