#include "platform/impl/ZORSimDocumentLoader.h"

#include <pugixml.hpp>

#include <cstring>
#include <map>
#include <sstream>
#include <vector>

#include "platform/impl/ZORSimDatabase.h"

namespace {

bool EndsWith(const std::string& text, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

bool IsCollectionTag(const std::string& tag) {
  return EndsWith(tag, "Collection") && tag.compare(0, 5, "Focus") != 0;
}

class Loader {
 public:
  Loader(ZORSimDatabase& db, std::string binding, std::int64_t focus)
      : db_(db), binding_(std::move(binding)), focus_(focus) {}

  void Run(const char* text) {
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_string(text);
    if (!parsed)
      throw ZORSimError(std::string("data dictionary document: ") + parsed.description());
    const pugi::xml_node root = document.document_element();
    ForEachBlockChild(
        root, [this](const std::string& block, pugi::xml_node e) { CreateObject(block, e); });
    ForEachBlockChild(
        root, [this](const std::string& block, pugi::xml_node e) { AddMembership(block, e); });
    ForEachBlockChild(root,
                      [this](const std::string& block, pugi::xml_node e) { CreateSet(block, e); });
    ForEachBlockChild(root,
                      [this](const std::string& block, pugi::xml_node e) { CreateLink(block, e); });
  }

 private:
  template <typename Visit>
  void ForEachBlockChild(pugi::xml_node root, Visit visit) {
    for (pugi::xml_node section : root.children("dd:modeldata"))
      for (pugi::xml_node block : section.children("dd:block")) {
        const std::string blockId = block.attribute("id").value();
        for (pugi::xml_node element : block.children())
          if (element.type() == pugi::node_element) visit(blockId, element);
      }
  }

  std::int64_t Resolve(const std::string& block, const std::string& reference) const {
    if (reference == binding_) return focus_;
    const std::string key =
        reference.find(':') == std::string::npos ? block + ":" + reference : reference;
    auto it = names_.find(key);
    if (it == names_.end())
      throw ZORSimError("data dictionary document: unresolved reference \"" + reference +
                        "\" in block \"" + block + "\"");
    return it->second;
  }

  void CreateObject(const std::string& block, pugi::xml_node e) {
    const std::string tag = e.name();
    if (tag == "dd:cset" || !e.attribute("id")) return;
    ZORSimObject object;
    object.kind = IsCollectionTag(tag) ? ZORSimObjectKind::kCollection : ZORSimObjectKind::kRecord;
    object.type = db_.Schema().IndexOfName(tag);
    object.tag = tag;
    object.symbol = e.attribute("symbol").value();
    names_[block + ":" + e.attribute("id").value()] = db_.CreateObject(std::move(object));
  }

  void AddMembership(const std::string& block, pugi::xml_node e) {
    if (std::string(e.name()) == "dd:cset" || !e.attribute("id") || !e.attribute("collection"))
      return;
    const std::int64_t record = Resolve(block, e.attribute("id").value());
    const std::int64_t collection = Resolve(block, e.attribute("collection").value());
    if (db_.Object(collection).kind != ZORSimObjectKind::kCollection)
      throw ZORSimError("data dictionary document: \"" +
                        std::string(e.attribute("collection").value()) + "\" is not a collection");
    ZORSimObject& c = db_.Modify(collection);
    memberOf_[record] = static_cast<int>(c.memberRecords.size());
    c.memberRecords.push_back(record);
    c.space = static_cast<std::int64_t>(c.memberRecords.size());
  }

  void CreateSet(const std::string& block, pugi::xml_node e) {
    if (std::string(e.name()) != "dd:cset") return;
    ZORSimStoredSet set;
    if (e.attribute("collection"))
      set.collection = Resolve(block, e.attribute("collection").value());
    const std::string text = e.text().get();
    std::vector<int> members;
    const std::size_t dots = text.find("..");
    if (dots != std::string::npos) {
      const int first = std::stoi(text.substr(0, dots));
      const int last = std::stoi(text.substr(dots + 2));
      set.members = ZORSimMemberSet::Range(first, last - first + 1, 1);
    } else {
      std::istringstream words(text);
      std::string word;
      while (words >> word) {
        if (std::isdigit(static_cast<unsigned char>(word[0]))) {
          members.push_back(std::stoi(word));
        } else {
          auto it = memberOf_.find(Resolve(block, word));
          if (it == memberOf_.end())
            throw ZORSimError("data dictionary document: set member \"" + word +
                              "\" is in no collection");
          members.push_back(it->second);
        }
      }
      set.members = ZORSimMemberSet::Explicit(std::move(members));
    }
    if (set.collection && set.members->MaxMember() >= db_.Object(set.collection).space)
      db_.Modify(set.collection).space = set.members->MaxMember() + 1;
    names_[block + ":" + e.attribute("id").value()] = db_.StoreSet(set);
  }

  void CreateLink(const std::string& block, pugi::xml_node e) {
    if (e.attribute("id") || std::string(e.name()) == "dd:cset") return;
    std::vector<pugi::xml_attribute> attributes(e.attributes_begin(), e.attributes_end());
    if (attributes.size() != 2)
      throw ZORSimError("data dictionary document: link \"" + std::string(e.name()) +
                        "\" in block \"" + block + "\" does not have two ends");
    const int type = db_.Schema().IndexOfName(e.name());
    const ZORSimSchemaTable::Entry* entry = type ? db_.Schema().Find(type) : nullptr;
    if (entry && entry->kind == "association" && attributes[0].name() == entry->endAttribute[1])
      std::swap(attributes[0], attributes[1]);
    db_.Associate(type, Resolve(block, attributes[0].value()),
                  Resolve(block, attributes[1].value()), nullptr, nullptr);
  }

  ZORSimDatabase& db_;
  std::string binding_;
  std::int64_t focus_;
  std::map<std::string, std::int64_t> names_;
  std::map<std::int64_t, int> memberOf_;
};

}  // namespace

void ZORSimDocumentLoader::Load(ZORSimDatabase& database, const char* documentText,
                                const std::string& focusBinding, std::int64_t focus) {
  Loader(database, focusBinding, focus).Run(documentText ? documentText : "");
}
