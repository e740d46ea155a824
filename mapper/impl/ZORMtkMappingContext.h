#pragma once

#include <vector>

#include "mapper/ZORMtkDiagnosticsData.h"
#include "mapper/impl/ZORMtkWeightCache.h"
#include "platform/ZORSimHandles.h"
#include "search/impl/ZORSearchMisses.h"
#include "search/impl/ZORSearchOptions.h"

class ZORMtkSimReader;
class ZORMtkSimWriter;

// Buffers a host gives in place of reading the source field and writing the target field; null
// when the database is read and written.
struct ZORMtkHostBuffers {
  const double* input = nullptr;
  int inputComponents = 0;
  double* output = nullptr;
};

// What a host chose beyond the tolerances: where progress goes and what unplaced points get.
struct ZORMtkMapOptions {
  ZORSearchProgress progress;
  double unplacedFill = 0.0;
  bool nearestFallback = false;
  int threads = 0;  // 0: ZORMTK_THREADS, else every hardware thread
  bool containing = false;
};

// Everything a request runs against, owned by one mapper: the host's readers and writers (not
// owned), the tolerances, the host buffers, the diagnostics store and the cache of grids and
// weights. The transfers and the weight cache reach the mapper's state only through it, and the
// searches' results reach the diagnostics only through Report. Used by one thread at a time.
class ZORMtkMappingContext {
 public:
  ZORMtkMappingContext(double boundaryTolerance, double normalTolerance)
      : tolerances{boundaryTolerance, normalTolerance} {}

  // The search options of the current settings.
  ZORSearchOptions SearchOptions() const {
    ZORSearchOptions search{tolerances, options.progress};
    search.threads = options.threads;
    search.containing = options.containing;
    return search;
  }

  // The first reader whose mesh is meshID, or null.
  ZORMtkSimReader* FindReader(const ZORSimDynamicID& meshID) const;
  // The writer every transfer writes through (the first set), or null.
  ZORMtkSimWriter* Writer() const { return writers.empty() ? nullptr : writers.front(); }

  // Records what a search left unplaced, in the order the search found it: node members with
  // codes 2 and 4, element members with codes 64 and 4, misaligned nodes with code 128, and
  // differing node counts with code 16.
  void Report(const ZORSearchMisses& misses);

  std::vector<ZORMtkSimReader*> readers;
  std::vector<ZORMtkSimWriter*> writers;
  ZORSearchTolerances tolerances;
  ZORMtkHostBuffers buffers;
  ZORMtkMapOptions options;
  ZORMtkDiagnosticsData diagnostics;
  ZORMtkWeightCache cache;
};
