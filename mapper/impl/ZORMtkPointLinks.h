#pragma once

#include <vector>

// The integration-point weights of one target element class, grouped by the source element
// that holds the points. The element walk meets each contributing source element once, computes
// its nodal values, and hands them to every target point that lies in it; keeping the points of
// one source element together makes that a contiguous run that is found without a search per
// point. Owns its entries and a copy of the weights.
//
// A slot is the row of a point in the class's value array: the target element's position in the
// class times the points per element, plus the point.
class ZORMtkPointLinks {
 public:
  struct Entry {
    int sourceElement;  // member of the source element that holds the point
    int slot;
    int weightOffset;  // first weight of the point
    int weightCount;   // one per node of the source element
  };

  // Points are added in any order; Finish groups them.
  void AddPoint(int sourceElement, int slot, const double* pointWeights, int weightCount);
  // Sorts the entries by source element, then slot. Call once after the last AddPoint.
  void Finish();

  bool IsEmpty() const { return entries_.empty(); }
  // The distinct source elements, ascending: the ones the walk has to read.
  std::vector<int> SourceElements() const;
  // The entries of the points in sourceElement, as [first, last); empty when it holds none.
  const Entry* PointsBegin(int sourceElement) const;
  const Entry* PointsEnd(int sourceElement) const;
  // Every entry, grouped by source element.
  const std::vector<Entry>& Entries() const { return entries_; }
  const double* Weights(const Entry& entry) const { return weights_.data() + entry.weightOffset; }

 private:
  std::vector<Entry> entries_;
  std::vector<double> weights_;
};
