#pragma once

#include <vector>

#include "platform/ZORSimCSetID.h"
#include "platform/ZORSimContext.h"

// A data set: compartments, each a tuple of sets over the data set's grid collections.
class ZORMTK_EXPORT ZORSimDSet {
 public:
  ZORSimDSet(ZORSimContext context, ZORSimDSetID id);
  ZORSimDistributionID GetRelationalDistributionID() const;
  // The union, ascending, of the compartments' sets over `collection`.
  ZORSimCSetID Collect(ZORSimCollectionID collection) const;
  // The data set narrowed to the compartments whose set over `collection` holds `member`.
  ZORSimDSet Select(ZORSimCollectionID collection, int member) const;
  bool IsEmpty() const { return compartments_.empty(); }

 private:
  ZORSimDSet(ZORSimContext context, std::vector<ZORSimCollectionID> grid,
             std::vector<std::vector<ZORSimCSetID>> compartments)
      : context_(std::move(context)),
        grid_(std::move(grid)),
        compartments_(std::move(compartments)) {}
  ZORSimContext context_;
  ZORSimDSetID id_;
  std::vector<ZORSimCollectionID> grid_;
  std::vector<std::vector<ZORSimCSetID>> compartments_;
};
