#include "writer/impl/ZORDataDictionary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "writer/impl/ZORFieldTypeCodes.h"

// The data dictionary is the initial content of every target database, and the writer reaches its
// records by position and by symbol name. These tests read the embedded text exactly as the
// library hands it on and check the structure that the database loader and the writer rely on.

namespace {

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"US-ASCII\"?>";
const char kWarning[] =
    "WARNING: Before execution \"anchor:focus\" must be bound to the view focus object";

// Member order of the component collection: coordinates and field values use members 0 .. c-1.
const std::vector<std::string> kComponents = {
    "C_SCALAR", "C_1",      "C_2",          "C_3",          "C_11",         "C_22",    "C_33",
    "C_12",     "C_13",     "C_23",         "C_21",         "C_31",         "C_32",    "C_12PLUS",
    "C_13PLUS", "C_23PLUS", "C_SORT_PRIN1", "C_SORT_PRIN2", "C_SORT_PRIN3", "C_1111",  "C_1122",
    "C_1112",   "C_2211",   "C_2222",       "C_2212",       "C_1211",       "C_1222",  "C_1212",
    "C_ROT1",   "C_ROT2",   "C_ROT3",       "C_PRIN1",      "C_PRIN2",      "C_PRIN3", "C_QUAT0",
    "C_QUAT1",  "C_QUAT2",  "C_QUAT3"};

// Blocks of the second section before the element-formulation blocks.
const std::vector<std::string> kSection2Head = {"point",
                                                "temperaturePoint",
                                                "edge",
                                                "face",
                                                "cell",
                                                "tetrahedronFacet",
                                                "triangleFacet",
                                                "segmentFacet",
                                                "stationSystem",
                                                "intStation",
                                                "sectLayer",
                                                "sectPoint",
                                                "quadrature",
                                                "material",
                                                "gasketBehavior",
                                                "profile",
                                                "sectIntegration",
                                                "beamSectionSubmerged",
                                                "beamSectionTemperatureVariance",
                                                "shellSectionIdealization",
                                                "sectLayup",
                                                "sectPoisson",
                                                "cohesiveResponse",
                                                "userSubroutines",
                                                "userSubroutineParameters",
                                                "propertyTables",
                                                "dofType",
                                                "dofTypeTemperaturePoint",
                                                "shape",
                                                "userNodeSets",
                                                "internalNodeSets",
                                                "dofSets",
                                                "faceSets",
                                                "intStationSets",
                                                "quadratureSets",
                                                "elementFormulation",
                                                "elementType"};

// Blocks of the sections other than the second, by section.
const std::vector<std::vector<std::string>> kOtherSections = {
    {"anchor"},
    {},
    {"complexNumberPart", "limitType", "invariant", "component", "algebraicType", "fieldType"},
    {"connectorBehaviors", "connectionTypes", "availableCORMS", "connectorLibraryConnectionTypes",
     "connectionTypeAvailableCORMS"},
    {"rows", "fieldVariables"},
    {"constraints"},
    {"physicalDimensions", "units", "unitSystems"}};

// The node counts K of the sets "ndsK" (members 0 .. K-1 of the point collection).
const std::vector<int> kUserNodeSetSizes = {1,  2,  3,  4,  5,  6,  8,  9,  10,
                                            12, 15, 16, 18, 20, 24, 27, 32, 40};

// Element names of the shape table; each must be an element-type symbol.
const std::vector<std::string> kShapeTableElements = {
    "B21",  "B22",  "B31",  "B32",  "S3R",  "S3",    "STRI65", "S4R",   "S4",   "S8R",
    "CPE3", "CPE6", "CPE4", "CPE8", "C3D4", "C3D10", "C3D6",   "C3D15", "C3D8", "C3D20"};

// A focus link the loader maps to a fixed key: tag, block, name of the collection attribute and
// the record it must name.
struct FocusLink {
  const char* tag;
  const char* block;
  const char* attribute;
  const char* target;
};
const FocusLink kKeyedFocusLinks[] = {
    {"FocusContext", "anchor", "context", "context"},
    {"FocusComponentCollection", "component", "components", "collection"},
    {"FocusFieldTypeCollection", "fieldType", "fieldTypes", "collection"},
    {"FocusElementTypeCollection", "elementType", "elementTypes", "collection"},
    {"FocusPointCollection", "point", "points", "collection"},
    {"FocusQuadratureCollection", "quadrature", "quadratures", "collection"},
    {"FocusSectPointCollection", "sectPoint", "sectPoints", "collection"},
    {"FocusComplexNumberPartCollection", "complexNumberPart", "complexNumberParts", "collection"}};

// The field-type symbols in byte order, as the writer's code table numbers them: the document
// and the table must agree, since a field-type code is a position in this list.
std::vector<std::string> FieldTypesOfTheCodeTable() {
  std::vector<std::string> symbols;
  for (int code = 0; code < ZORFieldTypeCodes::kCount; ++code)
    symbols.emplace_back(ZORFieldTypeCodes::Symbol(code));
  return symbols;
}
const std::vector<std::string> kFieldTypes = FieldTypesOfTheCodeTable();

// The element-type symbols in the order a walk of the element-type collection meets them.
const std::vector<std::string> kElementTypes = Words(
    "AC1D2 AC1D3 AC2D3 AC2D4 AC2D4R AC2D6 AC2D8 AC3D10 AC3D15 AC3D20 AC3D4 AC3D6 AC3D8 AC3D8R "
    "ACAX3 ACAX4 ACAX4R ACAX6 ACAX8 ACIN2D2 ACIN2D3 ACIN3D3 ACIN3D4 ACIN3D6 ACIN3D8 ACINAX2 "
    "ACINAX3 ALE2D ALE3D ALEAXI ARSC ARSR ARSSE ARSSS ASI1 ASI2 ASI2D2 ASI2A ASIAX2 ASI3 ASI2D3 "
    "ASI3A ASIAX3 ASI4 ASI3D4 ASI8 ASI3D8 ASI3D3 ASI3D6 AXIINT2 B21 B21H B22 B22H B23 B23H B31 "
    "B31H B31OS B31OSH B32 B32H B32OS B32OSH B33 B33H B34 C3D10 C3D10E C3D10H C3D10M C3D10MH "
    "C3D10MHT C3D10MP C3D10MPH C3D10MT C3D10T C3D15 C3D15E C3D15H C3D15V C3D15VH C3D20 C3D20E "
    "C3D20H C3D20HT C3D20P C3D20PH C3D20R C3D20RE C3D20RH C3D20RHT C3D20RP C3D20RPH C3D20RT "
    "C3D20T C3D27 C3D27H C3D27R C3D27RH C3D4 C3D4E C3D4H C3D4T C3D6 C3D6E C3D6H C3D6R C3D6RT "
    "C3D6T C3D8 C3D8E C3D8H C3D8HT C3D8I C3D8IH C3D8P C3D8RP C3D8RPH C3D8PH C3D8R C3D8RH "
    "C3D8RHT C3D8RT C3D8T CAX3 CAX3E CAX3H CAX3T CAX4 CAX4E CAX4H CAX4HT CAX4I CAX4IH CAX4P "
    "CAX4PH CAX4R CAX4RH CAX4RHT CAX4RP CAX4RPH CAX4RT CAX4T CAX6 CAX6E CAX6H CAX6M CAX6MH "
    "CAX6MHT CAX6MP CAX6MPH CAX6MT CAX8 CAX8E CAX8H CAX8HT CAX8P CAX8PH CAX8R CAX8RE CAX8RH "
    "CAX8RHT CAX8RP CAX8RPH CAX8RT CAX8T CAXA31 CAXA32 CAXA33 CAXA34 CAXA3H1 CAXA3H2 CAXA3H3 "
    "CAXA3H4 CAXA41 CAXA42 CAXA43 CAXA44 CAXA4H1 CAXA4H2 CAXA4H3 CAXA4H4 CAXA4R1 CAXA4R2 "
    "CAXA4R3 CAXA4R4 CAXA4RH1 CAXA4RH2 CAXA4RH3 CAXA4RH4 CAXA81 CAXA82 CAXA83 CAXA84 CAXA8H1 "
    "CAXA8H2 CAXA8H3 CAXA8H4 CAXA8P1 CAXA8P2 CAXA8P3 CAXA8P4 CAXA8R1 CAXA8R2 CAXA8R3 CAXA8R4 "
    "CAXA8RH1 CAXA8RH2 CAXA8RH3 CAXA8RH4 CAXA8RP1 CAXA8RP2 CAXA8RP3 CAXA8RP4 CCL9 CCL9H CCL12 "
    "CCL12H CCL18 CCL18H CCL24 CCL24H CCL24R CCL24RH CGAX3 CGAX3H CGAX3HT CGAX3T CGAX4 CGAX4H "
    "CGAX4HT CGAX4R CGAX4RH CGAX4RHT CGAX4RT CGAX4T CGAX6 CGAX6H CGAX6M CGAX6MH CGAX6MT "
    "CGAX6MHT CGAX8 CGAX8H CGAX8HT CGAX8R CGAX8RH CGAX8RHT CGAX8RT CGAX8T CIN3D12R CIN3D18R "
    "CIN3D8 CINAX4 CINAX5R CINPE4 CINPE5R CINPS4 CINPS5R CONN2D2 CONN3D2 CONN2D3 CONN3D3 COH2D4 "
    "COH3D6 COH3D8 COHAX4 COH2D4P COH3D6P COH3D8P COHAX4P CPE3 CPE3E CPE3H CPE3T CPE4 CPE4E "
    "CPE4H CPE4HT CPE4I CPE4IH CPE4P CPE4PH CPE4R CPE4RH CPE4RHT CPE4RP CPE4RPH CPE4RT CPE4T "
    "CPE6 CPE6E CPE6H CPE6M CPE6MH CPE6MHT CPE6MP CPE6MPH CPE6MT CPE8 CPE8E CPE8H CPE8HT CPE8P "
    "CPE8PH CPE8R CPE8RE CPE8RH CPE8RHT CPE8RP CPE8RPH CPE8RT CPE8T CPEG3 CPEG3H CPEG3HT CPEG3T "
    "CPEG4 CPEG4H CPEG4HT CPEG4I CPEG4IH CPEG4R CPEG4RH CPEG4RHT CPEG4RT CPEG4T CPEG6 CPEG6H "
    "CPEG6M CPEG6MH CPEG6MHT CPEG6MT CPEG8 CPEG8H CPEG8HT CPEG8R CPEG8RH CPEG8RHT CPEG8T CPS3 "
    "CPS3E CPS3T CPS4 CPS4E CPS4H CPS4I CPS4R CPS4RT CPS4T CPS6 CPS6E CPS6M CPS6MT CPS8 CPS8E "
    "CPS8R CPS8RE CPS8RT CPS8T DASHPOT1 DASHPOT2 DASHPOTA DC1D2 DC1D2E DC1D3 DC1D3E DC2D3 "
    "DC2D3E DC2D4 DC2D4E DC2D6 DC2D6E DC2D8 DC2D8E DC3D10 DC3D10E DC3D15 DC3D15E DC3D20 DC3D20E "
    "DC3D4 DC3D4E DC3D6 DC3D6E DC3D8 DC3D8E DCAX3 DCAX3E DCAX4 DCAX4E DCAX6 DCAX6E DCAX8 DCAX8E "
    "DCC1D2 DCC1D2D DCC2D4 DCC2D4D DCC3D8 DCC3D8D DCCAX2 DCCAX2D DCCAX4 DCCAX4D DCOUP2D DCOUP3D "
    "DGAP DINTER1 DINTER2 DINTER2A DINTER3 DINTER3A DINTER4 DINTER8 DRAG2D DRAG3D DS3 DS4 DS6 "
    "DS8 DSAX1 DSAX2 EC3D8R ELBOW31 ELBOW31B ELBOW31C ELBOW32 F2D2 F3D3 F3D4 FASTENER FAX2 "
    "FLINK FRAME2D FRAME3D GAPCYL GAPSPHER GAPUNI GAPUNIT GK2D2 GK2D2N GK3D12M GK3D12MN GK3D18 "
    "GK3D18N GK3D2 GK3D2N GK3D4L GK3D4LN GK3D6 GK3D6L GK3D6LN GK3D6N GK3D8 GK3D8N GKAX2 GKAX2N "
    "GKAX4 GKAX4N GKAX6 GKAX6N GKPE4 GKPE6 GKPS4 GKPS4N GKPS6 GKPS6N HEATCAP IDCOUP2D IDCOUP2P "
    "IDCOUP3D IDCOUP3P IDCOUP3R IDCOUP3U INTER1 INTER1P INTER1T INTER2 INTER2A INTER2AT INTER2T "
    "INTER3 INTER3A INTER3AP INTER3AT INTER3P INTER3T INTER4 INTER4T INTER8 INTER8T INTER9 "
    "INTRNL1 INTRNL2 INTRNL3 INTRNL3B INTRNL4 INTRNL6 INTRNL8 INTRNL9 IRS12 IRS13 IRS21 IRS21A "
    "IRS22 IRS22A IRS3 IRS31 IRS32 IRS4 IRS9 IRSXX31 IRSXX32 ISL21 ISL21A ISL21AT ISL21T ISL22 "
    "ISL22A ISL22AT ISL22T ISL31 ISL31A ISL32 ISL32A ISP1 ISP1T ISP3 ISP4 ISP4T ITSCYL ITSUNI "
    "ITT21 ITT31 JOINT2D JOINT3D JOINTC LS3S LS6 LSURF1 LSURF2 LSURF3 LSURF4 LSURF5 LSURF6 M3D3 "
    "M3D4 M3D4R M3D6 M3D8 M3D8R M3D9 M3D9R MASS MAX1 MAX2 MCL6 MCL6R MCL9 MCL9R MGAX1 MGAX2 "
    "PIPE21 PIPE21H PIPE22 PIPE22H PIPE31 PIPE31H PIPE32 PIPE32H PSI24 PSI26 PSI34 PSI36 PSURF1 "
    "PSURF2 PSURF3 QSURF1 QSURF2 QSURF3 R2D2 R3D3 R3D4 RAX2 RB2D2 RB3D2 RNODE2D RNODE3D ROTARYI "
    "S3 S3R S3RS S3T S3RT S4 S4R S4R5 S4RS S4RSW S4T S4RT S8R S8R5 S8RT S9R5 SAX1 SAX2 SAX2T "
    "SAXA11 SAXA12 SAXA13 SAXA14 SAXA21 SAXA22 SAXA23 SAXA24 SC6R SC8R SC6RT SC8RT SFM3D3 "
    "SFM3D4 SFM3D4R SFM3D6 SFM3D8 SFM3D8R SFMAX1 SFMAX2 SFMCL6 SFMCL6R SFMCL9 SFMCL9R SFMGAX1 "
    "SFMGAX2 SPHEX SPHEX2 SPHEX2B SPOTWELD SPRING1 SPRING2 SPRINGA STRI3 STRI35 STRI65 T2D2 "
    "T2D2E T2D2H T2D2T T2D3 T2D3E T2D3H T2D3T T3D2 T3D2E T3D2H T3D2T T3D3 T3D3E T3D3H T3D3T "
    "TSURF1 TSURF2 WARP2D3 WARP2D4 RIGID_LINE_SEGMENT RIGID_CIRCULAR_SEGMENT "
    "RIGID_PARABOLIC_SEGMENT");

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool IsCollectionTag(const std::string& tag) {
  return EndsWith(tag, "Collection") && !StartsWith(tag, "Focus");
}

std::vector<pugi::xml_node> Elements(pugi::xml_node parent, const char* name = nullptr) {
  std::vector<pugi::xml_node> nodes;
  for (pugi::xml_node child : parent.children()) {
    if (child.type() == pugi::node_element && (!name || std::strcmp(child.name(), name) == 0)) {
      nodes.push_back(child);
    }
  }
  return nodes;
}

class DataDictionaryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    result_ =
        doc_.load_buffer(ZORDataDictionaryText(), ZORDataDictionarySize(),
                         pugi::parse_default | pugi::parse_comments | pugi::parse_declaration);
    for (pugi::xml_node section : Elements(Root(), "dd:modeldata")) {
      for (pugi::xml_node block : Elements(section, "dd:block")) {
        blocks_.emplace(block.attribute("id").value(), block);
      }
    }
  }

  static pugi::xml_node Root() { return doc_.child("dd:datadictionary"); }
  static std::vector<pugi::xml_node> Sections() { return Elements(Root(), "dd:modeldata"); }
  static pugi::xml_node Block(const std::string& id) {
    auto it = blocks_.find(id);
    return it == blocks_.end() ? pugi::xml_node() : it->second;
  }
  static pugi::xml_node Named(pugi::xml_node block, const std::string& id) {
    return block.find_child_by_attribute("id", id.c_str());
  }

  // The record or set a reference names, seen from the given block: "anchor:focus" is bound by
  // the database interface and has no element, so it resolves to the root.
  static pugi::xml_node Resolve(pugi::xml_node block, const std::string& reference) {
    if (reference == "anchor:focus") return Root();
    const std::size_t colon = reference.find(':');
    if (colon == std::string::npos) return Named(block, reference);
    pugi::xml_node target = Block(reference.substr(0, colon));
    return target ? Named(target, reference.substr(colon + 1)) : pugi::xml_node();
  }

  static std::vector<std::string> Ids(pugi::xml_node block, const char* tag) {
    std::vector<std::string> ids;
    for (pugi::xml_node record : Elements(block, tag))
      ids.push_back(record.attribute("id").value());
    return ids;
  }

  static pugi::xml_document doc_;
  static pugi::xml_parse_result result_;
  static std::multimap<std::string, pugi::xml_node> blocks_;
};

pugi::xml_document DataDictionaryTest::doc_;
pugi::xml_parse_result DataDictionaryTest::result_;
std::multimap<std::string, pugi::xml_node> DataDictionaryTest::blocks_;

TEST_F(DataDictionaryTest, TextIsOneNulTerminatedAsciiDocument) {
  const char* text = ZORDataDictionaryText();
  const std::size_t size = ZORDataDictionarySize();
  ASSERT_GT(size, 0u);
  EXPECT_EQ(text[size], '\0');
  EXPECT_EQ(std::string(text, sizeof kDeclaration - 1), kDeclaration);
  EXPECT_TRUE(EndsWith(text, "</dd:datadictionary>\n"));
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7f)) << "byte " << int(c) << " at " << i;
  }
  ASSERT_TRUE(result_) << result_.description() << " at offset " << result_.offset;
}

TEST_F(DataDictionaryTest, IndentsThreeBlanksPerLevel) {
  std::istringstream lines(ZORDataDictionaryText());
  int depth = 0;
  int number = 0;
  for (std::string line; std::getline(lines, line);) {
    ++number;
    const std::size_t indent = line.find_first_not_of(' ');
    ASSERT_NE(indent, std::string::npos) << "blank line " << number;
    const std::string body = line.substr(indent);
    if (StartsWith(body, "</")) --depth;
    ASSERT_EQ(indent, static_cast<std::size_t>(3 * depth)) << "line " << number << ": " << line;
    const bool opens = body[0] == '<' && !StartsWith(body, "</") && !StartsWith(body, "<?") &&
                       !StartsWith(body, "<!--") && !EndsWith(body, "/>") &&
                       body.find("</") == std::string::npos;
    if (opens) ++depth;
  }
  EXPECT_EQ(depth, 0);
}

TEST_F(DataDictionaryTest, DeclarationRootAndWarnings) {
  pugi::xml_node declaration = doc_.first_child();
  ASSERT_EQ(declaration.type(), pugi::node_declaration);
  EXPECT_STREQ(declaration.attribute("encoding").value(), "US-ASCII");
  ASSERT_TRUE(Root());
  EXPECT_EQ(declaration.next_sibling(), Root());
  const std::string ddNamespace = Root().attribute("xmlns:dd").value();
  EXPECT_FALSE(ddNamespace.empty());

  // The warning stands first in the root and first in the first section, nowhere else.
  pugi::xml_node first = Root().first_child();
  ASSERT_EQ(first.type(), pugi::node_comment);
  EXPECT_STREQ(first.value(), kWarning);
  ASSERT_FALSE(Sections().empty());
  pugi::xml_node inSection = Sections()[0].first_child();
  ASSERT_EQ(inSection.type(), pugi::node_comment);
  EXPECT_STREQ(inSection.value(), kWarning);
  int warnings = 0;
  for (const pugi::xpath_node& comment : Root().select_nodes("//comment()")) {
    if (std::strstr(comment.node().value(), "WARNING")) ++warnings;
  }
  EXPECT_EQ(warnings, 2);
}

TEST_F(DataDictionaryTest, SevenSectionsHoldTheBlocksInOrder) {
  const std::vector<pugi::xml_node> sections = Sections();
  ASSERT_EQ(sections.size(), 7u);
  EXPECT_EQ(Elements(Root()).size(), 7u);
  for (std::size_t s = 0; s < sections.size(); ++s) {
    SCOPED_TRACE("section " + std::to_string(s + 1));
    EXPECT_STRNE(sections[s].attribute("xmlns").value(), "");
    EXPECT_STREQ(sections[s].attribute("xmlns:dd").value(), Root().attribute("xmlns:dd").value());
    EXPECT_EQ(Elements(sections[s]).size(), Elements(sections[s], "dd:block").size());
    const std::vector<std::string> ids = Ids(sections[s], "dd:block");
    if (s != 1) {
      EXPECT_EQ(ids, kOtherSections[s]);
      continue;
    }
    ASSERT_EQ(ids.size(), 654u);
    EXPECT_EQ(std::vector<std::string>(ids.begin(), ids.begin() + kSection2Head.size()),
              kSection2Head);
    EXPECT_EQ(ids.back(), "legacy");
  }
  EXPECT_EQ(blocks_.size(), 672u);
  std::set<std::string> unique;
  for (const auto& entry : blocks_) {
    EXPECT_TRUE(unique.insert(entry.first).second) << "block id twice: " << entry.first;
  }
}

TEST_F(DataDictionaryTest, RecordsLinksAndSetsFollowTheLoaderConventions) {
  for (const auto& [blockId, block] : blocks_) {
    std::set<std::string> ids;
    for (pugi::xml_node item : Elements(block)) {
      const std::string tag = item.name();
      SCOPED_TRACE(blockId + " " + tag + " " + item.attribute("id").value());
      if (tag == "dd:cset") {
        EXPECT_TRUE(Elements(item).empty()) << "a set holds text only";
      }
      for (pugi::xml_node child : Elements(item)) {
        // Property children carry text only; the loader skips them.
        EXPECT_TRUE(child.first_attribute().empty() && Elements(child).empty()) << child.name();
      }
      if (pugi::xml_attribute id = item.attribute("id")) {
        EXPECT_TRUE(ids.insert(id.value()).second) << "id twice in the block";
        if (IsCollectionTag(tag)) {
          EXPECT_STREQ(id.value(), "collection");
          EXPECT_FALSE(item.attribute("collection"));
        }
        if (pugi::xml_attribute member = item.attribute("collection")) {
          pugi::xml_node collection = Resolve(block, member.value());
          EXPECT_TRUE(collection && IsCollectionTag(collection.name()))
              << member.value() << " is no collection";
        }
      } else {
        const auto attributes = item.attributes();
        EXPECT_EQ(std::distance(attributes.begin(), attributes.end()), 2)
            << "a link has exactly two attributes";
        EXPECT_TRUE(item.first_child().empty()) << "a link has no content";
      }
    }
  }
}

TEST_F(DataDictionaryTest, EveryReferenceResolves) {
  int references = 0;
  for (const auto& [blockId, block] : blocks_) {
    for (pugi::xml_node item : Elements(block)) {
      for (pugi::xml_attribute attribute : item.attributes()) {
        const std::string name = attribute.name();
        if (name == "id" || name == "symbol") continue;
        ++references;
        EXPECT_TRUE(Resolve(block, attribute.value()))
            << blockId << " " << item.name() << " " << name << "=\"" << attribute.value() << "\"";
      }
      if (std::strcmp(item.name(), "dd:cset") != 0) continue;
      const std::string text = item.text().get();
      if (text.find(':') == std::string::npos) continue;
      for (const std::string& word : Words(text)) {
        ++references;
        pugi::xml_node member = Resolve(block, word);
        EXPECT_TRUE(member) << blockId << " set " << item.attribute("id").value() << ": " << word;
        // A listed member belongs to the set's collection.
        EXPECT_EQ(Resolve(member.parent(), member.attribute("collection").value()),
                  Resolve(block, item.attribute("collection").value()))
            << word;
      }
    }
  }
  EXPECT_GT(references, 5000);
}

TEST_F(DataDictionaryTest, SetTextsAreEmptyMemberRangeOrReferences) {
  int empty = 0, numeric = 0, listed = 0, withCollection = 0, total = 0;
  std::vector<pugi::xml_node> sets;
  for (const auto& entry : blocks_) {
    for (pugi::xml_node set : Elements(entry.second, "dd:cset")) sets.push_back(set);
  }
  for (pugi::xml_node set : sets) {
    ++total;
    if (set.attribute("collection")) ++withCollection;
    const std::string text = set.text().get();
    const std::size_t dots = text.find("..");
    if (text.empty()) {
      ++empty;
    } else if (text.find(':') != std::string::npos) {
      ++listed;
    } else if (dots == std::string::npos) {
      ++numeric;
      EXPECT_EQ(text.find_first_not_of("0123456789"), std::string::npos) << text;
    } else {
      ++numeric;
      EXPECT_LE(std::stoi(text.substr(0, dots)), std::stoi(text.substr(dots + 2))) << text;
    }
  }
  EXPECT_EQ(total, 60);
  EXPECT_EQ(withCollection, 55);
  EXPECT_EQ(empty, 11);
  EXPECT_EQ(numeric, 24);
  EXPECT_EQ(listed, 25);
}

TEST_F(DataDictionaryTest, UserNodeSetsCoverTheFirstKPoints) {
  pugi::xml_node block = Block("userNodeSets");
  std::vector<std::string> expectedIds;
  for (int k : kUserNodeSetSizes) expectedIds.push_back("nds" + std::to_string(k));
  EXPECT_EQ(Ids(block, "dd:cset"), expectedIds);
  for (int k : kUserNodeSetSizes) {
    pugi::xml_node set = Named(block, "nds" + std::to_string(k));
    EXPECT_STREQ(set.attribute("collection").value(), "point:collection");
    EXPECT_EQ(set.text().get(), "0.." + std::to_string(k - 1));
  }
  pugi::xml_node internal = Block("internalNodeSets");
  EXPECT_EQ(Ids(internal, "dd:cset"), (std::vector<std::string>{"n4", "n8"}));
  EXPECT_STREQ(Named(internal, "n4").text().get(), "4");
  EXPECT_STREQ(Named(internal, "n8").text().get(), "8");
  EXPECT_STREQ(Named(internal, "n8").attribute("collection").value(), "point:collection");
  // The point collection has no records: its members exist only through these sets.
  EXPECT_EQ(Elements(Block("point")).size(), 2u);
}

TEST_F(DataDictionaryTest, FocusLinksReachEveryGlobalCollection) {
  int links = 0;
  for (const auto& [blockId, block] : blocks_) {
    for (pugi::xml_node item : Elements(block)) {
      if (!StartsWith(item.name(), "Focus")) continue;
      ++links;
      SCOPED_TRACE(blockId + " " + item.name());
      EXPECT_STREQ(item.attribute("focus").value(), "anchor:focus");
      pugi::xml_attribute other = item.first_attribute();
      if (std::strcmp(other.name(), "focus") == 0) other = other.next_attribute();
      pugi::xml_node target = Resolve(block, other.value());
      ASSERT_TRUE(target);
      EXPECT_TRUE(IsCollectionTag(target.name()) || std::strcmp(target.name(), "Context") == 0);
      EXPECT_EQ(target.parent(), block) << "a focus link stays in the block of its collection";
    }
  }
  EXPECT_EQ(links, 47);
  for (const FocusLink& expected : kKeyedFocusLinks) {
    SCOPED_TRACE(expected.tag);
    pugi::xml_node block = Block(expected.block);
    ASSERT_TRUE(block);
    const std::vector<pugi::xml_node> found = Elements(block, expected.tag);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_STREQ(found[0].attribute(expected.attribute).value(), expected.target);
    EXPECT_TRUE(Named(block, expected.target));
  }
  EXPECT_TRUE(Named(Block("anchor"), "context").name() == std::string("Context"));
  // The integration-point and section-point collections get their members from the fields.
  EXPECT_EQ(Elements(Block("quadrature")).size(), 2u);
  EXPECT_EQ(Elements(Block("sectPoint")).size(), 2u);
  EXPECT_EQ(Ids(Block("complexNumberPart"), "ComplexNumberPart"),
            (std::vector<std::string>{"REAL", "IMAGINARY"}));
}

TEST_F(DataDictionaryTest, ComponentsAreMembersInOrder) {
  pugi::xml_node block = Block("component");
  EXPECT_TRUE(Named(block, "collection").name() == std::string("ComponentCollection"));
  const std::vector<pugi::xml_node> components = Elements(block, "Component");
  ASSERT_EQ(components.size(), kComponents.size());
  for (std::size_t i = 0; i < components.size(); ++i) {
    EXPECT_EQ(components[i].attribute("id").value(), kComponents[i]) << "member " << i;
    EXPECT_EQ(components[i].attribute("symbol").value(), kComponents[i]) << "member " << i;
    EXPECT_STREQ(components[i].attribute("collection").value(), "collection");
  }
}

TEST_F(DataDictionaryTest, FieldTypeSymbolsSortToTheCodeList) {
  ASSERT_EQ(kFieldTypes.size(), 654u);
  EXPECT_EQ(kFieldTypes[620], "UNDEFINED");
  EXPECT_EQ(kFieldTypes[621], "U_D");
  EXPECT_EQ(kFieldTypes[645], "V_D");

  pugi::xml_node block = Block("fieldType");
  std::vector<std::string> symbols;
  for (pugi::xml_node type : Elements(block, "FieldTypePrimary")) {
    SCOPED_TRACE(type.attribute("id").value());
    EXPECT_STREQ(type.attribute("symbol").value(), type.attribute("id").value());
    EXPECT_STREQ(type.attribute("collection").value(), "collection");
    ASSERT_EQ(Elements(type).size(), 1u);
    EXPECT_STRNE(type.child("description").text().get(), "");
    symbols.push_back(type.attribute("symbol").value());
  }
  std::sort(symbols.begin(), symbols.end());
  EXPECT_EQ(std::adjacent_find(symbols.begin(), symbols.end()), symbols.end())
      << "a field-type symbol occurs twice";
  EXPECT_EQ(symbols, kFieldTypes);
}

TEST_F(DataDictionaryTest, EveryFieldTypeHasOneAlgebraicTypeAndRotationsPairUp) {
  pugi::xml_node block = Block("fieldType");
  std::map<std::string, int> algebraic;
  for (pugi::xml_node link : Elements(block, "FieldTypeAlgebraicType")) {
    ++algebraic[link.attribute("fieldType").value()];
    EXPECT_TRUE(StartsWith(link.attribute("algebraicType").value(), "algebraicType:"));
  }
  EXPECT_EQ(algebraic.size(), kFieldTypes.size());
  for (const auto& [type, count] : algebraic) EXPECT_EQ(count, 1) << type;

  std::set<std::string> rotated;
  for (pugi::xml_node link : Elements(block, "FieldTypeRotation")) {
    const std::string spatial = link.attribute("fieldType").value();
    ASSERT_TRUE(EndsWith(spatial, "_D")) << spatial;
    EXPECT_EQ(link.attribute("rotationFieldType").value(),
              spatial.substr(0, spatial.size() - 2) + "_R");
    EXPECT_TRUE(rotated.insert(spatial).second) << spatial;
  }
  EXPECT_EQ(rotated.size(), 52u);
  EXPECT_EQ(rotated.count("U_D"), 1u);
  EXPECT_EQ(rotated.count("A_D"), 1u);
}

TEST_F(DataDictionaryTest, ElementTypesFollowTheWalkOrder) {
  pugi::xml_node legacy = Block("legacy");
  std::vector<std::string> walk;
  int formulations = 0;
  std::string previous;
  for (pugi::xml_node item : Elements(legacy)) {
    const std::string tag = item.name();
    if (tag == "ElementType") {
      EXPECT_STREQ(item.attribute("symbol").value(), item.attribute("id").value());
      EXPECT_STREQ(item.attribute("collection").value(), "elementType:collection");
      previous = item.attribute("id").value();
      walk.push_back(previous);
    } else {
      // Each formulation link follows the element type it belongs to.
      ASSERT_EQ(tag, "ElementTypeElementFormulation");
      EXPECT_EQ(item.attribute("elementType").value(), previous);
      const std::string formulation = item.attribute("elementFormulation").value();
      EXPECT_TRUE(EndsWith(formulation, ":e")) << formulation;
      previous.clear();
      ++formulations;
    }
  }
  EXPECT_EQ(walk, kElementTypes);
  EXPECT_EQ(formulations, 617);
  const std::set<std::string> unique(walk.begin(), walk.end());
  EXPECT_EQ(unique.size(), walk.size());
  for (const std::string& name : kShapeTableElements) EXPECT_EQ(unique.count(name), 1u) << name;
  EXPECT_EQ(unique.count("UNKNOWN"), 0u);
  EXPECT_TRUE(Named(Block("elementType"), "collection").name() ==
              std::string("ElementTypeCollection"));
}

TEST_F(DataDictionaryTest, FormulationBlocksLinkShapeAndUserNodes) {
  const std::vector<pugi::xml_node> sections = Sections();
  ASSERT_EQ(sections.size(), 7u);
  const std::vector<pugi::xml_node> blocks = Elements(sections[1], "dd:block");
  ASSERT_EQ(blocks.size(), kSection2Head.size() + 616 + 1);
  const std::set<std::string> types(kElementTypes.begin(), kElementTypes.end());
  for (std::size_t b = kSection2Head.size(); b + 1 < blocks.size(); ++b) {
    pugi::xml_node block = blocks[b];
    const std::string id = block.attribute("id").value();
    SCOPED_TRACE(id);
    EXPECT_TRUE(types.count(id) || id == "RIGID_2LINE_SEGMENT" || id == "RIGID_3LINE_SEGMENT");
    const std::vector<pugi::xml_node> items = Elements(block);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_STREQ(items[0].name(), "ElementFormulation");
    EXPECT_STREQ(items[0].attribute("id").value(), "e");
    EXPECT_STREQ(items[0].attribute("collection").value(), "elementFormulation:collection");
    if (pugi::xml_node dimension = items[0].child("spaceDimension")) {
      EXPECT_STREQ(dimension.text().get(), "SPACE_2D");
    }
    EXPECT_STREQ(items[1].name(), "ElementFormulationShape");
    EXPECT_STREQ(items[1].attribute("elementFormulation").value(), "e");
    EXPECT_TRUE(StartsWith(items[1].attribute("shape").value(), "shape:"));
    EXPECT_STREQ(items[2].name(), "ElementFormulationUserNodes");
    EXPECT_STREQ(items[2].attribute("elementFormulation").value(), "e");
    EXPECT_TRUE(StartsWith(items[2].attribute("userNodes").value(), "userNodeSets:nds"));
  }
  pugi::xml_node hex = Block("C3D8");
  EXPECT_STREQ(hex.child("ElementFormulationShape").attribute("shape").value(), "shape:hex8");
  EXPECT_STREQ(hex.child("ElementFormulationUserNodes").attribute("userNodes").value(),
               "userNodeSets:nds8");
  EXPECT_FALSE(hex.child("ElementFormulation").child("spaceDimension"));
  pugi::xml_node plane = Block("CPE8R");
  EXPECT_STREQ(plane.child("ElementFormulation").child("spaceDimension").text().get(), "SPACE_2D");
  EXPECT_STREQ(plane.child("ElementFormulationUserNodes").attribute("userNodes").value(),
               "userNodeSets:nds8");
  EXPECT_STREQ(Block("B22").child("ElementFormulationUserNodes").attribute("userNodes").value(),
               "userNodeSets:nds3");
}

}  // namespace
