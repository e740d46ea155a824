#pragma once

#include <vector>

#include "platform/ZORSimContext.h"
#include "platform/ZORSimDrawerDescriptor.h"

class ZORMTK_EXPORT ZORSimDistribution {
 public:
  ZORSimDistribution(ZORSimContext context, ZORSimDistributionID id)
      : context_(std::move(context)), id_(id) {}
  std::vector<ZORSimDrawerDescriptor> QueryDrawers() const;
  std::vector<ZORSimCollectionID> Grid() const;

 private:
  ZORSimContext context_;
  ZORSimDistributionID id_;
};
