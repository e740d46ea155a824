#include "VtuTestWriter.h"

#include <zlib.h>

#include <cstring>
#include <fstream>
#include <iomanip>
#include <sstream>

namespace {

template <typename T>
std::vector<std::uint8_t> RawBytes(const std::vector<T>& values) {
  std::vector<std::uint8_t> bytes(values.size() * sizeof(T));
  if (!bytes.empty()) std::memcpy(bytes.data(), values.data(), bytes.size());
  return bytes;
}

void AppendWord(std::vector<std::uint8_t>& out, std::uint64_t value, bool header64) {
  for (int i = 0; i < (header64 ? 8 : 4); ++i)
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The header and data as VTK lays them out; for compressed data the header and the blocks are
// returned separately because VTK base64-encodes them separately.
std::pair<std::vector<std::uint8_t>, std::vector<std::uint8_t>> Block(
    const std::vector<std::uint8_t>& data, const VtuTestWriter::Options& options) {
  std::vector<std::uint8_t> header, body;
  if (!options.compressed) {
    AppendWord(header, data.size(), options.header64);
    return {header, data};
  }
  const std::size_t blocks = (data.size() + options.blockSize - 1) / options.blockSize;
  const std::size_t last = data.size() % options.blockSize;
  AppendWord(header, blocks, options.header64);
  AppendWord(header, options.blockSize, options.header64);
  AppendWord(header, last, options.header64);
  for (std::size_t b = 0; b < blocks; ++b) {
    const std::size_t size = std::min(options.blockSize, data.size() - b * options.blockSize);
    uLongf packedSize = compressBound(static_cast<uLong>(size));
    std::vector<std::uint8_t> packed(packedSize);
    compress(packed.data(), &packedSize, data.data() + b * options.blockSize,
             static_cast<uLong>(size));
    AppendWord(header, packedSize, options.header64);
    body.insert(body.end(), packed.begin(), packed.begin() + static_cast<long>(packedSize));
  }
  return {header, body};
}

struct Array {
  std::string attributes;  // type, Name, NumberOfComponents
  std::string ascii;
  std::vector<std::uint8_t> bytes;
};

template <typename T>
Array MakeArray(const std::string& attributes, const std::vector<T>& values) {
  std::ostringstream ascii;
  ascii << std::setprecision(17);
  for (const T& value : values) ascii << +value << " ";
  return Array{attributes, ascii.str(), RawBytes(values)};
}

class Document {
 public:
  explicit Document(const VtuTestWriter::Options& options) : options_(options) {}

  std::string Element(const Array& array) {
    std::ostringstream out;
    out << "<DataArray " << array.attributes;
    const auto [header, body] = Block(array.bytes, options_);
    const std::vector<std::uint8_t> joined = Join(header, body);
    const std::string base64 = options_.compressed
                                   ? VtuTestWriter::Base64(header) + VtuTestWriter::Base64(body)
                                   : VtuTestWriter::Base64(joined);
    switch (options_.encoding) {
      case VtuTestWriter::Encoding::kAscii:
        out << " format=\"ascii\">" << array.ascii;
        break;
      case VtuTestWriter::Encoding::kInlineBase64:
        out << " format=\"binary\">" << base64;
        break;
      default:
        out << " format=\"appended\" offset=\"" << appended_.size() << "\">";
        if (options_.encoding == VtuTestWriter::Encoding::kAppendedRaw)
          appended_.append(joined.begin(), joined.end());
        else
          appended_ += base64;
    }
    out << "</DataArray>\n";
    return out.str();
  }

  std::string Appended() const {
    if (appended_.empty() && options_.encoding != VtuTestWriter::Encoding::kAppendedRaw &&
        options_.encoding != VtuTestWriter::Encoding::kAppendedBase64)
      return "";
    const char* encoding =
        options_.encoding == VtuTestWriter::Encoding::kAppendedRaw ? "raw" : "base64";
    return std::string("<AppendedData encoding=\"") + encoding + "\">\n_" + appended_ +
           "\n</AppendedData>\n";
  }

 private:
  static std::vector<std::uint8_t> Join(std::vector<std::uint8_t> a,
                                        const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }
  VtuTestWriter::Options options_;
  std::string appended_;
};

}  // namespace

std::string VtuTestWriter::Base64(const std::vector<std::uint8_t>& bytes) {
  static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t value = static_cast<std::uint32_t>(bytes[i]) << 16;
    if (n > 1) value |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
    if (n > 2) value |= bytes[i + 2];
    out += alphabet[(value >> 18) & 63];
    out += alphabet[(value >> 12) & 63];
    out += n > 1 ? alphabet[(value >> 6) & 63] : '=';
    out += n > 2 ? alphabet[value & 63] : '=';
  }
  return out;
}

std::string VtuTestWriter::Text(const RawMesh& mesh, const Options& options) {
  Document document(options);
  std::ostringstream out;
  out << "<?xml version=\"1.0\"?>\n<VTKFile type=\"UnstructuredGrid\" version=\"1.0\" "
         "byte_order=\"LittleEndian\" header_type=\""
      << (options.header64 ? "UInt64" : "UInt32") << "\""
      << (options.compressed ? " compressor=\"vtkZLibDataCompressor\"" : "") << ">\n"
      << "<UnstructuredGrid>\n<Piece NumberOfPoints=\"" << mesh.PointCount()
      << "\" NumberOfCells=\"" << mesh.CellCount() << "\">\n<PointData>\n";
  for (const PointArray& array : mesh.pointArrays)
    out << document.Element(MakeArray("type=\"Float64\" Name=\"" + array.name +
                                          "\" NumberOfComponents=\"" +
                                          std::to_string(array.components) + "\"",
                                      array.values));
  out << "</PointData>\n<Points>\n"
      << document.Element(MakeArray("type=\"Float64\" NumberOfComponents=\"3\"", mesh.points))
      << "</Points>\n<Cells>\n";
  const std::vector<std::int64_t> connectivity(mesh.connectivity.begin(), mesh.connectivity.end());
  const std::vector<std::int64_t> ends(mesh.offsets.begin() + 1, mesh.offsets.end());
  const std::vector<std::uint8_t> types(mesh.cellTypes.begin(), mesh.cellTypes.end());
  out << document.Element(MakeArray("type=\"Int64\" Name=\"connectivity\"", connectivity))
      << document.Element(MakeArray("type=\"Int64\" Name=\"offsets\"", ends))
      << document.Element(MakeArray("type=\"UInt8\" Name=\"types\"", types))
      << "</Cells>\n</Piece>\n</UnstructuredGrid>\n"
      << document.Appended() << "</VTKFile>\n";
  return out.str();
}

void VtuTestWriter::Write(const std::string& path, const RawMesh& mesh, const Options& options) {
  std::ofstream(path, std::ios::binary) << Text(mesh, options);
}
