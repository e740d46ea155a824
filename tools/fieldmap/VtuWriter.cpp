#include "VtuWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <sstream>
#include <system_error>

namespace {

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr const char* kByteOrder = "BigEndian";
#else
constexpr const char* kByteOrder = "LittleEndian";
#endif

std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// Arrays in the order their headers appear, so the appended offsets run forward.
std::vector<const VtuArray*> InFileOrder(const VtuPiece& piece) {
  std::vector<const VtuArray*> arrays;
  for (const VtuArray& array : piece.pointData) arrays.push_back(&array);
  for (const VtuArray& array : piece.cellData) arrays.push_back(&array);
  for (const VtuArray* array : {&piece.points, &piece.connectivity, &piece.offsets, &piece.types})
    arrays.push_back(array);
  return arrays;
}

void DataArrayTag(std::ostringstream& xml, const VtuArray& array, std::uint64_t offset) {
  xml << "        <DataArray type=\"" << array.Type() << "\" Name=\"" << Escaped(array.Name())
      << "\"";
  if (array.Components() != 1) xml << " NumberOfComponents=\"" << array.Components() << "\"";
  xml << " format=\"appended\" offset=\"" << offset << "\"/>\n";
}

std::string Header(const VtuPiece& piece, const std::vector<std::uint64_t>& offsets) {
  std::ostringstream xml;
  xml << "<?xml version=\"1.0\"?>\n<VTKFile type=\"UnstructuredGrid\" version=\"1.0\" byte_order=\""
      << kByteOrder << "\" header_type=\"UInt64\" compressor=\"vtkZLibDataCompressor\">\n"
      << "  <UnstructuredGrid>\n    <Piece NumberOfPoints=\"" << piece.pointCount
      << "\" NumberOfCells=\"" << piece.cellCount << "\">\n";
  std::size_t next = 0;
  const auto section = [&](const char* tag, std::size_t count) {
    xml << "      <" << tag << ">\n";
    const std::vector<const VtuArray*> arrays = InFileOrder(piece);
    for (std::size_t i = 0; i < count; ++i, ++next) DataArrayTag(xml, *arrays[next], offsets[next]);
    xml << "      </" << tag << ">\n";
  };
  section("PointData", piece.pointData.size());
  section("CellData", piece.cellData.size());
  section("Points", 1);
  section("Cells", 3);
  xml << "    </Piece>\n  </UnstructuredGrid>\n  <AppendedData encoding=\"raw\">\n   _";
  return xml.str();
}

std::system_error CannotWrite(const std::string& path, int error) {
  return std::system_error(error, std::generic_category(), path);
}

void WriteAll(const std::string& path, const std::string& head,
              const std::vector<const VtkZlibCompressor::Encoded*>& arrays,
              const std::string& tail) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) throw CannotWrite(path, errno);
  const auto put = [file](const std::vector<std::uint8_t>& bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  };
  bool written = std::fwrite(head.data(), 1, head.size(), file) == head.size();
  for (const VtkZlibCompressor::Encoded* array : arrays) {
    written = written && put(array->header);
    for (const auto& block : array->blocks) written = written && put(block);
  }
  written = written && std::fwrite(tail.data(), 1, tail.size(), file) == tail.size();
  const int writeError = written ? 0 : errno;
  if (std::fclose(file) != 0 && written) throw CannotWrite(path, errno);
  if (!written) throw CannotWrite(path, writeError);
}

}  // namespace

bool VtuWriter::HoldsGridOf(const VtuPiece& piece) const {
  const VtuArray* arrays[] = {&piece.points, &piece.connectivity, &piece.offsets, &piece.types};
  for (std::size_t a = 0; a < grid_.size(); ++a)
    if (grid_[a].Bytes().data != arrays[a]->Bytes().data ||
        grid_[a].Bytes().size != arrays[a]->Bytes().size)
      return false;
  return !grid_.empty();
}

void VtuWriter::Write(const std::string& path, const VtuPiece& piece,
                      const std::function<void(double)>& progress) {
  const std::vector<const VtuArray*> inFileOrder = InFileOrder(piece);
  // Point and cell data come first in file order; the rest is the grid.
  const std::size_t fieldCount = piece.pointData.size() + piece.cellData.size();
  const bool gridKnown = HoldsGridOf(piece);
  std::vector<VtkZlibCompressor::Span> spans;
  for (std::size_t a = 0; a < (gridKnown ? fieldCount : inFileOrder.size()); ++a) {
    spans.push_back(inFileOrder[a]->Bytes());
    spans.back().fieldValues = a < fieldCount;
  }
  std::vector<VtkZlibCompressor::Encoded> fields = compressor_.Compress(spans, progress);
  if (!gridKnown) {
    grid_.assign({piece.points, piece.connectivity, piece.offsets, piece.types});
    encodedGrid_.assign(std::make_move_iterator(fields.begin() + static_cast<long>(fieldCount)),
                        std::make_move_iterator(fields.end()));
    fields.resize(fieldCount);
  }
  // The file's arrays in order, pointing into both lists rather than copying the grid's blocks.
  std::vector<const VtkZlibCompressor::Encoded*> arrays;
  for (const auto* list : {&fields, &encodedGrid_})
    for (const VtkZlibCompressor::Encoded& array : *list) arrays.push_back(&array);
  std::vector<std::uint64_t> offsets;
  std::uint64_t offset = 0;
  for (const VtkZlibCompressor::Encoded* array : arrays) {
    offsets.push_back(offset);
    offset += array->Size();
  }
  WriteAll(path, Header(piece, offsets), arrays, "\n  </AppendedData>\n</VTKFile>\n");
}

void VtuWriter::WriteCollection(const std::string& path,
                                const std::vector<CollectionEntry>& files) {
  std::ostringstream xml;
  xml << "<?xml version=\"1.0\"?>\n<VTKFile type=\"Collection\" version=\"0.1\" byte_order=\""
      << kByteOrder << "\">\n  <Collection>\n";
  for (const CollectionEntry& entry : files)
    xml << "    <DataSet timestep=\"" << entry.timestep << "\" part=\"0\" file=\""
        << Escaped(entry.file) << "\"/>\n";
  xml << "  </Collection>\n</VTKFile>\n";
  WriteAll(path, xml.str(), {}, "");
}
