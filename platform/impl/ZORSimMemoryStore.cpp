#include "platform/impl/ZORSimMemoryStore.h"

#include "platform/ZORSimError.h"

namespace {
ZORSimRow RowOf(const std::pair<std::int64_t, std::int64_t>& key,
                const ZORSimMemoryStore::Body& body) {
  ZORSimRow row;
  row.key = key.first;
  row.block = key.second;
  row.body = body.bytes->data();
  row.size = body.bytes->size();
  row.crc = body.crc;
  return row;
}
}  // namespace

ZORSimMemoryStore::ZORSimMemoryStore(std::string name, std::shared_ptr<Medium> medium)
    : name_(std::move(name)), medium_(std::move(medium)), snapshot_(medium_->committed) {}

std::string ZORSimMemoryStore::Meta(const std::string& key) {
  const auto it = snapshot_->meta.find(key);
  return it == snapshot_->meta.end() ? "" : it->second;
}

void ZORSimMemoryStore::Scan(ZORSimTable table, const ZORSimRowVisitor& visit) {
  for (const auto& [key, body] : snapshot_->rows[static_cast<std::size_t>(table)])
    visit(RowOf(key, body));
}

bool ZORSimMemoryStore::ReadBlock(std::int64_t drawer, std::int64_t block,
                                  const ZORSimRowVisitor& visit) {
  const auto& blocks = snapshot_->rows[static_cast<std::size_t>(ZORSimTable::kBlocks)];
  const auto it = blocks.find({drawer, block});
  if (it == blocks.end()) return false;
  visit(RowOf(it->first, it->second));
  return true;
}

void ZORSimMemoryStore::Begin(bool fresh) {
  pending_ = fresh ? std::make_shared<Image>() : std::make_shared<Image>(*medium_->committed);
}

ZORSimMemoryStore::Image& ZORSimMemoryStore::Pending() {
  if (!pending_) throw ZORSimError(name_ + ": no batch is open");
  return *pending_;
}

void ZORSimMemoryStore::PutMeta(const std::string& key, const std::string& value) {
  Pending().meta[key] = value;
}

void ZORSimMemoryStore::Put(ZORSimTable table, const ZORSimRow& row) {
  Pending().rows[static_cast<std::size_t>(table)][{row.key, row.block}] = Body{
      std::make_shared<const std::vector<unsigned char>>(row.body, row.body + row.size), row.crc};
}

void ZORSimMemoryStore::Erase(ZORSimTable table, std::int64_t key) {
  Pending().rows[static_cast<std::size_t>(table)].erase({key, 0});
}

void ZORSimMemoryStore::Commit() {
  Pending();
  medium_->committed = std::move(pending_);
  snapshot_ = medium_->committed;
}
