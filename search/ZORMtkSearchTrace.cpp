#include "search/impl/ZORMtkSearchTrace.h"

#include <cstdlib>

#include "platform/ZORStream.h"

namespace {

// Traces are for the developer chasing one point; below this level they would drown a run.
constexpr int kTraceLevel = 5;

void Coordinates(const double* p) { aio_cout << " " << p[0] << " " << p[1] << " " << p[2]; }

}  // namespace

bool ZORMtkSearchTrace::Requested() {
  const char* level = std::getenv("ODB_MAP_DEBUG");
  return level != nullptr && std::atoi(level) > kTraceLevel;
}

void ZORMtkSearchTrace::SourceLength(double meanLength) const {
  aio_cout << "Source elment characteristic length " << meanLength << "\n";
}

void ZORMtkSearchTrace::TargetNode(int node, const double* p) {
  target_ = node;
  aio_cout << "Target node " << node;
  Coordinates(p);
  aio_cout << "\n";
}

void ZORMtkSearchTrace::TargetPoint(int element, int point, const double* p) {
  target_ = element;
  if (point == 0) aio_cout << "Target element " << element;
  aio_cout << " Integration point " << point << "\n";
  Coordinates(p);
  aio_cout << "\n";
}

void ZORMtkSearchTrace::Bucket(const double* p, int candidates) const {
  if (!nodal_) return;
  Coordinates(p);
  aio_cout << "\n"
           << " found in a bucket with " << candidates << "Target elements"
           << "\n";
}

void ZORMtkSearchTrace::Pass(int pass, double boundary, double normal) const {
  aio_cout << (pass == 0 ? " FIRST TRY " : " SECOND TRY ") << "\n";
  if (!nodal_) return;
  aio_cout << " boundaryTolerance = " << boundary << "\n"
           << " normalTolerance = " << normal << "\n";
}

void ZORMtkSearchTrace::Candidate(int element) const {
  aio_cout << "   ... candidate source element " << element << " ";
}

void ZORMtkSearchTrace::OutsideBox() const {
  aio_cout << " outside bounding box "
           << "\n";
}

void ZORMtkSearchTrace::ElementNodes(double length, int nodeCount, const int* members,
                                     const double* coords) const {
  if (!nodal_) return;
  aio_cout << " source element characteristic length " << length << "\n"
           << " source element nodes ";
  for (int k = 0; k < nodeCount; ++k) {
    const double* x = coords + 3 * k;
    aio_cout << members[k] << " (" << x[0] << " " << x[1] << " " << x[2] << " ) ";
  }
  aio_cout << "\n";
}

void ZORMtkSearchTrace::ExactMatch() const {
  aio_cout << "Exact match "
           << "\n";
}

void ZORMtkSearchTrace::Facet(double projection, double tolerance, bool inside) const {
  aio_cout << "projection = " << projection << " tolerance = " << tolerance
           << (inside ? " INSIDE " : " OUTSIDE ");
}

void ZORMtkSearchTrace::Tight() const {
  aio_cout << " this element was qualified with a tight boundary tolerance in the first pass "
           << "\n";
}

void ZORMtkSearchTrace::Closest() const {
  aio_cout << (nodal_ ? " current closest element to target node "
                      : " current closest element to target element ")
           << target_;
}

void ZORMtkSearchTrace::Excluded(bool inside, bool withinNormal) const {
  if (!nodal_) return;
  if (!inside)
    aio_cout << "excluded because not inside the boundary "
             << "\n";
  if (!withinNormal)
    aio_cout << "excluded because not within the normal tolernace "
             << "\n";
}

void ZORMtkSearchTrace::EndCandidate() const { aio_cout << "\n"; }

void ZORMtkSearchTrace::NotFound() const {
  aio_cout << " NOT FOUND "
           << "\n";
}
