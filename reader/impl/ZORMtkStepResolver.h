#pragma once

#include <vector>

#include "platform/ZORSimAPI.h"

// Why a step and increment could not be resolved; kFound when they could.
enum class ZORMtkStepStatus { kFound, kNoSuchStep, kStaticIncrement, kNoSuchIncrement };

// Finds the step record of a caller's step number (counted from 1) and checks the increment
// number against it: a static step holds increment 1 only, an increment-bearing step the members
// of its step increment set. Owns the handles it found; reads the database only when built.
class ZORMtkStepResolver {
 public:
  // With checkIncrement false the resolver stops once it has the step record.
  ZORMtkStepResolver(const ZORSrvPosition& root, int stepNo, int incrementNo,
                     bool checkIncrement = true);

  ZORMtkStepStatus Status() const { return status_; }
  bool Found() const { return status_ == ZORMtkStepStatus::kFound; }
  const ZORSrvPosition& Step() const { return step_; }
  // The one-member set of the increment on an increment-bearing step; empty on a static one.
  const ZORSimCSetID& Increment() const { return increment_; }
  // The field records of the step, in list order.
  std::vector<ZORSimDynamicID> FieldRecords() const;
  bool HoldsField(const ZORSimDynamicID& field) const;

 private:
  ZORMtkStepStatus Resolve(const ZORSrvPosition& root, int stepNo, int incrementNo,
                           bool checkIncrement);

  ZORSrvPosition step_;
  ZORSimCSetID increment_;
  ZORMtkStepStatus status_;
};
