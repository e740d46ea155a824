#pragma once

#include <vector>

#include "platform/ZORSimHandles.h"

// The integration-point links an element transfer applies: for every target element (by member)
// and each of its integration points in point order, the source element that holds the point and
// that element's shape-function values there, one per source node in the source element's node
// order. A point that no source element accepted keeps its place with source -1 and no weights,
// so the q-th pair always belongs to point q. It also lists, per source element, the target
// elements with a point in it (once per such point). Owns all of it in flat arrays, and the cache
// key: the two meshes.
class ZORMtkElementWeights {
 public:
  // Building, one target element after the other (any member order): open the element, add its
  // points in point order, and call Finish once after the last element.
  void BeginElement(int member);
  void AddPoint(int sourceElement, const double* weights, int count);
  void AddUnplacedPoint();
  void Finish();

  // Target elements in ascending member order.
  int ElementCount() const { return static_cast<int>(order_.size()); }
  int ElementMember(int index) const { return elements_[Slot(index)].member; }
  // Index of a target element member, or -1 when it has no entry.
  int FindElement(int member) const;
  int PointCount(int index) const {
    return elements_[Slot(index) + 1].firstPoint - elements_[Slot(index)].firstPoint;
  }
  // Source element member of point q of the element at index, or -1 when the point was not placed.
  int PointSource(int index, int q) const { return pointSource_[Point(index, q)]; }
  int PointWeightCount(int index, int q) const {
    return pointWeightBegin_[Point(index, q) + 1] - pointWeightBegin_[Point(index, q)];
  }
  const double* PointWeights(int index, int q) const {
    return weights_.data() + pointWeightBegin_[Point(index, q)];
  }

  // Source elements that hold a point, ascending, with the target elements of their points.
  int SourceElementCount() const { return static_cast<int>(sourceKeys_.size()); }
  int SourceElement(int index) const { return sourceKeys_[static_cast<std::size_t>(index)]; }
  int FindSourceElement(int member) const;
  int TargetCount(int index) const {
    return sourceOffsets_[static_cast<std::size_t>(index) + 1] -
           sourceOffsets_[static_cast<std::size_t>(index)];
  }
  const int* Targets(int index) const {
    return sourceTargets_.data() + sourceOffsets_[static_cast<std::size_t>(index)];
  }

  // Bytes held by the link arrays.
  long long StorageBytes() const;

  ZORSimDynamicID targetMesh;
  ZORSimDynamicID sourceMesh;
  // Found with the containing element choice.
  bool containing = false;

 private:
  struct Element {
    int member;
    int firstPoint;
  };
  std::size_t Slot(int index) const {
    return static_cast<std::size_t>(order_[static_cast<std::size_t>(index)]);
  }
  std::size_t Point(int index, int q) const {
    return static_cast<std::size_t>(elements_[Slot(index)].firstPoint + q);
  }
  void EndPoint();
  void BuildSourceTargets();

  // Elements in the order they were added, closed by a sentinel whose firstPoint is the point
  // count; order_ lists their slots by ascending member.
  std::vector<Element> elements_{{0, 0}};
  std::vector<int> order_;
  std::vector<int> pointSource_;
  std::vector<int> pointWeightBegin_{0};
  std::vector<double> weights_;
  std::vector<int> sourceKeys_;
  std::vector<int> sourceOffsets_{0};
  std::vector<int> sourceTargets_;
};
