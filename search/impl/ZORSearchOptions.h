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

  // Counts the points of a search that goes through them in several loops.
  class Counter {
   public:
    Counter(const ZORSearchProgress& progress, long long total)
        : progress_(progress), total_(total) {}
    void Next() { progress_.Step(++done_, total_); }
    // Reports the end when the loops skipped some of the points.
    void Finish() const {
      if (done_ != total_) progress_.Report(total_, total_);
    }

   private:
    const ZORSearchProgress& progress_;
    long long total_;
    long long done_ = 0;
  };
};

class ZORMtkMeshNodeB;

// What a search is asked to do besides placing points.
struct ZORSearchOptions {
  ZORSearchTolerances tolerances;
  ZORSearchProgress progress;
  // The node grid of the source mesh when nodes the shape search cannot place are to take their
  // nearest source node instead; null leaves them without links.
  const ZORMtkMeshNodeB* nearestFallback = nullptr;
};
