#include "GmshReader.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <utility>

#include "CellCatalog.h"
#include "FieldmapError.h"
#include "platform/impl/ZORHugePages.h"

namespace {

// The most nodes of any Gmsh element type CellCatalog::GmshShape knows.
constexpr std::size_t kMaxElementNodes = 64;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

template <typename T>
bool ParseNumber(const char* begin, const char* end, T& value) {
  const auto [ptr, ec] = std::from_chars(begin, end, value);
  return ec == std::errc() && ptr == end;
}

// The tokens of an ASCII line as numbers; false when one is not a number.
template <typename T>
bool ParseAll(std::string_view line, std::vector<T>& out) {
  out.clear();
  const char* at = line.data();
  const char* end = at + line.size();
  while (true) {
    while (at < end && IsBlank(*at)) ++at;
    if (at == end) return true;
    const char* token = at;
    while (at < end && !IsBlank(*at)) ++at;
    T value{};
    if (!ParseNumber(token, at, value)) return false;
    out.push_back(value);
  }
}

}  // namespace

GmshReader::GmshReader(std::string fileName, std::function<void(double)> progress)
    : fileName_(std::move(fileName)), progress_(std::move(progress)) {}

void GmshReader::Report() const {
  if (progress_ && !text_.empty())
    progress_(static_cast<double>(position_) / static_cast<double>(text_.size()));
}

std::string GmshReader::LineWhere() const {
  return "line " + std::to_string(1 + std::count(text_.begin(), text_.begin() + lineStart_, '\n'));
}

void GmshReader::Fail(const std::string& where, const std::string& problem) const {
  throw FieldmapError::Input(fileName_, where, problem);
}

std::string_view GmshReader::Line() {
  if (position_ >= text_.size()) Fail(LineWhere(), "the file ends inside a section");
  lineStart_ = position_;
  std::size_t end = text_.find('\n', position_);
  if (end == std::string_view::npos) end = text_.size();
  position_ = std::min(end + 1, text_.size());
  std::string_view line = text_.substr(lineStart_, end - lineStart_);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

template <typename T>
void GmshReader::Numbers(std::string_view line, std::size_t count, T* out,
                         const std::string& what) {
  const char* at = line.data();
  const char* end = at + line.size();
  for (std::size_t i = 0; i <= count; ++i) {
    while (at < end && IsBlank(*at)) ++at;
    if (i == count && at == end) return;
    const char* token = at;
    while (at < end && !IsBlank(*at)) ++at;
    if (i == count || token == at || !ParseNumber(token, at, out[i]))
      Fail(LineWhere(), "expected " + what + ", found '" + std::string(line) + "'");
  }
}

template <typename T>
void GmshReader::Binary(T* out, std::size_t count) {
  if (count > (text_.size() - position_) / sizeof(T))
    Fail(ByteWhere(), "the binary data is cut short");
  std::memcpy(out, text_.data() + position_, count * sizeof(T));
  position_ += count * sizeof(T);
}

template <typename T>
T GmshReader::Binary() {
  T value{};
  Binary(&value, 1);
  return value;
}

void GmshReader::ExpectEnd(std::string_view name) {
  std::string_view line = Line();
  // Binary data ends with the line break before the end tag.
  if (binary_ && line.empty()) line = Line();
  if (line.substr(0, 4) != "$End" || line.substr(4) != name)
    Fail(binary_ ? ByteWhere() : LineWhere(),
         "expected $End" + std::string(name) + ", found '" + std::string(line.substr(0, 40)) + "'");
}

void GmshReader::SkipSection(std::string_view name) {
  const std::string end = "$End" + std::string(name);
  const std::size_t found = text_.find(end, position_);
  if (found == std::string_view::npos)
    Fail(LineWhere(), "section $" + std::string(name) + " is not closed");
  position_ = found;
  Line();
}

RawMesh GmshReader::Read() {
  file_ = std::make_unique<MappedFile>(fileName_);
  text_ = file_->Text();
  RawMesh mesh;
  bool sawNodes = false, sawElements = false;
  while (position_ < text_.size()) {
    const std::string_view line = Line();
    if (line.empty()) continue;
    if (line == "$MeshFormat") {
      ReadFormat();
    } else if (version_ == 0) {
      Fail(LineWhere(), "the file does not start with $MeshFormat");
    } else if (line == "$Nodes") {
      ReadNodes(mesh);
      sawNodes = true;
    } else if (line == "$Elements") {
      if (!sawNodes) Fail(LineWhere(), "$Elements comes before $Nodes");
      ReadElements();
      sawElements = true;
    } else if (line == "$NodeData") {
      if (!sawNodes) Fail(LineWhere(), "$NodeData comes before $Nodes");
      ReadNodeData(mesh);
    } else if (line.size() > 1 && line[0] == '$') {
      SkipSection(line.substr(1));
    } else {
      Fail(binary_ ? ByteWhere() : LineWhere(),
           "unexpected text '" + std::string(line.substr(0, 40)) + "' between sections");
    }
    Report();
  }
  if (version_ == 0) Fail(LineWhere(), "the file is empty or not a Gmsh mesh");
  if (!sawNodes || !sawElements)
    Fail(LineWhere(), "the file has no $Nodes or no $Elements section");
  AssembleCells(mesh);
  return mesh;
}

void GmshReader::ReadFormat() {
  const std::string_view header = Line();
  std::vector<double> numbers;
  if (!ParseAll(header, numbers) || numbers.size() != 3)
    Fail(LineWhere(),
         "expected version, file type and data size, found '" + std::string(header) + "'");
  const std::string version(header.substr(0, header.find(' ')));
  if (version != "2.2" && version != "4.1")
    Fail(LineWhere(), "format version '" + version + "' is not supported (2.2 and 4.1 are)");
  version_ = version == "2.2" ? 22 : 41;
  binary_ = numbers[1] != 0;
  if (binary_) {
    if (numbers[2] != sizeof(std::size_t))
      Fail(LineWhere(), "binary files with a data size other than 8 are not supported");
    const std::string where = ByteWhere();
    const auto one = Binary<std::int32_t>();
    if (one != 1)
      Fail(where, one == 0x01000000 ? "the binary data has the other byte order than this machine"
                                    : "the binary header does not hold the number 1");
  }
  ExpectEnd("MeshFormat");
}

void GmshReader::ReadNodes(RawMesh& mesh) {
  std::int64_t header[4] = {1, 0, 0, 0};
  if (version_ == 22) {
    Numbers(Line(), 1, header + 1, "the node count");
  } else if (binary_) {
    std::uint64_t words[4];
    Binary(words, 4);
    std::copy(words, words + 4, header);
  } else {
    Numbers(Line(), 4, header, "block count, node count, smallest and largest node tag");
  }
  // Every node takes more than one byte, so a count the file cannot hold allocates nothing.
  if (header[0] < 0 || header[1] < 0 || header[1] > static_cast<std::int64_t>(text_.size()) ||
      header[1] >= (std::int64_t{1} << 31))
    Fail(binary_ ? ByteWhere() : LineWhere(), "the $Nodes header announces an impossible count");
  const std::size_t total = static_cast<std::size_t>(header[1]);
  nodeTags_.reserve(total);
  ZORHugePages::Resize(mesh.points, 0);
  mesh.points.reserve(3 * total);
  for (std::int64_t b = 0; b < header[0]; ++b) {
    if (version_ == 22) {
      ReadNodeBlock(mesh, 3, false, total);
      break;
    }
    std::int64_t block[4];
    if (binary_) {
      std::int32_t ints[3];
      Binary(ints, 3);
      std::copy(ints, ints + 3, block);
      block[3] = static_cast<std::int64_t>(Binary<std::uint64_t>());
    } else {
      Numbers(Line(), 4, block, "entity dimension, tag, parametric flag and node count");
    }
    if (block[3] < 0 || block[3] > header[1] - mesh.PointCount() || block[0] < 0 || block[0] > 3)
      Fail(binary_ ? ByteWhere() : LineWhere(), "a node block holds more nodes than announced");
    ReadNodeBlock(mesh, static_cast<int>(block[0]), block[2] != 0,
                  static_cast<std::size_t>(block[3]));
  }
  if (mesh.PointCount() != header[1])
    Fail(binary_ ? ByteWhere() : LineWhere(),
         "the $Nodes header announces " + std::to_string(header[1]) + " nodes, the blocks hold " +
             std::to_string(mesh.PointCount()));
  ExpectEnd("Nodes");
  IndexNodes();
}

// Version 2.2 gives tag and coordinates together; 4.1 all tags of a block, then all coordinates,
// with the parametric ones after x, y and z when the block has them.
void GmshReader::ReadNodeBlock(RawMesh& mesh, int dimension, bool parametric, std::size_t count) {
  const std::size_t values = 3 + (parametric ? static_cast<std::size_t>(dimension) : 0);
  double xyz[6];
  for (std::size_t i = 0; i < count && version_ == 22; ++i) {
    if (binary_) {
      nodeTags_.push_back(Binary<std::int32_t>());
      Binary(xyz, 3);
    } else {
      double line[4];
      Numbers(Line(), 4, line, "a node tag and three coordinates");
      nodeTags_.push_back(static_cast<std::int64_t>(line[0]));
      std::copy(line + 1, line + 4, xyz);
    }
    mesh.points.insert(mesh.points.end(), xyz, xyz + 3);
  }
  if (version_ == 22) return;
  for (std::size_t i = 0; i < count; ++i) {
    std::int64_t tag = 0;
    if (binary_)
      tag = static_cast<std::int64_t>(Binary<std::uint64_t>());
    else
      Numbers(Line(), 1, &tag, "one node tag");
    nodeTags_.push_back(tag);
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (binary_)
      Binary(xyz, values);
    else
      Numbers(Line(), values, xyz, std::to_string(values) + " coordinates");
    mesh.points.insert(mesh.points.end(), xyz, xyz + 3);
  }
}

void GmshReader::IndexNodes() {
  if (nodeTags_.empty()) return;
  const auto [low, high] = std::minmax_element(nodeTags_.begin(), nodeTags_.end());
  const bool dense = *high - *low < 4 * static_cast<std::int64_t>(nodeTags_.size()) + 1024;
  firstDenseTag_ = *low;
  if (dense) denseIndex_.assign(static_cast<std::size_t>(*high - *low + 1), -1);
  for (std::size_t i = 0; i < nodeTags_.size(); ++i) {
    const bool added =
        dense ? std::exchange(denseIndex_[static_cast<std::size_t>(nodeTags_[i] - *low)],
                              static_cast<int>(i)) < 0
              : sparseIndex_.emplace(nodeTags_[i], static_cast<int>(i)).second;
    if (!added)
      Fail(binary_ ? ByteWhere() : LineWhere(),
           "node " + std::to_string(nodeTags_[i]) + " is defined twice");
  }
}

int GmshReader::NodeIndex(std::int64_t tag) const {
  if (!denseIndex_.empty()) {
    const std::int64_t at = tag - firstDenseTag_;
    return at < 0 || at >= static_cast<std::int64_t>(denseIndex_.size())
               ? -1
               : denseIndex_[static_cast<std::size_t>(at)];
  }
  const auto found = sparseIndex_.find(tag);
  return found == sparseIndex_.end() ? -1 : found->second;
}

void GmshReader::ReadElements() {
  std::int64_t header[4] = {0, 0, 0, 0};
  if (binary_ && version_ == 41) {
    std::uint64_t words[4];
    Binary(words, 4);
    std::copy(words, words + 4, header);
  } else if (version_ == 41) {
    Numbers(Line(), 4, header, "block count, element count, smallest and largest element tag");
  } else {
    Numbers(Line(), 1, header + 1, "the element count");
  }
  if (header[0] < 0 || header[1] < 0 || header[1] > static_cast<std::int64_t>(text_.size()))
    Fail(binary_ ? ByteWhere() : LineWhere(), "the $Elements header announces an impossible count");
  std::int64_t read = 0;
  for (std::int64_t b = 0; version_ == 41 ? b < header[0] : read < header[1]; ++b) {
    std::int64_t block[4] = {0, 0, 0, 0};  // dimension, type, count, tags before the nodes
    if (version_ == 22 && !binary_) {
      block[2] = 1;
    } else if (version_ == 22) {
      std::int32_t ints[3];
      Binary(ints, 3);
      block[1] = ints[0];
      block[2] = ints[1];
      block[3] = ints[2];
    } else if (binary_) {
      std::int32_t ints[3];
      Binary(ints, 3);
      block[0] = ints[0];
      block[1] = ints[2];
      block[2] = static_cast<std::int64_t>(Binary<std::uint64_t>());
    } else {
      std::int64_t line[4];
      Numbers(Line(), 4, line, "entity dimension, tag, element type and element count");
      block[0] = line[0];
      block[1] = line[2];
      block[2] = line[3];
    }
    if (block[2] < 0 || block[2] > header[1] - read || block[3] < 0 || block[3] > 1000)
      Fail(binary_ ? ByteWhere() : LineWhere(),
           "an element block holds more elements than announced");
    ReadElementBlock(static_cast<int>(block[1]), static_cast<int>(block[0]),
                     static_cast<std::size_t>(block[2]), static_cast<int>(block[3]));
    read += block[2];
  }
  if (read != header[1])
    Fail(binary_ ? ByteWhere() : LineWhere(),
         "the $Elements header announces " + std::to_string(header[1]) +
             " elements, the blocks hold " + std::to_string(read));
  ExpectEnd("Elements");
}

// One block of elements of one type; an ASCII 2.2 "block" is a single line that names its own
// type and tag count.
void GmshReader::ReadElementBlock(int gmshType, int dimension, std::size_t count, int tagsBefore) {
  std::vector<std::int64_t> numbers;
  std::int32_t ints[kMaxElementNodes + 1002];
  for (std::size_t e = 0; e < count; ++e) {
    int nodes = 0, shapeDimension = dimension;
    if (version_ == 22 && !binary_) {
      const std::string_view line = Line();
      if (!ParseAll(line, numbers) || numbers.size() < 3 || numbers[2] < 0 || numbers[2] > 1000)
        Fail(LineWhere(), "expected an element tag, type, tag count, tags and nodes");
      gmshType = static_cast<int>(numbers[1]);
      tagsBefore = static_cast<int>(numbers[2]);
    }
    if (!CellCatalog::GmshShape(gmshType, nodes, shapeDimension) ||
        (version_ == 41 && shapeDimension != dimension))
      Fail(binary_ ? ByteWhere() : LineWhere(),
           "element type " + std::to_string(gmshType) + " is not supported");
    const std::size_t width =
        1 + static_cast<std::size_t>(tagsBefore) + static_cast<std::size_t>(nodes);
    if (version_ == 22 && binary_) {
      Binary(ints, width);
      numbers.assign(ints, ints + width);
    } else if (binary_) {
      numbers.resize(width);
      Binary(reinterpret_cast<std::uint64_t*>(numbers.data()), width);
    } else if (version_ == 41) {
      numbers.resize(width);
      Numbers(Line(), width, numbers.data(),
              "an element tag and " + std::to_string(nodes) + " node tags");
    } else if (numbers.size() != 2 + width) {
      Fail(LineWhere(), "expected an element tag and " + std::to_string(nodes) + " node tags");
    } else {
      numbers.erase(numbers.begin() + 1, numbers.begin() + 3);
    }
    AddElement(gmshType, shapeDimension, numbers.data(), tagsBefore);
  }
}

// numbers: the element tag, tagsBefore other tags (2.2) and the node tags in Gmsh order.
void GmshReader::AddElement(int gmshType, int dimension, const std::int64_t* numbers,
                            int tagsBefore) {
  if (gmshType == CellCatalog::kGmshPoint) {
    ++points_;
    return;
  }
  CellSet& set = cells_[static_cast<std::size_t>(dimension)];
  const CellCatalog::GmshCell* cell = CellCatalog::FindGmsh(gmshType);
  if (!cell) {
    if (set.skipped++ == 0) {
      set.skippedType = gmshType;
      set.skippedAt = binary_ ? ByteWhere() : LineWhere();
    }
    return;
  }
  const std::int64_t* tags = numbers + 1 + tagsBefore;
  set.types.push_back(cell->vtkType);
  for (const int k : cell->order) {
    const int index = NodeIndex(tags[k]);
    if (index < 0)
      Fail(binary_ ? ByteWhere() : LineWhere(), "element " + std::to_string(numbers[0]) +
                                                    " uses the undefined node " +
                                                    std::to_string(tags[k]));
    set.connectivity.push_back(index);
  }
}

void GmshReader::ReadNodeData(RawMesh& mesh) {
  std::int64_t count = 0;
  Numbers(Line(), 1, &count, "a string-tag count");
  std::string name;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::string_view line = Line();
    if (i == 0) name = std::string(line);
  }
  name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
  Numbers(Line(), 1, &count, "a real-tag count");
  for (std::int64_t i = 0; i < count; ++i) Line();
  Numbers(Line(), 1, &count, "an integer-tag count");
  if (count < 3 || count > 100)
    Fail(LineWhere(), "expected an integer-tag count of at least 3 (step, components, node count)");
  std::vector<std::int64_t> integers(static_cast<std::size_t>(count));
  for (std::int64_t& value : integers) Numbers(Line(), 1, &value, "an integer tag");
  const std::int64_t components = integers[1], entries = integers[2];
  if (components < 1 || components > 1000 || entries < 0 || entries > mesh.PointCount())
    Fail(LineWhere(), "node data '" + name + "' has " + std::to_string(components) +
                          " components for " + std::to_string(entries) + " nodes");
  const std::size_t width = static_cast<std::size_t>(components);
  PointArray array{name, static_cast<int>(components), {}};
  array.values.assign(static_cast<std::size_t>(mesh.PointCount()) * width, 0.0);
  std::vector<double> numbers(width + 1);
  for (std::int64_t i = 0; i < entries; ++i) {
    std::int64_t tag = 0;
    if (binary_) {
      tag = Binary<std::int32_t>();
      Binary(numbers.data() + 1, width);
    } else {
      Numbers(Line(), width + 1, numbers.data(),
              "a node tag and " + std::to_string(components) + " values");
      tag = static_cast<std::int64_t>(numbers[0]);
    }
    const int node = NodeIndex(tag);
    if (node < 0)
      Fail(binary_ ? ByteWhere() : LineWhere(),
           "node data for the undefined node " + std::to_string(tag));
    std::copy(
        numbers.begin() + 1, numbers.end(),
        array.values.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(node) * width));
  }
  ExpectEnd("NodeData");
  const auto same = std::find_if(mesh.pointArrays.begin(), mesh.pointArrays.end(),
                                 [&](const PointArray& a) { return a.name == name; });
  if (same != mesh.pointArrays.end())
    *same = std::move(array);
  else
    mesh.pointArrays.push_back(std::move(array));
}

// The cells of the highest dimension become the mesh; the lower ones are counted in notes. An
// element type fieldmap cannot import fails only where it would have been used.
void GmshReader::AssembleCells(RawMesh& mesh) {
  std::size_t top = 0;
  for (std::size_t d = 1; d < cells_.size(); ++d)
    if (!cells_[d].types.empty() || cells_[d].skipped > 0) top = d;
  CellSet& kept = cells_[top];
  if (kept.skipped > 0)
    Fail(kept.skippedAt, "element type " + std::to_string(kept.skippedType) +
                             " is not supported (it is among the mesh's " + std::to_string(top) +
                             "-dimensional elements)");
  mesh.offsets.reserve(kept.types.size() + 1);
  for (const int type : kept.types)
    mesh.offsets.push_back(mesh.offsets.back() + CellCatalog::FindVtk(type)->nodes);
  mesh.cellTypes = std::move(kept.types);
  mesh.connectivity = std::move(kept.connectivity);
  for (std::size_t d = 1; d < top; ++d) {
    const std::int64_t count =
        static_cast<std::int64_t>(cells_[d].types.size()) + cells_[d].skipped;
    if (count > 0)
      mesh.notes.push_back(std::to_string(count) + " elements of dimension " + std::to_string(d) +
                           " (below the mesh's " + std::to_string(top) + ") skipped");
  }
  if (points_ > 0) mesh.notes.push_back(std::to_string(points_) + " point elements skipped");
}
