#pragma once

#include <vector>

#include "platform/ZORString.h"

class ZORMtkElementWeights;
class ZORMtkSourceElementValues;
class ZORMtkTransferFrame;

// Fills the integration-point values of one target element class from the source elements that
// hold its points. Only those source elements are read: they are gathered into a local reader of
// the source mesh that lives for one class, and each is visited once. Every placed point takes
// its values from the one source element its weights name; unplaced points get the fill value. Owns
// the class's members and point values once filled.
class ZORMtkTargetClassWalk {
 public:
  explicit ZORMtkTargetClassWalk(const cow_String& className);

  // False, with nothing filled, when the class has no integration-point table.
  bool Fill(const ZORMtkTransferFrame& frame, const ZORMtkElementWeights* weights, int components,
            ZORMtkSourceElementValues& source);

  const cow_String& ClassName() const { return className_; }
  const std::vector<int>& Members() const { return members_; }
  int Points() const { return points_; }
  // [element of the class][point][component]
  std::vector<double>& Values() { return values_; }
  const std::vector<double>& Values() const { return values_; }

 private:
  cow_String className_;
  std::vector<int> members_;
  int points_ = 0;
  std::vector<double> values_;
};
