#include "VtuReader.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <functional>
#include <limits>
#include <pugixml.hpp>
#include <type_traits>

#include "Base64.h"
#include "FieldmapError.h"
#include "ScalarDecoder.h"
#include "platform/impl/ZORHugePages.h"

namespace {

// One ASCII value; integer arrays take whole numbers only.
template <typename T>
bool ParseToken(const char* begin, const char* end, T& value) {
  if constexpr (std::is_floating_point_v<T>) {
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && ptr == end;
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
  file_ = std::make_unique<MappedFile>(fileName_);
  text_ = file_->Text();
}

void VtuReader::SplitAppendedData() {
  const std::size_t tag = text_.find("<AppendedData");
  if (tag == std::string::npos) {
    xml_ = std::string(text_);
    return;
  }
  const std::size_t close = text_.find('>', tag);
  const std::size_t marker = close == std::string::npos ? close : text_.find('_', close);
  const std::size_t end = text_.rfind("</AppendedData>");
  if (marker == std::string::npos || end == std::string::npos || end < marker)
    Fail(LineAt(tag), "the AppendedData element has no '_' marker or no end tag");
  appendedStart_ = marker + 1;
  appended_ = text_.substr(appendedStart_, end - appendedStart_);
  xml_.reserve(marker + text_.size() - end);
  xml_.append(text_.substr(0, marker)).append(text_.substr(end));
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
  const std::string appendedEncoding = appended.attribute("encoding").as_string("raw");
  if (appended && appendedEncoding != "raw" && appendedEncoding != "base64")
    Fail(LineOf(appended),
         "unknown AppendedData encoding '" + appendedEncoding + "' (expected raw or base64)");
  encoding_.appendedIsBase64 = appendedEncoding == "base64";
}

// pugixml takes a repeated attribute without complaint; XML does not.
void VtuReader::RefuseRepeatedAttributes(const pugi::xml_node& node) const {
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
    for (pugi::xml_attribute b = a.next_attribute(); b; b = b.next_attribute())
      if (std::strcmp(a.name(), b.name()) == 0)
        Fail(LineOf(node), std::string("not well-formed XML: the attribute '") + a.name() +
                               "' is repeated in <" + node.name() + ">");
  for (const pugi::xml_node& child : node.children())
    if (child.type() == pugi::node_element) RefuseRepeatedAttributes(child);
}

RawMesh VtuReader::Read() {
  LoadText();
  SplitAppendedData();
  pugi::xml_document document;
  const pugi::xml_parse_result parsed = document.load_buffer(xml_.data(), xml_.size());
  if (!parsed)
    Fail(LineAt(static_cast<std::size_t>(parsed.offset)),
         std::string("not well-formed XML (at byte ") + std::to_string(parsed.offset) +
             "): " + parsed.description());
  RefuseRepeatedAttributes(document);
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

// Offsets and types first: they are small, and the connectivity's size comes from the offsets.
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
  ZORHugePages::Resize(mesh.offsets, count + 1);
  const std::vector<std::int64_t> ends = ReadArray<std::int64_t>(offsets, count, "offsets");
  std::copy(ends.begin(), ends.end(), mesh.offsets.begin() + 1);
  for (std::size_t c = 0; c < count; ++c) {
    if (ends[c] < mesh.offsets[c])
      Fail(LineOf(offsets), "offset " + std::to_string(ends[c]) + " of cell " + std::to_string(c) +
                                " is smaller than the one before it");
    // Checked before the connectivity is allocated from it.
    if (ends[c] > (std::int64_t{1} << 40))
      Fail(LineOf(offsets), "offset " + std::to_string(ends[c]) + " of cell " + std::to_string(c) +
                                " is beyond any real mesh");
  }
  mesh.cellTypes = ReadArray<int>(types, count, "types");
  mesh.connectivity =
      ReadArray<int>(connectivity, static_cast<std::size_t>(ends.back()), "connectivity");
  const int* nodes = mesh.connectivity.data();
  for (std::size_t i = 0; i < mesh.connectivity.size(); ++i)
    if (nodes[i] < 0 || nodes[i] >= pointCount)
      Fail(LineOf(connectivity), "entry " + std::to_string(i) + " refers to point " +
                                     std::to_string(nodes[i]) + " of " +
                                     std::to_string(pointCount));
}

void VtuReader::ReadPointData(const pugi::xml_node& piece, std::int64_t pointCount,
                              RawMesh& mesh) const {
  std::string skipped;
  for (const pugi::xml_node& array : piece.child("PointData").children("DataArray")) {
    const std::string name = array.attribute("Name").value();
    const std::int64_t components =
        std::max<std::int64_t>(1, CountAttribute(array, "NumberOfComponents"));
    if (name.empty() || !ScalarDecoder::Find(array.attribute("type").value()) ||
        components > 1000) {
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
  const ScalarDecoder::Type* type = ScalarDecoder::Find(array.attribute("type").value());
  if (!type)
    Fail(LineOf(array),
         "array '" + what + "' has the unknown type '" + array.attribute("type").value() + "'");
  if (std::is_integral_v<T> && type->isFloat)
    Fail(LineOf(array),
         "array '" + what + "' has the type " + type->name + "; it must be an integer type");
  if (format == "ascii") return ReadAscii<T>(array, expectedCount, what);
  std::vector<std::uint8_t> base64;
  std::string storage;
  std::string_view encoded;
  std::size_t start = 0;
  if (format == "binary") {
    encoded = ArrayText(array, storage);
  } else if (format == "appended") {
    std::tie(start, encoded) = AppendedBytes(array, what);
  } else {
    Fail(LineOf(array), "array '" + what + "' has the unknown format '" + format + "'");
  }
  const bool isBase64 = format == "binary" || encoding_.appendedIsBase64;
  const auto where = [&](std::size_t byte) {
    if (format == "binary") return LineOf(array) + ", decoded byte " + std::to_string(byte);
    if (isBase64)
      return "appended data offset " + std::to_string(start) + ", decoded byte " +
             std::to_string(byte);
    return "appended data offset " + std::to_string(start + byte) + " (file byte " +
           std::to_string(appendedStart_ + start + byte) + ")";
  };
  if (isBase64) {
    Base64::Result decoded = Base64::Decode(encoded);
    if (!decoded.ok)
      Fail(format == "binary" ? LineOf(array) : "appended data offset " + std::to_string(start),
           "array '" + what + "': invalid base64 at character " +
               std::to_string(decoded.errorPosition));
    base64 = std::move(decoded.bytes);
    encoded = std::string_view(reinterpret_cast<const char*>(base64.data()), base64.size());
  }
  return Decode<T>(encoded, *type, expectedCount, what, where);
}

// The values of one binary block; inflated straight into the result when the file's type and
// byte order are the result's own, converted from the file's bytes otherwise.
template <typename T>
std::vector<T> VtuReader::Decode(std::string_view block, const ScalarDecoder::Type& type,
                                 std::size_t expectedCount, const std::string& what,
                                 const std::function<std::string(std::size_t)>& where) const {
  const std::size_t expectedBytes = expectedCount * static_cast<std::size_t>(type.bytes);
  if (expectedBytes / static_cast<std::size_t>(type.bytes) != expectedCount ||
      expectedBytes > VtkBinaryBlock::MaxDecodedBytes(block.size(), encoding_.layout))
    Fail(where(0), "array '" + what + "' needs " + std::to_string(expectedCount) +
                       " values, more than its " + std::to_string(block.size()) +
                       " bytes can hold");
  std::vector<T> values;
  ZORHugePages::Resize(values, expectedCount);
  auto* target = reinterpret_cast<std::uint8_t*>(values.data());
  const bool direct = sizeof(T) == static_cast<std::size_t>(type.bytes) &&
                      std::is_floating_point_v<T> == type.isFloat &&
                      encoding_.layout.bigEndian == ScalarDecoder::kHostIsBigEndian;
  std::vector<std::uint8_t> inflated(direct || !encoding_.layout.compressed ? 0 : expectedBytes);
  const std::uint8_t* decoded = nullptr;
  try {
    decoded =
        VtkBinaryBlock::Decode(reinterpret_cast<const std::uint8_t*>(block.data()), block.size(),
                               encoding_.layout, expectedBytes, direct ? target : inflated.data());
  } catch (const VtkBinaryBlock::Error& error) {
    Fail(where(error.Offset()), "array '" + what + "': " + error.what());
  }
  if (decoded == target) return values;
  const std::size_t fitted = ScalarDecoder::Convert(decoded, expectedCount, type,
                                                    encoding_.layout.bigEndian, values.data());
  if (fitted != expectedCount)
    Fail(where(0), "array '" + what + "': value " + std::to_string(fitted) +
                       " does not fit the integers fieldmap keeps");
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

std::pair<std::size_t, std::string_view> VtuReader::AppendedBytes(const pugi::xml_node& array,
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
  return {start, appended_.substr(start, stop - start)};
}
