#pragma once

#include <memory>
#include <vector>

#include "platform/ZORSimHandles.h"

class ZORSimDatabase;

// An open database, shared by every position and handle made from it.
class ZORMTK_EXPORT ZORSimContext {
 public:
  ZORSimContext() = default;
  explicit ZORSimContext(std::shared_ptr<ZORSimDatabase> database) : db_(std::move(database)) {}

  // Makes everything written so far durable: after Save returns the data is on disk, and a
  // crash during Save leaves the previous saved state. Throws ZORSimError on failure.
  void Save();
  // The record that member `member` of the collection stands for (empty when it has none).
  ZORSimDynamicID GetRecord(ZORSimCollectionID collection, int member) const;
  ZORSimDSetID CreateDSet(const std::vector<ZORSimCollectionID>& grid, ZORSimTypeID type) const;
  // Attaches a relational distribution to a data set.
  void UpdateDSet(ZORSimDSetID dset, ZORSimDistributionID distribution) const;
  // Untyped distribution over the grid; value type as in ZORSimRangeType.
  ZORSimDistributionID CreateDistribution(const std::vector<ZORSimCollectionID>& grid,
                                          ZORSimRangeType valueType) const;
  bool IsOpen() const;
  ZORSimDatabase& Database() const;
  const std::shared_ptr<ZORSimDatabase>& Shared() const { return db_; }
  friend bool operator==(const ZORSimContext& a, const ZORSimContext& b) { return a.db_ == b.db_; }

 private:
  std::shared_ptr<ZORSimDatabase> db_;
};
