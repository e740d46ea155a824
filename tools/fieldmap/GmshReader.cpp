#include "GmshReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <sstream>

#include "CellCatalog.h"
#include "FieldmapError.h"

namespace {

// Reads exactly `count` numbers of type T from the line; false when there are fewer, more, or
// something that is not a number.
template <typename T>
bool ParseNumbers(const std::string& line, std::size_t count, std::vector<T>& out) {
  std::istringstream in(line);
  out.clear();
  T value;
  while (out.size() < count && in >> value) out.push_back(value);
  std::string rest;
  return out.size() == count && !(in >> rest);
}

}  // namespace

GmshReader::GmshReader(std::string fileName, std::function<void(double)> progress)
    : fileName_(std::move(fileName)), progress_(std::move(progress)) {}

void GmshReader::Report() {
  if (!progress_) return;
  const std::streamoff at = in_.tellg();
  in_.seekg(0, std::ios::end);
  const std::streamoff size = in_.tellg();
  in_.seekg(at);
  if (at >= 0 && size > 0) progress_(static_cast<double>(at) / static_cast<double>(size));
}

void GmshReader::Fail(const std::string& problem) const {
  throw FieldmapError::Input(fileName_, "line " + std::to_string(line_), problem);
}

bool GmshReader::NextLine(std::string& line) {
  if (!std::getline(in_, line)) return false;
  ++line_;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

std::string GmshReader::NextDataLine() {
  std::string line;
  if (!NextLine(line)) Fail("the file ends inside a section");
  return line;
}

void GmshReader::ExpectEnd(const std::string& name) {
  const std::string line = NextDataLine();
  if (line != "$End" + name) Fail("expected $End" + name + ", found '" + line + "'");
}

void GmshReader::SkipSection(const std::string& name) {
  std::string line;
  while (NextLine(line))
    if (line == "$End" + name) return;
  Fail("section $" + name + " is not closed");
}

RawMesh GmshReader::Read() {
  in_.open(fileName_);
  if (!in_)
    throw FieldmapError::Input(fileName_, "",
                               std::string("cannot be opened: ") + std::strerror(errno));
  RawMesh mesh;
  bool sawFormat = false, sawNodes = false, sawElements = false;
  std::string line;
  while (NextLine(line)) {
    if (line.empty()) continue;
    if (line == "$MeshFormat") {
      ReadFormat();
      sawFormat = true;
    } else if (!sawFormat) {
      Fail("the file does not start with $MeshFormat");
    } else if (line == "$Nodes") {
      ReadNodes(mesh);
      sawNodes = true;
    } else if (line == "$Elements") {
      if (!sawNodes) Fail("$Elements comes before $Nodes");
      ReadElements();
      sawElements = true;
    } else if (line == "$NodeData") {
      if (!sawNodes) Fail("$NodeData comes before $Nodes");
      ReadNodeData(mesh);
    } else if (line.size() > 1 && line[0] == '$') {
      SkipSection(line.substr(1));
    } else {
      Fail("unexpected text '" + line + "' between sections");
    }
    Report();
  }
  if (!sawFormat) Fail("the file is empty or not a Gmsh mesh");
  if (!sawNodes || !sawElements) Fail("the file has no $Nodes or no $Elements section");
  AssembleCells(mesh);
  return mesh;
}

void GmshReader::ReadFormat() {
  std::istringstream header(NextDataLine());
  std::string version;
  int fileType = -1, dataSize = 0;
  header >> version >> fileType >> dataSize;
  if (version != "4.1") Fail("format version '" + version + "' is not supported (only 4.1)");
  if (fileType != 0) Fail("binary Gmsh files are not supported (only ASCII)");
  ExpectEnd("MeshFormat");
}

void GmshReader::ReadNodes(RawMesh& mesh) {
  std::vector<std::int64_t> header;
  if (!ParseNumbers(NextDataLine(), 4, header) || header[0] < 0 || header[1] < 0)
    Fail("the $Nodes header needs four counts");
  const std::int64_t total = header[1];
  if (total > (std::int64_t{1} << 31)) Fail("too many nodes");
  std::vector<std::int64_t> block, tags;
  std::vector<double> xyz;
  for (std::int64_t b = 0; b < header[0]; ++b) {
    if (!ParseNumbers(NextDataLine(), 4, block) || block[3] < 0)
      Fail("a node block header needs entity dimension, tag, parametric flag and count");
    const std::size_t coordinates = block[2] != 0 ? 3 + static_cast<std::size_t>(block[0]) : 3;
    tags.clear();
    for (std::int64_t i = 0; i < block[3]; ++i) {
      std::vector<std::int64_t> tag;
      if (!ParseNumbers(NextDataLine(), 1, tag)) Fail("expected one node tag");
      tags.push_back(tag[0]);
    }
    for (std::int64_t tag : tags) {
      if (!ParseNumbers(NextDataLine(), coordinates, xyz))
        Fail("expected " + std::to_string(coordinates) + " coordinates of node " +
             std::to_string(tag));
      if (!nodeIndex_.emplace(tag, static_cast<int>(mesh.points.size() / 3)).second)
        Fail("node " + std::to_string(tag) + " is defined twice");
      mesh.points.insert(mesh.points.end(), xyz.begin(), xyz.begin() + 3);
    }
  }
  if (mesh.PointCount() != total)
    Fail("the $Nodes header announces " + std::to_string(total) + " nodes, the blocks hold " +
         std::to_string(mesh.PointCount()));
  ExpectEnd("Nodes");
}

void GmshReader::ReadElements() {
  std::vector<std::int64_t> header;
  if (!ParseNumbers(NextDataLine(), 4, header) || header[0] < 0 || header[1] < 0)
    Fail("the $Elements header needs four counts");
  std::vector<std::int64_t> block, numbers;
  std::int64_t read = 0;
  for (std::int64_t b = 0; b < header[0]; ++b) {
    if (!ParseNumbers(NextDataLine(), 4, block) || block[3] < 0)
      Fail("an element block header needs entity dimension, tag, element type and count");
    const int gmshType = static_cast<int>(block[2]);
    if (gmshType == CellCatalog::kGmshPoint) {
      for (std::int64_t i = 0; i < block[3]; ++i) NextDataLine();
      skippedPoints_ += block[3];
      read += block[3];
      continue;
    }
    const CellCatalog::GmshCell* cell = CellCatalog::FindGmsh(gmshType);
    if (!cell) Fail("element type " + std::to_string(gmshType) + " is not supported");
    const std::size_t nodes = cell->order.size();
    for (std::int64_t i = 0; i < block[3]; ++i) {
      if (!ParseNumbers(NextDataLine(), nodes + 1, numbers))
        Fail("expected an element tag and " + std::to_string(nodes) + " node tags");
      PendingElement element{cell->vtkType, static_cast<int>(block[0]), {}};
      for (std::size_t k = 0; k < nodes; ++k) {
        const auto found = nodeIndex_.find(numbers[1 + cell->order[k]]);
        if (found == nodeIndex_.end())
          Fail("element " + std::to_string(numbers[0]) + " uses the undefined node " +
               std::to_string(numbers[1 + cell->order[k]]));
        element.nodes.push_back(found->second);
      }
      elements_.push_back(std::move(element));
    }
    read += block[3];
  }
  if (read != header[1])
    Fail("the $Elements header announces " + std::to_string(header[1]) +
         " elements, the blocks hold " + std::to_string(read));
  ExpectEnd("Elements");
}

void GmshReader::ReadNodeData(RawMesh& mesh) {
  std::vector<std::string> strings;
  std::vector<std::int64_t> integers;
  std::vector<std::int64_t> count;
  if (!ParseNumbers(NextDataLine(), 1, count) || count[0] < 0) Fail("expected a string-tag count");
  for (std::int64_t i = 0; i < count[0]; ++i) strings.push_back(NextDataLine());
  if (!ParseNumbers(NextDataLine(), 1, count) || count[0] < 0) Fail("expected a real-tag count");
  for (std::int64_t i = 0; i < count[0]; ++i) NextDataLine();
  if (!ParseNumbers(NextDataLine(), 1, count) || count[0] < 3)
    Fail("expected an integer-tag count of at least 3 (step, components, node count)");
  for (std::int64_t i = 0; i < count[0]; ++i) {
    std::vector<std::int64_t> value;
    if (!ParseNumbers(NextDataLine(), 1, value)) Fail("expected an integer tag");
    integers.push_back(value[0]);
  }
  std::string name = strings.empty() ? "" : strings[0];
  name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
  const std::int64_t components = integers[1], entries = integers[2];
  if (components < 1 || components > 1000 || entries < 0 || entries > mesh.PointCount())
    Fail("node data '" + name + "' has " + std::to_string(components) + " components for " +
         std::to_string(entries) + " nodes");
  PointArray array{name, static_cast<int>(components),
                   std::vector<double>(static_cast<std::size_t>(mesh.PointCount() * components))};
  for (std::int64_t i = 0; i < entries; ++i) {
    const std::string line = NextDataLine();
    std::vector<double> numbers;
    if (!ParseNumbers(line, static_cast<std::size_t>(components) + 1, numbers))
      Fail("expected a node tag and " + std::to_string(components) + " values");
    const auto found = nodeIndex_.find(static_cast<std::int64_t>(numbers[0]));
    if (found == nodeIndex_.end())
      Fail("node data for the undefined node " + std::to_string(numbers[0]));
    std::copy(numbers.begin() + 1, numbers.end(),
              array.values.begin() + static_cast<std::ptrdiff_t>(found->second * components));
  }
  ExpectEnd("NodeData");
  const auto same = std::find_if(mesh.pointArrays.begin(), mesh.pointArrays.end(),
                                 [&](const PointArray& a) { return a.name == name; });
  if (same != mesh.pointArrays.end())
    *same = std::move(array);
  else
    mesh.pointArrays.push_back(std::move(array));
}

void GmshReader::AssembleCells(RawMesh& mesh) const {
  int top = -1;
  for (const PendingElement& element : elements_) top = std::max(top, element.dimension);
  std::map<int, std::int64_t> skipped;
  for (const PendingElement& element : elements_) {
    if (element.dimension < top) {
      ++skipped[element.dimension];
      continue;
    }
    mesh.cellTypes.push_back(element.vtkType);
    mesh.connectivity.insert(mesh.connectivity.end(), element.nodes.begin(), element.nodes.end());
    mesh.offsets.push_back(static_cast<std::int64_t>(mesh.connectivity.size()));
  }
  for (const auto& [dimension, count] : skipped)
    mesh.notes.push_back(std::to_string(count) + " elements of dimension " +
                         std::to_string(dimension) + " (below the mesh's " + std::to_string(top) +
                         ") skipped");
  if (skippedPoints_ > 0)
    mesh.notes.push_back(std::to_string(skippedPoints_) + " point elements skipped");
}
