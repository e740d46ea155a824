#include "PvtuReader.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <unordered_map>

#include "FieldmapError.h"
#include "MappedFile.h"
#include "VtuReader.h"

namespace {

// A point's key for merging: its global id, or its coordinates bit for bit (with -0 as 0).
struct PointKey {
  std::uint64_t words[3];
  bool operator==(const PointKey& other) const { return std::equal(words, words + 3, other.words); }
};
struct PointKeyHash {
  std::size_t operator()(const PointKey& key) const {
    return std::hash<std::uint64_t>()(key.words[0] * 0x9E3779B97F4A7C15ull ^ key.words[1] * 31 ^
                                      key.words[2]);
  }
};

PointKey CoordinateKey(const double* xyz) {
  PointKey key{};
  for (int axis = 0; axis < 3; ++axis) {
    const double value = xyz[axis] + 0.0;
    std::memcpy(&key.words[axis], &value, sizeof(double));
  }
  return key;
}

// Joins the pieces into one mesh as they come.
class Joiner {
 public:
  Joiner(std::string fileName, std::string globalIds)
      : fileName_(std::move(fileName)), globalIds_(std::move(globalIds)) {}

  void Add(const std::string& piece, RawMesh raw) {
    const std::vector<double>* ids = nullptr;
    if (!globalIds_.empty()) {
      const auto found = std::find_if(raw.pointArrays.begin(), raw.pointArrays.end(),
                                      [&](const PointArray& a) { return a.name == globalIds_; });
      if (found == raw.pointArrays.end() || found->components != 1)
        throw FieldmapError::Input(piece, "", "has no global point id array '" + globalIds_ + "'");
      ids = &found->values;
    }
    if (first_) {
      for (const PointArray& array : raw.pointArrays)
        if (array.name != globalIds_)
          mesh_.pointArrays.push_back({array.name, array.components, {}});
      first_ = false;
    }
    std::vector<int> index(static_cast<std::size_t>(raw.PointCount()));
    for (std::size_t p = 0; p < index.size(); ++p) index[p] = Merge(piece, raw, ids, p);
    for (std::size_t c = 0; c < raw.cellTypes.size(); ++c)
      mesh_.offsets.push_back(mesh_.offsets.back() + raw.offsets[c + 1] - raw.offsets[c]);
    mesh_.cellTypes.insert(mesh_.cellTypes.end(), raw.cellTypes.begin(), raw.cellTypes.end());
    for (const int node : raw.connectivity)
      mesh_.connectivity.push_back(index[static_cast<std::size_t>(node)]);
    for (const std::string& note : raw.notes)
      if (std::find(mesh_.notes.begin(), mesh_.notes.end(), note) == mesh_.notes.end())
        mesh_.notes.push_back(note);
  }

  RawMesh Take() { return std::move(mesh_); }

 private:
  // The merged index of point p of a piece, adding it when it is new.
  int Merge(const std::string& piece, const RawMesh& raw, const std::vector<double>* ids,
            std::size_t p) {
    const double* xyz = raw.points.data() + 3 * p;
    PointKey key = CoordinateKey(xyz);
    if (ids) key = PointKey{{static_cast<std::uint64_t>((*ids)[p]), 0, 0}};
    const auto [found, added] = index_.emplace(key, static_cast<int>(mesh_.PointCount()));
    if (!added) {
      const double* known = mesh_.points.data() + 3 * static_cast<std::size_t>(found->second);
      if (ids && !std::equal(xyz, xyz + 3, known))
        throw FieldmapError::Input(piece, "point " + std::to_string(p),
                                   "has the global id " + std::to_string((*ids)[p]) +
                                       " of another point at other coordinates");
      return found->second;
    }
    mesh_.points.insert(mesh_.points.end(), xyz, xyz + 3);
    for (PointArray& target : mesh_.pointArrays) {
      const auto source = std::find_if(raw.pointArrays.begin(), raw.pointArrays.end(),
                                       [&](const PointArray& a) { return a.name == target.name; });
      if (source == raw.pointArrays.end() || source->components != target.components)
        throw FieldmapError::Input(piece, "",
                                   "lacks the point array '" + target.name + "' with " +
                                       std::to_string(target.components) +
                                       " components that the first piece has");
      const auto begin =
          source->values.begin() +
          static_cast<std::ptrdiff_t>(p * static_cast<std::size_t>(target.components));
      target.values.insert(target.values.end(), begin, begin + target.components);
    }
    return found->second;
  }

  std::string fileName_;
  std::string globalIds_;
  RawMesh mesh_;
  bool first_ = true;
  std::unordered_map<PointKey, int, PointKeyHash> index_;
};

}  // namespace

PvtuReader::PvtuReader(std::string fileName, std::function<void(double)> progress)
    : fileName_(std::move(fileName)), progress_(std::move(progress)) {}

RawMesh PvtuReader::Read() {
  const MappedFile file(fileName_);
  pugi::xml_document document;
  const pugi::xml_parse_result parsed =
      document.load_buffer(file.Text().data(), file.Text().size());
  if (!parsed)
    throw FieldmapError::Input(fileName_, "byte " + std::to_string(parsed.offset),
                               std::string("not well-formed XML: ") + parsed.description());
  const pugi::xml_node grid = document.child("VTKFile").child("PUnstructuredGrid");
  if (std::string(document.child("VTKFile").attribute("type").value()) != "PUnstructuredGrid" ||
      !grid)
    throw FieldmapError::Input(
        fileName_, "",
        "not a parallel VTK unstructured grid (no <VTKFile type=\"PUnstructuredGrid\">)");
  std::vector<std::string> pieces;
  for (const pugi::xml_node& piece : grid.children("Piece"))
    pieces.push_back(piece.attribute("Source").value());
  if (pieces.empty()) throw FieldmapError::Input(fileName_, "", "names no Piece");
  Joiner joiner(fileName_, grid.child("PPointData").attribute("GlobalIds").value());
  const std::filesystem::path folder = std::filesystem::path(fileName_).parent_path();
  for (std::size_t p = 0; p < pieces.size(); ++p) {
    const std::string path = (folder / pieces[p]).string();
    if (pieces[p].empty() || std::filesystem::path(pieces[p]).extension() != ".vtu")
      throw FieldmapError::Input(fileName_, "piece " + std::to_string(p), "names no .vtu file");
    joiner.Add(path, VtuReader(path).Read());
    if (progress_) progress_(static_cast<double>(p + 1) / static_cast<double>(pieces.size()));
  }
  return joiner.Take();
}
