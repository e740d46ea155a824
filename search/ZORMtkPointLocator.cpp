#include "search/impl/ZORMtkPointLocator.h"

#include <algorithm>
#include <cmath>

#include "search/ZORMtkGeom.h"
#include "search/ZORMtkMeshElemB.h"
#include "search/impl/ZORFacetFrames.h"
#include "search/impl/ZORMtkSearchTrace.h"
#include "search/impl/ZORSolidBounds.h"
#include "search/impl/ZORSolidInversion.h"

namespace {

// The strict first pass shrinks the boundary tolerance a thousandfold and the normal tolerance
// tenfold, so that a point on a shared face or near a shell is taken by the element that holds
// it clearly before the relaxed pass lets neighbours compete.
constexpr double kStrictBoundaryDivisor = 1000.0;
constexpr double kStrictNormalDivisor = 10.0;
// Larger than any excess a converged solid can have.
constexpr double kNoExcess = 1e300;
// Room for the facets one point may find inside in pass 0, reserved once per Scratch.
constexpr std::size_t kListedFacets = 64;
// A node coincides with the point within this fraction of the element length per axis, as
// ZORMtkGeom::FindCoincidentNode decides.
constexpr double kCoincidence = 1e-10;
// Beyond this natural-coordinate reach a bound screens nothing, and its arithmetic would run into
// infinities.
constexpr double kLargestScreenedTolerance = 1e6;

// The bounds and hull indexes list every element with a node at the point, whose exact match
// comes before any tolerance, only while the tolerances widen what an element takes rather than
// shrink it; outside a finite range they are not built, and every candidate is tested unscreened,
// as it always may be.
bool Bounded(const ZORMtkPointLocator::Settings& settings, const ZORSearchTolerances& tolerances) {
  const auto screenable = [](double tolerance) {
    return tolerance >= 0.0 && tolerance <= kLargestScreenedTolerance;
  };
  return settings.prefilters && screenable(tolerances.boundary) && screenable(tolerances.normal);
}

}  // namespace

ZORMtkPointLocator::Scratch::Scratch() : coords(), buffer() { listed.reserve(kListedFacets); }

ZORMtkPointLocator::PassTolerances ZORMtkPointLocator::Pass(int pass) const {
  return pass == 0
             ? PassTolerances{0, boundary_ / kStrictBoundaryDivisor, normal_ / kStrictNormalDivisor}
             : PassTolerances{1, boundary_, normal_};
}

ZORMtkPointLocator::ZORMtkPointLocator(const ZORMtkSourceElements& mesh,
                                       const ZORMtkMeshElemB& grid,
                                       const ZORSearchTolerances& tolerances,
                                       const Settings& settings)
    : mesh_(mesh),
      grid_(grid),
      boundary_(tolerances.boundary),
      normal_(tolerances.normal),
      nodal_(settings.nodal),
      containing_(settings.containing),
      prefilters_(settings.prefilters),
      threads_(settings.threads),
      targets_(settings.targets),
      threeDimensional_(mesh.Dimension() != 2),
      hasShells_(mesh.HasKind(ZORElementKind::Shell)),
      facetsOnly_(ZORFacetFrames::Covers(mesh)),
      solids_(Bounded(settings, tolerances) && mesh.HasKind(ZORElementKind::Solid)
                  ? std::make_unique<ZORSolidBounds>(mesh, Pass(0).boundary, tolerances.boundary,
                                                     settings.nodal ? tolerances.boundary : 0.0,
                                                     settings.threads, settings.containing)
                  : nullptr),
      facets_(Bounded(settings, tolerances) && hasShells_
                  ? std::make_unique<ZORFacetFrames>(mesh, tolerances.boundary, Pass(0).boundary,
                                                     tolerances.normal, Pass(0).normal,
                                                     settings.threads,
                                                     facetsOnly_ ? settings.targets : ZORPointBox{})
                  : nullptr),
      facetHulls_(facets_ && facetsOnly_ ? FacetIndex(&ZORFacetFrames::StrictHull) : nullptr) {
  if (solids_ && ZORSolidBounds::Covers(mesh)) {
    if (containing_ && solids_->HoldsTighter()) {
      holdingHulls_ = SolidIndex(&ZORSolidBounds::HoldingHull);
    } else {
      StrictHulls();
    }
  }
  // An index that took every element left none out for the box to guard: the points need not be
  // asked whether they lie in it, and indexes built later take every element too.
  const ZORMtkHullIndex* first = facetHulls_     ? facetHulls_.get()
                                 : holdingHulls_ ? holdingHulls_.get()
                                                 : strictHulls_.get();
  if (first && first->HullCount() == mesh.ElementCount()) targets_ = ZORPointBox{};
}

std::unique_ptr<ZORMtkHullIndex> ZORMtkPointLocator::SolidIndex(SolidHull hullOf) const {
  return std::make_unique<ZORMtkHullIndex>(
      mesh_.ElementCount(),
      [this, hullOf](int element, double* hull) {
        (solids_.get()->*hullOf)(element, hull);
        return true;
      },
      threads_, targets_);
}

// The facets' hulls of one pass, over the facets whose frames are kept (every one, when the mesh
// is made of facets alone and they reach the targets).
std::unique_ptr<ZORMtkHullIndex> ZORMtkPointLocator::FacetIndex(FacetHull hullOf) const {
  return std::make_unique<ZORMtkHullIndex>(
      mesh_.ElementCount(),
      [this, hullOf](int element, double* hull) {
        if (!facets_->Keeps(element)) return false;
        (facets_.get()->*hullOf)(element, hull);
        return true;
      },
      threads_, targets_, ZORMtkHullIndex::kSurfaceCellsPerHull);
}

// The containing choice reads the strict hulls only for a point no solid holds, often none.
const ZORMtkHullIndex* ZORMtkPointLocator::StrictHulls() const {
  std::call_once(strictOnce_, [this] { strictHulls_ = SolidIndex(&ZORSolidBounds::StrictHull); });
  return strictHulls_.get();
}

// Pass 1 runs only for points pass 0 left, often none: its index is built on first need, once,
// whichever thread needs it first.
const ZORMtkHullIndex* ZORMtkPointLocator::RelaxedHulls() const {
  std::call_once(relaxedOnce_, [this] {
    if (facetHulls_) {
      relaxedHulls_ = FacetIndex(&ZORFacetFrames::Hull);
      return;
    }
    double hull[6];
    for (int e = 0; e < mesh_.ElementCount(); ++e)
      if (!solids_->RelaxedHull(e, hull)) return;
    relaxedHulls_ = std::make_unique<ZORMtkHullIndex>(
        mesh_.ElementCount(),
        [this](int element, double* box) { return solids_->RelaxedHull(element, box); }, threads_,
        targets_);
  });
  return relaxedHulls_.get();
}

bool ZORMtkPointLocator::Locate(const double* point, Scratch& scratch, ZORPointMatch& match,
                                const ZORMtkSearchTrace* trace) const {
  double p[3] = {point[0], point[1], point[2]};
  match.element = -1;
  match.exactNode = -1;
  match.nodeCount = 0;
  match.pass = -1;
  match.approximate = false;
  match.excess = 0.0;
  scratch.listed.clear();
  if (scratch.hits != nullptr) scratch.hits->clear();
  const bool indexed =
      trace == nullptr && (holdingHulls_ || strictHulls_ || facetHulls_) && targets_.Holds(p);
  State state{ZORFacetRace::Start(mesh_.MeanLength()),
              false,
              false,
              indexed && facetHulls_,
              {kNoExcess, -1, 0, {}},
              {kNoExcess, -1, 0, {}}};
  int bucket[3] = {1, 1, 1};
  int count = 0;
  const int* candidates = nullptr;
  if (indexed) {
    grid_.BucketIndex(p, bucket);
  } else {
    candidates = grid_.Bucket(p, count);
    if (trace) trace->Bucket(p, count);
  }
  int pass = 0;
  for (; pass < 2 && !state.found; ++pass) {
    const PassTolerances tolerances = Pass(pass);
    if (trace) trace->Pass(pass, tolerances.boundary, tolerances.normal);
    const ZORMtkHullIndex* hulls = !indexed                   ? nullptr
                                   : facetHulls_ && pass == 0 ? facetHulls_.get()
                                   : pass != 0                ? RelaxedHulls()
                                   : holdingHulls_            ? holdingHulls_.get()
                                                              : strictHulls_.get();
    if (hulls) {
      PassByHull(*hulls, bucket, tolerances, p, scratch, state, match);
    } else {
      // The relaxed pass of solids without known hulls scans the bucket, listed on first need.
      if (candidates == nullptr) candidates = grid_.Bucket(p, count);
      ScanBucket(candidates, count, tolerances, p, scratch, state, match, trace);
    }
    TakeHeld(state, match);
  }
  // The loop has stepped past the pass that placed the point.
  if (state.found) match.pass = pass - 1;
  if (!state.found && trace) trace->NotFound();
  return state.found;
}

// Most candidates of pass 0 fail the box test; untraced, they are dropped here without the
// per-candidate call, and the kind is not even looked at when the mesh has no shells.
void ZORMtkPointLocator::ScanBucket(const int* candidates, int count, const PassTolerances& pass,
                                    double* point, Scratch& scratch, State& state,
                                    ZORPointMatch& match, const ZORMtkSearchTrace* trace) const {
  const bool screen = pass.pass == 0 && trace == nullptr && prefilters_;
  for (int c = 0; c < count; ++c) {
    const int element = candidates[c];
    if (screen && (!hasShells_ || mesh_.Kind(element) != ZORElementKind::Shell) &&
        !InBox(element, point)) {
      continue;
    }
    if (trace == nullptr && CannotTake(element, mesh_.Kind(element), pass, point)) continue;
    if (TestCandidate(element, pass, point, scratch, state, match, trace)) return;
  }
}

// The hull cell lists, ascending, every element that could accept the point in this pass (and
// every element with a node at it), so testing those the point's bucket also lists, in that
// order, finds what the scan of the whole bucket finds. The facets' strict hulls leave out facets
// that pass 0 would find inside but too far from their planes to take the point; it would list
// them, so pass 1 tells listed facets by testing each again (State::relisted).
//
// The containing choice puts off the tetrahedra whose affine coordinates (a curved one's corners'
// beyond its reach) leave them by more than the tolerance, and the 6-node prisms whose hull or
// face slabs show as much (ZORSolidBounds::ExceedsBy): none of them can hold the point, so the
// first that does is among the others, in the same order. When none holds it, a second walk tests
// the put-off ones after all; the one held is the least outside, the lower element on a tie,
// whatever the order it was met in. Most points end in the first walk, so the put-off ones are
// found again rather than listed. In the strict pass the first walk reads the holding hulls when
// there are any (ZORSolidBounds::HoldingHull), whose cell lists every testable solid that does not
// put the point off, and the second walk reads the strict ones.
void ZORMtkPointLocator::PassByHull(const ZORMtkHullIndex& hulls, const int* bucket,
                                    const PassTolerances& pass, double* point, Scratch& scratch,
                                    State& state, ZORPointMatch& match) const {
  int size = 0;
  const int* cell = hulls.Cell(point, size);
  const bool screen = pass.pass == 0 && !facetHulls_;
  const bool defer = containing_ && solids_ && !facetHulls_;
  // Every element is a facet, or every one a solid, when an index is used: their bounds screen
  // here what CannotTake would. The box screen of pass 0 and the bucket's list cost less, but
  // around a point inside the mesh they let through most candidates of a hull cell, which the
  // put-off test (a tetrahedron's affine coordinates) and the bounds turn away; so pass 0 asks
  // those first. The relaxed pass and the walk of the put-off candidates mostly see points outside
  // the mesh, around which the box and the bucket turn away most, and ask them first. All these
  // tests only drop candidates, so their order changes what is tested, and in what order, not at
  // all.
  const auto bounded = [&](int element) {
    return facetHulls_ ? facets_->MayTake(element, point, pass.pass)
                       : solids_->MayAccept(element, point, pass.boundary);
  };
  const auto near = [&](int element) {
    return (!screen || InBox(element, point)) && grid_.Holds(element, bucket);
  };
  const bool nearFirst = pass.pass != 0;
  bool putOff = false;
  for (int i = 0; i < size; ++i) {
    const int element = cell[i];
    if (nearFirst && !near(element)) continue;
    if (defer && solids_->ExceedsBy(element, point, pass.boundary, pass.boundary)) {
      putOff = true;
      continue;
    }
    if (!bounded(element) || (!nearFirst && !near(element))) continue;
    if (TestCandidate(element, pass, point, scratch, state, match, nullptr)) return;
  }
  // The holding hulls' cell lists every candidate that is not put off, but not every put-off one:
  // those the strict cell lists.
  if (&hulls == holdingHulls_.get()) {
    cell = StrictHulls()->Cell(point, size);
    putOff = true;
  }
  for (int i = 0; putOff && i < size; ++i) {
    const int element = cell[i];
    if (near(element) && solids_->ExceedsBy(element, point, pass.boundary, pass.boundary) &&
        bounded(element) && TestCandidate(element, pass, point, scratch, state, match, nullptr))
      return;
  }
}

bool ZORMtkPointLocator::TestCandidate(int element, const PassTolerances& pass, double* point,
                                       Scratch& scratch, State& state, ZORPointMatch& match,
                                       const ZORMtkSearchTrace* trace) const {
  const ZORElementKind kind = mesh_.Kind(element);
  if (trace) trace->Candidate(grid_.ElementMember(element));
  if (pass.pass == 0 && kind != ZORElementKind::Shell && !InBox(element, point)) {
    if (trace) trace->OutsideBox();
    return false;
  }
  if (nodal_ && CoincidentNode(element, point, match, trace)) {
    state.found = true;
    return true;
  }
  // A facet whose frame is kept is tested on it, without its nodes.
  if (kind != ZORElementKind::Shell || !facets_ || !facets_->Keeps(element))
    Gather(element, scratch);
  const bool accepted = TestShape(element, kind, pass, point, scratch, state, match, trace);
  if (accepted) {
    state.found = true;
    Keep(element, scratch, match);
  }
  if (trace) trace->EndCandidate();
  return state.found && !state.closest;
}

bool ZORMtkPointLocator::CannotTake(int element, ZORElementKind kind, const PassTolerances& pass,
                                    const double* point) const {
  if (kind == ZORElementKind::Shell) return facets_ && !facets_->MayTake(element, point, pass.pass);
  if (kind == ZORElementKind::Solid)
    return solids_ && !solids_->MayAccept(element, point, pass.boundary);
  return false;
}

// The coincident-node test reads the node coordinates in place, before any are gathered; traced,
// the element's nodes are listed first, as the trace has always shown them.
bool ZORMtkPointLocator::CoincidentNode(int element, const double* point, ZORPointMatch& match,
                                        const ZORMtkSearchTrace* trace) const {
  const int nodeCount = mesh_.NodeCountOf(element);
  const int* nodes = mesh_.NodePositions(element);
  if (trace) {
    int members[ZORMtkSourceElements::kMaxNodes];
    double coords[3 * ZORMtkSourceElements::kMaxNodes];
    for (int k = 0; k < nodeCount; ++k) {
      std::copy_n(mesh_.NodeCoords(nodes[k]), 3, coords + 3 * k);
      members[k] = mesh_.NodeMember(nodes[k]);
    }
    trace->ElementNodes(mesh_.Length(element), nodeCount, members, coords);
  }
  const double reach = kCoincidence * mesh_.Length(element);
  const int axes = mesh_.Dimension() == 2 ? 2 : 3;
  for (int n = 0; n < nodeCount; ++n) {
    const double* x = mesh_.NodeCoords(nodes[n]);
    bool close = true;
    for (int k = 0; k < axes && close; ++k) close = std::fabs(x[k] - point[k]) <= reach;
    if (!close) continue;
    if (trace) trace->ExactMatch();
    match.exactNode = nodes[n];
    match.element = element;
    return true;
  }
  return false;
}

// The element test of the candidate's kind on the gathered nodes. The buffer is not cleared
// first: every test writes each weight it hands back, and a rejected candidate's weights are
// never read.
bool ZORMtkPointLocator::TestShape(int element, ZORElementKind kind, const PassTolerances& pass,
                                   double* point, Scratch& scratch, State& state,
                                   ZORPointMatch& match, const ZORMtkSearchTrace* trace) const {
  const int nodeCount = mesh_.NodeCountOf(element);
  const int dimension = mesh_.Dimension();
  double tolerance = pass.boundary;
  switch (kind) {
    case ZORElementKind::Shell:
      TestFacet(element, pass, point, scratch, state, match, trace);
      return false;
    case ZORElementKind::Line:
      if (!ZORMtkGeom::IncludedInLine(scratch.buffer, point, scratch.coords, nodeCount, dimension))
        return false;
      if (!containing_) return true;
      HoldLine(element, nodeCount, pass, point, scratch, state);
      return false;
    case ZORElementKind::Solid:
      if (trace && solids_ && pass.pass == 0 && nodeCount == 8 &&
          !solids_->MayAccept(element, point, pass.boundary))
        return false;
      return containing_
                 ? TestSolid(element, nodeCount, pass, point, scratch, state)
                 : ZORMtkGeom::IncludedInSolid(scratch.buffer, point, scratch.coords, nodeCount,
                                               dimension, &tolerance, pass.pass == 1);
    case ZORElementKind::Plane:
      return TestPlane(element, nodeCount, pass, point, scratch, state);
    case ZORElementKind::None:
      return false;
  }
  return false;
}

// A facet competes on its distance from the point. In pass 1, once a facet that was inside in
// pass 0 has been accepted, only such facets are considered, and only when they are nearer. With
// the containing choice a 3-node facet that took the point only by clamping its weights stays out
// of the race and is held like a solid outside its reference shape.
void ZORMtkPointLocator::TestFacet(int element, const PassTolerances& pass, double* point,
                                   Scratch& scratch, State& state, ZORPointMatch& match,
                                   const ZORMtkSearchTrace* trace) const {
  const bool listed = pass.pass == 1 && state.relisted
                          ? StrictlyInside(element, point, scratch)
                          : std::find(scratch.listed.begin(), scratch.listed.end(), element) !=
                                scratch.listed.end();
  if (state.race.Skips(pass.pass, listed)) return;
  double projection = 0.0;
  double excess = 0.0;  // stays 0 unless the containing choice asks for it
  double* const clamped = containing_ ? &excess : nullptr;
  const int nodeCount = mesh_.NodeCountOf(element);
  ZORFacetFrame frame;
  const bool inside =
      facets_ && facets_->Keeps(element)
          ? facets_->Test(element, point, scratch.buffer, &projection, pass.boundary,
                          pass.pass == 1, clamped)
          : zor_facet::Build(scratch.coords, nodeCount, mesh_.Dimension(), frame) &&
                zor_facet::Test(frame, nodeCount, point, scratch.buffer, &projection, pass.boundary,
                                pass.pass == 1, clamped);
  const double reach = pass.normal * mesh_.MeanLength();
  if (trace) trace->Facet(projection, reach, inside);
  if (pass.pass == 0 && inside) scratch.listed.push_back(element);
  const double distance = std::fabs(projection);
  const bool within = distance <= reach;
  if (inside && within && scratch.hits != nullptr) {
    scratch.hits->push_back(ZORFacetHit{element, listed, distance, excess, {}});
    std::copy_n(scratch.buffer, nodeCount, scratch.hits->back().weights);
  }
  if (inside && within && excess > 0.0) {
    state.approximate.Offer(excess, element, nodeCount, scratch.buffer);
    return;
  }
  if (inside && within && state.race.Offer(pass.pass, listed, distance)) {
    if (pass.pass == 1 && listed && trace) trace->Tight();
    state.found = state.closest = true;
    Keep(element, scratch, match);
    if (trace) trace->Closest();
    return;
  }
  if (trace) trace->Excluded(inside, within);
}

// Whether the strict pass found the facet inside, which it lists whatever the point's distance:
// the same test again.
bool ZORMtkPointLocator::StrictlyInside(int element, const double* point, Scratch& scratch) const {
  if (!facets_->MayTake(element, point, 0)) return false;
  double projection = 0.0;
  return facets_->Test(element, point, scratch.buffer, &projection, Pass(0).boundary, false);
}

// The element test's iteration starts at a corner of a tetrahedron, and on a 10-node tetrahedron
// with curved edges it can fail, or end at another root, while the point lies inside. The
// containing choice then tries once more from the point's coordinates in the straight-sided
// tetrahedron of the corners, and takes the answer only when it holds the point (excess within
// the tolerance): any other candidate is judged as the element test judged it.
//
// The second try is skipped where it cannot help. Mid-edge nodes off the straight edges by d
// move a point by at most 1.5 d (the edge functions 4 L_a L_b sum to at most 3/8 x 4), so with
// d up to a third of an edge the straight-sided estimate of a held point lies within
// kCurvedReach of the reference shape. And where the first try converged to the estimate, as it
// does on straight-sided tetrahedra, the second would only repeat it.
bool ZORMtkPointLocator::RetryTet10(const double* point, const PassTolerances& pass, bool converged,
                                    Scratch& scratch, double* rst) const {
  constexpr double kCurvedReach = 0.5;
  constexpr double kSameRoot = 1e-4;
  double start[3];
  if (!zor_solid::CornerCoordinates(point, scratch.coords, start) ||
      zor_solid::Excess(10, start) > pass.boundary + kCurvedReach)
    return false;
  if (converged &&
      std::fabs(start[0] - rst[0]) + std::fabs(start[1] - rst[1]) + std::fabs(start[2] - rst[2]) <
          kSameRoot)
    return false;
  double retried[3];
  if (!zor_solid::InvertTet10From(scratch.retried, point, scratch.coords, start, retried) ||
      zor_solid::Excess(10, retried) > pass.boundary)
    return false;
  std::copy_n(scratch.retried, 4 * 10, scratch.buffer);
  std::copy_n(retried, 3, rst);
  return true;
}

// The containing choice: a solid whose coordinates are in range but whose reference shape does
// not hold the point is remembered when it is the least outside so far, and the scan goes on.
bool ZORMtkPointLocator::TestSolid(int element, int nodeCount, const PassTolerances& pass,
                                   double* point, Scratch& scratch, State& state) const {
  // A tetrahedron or 6-node prism that can neither take the point nor come closer than the one
  // held is passed over without Newton; few are, as the closest so far only shrinks.
  if (solids_ && solids_->ExceedsBy(element, point, std::max(pass.boundary, state.approximate.rank),
                                    pass.boundary))
    return false;
  double rst[3];
  bool converged = zor_solid::Invert(scratch.buffer, point, scratch.coords, nodeCount, rst);
  if (nodeCount == 10 && (!converged || zor_solid::Excess(nodeCount, rst) > pass.boundary))
    converged = RetryTet10(point, pass, converged, scratch, rst) || converged;
  if (!converged || !zor_solid::WithinRanges(nodeCount, rst, pass.boundary)) return false;
  const double excess = zor_solid::Excess(nodeCount, rst);
  if (excess <= pass.boundary) return true;
  state.approximate.Offer(excess, element, nodeCount, scratch.buffer);
  return false;
}

// The containing choice for lines. The line test accepts any point, so the parameter of its foot
// and its distance decide: u from the weights (1 - u, u), or for 3 nodes ((xi^2 - xi) / 2,
// 1 - xi^2, (xi^2 + xi) / 2) with xi = 2u - 1, the end weights' difference.
void ZORMtkPointLocator::HoldLine(int element, int nodeCount, const PassTolerances& pass,
                                  const double* point, const Scratch& scratch, State& state) const {
  const double* w = scratch.buffer;
  const double u = nodeCount == 2 ? w[1] : 0.5 * (w[2] - w[0] + 1.0);
  const double excess = std::max({0.0, -u, u - 1.0});
  if (excess > pass.boundary) {
    state.approximate.Offer(excess, element, nodeCount, w);
    return;
  }
  double squared = 0.0;
  for (int a = 0; a < (threeDimensional_ ? 3 : 2); ++a) {
    double foot = 0.0;
    for (int k = 0; k < nodeCount; ++k) foot += w[k] * scratch.coords[3 * k + a];
    squared += (foot - point[a]) * (foot - point[a]);
  }
  state.line.Offer(std::sqrt(squared), element, nodeCount, w);
}

void ZORMtkPointLocator::Held::Offer(double offered, int candidate, int nodes,
                                     const double* values) {
  if (!(offered < rank || (offered == rank && candidate < element))) return;
  rank = offered;
  element = candidate;
  nodeCount = nodes;
  std::copy_n(values, nodes, weights);
}

// Ends a pass of the containing choice. A held line ranks by its distance and an element that
// ended the scan by holding the point ranks 0, so one search over all parts of a mesh takes the
// line unless the other is nearer; on a tie the lower element, which is the line, met first. A
// pass that placed the point no other way takes the accepted element least outside.
void ZORMtkPointLocator::TakeHeld(State& state, ZORPointMatch& match) const {
  const Held& line = state.line;
  const bool lineWins = !state.found || (!state.closest && line.rank == 0.0);
  const Held& held = line.element >= 0 && lineWins ? line : state.approximate;
  if (held.element < 0 || (state.found && &held != &line)) return;
  state.found = true;
  match.approximate = &held != &line;
  match.excess = held.rank;
  match.exactNode = -1;
  match.element = held.element;
  match.nodeCount = held.nodeCount;
  std::copy_n(held.weights, held.nodeCount, match.weights);
}

// Two-dimensional continuum elements are tested in x-y with the in-plane solvers of facets. A
// 3-node triangle also accepts a point whose clamped weights land within the tolerance of it; its
// distance then measures how far the area coordinates leave the triangle, which the containing
// choice holds as the excess. The others accept only points whose coordinates are in range.
bool ZORMtkPointLocator::TestPlane(int element, int nodeCount, const PassTolerances& pass,
                                   double* point, Scratch& scratch, State& state) const {
  bool inside = false;
  double distance = 0.0;
  switch (nodeCount) {
    case 3:
      ZORMtkGeom::InterpolateInTriangle(scratch.buffer, scratch.coords, point, distance, inside,
                                        pass.boundary);
      if (inside && containing_ && distance > 0.0) {
        state.approximate.Offer(distance, element, nodeCount, scratch.buffer);
        return false;
      }
      break;
    case 6:
      ZORMtkGeom::InterpolateInQTriangle(scratch.buffer, scratch.coords, point, distance, inside,
                                         pass.boundary);
      break;
    case 4:
    case 8:
      ZORMtkGeom::InterpolateInQuad(scratch.buffer, nodeCount, scratch.coords, point, inside,
                                    pass.boundary);
      break;
    default:
      break;
  }
  return inside;
}

// Coordinate by coordinate: a copy of three values was a library call per node.
void ZORMtkPointLocator::Gather(int element, Scratch& scratch) const {
  const int* nodes = mesh_.NodePositions(element);
  for (int k = 0; k < mesh_.NodeCountOf(element); ++k) {
    const double* x = mesh_.NodeCoords(nodes[k]);
    double* to = scratch.coords + 3 * k;
    to[0] = x[0], to[1] = x[1], to[2] = x[2];
  }
}

void ZORMtkPointLocator::Keep(int element, const Scratch& scratch, ZORPointMatch& match) const {
  match.element = element;
  match.nodeCount = mesh_.NodeCountOf(element);
  std::copy_n(scratch.buffer, match.nodeCount, match.weights);
}
