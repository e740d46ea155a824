#include "VtuReader.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <pugixml.hpp>
#include <sstream>

#include "Base64.h"
#include "FieldmapError.h"

namespace {

struct ScalarType {
  const char* name;
  int bytes;
  bool isFloat;
  bool isSigned;
};

constexpr ScalarType kScalarTypes[] = {{"Int8", 1, false, true},   {"UInt8", 1, false, false},
                                       {"Int16", 2, false, true},  {"UInt16", 2, false, false},
                                       {"Int32", 4, false, true},  {"UInt32", 4, false, false},
                                       {"Int64", 8, false, true},  {"UInt64", 8, false, false},
                                       {"Float32", 4, true, true}, {"Float64", 8, true, true}};

const ScalarType* FindScalarType(const std::string& name) {
  for (const ScalarType& type : kScalarTypes)
    if (name == type.name) return &type;
  return nullptr;
}

// One value of a scalar type from its bytes in the file's byte order.
double ScalarAt(const std::uint8_t* bytes, const ScalarType& type, bool bigEndian) {
  std::uint8_t ordered[8];
  for (int i = 0; i < type.bytes; ++i) ordered[i] = bytes[bigEndian ? type.bytes - 1 - i : i];
  if (type.isFloat) {
    if (type.bytes == 4) {
      float value;
      std::memcpy(&value, ordered, 4);
      return value;
    }
    double value;
    std::memcpy(&value, ordered, 8);
    return value;
  }
  std::uint64_t raw = 0;
  for (int i = type.bytes - 1; i >= 0; --i) raw = (raw << 8) | ordered[i];
  if (type.isSigned && type.bytes < 8 && (raw >> (8 * type.bytes - 1)) != 0)
    raw |= ~std::uint64_t{0} << (8 * type.bytes);
  return type.isSigned ? static_cast<double>(static_cast<std::int64_t>(raw))
                       : static_cast<double>(raw);
}

template <typename T>
bool ParseToken(const char* begin, const char* end, T& value) {
  if constexpr (std::is_floating_point_v<T>) {
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && ptr == end;
  } else {
    // Integer arrays may be written with a type of Float; accept integral values only.
    double number;
    const auto [ptr, ec] = std::from_chars(begin, end, number);
    if (ec != std::errc() || ptr != end || number != static_cast<double>(static_cast<T>(number)))
      return false;
    value = static_cast<T>(number);
    return true;
  }
}

bool IsSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

bool IsBlank(const char* text) {
  for (; *text; ++text)
    if (!IsSpace(*text)) return false;
  return true;
}

// The values of a data array: its text, wherever it stands among the InformationKey elements
// VTK may write into the array. The text is used in place when it is one piece, as it almost
// always is; pieces around other elements are joined in storage.
std::string_view ArrayText(const pugi::xml_node& array, std::string& storage) {
  std::vector<const char*> pieces;
  for (const pugi::xml_node& child : array.children())
    if (child.type() == pugi::node_pcdata && !IsBlank(child.value()))
      pieces.push_back(child.value());
  if (pieces.size() == 1) return pieces.front();
  for (const char* piece : pieces) storage.append(piece).push_back(' ');
  return storage;
}

std::int64_t CountAttribute(const pugi::xml_node& node, const char* name) {
  const pugi::xml_attribute attribute = node.attribute(name);
  if (!attribute) return -1;
  const std::string text = attribute.value();
  std::int64_t value = -1;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && ptr == text.data() + text.size() ? value : -1;
}

}  // namespace

VtuReader::VtuReader(std::string fileName, std::function<void(double)> progress)
    : fileName_(std::move(fileName)), progress_(std::move(progress)) {}

void VtuReader::Report(double fraction) const {
  if (progress_) progress_(fraction);
}

void VtuReader::Fail(const std::string& where, const std::string& problem) const {
  throw FieldmapError::Input(fileName_, where, problem);
}

std::string VtuReader::LineAt(std::size_t offset) const {
  const std::size_t end = std::min(offset, text_.size());
  return "line " + std::to_string(1 + std::count(text_.begin(), text_.begin() + end, '\n'));
}

std::string VtuReader::LineOf(const pugi::xml_node& node) const {
  return LineAt(static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, node.offset_debug())));
}

void VtuReader::LoadText() {
  std::ifstream in(fileName_, std::ios::binary);
  if (!in) Fail("", std::string("cannot be opened: ") + std::strerror(errno));
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  text_.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
  if (!in.read(text_.data(), static_cast<std::streamsize>(text_.size())))
    Fail("", "cannot be read");
}

void VtuReader::SplitAppendedData() {
  const std::size_t tag = text_.find("<AppendedData");
  if (tag == std::string::npos) {
    xml_ = text_;
    return;
  }
  const std::size_t close = text_.find('>', tag);
  const std::size_t marker = close == std::string::npos ? close : text_.find('_', close);
  const std::size_t end = text_.rfind("</AppendedData>");
  if (marker == std::string::npos || end == std::string::npos || end < marker)
    Fail(LineAt(tag), "the AppendedData element has no '_' marker or no end tag");
  appendedStart_ = marker + 1;
  appended_ = std::string_view(text_).substr(appendedStart_, end - appendedStart_);
  xml_ = text_.substr(0, marker) + text_.substr(end);
}

void VtuReader::ReadEncoding(const pugi::xml_node& file) {
  const std::string byteOrder = file.attribute("byte_order").as_string("LittleEndian");
  const std::string headerType = file.attribute("header_type").as_string("UInt32");
  const std::string compressor = file.attribute("compressor").as_string("");
  if (byteOrder != "LittleEndian" && byteOrder != "BigEndian")
    Fail(LineOf(file), "unknown byte_order '" + byteOrder + "'");
  if (headerType != "UInt32" && headerType != "UInt64")
    Fail(LineOf(file), "unknown header_type '" + headerType + "'");
  if (!compressor.empty() && compressor != "vtkZLibDataCompressor")
    Fail(LineOf(file), "compressor '" + compressor + "' is not supported (only zlib)");
  encoding_.layout.bigEndian = byteOrder == "BigEndian";
  encoding_.layout.headerBytes = headerType == "UInt64" ? 8 : 4;
  encoding_.layout.compressed = !compressor.empty();
  const pugi::xml_node appended = file.child("AppendedData");
  encoding_.appendedIsBase64 = std::string(appended.attribute("encoding").value()) == "base64";
}

RawMesh VtuReader::Read() {
  LoadText();
  SplitAppendedData();
  pugi::xml_document document;
  const pugi::xml_parse_result parsed = document.load_buffer(xml_.data(), xml_.size());
  if (!parsed)
    Fail(LineAt(static_cast<std::size_t>(parsed.offset)),
         std::string("not well-formed XML: ") + parsed.description());
  const pugi::xml_node file = document.child("VTKFile");
  if (!file || std::string(file.attribute("type").value()) != "UnstructuredGrid")
    Fail(LineAt(0), "not a VTK XML unstructured grid (no <VTKFile type=\"UnstructuredGrid\">)");

  ReadEncoding(file);
  // Each appended array ends where the next one starts; sorted offsets give every array its end.
  for (const pugi::xpath_node& array : document.select_nodes("//DataArray[@format='appended']"))
    appendedOffsets_.push_back(static_cast<std::size_t>(
        std::max<std::int64_t>(0, CountAttribute(array.node(), "offset"))));
  std::sort(appendedOffsets_.begin(), appendedOffsets_.end());

  const pugi::xml_node grid = file.child("UnstructuredGrid");
  const pugi::xml_node piece = grid.child("Piece");
  if (!piece) Fail(LineOf(grid ? grid : file), "the unstructured grid has no Piece");
  if (piece.next_sibling("Piece"))
    Fail(LineOf(piece.next_sibling("Piece")), "files with more than one Piece are not supported");
  const std::int64_t pointCount = CountAttribute(piece, "NumberOfPoints");
  const std::int64_t cellCount = CountAttribute(piece, "NumberOfCells");
  if (pointCount < 0 || cellCount < 0)
    Fail(LineOf(piece), "NumberOfPoints or NumberOfCells is missing or not a count");

  RawMesh mesh;
  // Rough shares of the work: points, cells, then the point data.
  Report(0.1);
  ReadPoints(piece, pointCount, mesh);
  Report(0.3);
  ReadCells(piece, cellCount, pointCount, mesh);
  Report(0.8);
  ReadPointData(piece, pointCount, mesh);
  Report(1.0);
  NoteCellData(piece, mesh);
  return mesh;
}

void VtuReader::NoteCellData(const pugi::xml_node& piece, RawMesh& mesh) const {
  std::string skipped;
  for (const pugi::xml_node& array : piece.child("CellData").children("DataArray"))
    skipped += std::string(skipped.empty() ? "" : ", ") + array.attribute("Name").value();
  if (!skipped.empty()) mesh.notes.push_back("cell data arrays skipped: " + skipped);
}

void VtuReader::ReadPoints(const pugi::xml_node& piece, std::int64_t pointCount,
                           RawMesh& mesh) const {
  const pugi::xml_node points = piece.child("Points").child("DataArray");
  if (!points && pointCount > 0) Fail(LineOf(piece), "the Piece has no Points array");
  if (!points) return;
  if (CountAttribute(points, "NumberOfComponents") != 3)
    Fail(LineOf(points), "the Points array must have NumberOfComponents=\"3\"");
  mesh.points = ReadArray<double>(points, static_cast<std::size_t>(pointCount) * 3, "Points");
}

void VtuReader::ReadCells(const pugi::xml_node& piece, std::int64_t cellCount,
                          std::int64_t pointCount, RawMesh& mesh) const {
  const pugi::xml_node cells = piece.child("Cells");
  if (cellCount == 0) return;
  const pugi::xml_node connectivity =
      cells.find_child_by_attribute("DataArray", "Name", "connectivity");
  const pugi::xml_node offsets = cells.find_child_by_attribute("DataArray", "Name", "offsets");
  const pugi::xml_node types = cells.find_child_by_attribute("DataArray", "Name", "types");
  if (!connectivity || !offsets || !types)
    Fail(LineOf(cells ? cells : piece),
         "the Cells element needs the arrays connectivity, offsets and types");
  const std::size_t count = static_cast<std::size_t>(cellCount);
  const std::vector<std::int64_t> ends = ReadArray<std::int64_t>(offsets, count, "offsets");
  for (std::size_t c = 0; c < count; ++c) {
    if (ends[c] < (c == 0 ? 0 : ends[c - 1]))
      Fail(LineOf(offsets), "offset " + std::to_string(ends[c]) + " of cell " + std::to_string(c) +
                                " is smaller than the one before it");
    // Checked before the connectivity is allocated from it.
    if (ends[c] > (std::int64_t{1} << 40))
      Fail(LineOf(offsets), "offset " + std::to_string(ends[c]) + " of cell " + std::to_string(c) +
                                " is beyond any real mesh");
  }
  const std::vector<std::int64_t> nodes =
      ReadArray<std::int64_t>(connectivity, static_cast<std::size_t>(ends.back()), "connectivity");
  for (std::size_t i = 0; i < nodes.size(); ++i)
    if (nodes[i] < 0 || nodes[i] >= pointCount)
      Fail(LineOf(connectivity), "entry " + std::to_string(i) + " refers to point " +
                                     std::to_string(nodes[i]) + " of " +
                                     std::to_string(pointCount));
  const std::vector<std::int64_t> cellTypes = ReadArray<std::int64_t>(types, count, "types");
  mesh.cellTypes.assign(cellTypes.begin(), cellTypes.end());
  mesh.offsets.insert(mesh.offsets.end(), ends.begin(), ends.end());
  mesh.connectivity.assign(nodes.begin(), nodes.end());
}

void VtuReader::ReadPointData(const pugi::xml_node& piece, std::int64_t pointCount,
                              RawMesh& mesh) const {
  std::string skipped;
  for (const pugi::xml_node& array : piece.child("PointData").children("DataArray")) {
    const std::string name = array.attribute("Name").value();
    const std::int64_t components =
        std::max<std::int64_t>(1, CountAttribute(array, "NumberOfComponents"));
    if (name.empty() || !FindScalarType(array.attribute("type").value()) || components > 1000) {
      skipped += (skipped.empty() ? "" : ", ") + (name.empty() ? "(unnamed)" : name);
      continue;
    }
    PointArray values;
    values.name = name;
    values.components = static_cast<int>(components);
    values.values = ReadArray<double>(
        array, static_cast<std::size_t>(pointCount) * static_cast<std::size_t>(components), name);
    mesh.pointArrays.push_back(std::move(values));
  }
  if (!skipped.empty()) mesh.notes.push_back("point data arrays not numeric, skipped: " + skipped);
}

template <typename T>
std::vector<T> VtuReader::ReadArray(const pugi::xml_node& array, std::size_t expectedCount,
                                    const std::string& what) const {
  const std::string format =
      array.attribute("format").as_string(array.attribute("Format").as_string("ascii"));
  if (format == "ascii") return ReadAscii<T>(array, expectedCount, what);
  const ScalarType* type = FindScalarType(array.attribute("type").value());
  if (!type)
    Fail(LineOf(array),
         "array '" + what + "' has the unknown type '" + array.attribute("type").value() + "'");
  std::vector<std::uint8_t> bytes;
  const std::size_t expectedBytes = expectedCount * static_cast<std::size_t>(type->bytes);
  if (format == "binary")
    bytes = ReadBinaryBytes(array, static_cast<std::size_t>(type->bytes), expectedCount, what);
  else if (format == "appended")
    bytes = ReadAppendedBytes(array, expectedBytes, what);
  else
    Fail(LineOf(array), "array '" + what + "' has the unknown format '" + format + "'");
  std::vector<T> values(expectedCount);
  for (std::size_t i = 0; i < expectedCount; ++i) {
    const double value = ScalarAt(bytes.data() + i * static_cast<std::size_t>(type->bytes), *type,
                                  encoding_.layout.bigEndian);
    values[i] = static_cast<T>(value);
  }
  return values;
}

template <typename T>
std::vector<T> VtuReader::ReadAscii(const pugi::xml_node& array, std::size_t expectedCount,
                                    const std::string& what) const {
  std::string storage;
  const std::string_view whole = ArrayText(array, storage);
  const char* text = whole.data();
  const char* end = text + whole.size();
  std::vector<T> values;
  // Every value takes at least two characters, so a count the text cannot hold allocates nothing.
  values.reserve(std::min(expectedCount, static_cast<std::size_t>(end - text) / 2 + 1));
  for (const char* at = text; at < end;) {
    while (at < end && IsSpace(*at)) ++at;
    if (at == end) break;
    const char* tokenEnd = at;
    while (tokenEnd < end && !IsSpace(*tokenEnd)) ++tokenEnd;
    T value{};
    if (!ParseToken(at, tokenEnd, value))
      Fail(LineOf(array), "array '" + what + "' holds '" + std::string(at, tokenEnd) +
                              "', which is not a number of its type");
    if (values.size() == expectedCount)
      Fail(LineOf(array), "array '" + what + "' holds more than the " +
                              std::to_string(expectedCount) + " values it should");
    values.push_back(value);
    at = tokenEnd;
  }
  if (values.size() != expectedCount)
    Fail(LineOf(array), "array '" + what + "' holds " + std::to_string(values.size()) +
                            " values where " + std::to_string(expectedCount) + " are needed");
  return values;
}

std::vector<std::uint8_t> VtuReader::ReadBinaryBytes(const pugi::xml_node& array,
                                                     std::size_t valueBytes,
                                                     std::size_t expectedCount,
                                                     const std::string& what) const {
  std::string storage;
  const Base64::Result decoded = Base64::Decode(ArrayText(array, storage));
  if (!decoded.ok)
    Fail(LineOf(array), "array '" + what + "': invalid base64 at character " +
                            std::to_string(decoded.errorPosition));
  try {
    return VtkBinaryBlock::Decode(decoded.bytes.data(), decoded.bytes.size(), encoding_.layout,
                                  expectedCount * valueBytes);
  } catch (const VtkBinaryBlock::Error& error) {
    Fail(LineOf(array), "array '" + what + "', decoded byte " + std::to_string(error.Offset()) +
                            ": " + error.what());
  }
}

std::vector<std::uint8_t> VtuReader::ReadAppendedBytes(const pugi::xml_node& array,
                                                       std::size_t expectedBytes,
                                                       const std::string& what) const {
  const std::int64_t offset = CountAttribute(array, "offset");
  if (offset < 0 || static_cast<std::size_t>(offset) > appended_.size())
    Fail(LineOf(array), "array '" + what + "' has the offset " + array.attribute("offset").value() +
                            ", outside the " + std::to_string(appended_.size()) +
                            " bytes of appended data");
  const std::size_t start = static_cast<std::size_t>(offset);
  const auto next = std::upper_bound(appendedOffsets_.begin(), appendedOffsets_.end(), start);
  const std::size_t stop =
      next == appendedOffsets_.end() ? appended_.size() : std::min(*next, appended_.size());
  std::vector<std::uint8_t> decodedText;
  const std::uint8_t* data = reinterpret_cast<const std::uint8_t*>(appended_.data()) + start;
  std::size_t size = stop - start;
  if (encoding_.appendedIsBase64) {
    Base64::Result decoded = Base64::Decode(appended_.substr(start, size));
    if (!decoded.ok)
      Fail("appended data offset " + std::to_string(start + decoded.errorPosition),
           "invalid base64 in array '" + what + "'");
    decodedText = std::move(decoded.bytes);
    data = decodedText.data();
    size = decodedText.size();
  }
  try {
    return VtkBinaryBlock::Decode(data, size, encoding_.layout, expectedBytes);
  } catch (const VtkBinaryBlock::Error& error) {
    const std::size_t at = encoding_.appendedIsBase64 ? start : start + error.Offset();
    Fail("appended data offset " + std::to_string(at) + " (file byte " +
             std::to_string(appendedStart_ + at) + ")",
         "array '" + what + "': " + error.what());
  }
}
