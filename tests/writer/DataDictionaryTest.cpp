#include "writer/impl/ZORDataDictionary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "element/ZORMtkShp.h"
#include "writer/impl/ZORFieldTypeCodes.h"

// The data dictionary is the initial content of every target database; the writer reaches its
// records by position and by symbol name. These tests read the embedded text as the library hands
// it on and check the structure the database loader and the writer rely on. Long name lists are
// pinned by their count and a digest (FNV-1a over the names, each followed by a line feed).

namespace {

using Names = std::vector<std::string>;

std::uint64_t Digest(const Names& names) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  for (const std::string& name : names)
    for (const char c : name + "\n") hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
  return hash;
}

bool StartsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }
bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}
bool IsCollectionTag(const std::string& tag) {
  return EndsWith(tag, "Collection") && !StartsWith(tag, "Focus");
}

std::vector<pugi::xml_node> Elements(pugi::xml_node parent, const char* name = nullptr) {
  std::vector<pugi::xml_node> nodes;
  for (pugi::xml_node child : parent.children())
    if (child.type() == pugi::node_element && (!name || std::strcmp(child.name(), name) == 0))
      nodes.push_back(child);
  return nodes;
}

Names Attributes(const std::vector<pugi::xml_node>& nodes, const char* attribute) {
  Names values;
  for (pugi::xml_node node : nodes) values.emplace_back(node.attribute(attribute).value());
  return values;
}

class DataDictionaryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    result_ =
        doc_.load_buffer(ZORDataDictionaryText(), ZORDataDictionarySize(),
                         pugi::parse_default | pugi::parse_comments | pugi::parse_declaration);
    for (pugi::xml_node section : Sections())
      for (pugi::xml_node block : Elements(section, "dd:block"))
        blocks_.emplace(block.attribute("id").value(), block);
  }
  static pugi::xml_node Root() { return doc_.child("dd:datadictionary"); }
  static std::vector<pugi::xml_node> Sections() { return Elements(Root(), "dd:modeldata"); }
  static pugi::xml_node Block(const std::string& id) {
    const auto it = blocks_.find(id);
    return it == blocks_.end() ? pugi::xml_node() : it->second;
  }
  // What a reference names, seen from a block: "anchor:focus" is bound by the database
  // interface, so it resolves to the root.
  static pugi::xml_node Resolve(pugi::xml_node block, const std::string& reference) {
    if (reference == "anchor:focus") return Root();
    const std::size_t colon = reference.find(':');
    if (colon != std::string::npos) block = Block(reference.substr(0, colon));
    const std::string id = colon == std::string::npos ? reference : reference.substr(colon + 1);
    return block ? block.find_child_by_attribute("id", id.c_str()) : pugi::xml_node();
  }

  static pugi::xml_document doc_;
  static pugi::xml_parse_result result_;
  static std::multimap<std::string, pugi::xml_node> blocks_;
};

pugi::xml_document DataDictionaryTest::doc_;
pugi::xml_parse_result DataDictionaryTest::result_;
std::multimap<std::string, pugi::xml_node> DataDictionaryTest::blocks_;

TEST_F(DataDictionaryTest, OneNulTerminatedAsciiDocument) {
  const std::string text(ZORDataDictionaryText(), ZORDataDictionarySize());
  EXPECT_EQ(ZORDataDictionaryText()[text.size()], '\0');
  EXPECT_TRUE(StartsWith(text, "<?xml version=\"1.0\" encoding=\"US-ASCII\"?>\n"));
  EXPECT_TRUE(EndsWith(text, "</dd:datadictionary>\n"));
  EXPECT_EQ(std::count_if(text.begin(), text.end(),
                          [](char c) { return c != '\n' && (c < 0x20 || c > 0x7e); }),
            0);
  ASSERT_TRUE(result_) << result_.description() << " at offset " << result_.offset;
}

// Seven sections of blocks only, the block ids pinned in document order (an empty name ends a
// section): the second holds 37 blocks of global records, one per element formulation and
// "legacy" with the element types. The loader needs the ids unique.
TEST_F(DataDictionaryTest, SevenSectionsHoldUniquelyNamedBlocksInOrder) {
  ASSERT_EQ(Sections().size(), 7u);
  EXPECT_EQ(Elements(Root()).size(), 7u);
  Names ids;
  for (pugi::xml_node section : Sections()) {
    EXPECT_STREQ(section.attribute("xmlns:dd").value(), Root().attribute("xmlns:dd").value());
    EXPECT_EQ(Elements(section).size(), Elements(section, "dd:block").size());
    for (const std::string& id : Attributes(Elements(section, "dd:block"), "id")) ids.push_back(id);
    ids.emplace_back();
  }
  EXPECT_EQ(ids.size(), 672u + 7u);
  EXPECT_EQ(Digest(ids), 0xca6e5852b903f694u);
  EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), 672u + 1u);
}

// Records have an id unique in their block (a collection's is "collection") and name their
// collection; links have exactly two attributes and no content; every reference resolves, and a
// set lists members of its own collection.
TEST_F(DataDictionaryTest, RecordsLinksAndSetsFollowTheLoaderConventionsAndEveryReferenceResolves) {
  int references = 0;
  for (const auto& [blockId, block] : blocks_) {
    std::set<std::string> ids;
    for (pugi::xml_node item : Elements(block)) {
      const std::string tag = item.name();
      SCOPED_TRACE(blockId + " " + tag + " " + item.attribute("id").value());
      for (pugi::xml_node child : Elements(item))
        EXPECT_TRUE(tag != "dd:cset" && child.first_attribute().empty() && Elements(child).empty());
      if (pugi::xml_attribute id = item.attribute("id")) {
        EXPECT_TRUE(ids.insert(id.value()).second) << "id twice in the block";
        if (IsCollectionTag(tag)) {
          EXPECT_STREQ(id.value(), "collection");
        }
        if (pugi::xml_attribute member = item.attribute("collection")) {
          EXPECT_TRUE(IsCollectionTag(Resolve(block, member.value()).name())) << member.value();
        }
      } else {
        EXPECT_EQ(std::distance(item.attributes().begin(), item.attributes().end()), 2);
        EXPECT_TRUE(item.first_child().empty());
      }
      for (pugi::xml_attribute attribute : item.attributes()) {
        if (std::strcmp(attribute.name(), "id") == 0 ||
            std::strcmp(attribute.name(), "symbol") == 0)
          continue;
        ++references;
        EXPECT_TRUE(Resolve(block, attribute.value()))
            << attribute.name() << "=" << attribute.value();
      }
      const std::string text = item.text().get();
      if (tag != "dd:cset" || text.find(':') == std::string::npos) continue;
      std::istringstream words(text);
      for (std::string word; words >> word; ++references) {
        const pugi::xml_node member = Resolve(block, word);
        ASSERT_TRUE(member) << word;
        EXPECT_EQ(Resolve(member.parent(), member.attribute("collection").value()),
                  Resolve(block, item.attribute("collection").value()))
            << word;
      }
    }
  }
  EXPECT_GT(references, 5000);
}

// The point collection has no records; each set "ndsK" gives it members 0 .. K-1. Focus links
// join the root to the global collections; the loader keys on these eight.
TEST_F(DataDictionaryTest, NodeSetsAndKeyedFocusLinksReachTheGlobalCollections) {
  const std::vector<pugi::xml_node> nodeSets = Elements(Block("userNodeSets"), "dd:cset");
  EXPECT_EQ(nodeSets.size(), 18u);
  for (pugi::xml_node set : nodeSets) {
    const std::string id = set.attribute("id").value();
    ASSERT_TRUE(StartsWith(id, "nds")) << id;
    EXPECT_EQ(set.text().get(), "0.." + std::to_string(std::stoi(id.substr(3)) - 1)) << id;
    EXPECT_STREQ(set.attribute("collection").value(), "point:collection") << id;
  }
  EXPECT_EQ(Root().select_nodes("//*[starts-with(name(), 'Focus')][@focus='anchor:focus']").size(),
            47u);
  const char* keyed[][3] = {
      {"FocusContext", "anchor", "context"},
      {"FocusComponentCollection", "component", "components"},
      {"FocusFieldTypeCollection", "fieldType", "fieldTypes"},
      {"FocusElementTypeCollection", "elementType", "elementTypes"},
      {"FocusPointCollection", "point", "points"},
      {"FocusQuadratureCollection", "quadrature", "quadratures"},
      {"FocusSectPointCollection", "sectPoint", "sectPoints"},
      {"FocusComplexNumberPartCollection", "complexNumberPart", "complexNumberParts"}};
  for (const auto& [tag, block, attribute] : keyed) {
    ASSERT_EQ(Elements(Block(block), tag).size(), 1u) << tag;
    const std::string target = Elements(Block(block), tag)[0].attribute(attribute).value();
    EXPECT_EQ(target, tag == std::string("FocusContext") ? "context" : "collection") << tag;
  }
}

// Components are members in this order; field types sort to the writer's code table, each with
// one algebraic type; the element types follow the walk order of the element-type collection
// and hold every name of the shape table.
TEST_F(DataDictionaryTest, ComponentFieldTypeAndElementTypeListsAreTheDefinedOnes) {
  const std::vector<pugi::xml_node> components = Elements(Block("component"), "Component");
  EXPECT_EQ(components.size(), 38u);
  EXPECT_EQ(Digest(Attributes(components, "symbol")), 0x1acab6c610a3cd0bu);
  EXPECT_EQ(Attributes(components, "id"), Attributes(components, "symbol"));
  const std::vector<pugi::xml_node> primaries = Elements(Block("fieldType"), "FieldTypePrimary");
  EXPECT_EQ(Attributes(primaries, "id"), Attributes(primaries, "symbol"));
  Names table;
  for (int code = 0; code < ZORFieldTypeCodes::kCount; ++code)
    table.emplace_back(ZORFieldTypeCodes::Symbol(code));
  Names algebraic = Attributes(Elements(Block("fieldType"), "FieldTypeAlgebraicType"), "fieldType");
  std::sort(algebraic.begin(), algebraic.end());
  EXPECT_EQ(algebraic, table);
  for (pugi::xml_node link : Elements(Block("fieldType"), "FieldTypeRotation")) {
    const std::string spatial = link.attribute("fieldType").value();
    EXPECT_EQ(link.attribute("rotationFieldType").value(),
              spatial.substr(0, spatial.size() - 2) + "_R");
  }
  EXPECT_EQ(Elements(Block("fieldType"), "FieldTypeRotation").size(), 52u);
  const std::vector<pugi::xml_node> types = Elements(Block("legacy"), "ElementType");
  const Names walk = Attributes(types, "symbol");
  EXPECT_EQ(walk.size(), 669u);
  EXPECT_EQ(Digest(walk), 0x31a42c06029dfde6u);
  EXPECT_EQ(Elements(Block("legacy"), "ElementTypeElementFormulation").size(), 617u);
  for (int row = 0; row + 1 < ZORMtkShp::kNumRows; ++row)
    EXPECT_EQ(std::count(walk.begin(), walk.end(), ZORMtkShp::GetRow(row).elementName), 1);
}

}  // namespace
