#pragma once

#include "platform/ZORSimCSetID.h"
#include "platform/ZORSimContext.h"

// A collection of integer members 0 … space-1 and its sets.
class ZORMTK_EXPORT ZORSimCollection {
 public:
  ZORSimCollection(ZORSimContext context, ZORSimCollectionID id)
      : context_(std::move(context)), id_(id) {}
  ZORSimCollectionID ID() const { return id_; }
  int Space() const;
  void ExtendSpace(int space) const;
  ZORSimCSetID BiggestCSetID() const;
  ZORSimCSetID EmptyCSetID() const;
  ZORSimCSetID CreateCSet(const int* members, int count, bool ordered) const;
  ZORSimCSetID CreateCSetStrided(int start, int count, int stride, int repeat) const;
  ZORSimCSetID CreateTempOrderedCSet(const int* members, int count) const;
  ZORSimCSetID CreateTempCSet(const int* members, int count, bool ordered) const;
  ZORSimCSetID CreateTempCSetStrided(int start, int count, int stride, int repeat) const;

 private:
  ZORSimCSetID Make(ZORSimMemberSetPtr members) const;
  ZORSimContext context_;
  ZORSimCollectionID id_;
};
