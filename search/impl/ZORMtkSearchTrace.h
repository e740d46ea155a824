#pragma once

// The step-by-step account of a point search that ODB_MAP_DEBUG above 5 asks for, written to the
// platform's standard output stream. The nodal search writes all of it; the integration-point
// search only the pass headers, the candidates with their box and facet results, and its
// failures. Owns nothing but the target it speaks of.
class ZORMtkSearchTrace {
 public:
  // Debug level from ODB_MAP_DEBUG (0 when unset); above 5 the searches trace.
  static bool Requested();

  explicit ZORMtkSearchTrace(bool nodal) : nodal_(nodal) {}

  void SourceLength(double meanLength) const;
  void TargetNode(int node, const double* p);
  void TargetPoint(int element, int point, const double* p);
  void Bucket(const double* p, int candidates) const;
  void Pass(int pass, double boundary, double normal) const;
  void Candidate(int element) const;
  void OutsideBox() const;
  void ElementNodes(double length, int nodeCount, const int* members, const double* coords) const;
  void ExactMatch() const;
  void Facet(double projection, double tolerance, bool inside) const;
  void Tight() const;
  void Closest() const;
  void Excluded(bool inside, bool withinNormal) const;
  void EndCandidate() const;
  void NotFound() const;

 private:
  bool nodal_;
  // The target node or element being searched, named by the closest-element line.
  int target_ = 0;
};
