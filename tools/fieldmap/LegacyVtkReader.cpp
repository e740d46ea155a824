#include "LegacyVtkReader.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <type_traits>

#include "FieldmapError.h"
#include "platform/impl/ZORHugePages.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The legacy writer's type names and the scalar types they stand for.
struct TypeName {
  const char* legacy;
  const char* scalar;
};
constexpr TypeName kTypeNames[] = {{"char", "Int8"},
                                   {"signed_char", "Int8"},
                                   {"unsigned_char", "UInt8"},
                                   {"short", "Int16"},
                                   {"unsigned_short", "UInt16"},
                                   {"int", "Int32"},
                                   {"unsigned_int", "UInt32"},
                                   {"long", "Int64"},
                                   {"unsigned_long", "UInt64"},
                                   {"vtktypeint64", "Int64"},
                                   {"vtktypeuint64", "UInt64"},
                                   {"vtkIdType", "Int32"},
                                   {"float", "Float32"},
                                   {"double", "Float64"}};

// Names are written with %XX for characters the format cannot hold, such as spaces.
std::string DecodeName(std::string_view name) {
  std::string decoded;
  for (std::size_t i = 0; i < name.size(); ++i) {
    int code = 0;
    if (name[i] == '%' && i + 2 < name.size() &&
        std::from_chars(name.data() + i + 1, name.data() + i + 3, code, 16).ptr ==
            name.data() + i + 3) {
      decoded.push_back(static_cast<char>(code));
      i += 2;
    } else {
      decoded.push_back(name[i]);
    }
  }
  return decoded;
}

template <typename T>
bool ParseToken(const char* begin, const char* end, T& value) {
  if constexpr (std::is_floating_point_v<T>) {
    return std::from_chars(begin, end, value).ptr == end;
  } else {
    long long number = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, number);
    if (ec != std::errc() || ptr != end || number < std::numeric_limits<T>::min() ||
        number > std::numeric_limits<T>::max())
      return false;
    value = static_cast<T>(number);
    return true;
  }
}

}  // namespace

LegacyVtkReader::LegacyVtkReader(std::string fileName, std::function<void(double)> progress)
    : fileName_(std::move(fileName)), progress_(std::move(progress)) {}

std::string LegacyVtkReader::Where() const {
  if (inBinary_) return "byte " + std::to_string(position_);
  const std::size_t at =
      std::min(std::max(lineStart_, position_ > 0 ? position_ - 1 : 0), text_.size());
  return "line " + std::to_string(1 + std::count(text_.begin(), text_.begin() + at, '\n'));
}

void LegacyVtkReader::Fail(const std::string& problem) const {
  throw FieldmapError::Input(fileName_, Where(), problem);
}

std::string_view LegacyVtkReader::NextLine() {
  while (position_ < text_.size()) {
    lineStart_ = position_;
    std::size_t end = text_.find('\n', position_);
    if (end == std::string_view::npos) end = text_.size();
    position_ = std::min(end + 1, text_.size());
    std::string_view line = text_.substr(lineStart_, end - lineStart_);
    while (!line.empty() && IsSpace(line.back())) line.remove_suffix(1);
    while (!line.empty() && IsSpace(line.front())) line.remove_prefix(1);
    if (!line.empty()) return line;
  }
  lineStart_ = position_;
  return {};
}

std::vector<std::string_view> LegacyVtkReader::Words(std::string_view line) const {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && IsSpace(line[at])) ++at;
    const std::size_t start = at;
    while (at < line.size() && !IsSpace(line[at])) ++at;
    if (at > start) words.push_back(line.substr(start, at - start));
  }
  return words;
}

std::int64_t LegacyVtkReader::Count(std::string_view word, const std::string& what) const {
  std::int64_t value = -1;
  if (std::from_chars(word.data(), word.data() + word.size(), value).ptr !=
          word.data() + word.size() ||
      value < 0)
    Fail("expected " + what + ", found '" + std::string(word) + "'");
  return value;
}

const ScalarDecoder::Type& LegacyVtkReader::TypeNamed(std::string_view name) const {
  for (const TypeName& type : kTypeNames)
    if (name == type.legacy) return *ScalarDecoder::Find(type.scalar);
  Fail("the data type '" + std::string(name) + "' is not supported");
}

template <typename T>
std::vector<T> LegacyVtkReader::Values(std::size_t count, std::string_view typeName,
                                       const std::string& what) {
  const ScalarDecoder::Type& type = TypeNamed(typeName);
  if (std::is_integral_v<T> && type.isFloat)
    Fail("array '" + what + "' has the type " + std::string(typeName) +
         "; it must be an integer type");
  const std::size_t left = text_.size() - position_;
  // A count the rest of the file cannot hold is refused before anything is allocated.
  if (count > (binary_ ? left / static_cast<std::size_t>(type.bytes) : left / 2 + 1))
    Fail("array '" + what + "' announces " + std::to_string(count) +
         " values, more than the rest of the file holds");
  std::vector<T> values;
  ZORHugePages::Resize(values, count);
  if (binary_) {
    inBinary_ = true;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text_.data() + position_);
    const std::size_t fitted = ScalarDecoder::Convert(bytes, count, type, true, values.data());
    if (fitted != count)
      Fail("array '" + what + "': value " + std::to_string(fitted) +
           " does not fit the integers fieldmap keeps");
    position_ += count * static_cast<std::size_t>(type.bytes);
    inBinary_ = false;
    return values;
  }
  for (std::size_t i = 0; i < count; ++i) {
    while (position_ < text_.size() && IsSpace(text_[position_])) ++position_;
    const std::size_t start = position_;
    while (position_ < text_.size() && !IsSpace(text_[position_])) ++position_;
    lineStart_ = start;
    if (start == position_)
      Fail("array '" + what + "' ends after " + std::to_string(i) + " of its " +
           std::to_string(count) + " values");
    if (!ParseToken(text_.data() + start, text_.data() + position_, values[i]))
      Fail("array '" + what + "' holds '" + std::string(text_.substr(start, position_ - start)) +
           "', which is not a number of its type");
  }
  return values;
}

RawMesh LegacyVtkReader::Read() {
  file_ = std::make_unique<MappedFile>(fileName_);
  text_ = file_->Text();
  if (NextLine().rfind("# vtk DataFile Version", 0) != 0)
    Fail("not a legacy VTK file (no '# vtk DataFile Version' line)");
  // The title line may be anything, even empty.
  position_ = std::min(text_.find('\n', position_) + 1, text_.size());
  const std::string_view format = NextLine();
  if (format != "ASCII" && format != "BINARY") Fail("expected ASCII or BINARY");
  binary_ = format == "BINARY";
  const std::vector<std::string_view> dataset = Words(NextLine());
  if (dataset.size() != 2 || dataset[0] != "DATASET" || dataset[1] != "UNSTRUCTURED_GRID")
    Fail("not an unstructured grid (expected DATASET UNSTRUCTURED_GRID)");
  RawMesh mesh;
  std::string skippedCellData;
  for (std::string_view line = NextLine(); !line.empty(); line = NextLine()) {
    const std::vector<std::string_view> words = Words(line);
    if (words[0] == "POINTS") {
      ReadPoints(words, mesh);
    } else if (words[0] == "CELLS") {
      ReadCells(words, mesh);
    } else if (words[0] == "CELL_TYPES") {
      ReadCellTypes(words, mesh);
    } else if ((words[0] == "POINT_DATA" || words[0] == "CELL_DATA") && words.size() == 2) {
      const bool points = words[0] == "POINT_DATA";
      const std::size_t tuples = static_cast<std::size_t>(Count(words[1], "a count"));
      if (points && static_cast<std::int64_t>(tuples) != mesh.PointCount())
        Fail("POINT_DATA has " + std::to_string(tuples) + " tuples for " +
             std::to_string(mesh.PointCount()) + " points");
      // Attributes follow until a line that starts another section.
      while (true) {
        const std::size_t before = position_;
        const std::string_view next = NextLine();
        if (next.empty() || !ReadAttribute(next, tuples, points, mesh)) {
          position_ = before;
          break;
        }
        if (!points) skippedCellData = "cell data arrays skipped";
      }
    } else if (words[0] == "FIELD" || words[0] == "METADATA") {
      ReadAttribute(line, 0, false, mesh);
    } else {
      Fail("unexpected '" + std::string(line.substr(0, 40)) + "'");
    }
    if (progress_) progress_(static_cast<double>(position_) / static_cast<double>(text_.size()));
  }
  if (mesh.cellTypes.size() + 1 != mesh.offsets.size())
    Fail("the file has " + std::to_string(mesh.offsets.size() - 1) + " cells and " +
         std::to_string(mesh.cellTypes.size()) + " cell types");
  if (!skippedCellData.empty()) mesh.notes.push_back(skippedCellData);
  return mesh;
}

void LegacyVtkReader::SkipMetadata() {
  // Information keys up to the next empty line.
  while (position_ < text_.size()) {
    const std::size_t end = std::min(text_.find('\n', position_), text_.size());
    std::string_view line = text_.substr(position_, end - position_);
    position_ = std::min(end + 1, text_.size());
    while (!line.empty() && IsSpace(line.back())) line.remove_suffix(1);
    if (line.empty()) return;
  }
}

void LegacyVtkReader::ReadPoints(const std::vector<std::string_view>& words, RawMesh& mesh) {
  if (words.size() != 3) Fail("expected POINTS count type");
  const std::size_t count = static_cast<std::size_t>(Count(words[1], "a point count"));
  mesh.points = Values<double>(3 * count, words[2], "POINTS");
}

// Files of version 5 give OFFSETS and CONNECTIVITY; older ones each cell's point count before
// its points.
void LegacyVtkReader::ReadCells(const std::vector<std::string_view>& words, RawMesh& mesh) {
  if (words.size() != 3) Fail("expected CELLS and two counts");
  const std::size_t first = static_cast<std::size_t>(Count(words[1], "a cell count"));
  const std::size_t second = static_cast<std::size_t>(Count(words[2], "a size"));
  const std::size_t afterHeader = position_;
  const std::vector<std::string_view> offsets = Words(NextLine());
  if (offsets.size() == 2 && offsets[0] == "OFFSETS") {
    mesh.offsets = Values<std::int64_t>(first, offsets[1], "OFFSETS");
    const std::vector<std::string_view> connectivity = Words(NextLine());
    if (connectivity.size() != 2 || connectivity[0] != "CONNECTIVITY")
      Fail("expected CONNECTIVITY and a type after the offsets");
    mesh.connectivity = Values<int>(second, connectivity[1], "CONNECTIVITY");
    if (mesh.offsets.empty() || mesh.offsets.front() != 0 ||
        mesh.offsets.back() != static_cast<std::int64_t>(second) ||
        !std::is_sorted(mesh.offsets.begin(), mesh.offsets.end()))
      Fail("the OFFSETS do not run from 0 up to the " + std::to_string(second) +
           " CONNECTIVITY entries");
  } else {
    position_ = afterHeader;
    const std::vector<int> cells = Values<int>(second, "int", "CELLS");
    mesh.offsets.assign(1, 0);
    mesh.connectivity.reserve(second);
    for (std::size_t at = 0; mesh.offsets.size() <= first;
         at += 1 + static_cast<std::size_t>(cells[at])) {
      if (at >= cells.size() || cells[at] < 0 ||
          static_cast<std::size_t>(cells[at]) >= cells.size() - at)
        Fail("cell " + std::to_string(mesh.offsets.size() - 1) + " runs past the CELLS size");
      mesh.connectivity.insert(mesh.connectivity.end(),
                               cells.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                               cells.begin() + static_cast<std::ptrdiff_t>(at) + 1 + cells[at]);
      mesh.offsets.push_back(static_cast<std::int64_t>(mesh.connectivity.size()));
    }
  }
  for (std::size_t i = 0; i < mesh.connectivity.size(); ++i)
    if (mesh.connectivity[i] < 0 || mesh.connectivity[i] >= mesh.PointCount())
      Fail("connectivity entry " + std::to_string(i) + " refers to point " +
           std::to_string(mesh.connectivity[i]) + " of " + std::to_string(mesh.PointCount()));
}

void LegacyVtkReader::ReadCellTypes(const std::vector<std::string_view>& words, RawMesh& mesh) {
  if (words.size() != 2) Fail("expected CELL_TYPES count");
  mesh.cellTypes =
      Values<int>(static_cast<std::size_t>(Count(words[1], "a cell count")), "int", "CELL_TYPES");
}

bool LegacyVtkReader::ReadAttribute(std::string_view line, std::size_t tuples, bool keep,
                                    RawMesh& mesh) {
  const std::vector<std::string_view> words = Words(line);
  const std::string_view keyword = words[0];
  if (keyword == "METADATA") {
    SkipMetadata();
    return true;
  }
  if (keyword == "FIELD") {
    const std::int64_t arrays = words.size() == 3 ? Count(words[2], "an array count") : -1;
    if (arrays < 0) Fail("expected FIELD name count");
    for (std::int64_t a = 0; a < arrays; ++a) {
      std::vector<std::string_view> array = Words(NextLine());
      if (array.size() == 1 && array[0] == "METADATA") {
        SkipMetadata();
        array = Words(NextLine());
      }
      if (array.size() != 4) Fail("expected a field array: name, components, tuples, type");
      const std::int64_t components = Count(array[1], "a component count");
      const std::size_t count = static_cast<std::size_t>(Count(array[2], "a tuple count"));
      if (keep && count != tuples)
        Fail("field array '" + std::string(array[0]) + "' has " + std::to_string(count) +
             " tuples for " + std::to_string(tuples) + " points");
      if (components < 1 || components > 1000) Fail("a field array needs 1 to 1000 components");
      PointArray values{DecodeName(array[0]), static_cast<int>(components),
                        Values<double>(count * static_cast<std::size_t>(components), array[3],
                                       DecodeName(array[0]))};
      if (keep) mesh.pointArrays.push_back(std::move(values));
    }
    return true;
  }
  if ((keyword == "LOOKUP_TABLE" || keyword == "COLOR_SCALARS") && words.size() == 3) {
    // Colours: four per table entry, or components per tuple; bytes in binary files.
    const std::size_t count = static_cast<std::size_t>(Count(words[2], "a count")) *
                              (keyword == "LOOKUP_TABLE" ? 4 : tuples);
    Values<double>(count, binary_ ? "unsigned_char" : "float", std::string(words[1]));
    return true;
  }
  int components = 0;
  if (keyword == "SCALARS" && (words.size() == 3 || words.size() == 4))
    components = words.size() == 4 ? static_cast<int>(Count(words[3], "a component count")) : 1;
  else if ((keyword == "VECTORS" || keyword == "NORMALS") && words.size() == 3)
    components = 3;
  else if (keyword == "TENSORS" && words.size() == 3)
    components = 9;
  else if ((keyword == "GLOBAL_IDS" || keyword == "PEDIGREE_IDS") && words.size() == 3)
    components = 1;
  else if (keyword == "TEXTURE_COORDINATES" && words.size() == 4)
    components = static_cast<int>(Count(words[2], "a dimension"));
  if (components < 1 || components > 1000) return false;
  if (keyword == "SCALARS") {
    const std::size_t before = position_;
    if (NextLine().rfind("LOOKUP_TABLE", 0) != 0) position_ = before;
  }
  const std::string_view type = keyword == "TEXTURE_COORDINATES" ? words[3] : words[2];
  PointArray values{
      DecodeName(words[1]), components,
      Values<double>(tuples * static_cast<std::size_t>(components), type, DecodeName(words[1]))};
  if (keep) mesh.pointArrays.push_back(std::move(values));
  return true;
}
