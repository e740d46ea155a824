#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/impl/ZORParallelFor.h"
#include "search/impl/ZORFacetFrames.h"
#include "search/impl/ZORFacetRace.h"
#include "search/impl/ZORMtkHullIndex.h"
#include "search/impl/ZORMtkSourceElements.h"
#include "search/impl/ZORPointBox.h"
#include "search/impl/ZORSearchOptions.h"
#include "search/impl/ZORSolidBounds.h"

class ZORMtkMeshElemB;
class ZORMtkSearchTrace;

// Where one point lies in the source mesh: the element and its weights at the point, or the
// source node it coincides with.
struct ZORPointMatch {
  int element = -1;    // grid position of the chosen element; -1 when the point was not placed
  int exactNode = -1;  // node position of a coincident node (nodal search only), else -1
  int nodeCount = 0;   // nodes (and weights) of the chosen element
  // The pass that placed the point (0 strict, 1 relaxed), and whether the containing choice took
  // an element whose reference shape does not hold it, with how far outside, or a line, with the
  // point's distance from it (0 for other elements). A search split over several parts of a mesh
  // compares these to pick the element one search over all would take.
  int pass = -1;
  bool approximate = false;
  double excess = 0.0;
  double weights[ZORMtkSourceElements::kMaxNodes];
};

// A shell facet that accepted a point (its projection inside, within the normal reach), whether or
// not it took the point from the facet held: a search split over parts of a mesh merges these in
// element order and plays the facets' race again to pick what one search over all would pick.
struct ZORFacetHit {
  int element;      // grid position
  bool listed;      // inside in the strict pass (read in the relaxed pass only)
  double distance;  // |projection| onto the facet's plane
  // Containing choice: how far the point's area coordinates leave a 3-node facet that took it by
  // clamping, which keeps it out of the race; else 0.
  double excess;
  double weights[ZORMtkSourceElements::kMaxNodes];
};

// The two-pass search of one point among the candidate elements of its bucket. Pass 0 is strict
// (boundary tolerance b/1000, normal tolerance n/10) and, for everything but shells, first drops
// candidates whose box misses the point; pass 1, run only when pass 0 placed nothing, relaxes the
// tolerances to b and n and tests every candidate. The first solid, line or plane element that
// accepts the point ends the scan in candidate order; accepted shell facets let the scan go on so
// that a facet nearer to the point can replace them.
//
// The nodal search also tests for a coincident source node (which ends the search with that node
// alone) and pads the boxes by b times the element length; the integration-point search does
// neither. The locator reads its mesh and grid without changing them, and keeps per-point state
// in the caller's Scratch, so one locator can serve several callers, each with its own Scratch.
// For meshes of solids alone, or of 3- and 4-node facets alone, it owns hull indexes that let the
// untraced passes skip the bucket scan (same answers, far fewer candidates); the strict and
// relaxed ones of solids it builds on first need when the containing choice does not start
// from them.
class ZORMtkPointLocator {
 public:
  // Per-caller working memory, sized once so that Locate never allocates; aligned so that the
  // scratch of neighbouring workers in one array shares no cache line.
  class alignas(ZORParallelFor::kCacheLine) Scratch {
   public:
    Scratch();
    // From now on every Locate with this Scratch lists in `hits` (cleared first) the shell facets
    // that accepted the point in the pass that placed it; null stops the listing.
    void RecordFacets(std::vector<ZORFacetHit>* facetHits) { hits = facetHits; }

   private:
    friend class ZORMtkPointLocator;
    std::vector<int> listed;  // facets found inside in pass 0 (the first-pass list)
    std::vector<ZORFacetHit>* hits = nullptr;
    double coords[3 * ZORMtkSourceElements::kMaxNodes];
    double buffer[4 * ZORMtkSourceElements::kMaxNodes];
    // The weights of a 10-node tetrahedron's second inversion (TestSolid), kept apart from the
    // first's until the second is known to hold the point.
    double retried[4 * 10];
  };

  struct Settings {
    bool nodal;               // the nodal search's exact-match test and box margin
    bool containing = false;  // prefer a solid whose reference shape holds the point
    // Skip candidates that provably cannot accept the point (box screens, hull indexes). Off
    // only to check that they change no answer.
    bool prefilters = true;
    // Threads that build the hull indexes (the answers are the same at any count).
    int threads = 1;
    // The box of the points the search will place, when known: elements that cannot reach it
    // are left out of the hull indexes and get no facet frame. A point outside it is still placed
    // as without the box, from its bucket.
    ZORPointBox targets = {};
  };

  ZORMtkPointLocator(const ZORMtkSourceElements& mesh, const ZORMtkMeshElemB& grid,
                     const ZORSearchTolerances& tolerances, const Settings& settings);

  // Places point (x, y, z; z = 0 in two dimensions); trace is null unless the search is traced.
  // With the containing choice, an element that accepts the point but whose natural coordinates
  // leave its reference shape (r + s + t > 1 + tol in a tetrahedron, r + s > 1 + tol in a
  // prism, an area coordinate below -tol in a 3-node plane triangle, whose weights are then
  // clamped) does not end the scan: the first candidate whose coordinates lie in the reference
  // shape wins, and if none does, the accepted element with the least excess. Lines, which
  // accept every point whatever its distance, compete instead: of those whose parameter lies in
  // [-tol, 1 + tol] the nearest to the point wins, and if none, the one with the least excess.
  bool Locate(const double* point, Scratch& scratch, ZORPointMatch& match,
              const ZORMtkSearchTrace* trace) const;

 private:
  struct PassTolerances {
    int pass;
    double boundary;
    double normal;
  };
  // The tolerances of the strict first pass (0) or the relaxed second (1).
  PassTolerances Pass(int pass) const;
  // An element the containing choice holds while the scan goes on: one that accepted the point
  // outside its reference shape, ranked by how far outside, or a line that holds the point's
  // foot, ranked by the point's distance from it. The least rank wins, the lower element on a tie.
  struct Held {
    double rank;  // above every real rank while none is held
    int element;
    int nodeCount;
    double weights[ZORMtkSourceElements::kMaxNodes];
    void Offer(double offered, int candidate, int nodes, const double* values);
  };
  // What the scan of one point has found so far.
  struct State {
    ZORFacetRace race;  // the accepted facets' competition
    bool found;         // some element accepted the point
    bool closest;       // the accepted element is a facet, so later facets may replace it
    // Pass 0 walked the facets' strict hulls, so its list may lack facets it would have found
    // inside: pass 1 tests them again instead of reading the list.
    bool relisted;
    Held approximate;
    Held line;
  };
  // Pass over the bucket of the point, or over the hull cell of the point restricted to the
  // elements its bucket lists; for meshes of solids or of 3- and 4-node facets alone, where
  // only those can accept it.
  void ScanBucket(const int* candidates, int count, const PassTolerances& pass, double* point,
                  Scratch& scratch, State& state, ZORPointMatch& match,
                  const ZORMtkSearchTrace* trace) const;
  void PassByHull(const ZORMtkHullIndex& hulls, const int* bucket, const PassTolerances& pass,
                  double* point, Scratch& scratch, State& state, ZORPointMatch& match) const;
  // Each returns true when the scan of the candidates must stop. Untraced, the caller has
  // passed over the candidates CannotTake rules out.
  bool TestCandidate(int element, const PassTolerances& pass, double* point, Scratch& scratch,
                     State& state, ZORPointMatch& match, const ZORMtkSearchTrace* trace) const;
  // Whether the element's bounds rule the point out (untraced searches only, so a trace still
  // shows every candidate it tested). An element that cannot take the point has no node at it
  // either: its nodes lie inside the bounds the point missed, and in pass 1 a coincident node
  // would have ended pass 0.
  bool CannotTake(int element, ZORElementKind kind, const PassTolerances& pass,
                  const double* point) const;
  bool CoincidentNode(int element, const double* point, ZORPointMatch& match,
                      const ZORMtkSearchTrace* trace) const;
  bool TestShape(int element, ZORElementKind kind, const PassTolerances& pass, double* point,
                 Scratch& scratch, State& state, ZORPointMatch& match,
                 const ZORMtkSearchTrace* trace) const;
  void TestFacet(int element, const PassTolerances& pass, double* point, Scratch& scratch,
                 State& state, ZORPointMatch& match, const ZORMtkSearchTrace* trace) const;
  bool StrictlyInside(int element, const double* point, Scratch& scratch) const;
  bool TestPlane(int element, int nodeCount, const PassTolerances& pass, double* point,
                 Scratch& scratch, State& state) const;
  bool RetryTet10(const double* point, const PassTolerances& pass, bool converged, Scratch& scratch,
                  double* rst) const;
  bool TestSolid(int element, int nodeCount, const PassTolerances& pass, double* point,
                 Scratch& scratch, State& state) const;
  void HoldLine(int element, int nodeCount, const PassTolerances& pass, const double* point,
                const Scratch& scratch, State& state) const;
  void TakeHeld(State& state, ZORPointMatch& match) const;
  // The nodal search pads each box by the boundary tolerance times the element's length, so that
  // points on or just beyond a face still reach the Newton test in pass 0. All comparisons are
  // made before one branch: which axis rejects a candidate is unpredictable.
  bool InBox(int element, const double* point) const {
    const double* box = mesh_.Box(element);
    const double margin = nodal_ ? boundary_ * box[6] : 0.0;
    bool inside = (point[0] >= box[0] - margin) & (point[0] <= box[3] + margin) &
                  (point[1] >= box[1] - margin) & (point[1] <= box[4] + margin);
    if (threeDimensional_) inside &= (point[2] >= box[2] - margin) & (point[2] <= box[5] + margin);
    return inside;
  }
  // An index over the hulls one of the solid bounds gives every element.
  using SolidHull = void (ZORSolidBounds::*)(int element, double* hull) const;
  std::unique_ptr<ZORMtkHullIndex> SolidIndex(SolidHull hullOf) const;
  using FacetHull = void (ZORFacetFrames::*)(int element, double* hull) const;
  std::unique_ptr<ZORMtkHullIndex> FacetIndex(FacetHull hullOf) const;
  const ZORMtkHullIndex* StrictHulls() const;
  const ZORMtkHullIndex* RelaxedHulls() const;
  void Gather(int element, Scratch& scratch) const;
  void Keep(int element, const Scratch& scratch, ZORPointMatch& match) const;

  const ZORMtkSourceElements& mesh_;
  const ZORMtkMeshElemB& grid_;
  double boundary_;
  double normal_;
  bool nodal_;
  bool containing_;
  bool prefilters_;
  int threads_;
  ZORPointBox targets_;
  bool threeDimensional_;
  bool hasShells_;
  // Whether every element is a 3- or 4-node facet: only such a mesh gets a facet index, and only
  // it leaves out the frames its targets cannot need, since facets found by bucket scans would pay
  // their whole test without one.
  bool facetsOnly_;
  // Where the solids can accept a point; null without solids.
  std::unique_ptr<ZORSolidBounds> solids_;
  // For meshes of solids alone: their hulls in the strict pass, and in the relaxed pass when
  // every solid's is known (8-node hexahedra, straight tetrahedra); null otherwise. With the
  // containing choice the strict pass first walks the hulls within which a solid can hold a
  // point, and StrictHulls builds the strict ones on first need.
  std::unique_ptr<ZORMtkHullIndex> holdingHulls_;
  mutable std::once_flag strictOnce_;
  mutable std::unique_ptr<ZORMtkHullIndex> strictHulls_;
  // Built by RelaxedHulls on first need, over the facets' hulls or the solids'; null when some
  // solid has no relaxed hull.
  mutable std::once_flag relaxedOnce_;
  mutable std::unique_ptr<ZORMtkHullIndex> relaxedHulls_;
  // The planes of the shell facets; null without shells.
  std::unique_ptr<ZORFacetFrames> facets_;
  // Null unless the mesh is made of 3- and 4-node facets alone: their strict hulls, for pass 0;
  // RelaxedHulls then gives their hulls for pass 1.
  std::unique_ptr<ZORMtkHullIndex> facetHulls_;
};
