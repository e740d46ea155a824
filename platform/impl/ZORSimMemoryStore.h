#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/impl/ZORSimStore.h"

// The rows of a database in memory, for tests and for hosts that never need a file. Several
// stores share one medium, as several connections share a file: one saves, later ones open
// what it saved. A store reads the state committed when it was made or last committed.
class ZORSimMemoryStore : public ZORSimStore {
 public:
  struct Body {
    std::shared_ptr<const std::vector<unsigned char>> bytes;
    std::uint32_t crc = 0;
  };
  // Everything one committed batch leaves: the meta table and the rows of the three tables,
  // keyed by (key, block).
  struct Image {
    std::map<std::string, std::string> meta;
    std::array<std::map<std::pair<std::int64_t, std::int64_t>, Body>, 3> rows;
  };
  struct Medium {
    std::shared_ptr<const Image> committed = std::make_shared<Image>();
  };

  ZORSimMemoryStore(std::string name, std::shared_ptr<Medium> medium);

  const std::string& Name() const override { return name_; }
  std::string Meta(const std::string& key) override;
  void Scan(ZORSimTable table, const ZORSimRowVisitor& visit) override;
  bool ReadBlock(std::int64_t drawer, std::int64_t block, const ZORSimRowVisitor& visit) override;
  void Begin(bool fresh) override;
  void PutMeta(const std::string& key, const std::string& value) override;
  void Put(ZORSimTable table, const ZORSimRow& row) override;
  void Erase(ZORSimTable table, std::int64_t key) override;
  void Commit() override;
  void Abort() noexcept override { pending_.reset(); }

 private:
  Image& Pending();
  std::string name_;
  std::shared_ptr<Medium> medium_;
  std::shared_ptr<const Image> snapshot_;
  std::shared_ptr<Image> pending_;
};
