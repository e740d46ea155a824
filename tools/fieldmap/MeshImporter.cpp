#include "MeshImporter.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>

#include "FieldTypeCatalog.h"
#include "FieldTypeTable.h"
#include "FieldmapError.h"
#include "MeshAssembler.h"
#include "MeshDatabaseWriter.h"
#include "MeshFileReader.h"
#include "ProgressReporter.h"

namespace {

void CheckRenamedArraysExist(const std::string& file, const AssembledMesh& mesh,
                             const FieldTypeCatalog& fieldTypes) {
  for (const std::string& name : fieldTypes.RenamedArrays()) {
    const bool present = std::any_of(mesh.pointArrays.begin(), mesh.pointArrays.end(),
                                     [&](const PointArray& array) { return array.name == name; });
    if (present) continue;
    std::string available;
    for (const PointArray& array : mesh.pointArrays)
      available += (available.empty() ? "" : ", ") + array.name;
    throw FieldmapError::Input(file, "",
                               "has no point array '" + name + "' (point arrays: " +
                                   (available.empty() ? "none" : available) + ")");
  }
}

void RefuseNonFinite(const std::string& file, const PointArray& array) {
  const auto bad = std::find_if(array.values.begin(), array.values.end(),
                                [](double value) { return !std::isfinite(value); });
  if (bad == array.values.end()) return;
  const std::size_t at = static_cast<std::size_t>(bad - array.values.begin());
  const std::size_t components = static_cast<std::size_t>(array.components);
  throw FieldmapError::Input(file, "point array '" + array.name + "'",
                             "value " + std::to_string(at) + " (point " +
                                 std::to_string(at / components) + ", component " +
                                 std::to_string(at % components) + ") is " + std::to_string(*bad) +
                                 "; --allow-nan stores it as it is");
}

// A field type fixes its component count; a plane mesh takes the type's plane counts and also
// the three-dimensional one, which VTK files carry for vectors of plane meshes as well. An array
// of another count would be stored under a type it does not fit and misread by every consumer.
void RefuseComponentCount(const std::string& file, const PointArray& array, const std::string& type,
                          int coordinateComponents) {
  const FieldTypeTable::Entry* entry = FieldTypeTable::Find(type);
  if (entry == nullptr || entry->components == 0) return;
  std::set<int> counts{entry->components};
  if (coordinateComponents == 2)
    for (const char* c = entry->planeComponents; *c != '\0'; ++c)
      if (std::isdigit(static_cast<unsigned char>(*c))) counts.insert(*c - '0');
  if (counts.count(array.components) > 0) return;
  std::string allowed;
  for (const int count : counts) allowed += (allowed.empty() ? "" : " or ") + std::to_string(count);
  throw FieldmapError::Input(file, "point array '" + array.name + "'",
                             "has " + std::to_string(array.components) +
                                 (array.components == 1 ? " component" : " components") +
                                 ", but the field type " + type + " takes " + allowed);
}

}  // namespace

MeshImporter::MeshImporter(std::string meshFile) : meshFile_(std::move(meshFile)) {}

MeshImporter::~MeshImporter() = default;

// The field type of each point array ("" for one left out), after every check: the mistakes of
// the options first, then the arrays' own defects, so that a run reports the one it can fix.
std::vector<std::string> MeshImporter::CheckedFieldTypes(const AssembledMesh& mesh,
                                                         const FieldTypeCatalog& fieldTypes) const {
  CheckRenamedArraysExist(meshFile_, mesh, fieldTypes);
  std::vector<std::string> types;
  std::set<std::string> taken;
  for (const PointArray& array : mesh.pointArrays) {
    types.push_back(fieldTypes.FieldTypeFor(array.name));
    if (!types.back().empty() && !taken.insert(types.back()).second)
      throw FieldmapError::Usage("two point arrays would become the field type " + types.back() +
                                 "; map only one of them with --field");
  }
  for (std::size_t a = 0; a < types.size(); ++a) {
    if (types[a].empty()) continue;
    RefuseComponentCount(meshFile_, mesh.pointArrays[a], types[a], mesh.coordinateComponents);
    if (!allowNonFinite_) RefuseNonFinite(meshFile_, mesh.pointArrays[a]);
  }
  return types;
}

void MeshImporter::Read(ProgressReporter& progress) {
  progress.Begin("read " + meshFile_);
  RawMesh raw =
      MeshFileReader::Read(meshFile_, [&progress](double done) { progress.Update(done); });
  progress.End();
  progress.Begin("check elements");
  mesh_ = std::make_unique<AssembledMesh>(MeshAssembler(meshFile_, [&progress](double done) {
                                            progress.Update(done);
                                          }).Assemble(std::move(raw)));
  progress.End();
  report_ = Report{};
  report_.nodes = mesh_->NodeCount();
  report_.coordinateComponents = mesh_->coordinateComponents;
  for (const ElementBlock& block : mesh_->blocks)
    report_.blocks.emplace_back(block.elementType, block.ElementCount());
  report_.shapes = mesh_->shapes;
  report_.notes = mesh_->notes;
}

ZORSimDynamicID MeshImporter::WriteInto(ZORMtkSimWriter& writer, const FieldTypeCatalog& fieldTypes,
                                        bool withFields, ProgressReporter& progress) {
  const std::unique_ptr<AssembledMesh> mesh = std::move(mesh_);
  const std::vector<std::string> types =
      withFields ? CheckedFieldTypes(*mesh, fieldTypes) : std::vector<std::string>{};
  progress.Begin("write mesh");
  MeshDatabaseWriter database(writer);
  const ZORSimDynamicID id = database.WriteMesh(*mesh);
  for (std::size_t a = 0; a < types.size(); ++a) {
    const PointArray& array = mesh->pointArrays[a];
    if (types[a].empty()) {
      report_.skippedArrays.push_back(array.name);
      continue;
    }
    database.WriteNodeField(id, types[a], array.components, array.values, array.name);
    report_.fields.push_back(ImportedField{array.name, types[a], array.components});
    progress.Update(static_cast<double>(a + 1) / static_cast<double>(types.size()));
  }
  progress.End();
  return id;
}

void MeshImporter::PrintReport(std::ostream& out, std::ostream& warnings) const {
  int elements = 0;
  for (const auto& block : report_.blocks) elements += block.second;
  out << meshFile_ << ": " << report_.nodes << " nodes ("
      << (report_.coordinateComponents == 2 ? "plane" : "3-D") << "), " << elements
      << " elements\n";
  for (const auto& [type, count] : report_.blocks) out << "  " << type << ": " << count << "\n";
  for (const ImportedField& field : report_.fields)
    out << "  field " << field.fieldType << " (" << field.components
        << (field.components == 1 ? " component" : " components") << ") from '" << field.array
        << "'\n";
  for (const std::string& array : report_.skippedArrays)
    out << "  point array '" << array << "' skipped: not a field type (map it with --field "
        << array << "=FIELDTYPE)\n";
  for (const std::string& note : report_.notes) out << "  " << note << "\n";
  if (report_.shapes.zeroVolume > 0)
    warnings << "warning: " << meshFile_ << ": " << report_.shapes.zeroVolume
             << " elements have zero volume\n";
  if (report_.shapes.inverted > 0)
    warnings << "warning: " << meshFile_ << ": " << report_.shapes.inverted
             << " elements are inverted (negative volume)\n";
  if (report_.shapes.tooSmall > 0)
    warnings << "warning: " << meshFile_ << ": " << report_.shapes.tooSmall
             << " elements are too small in these units for the element search, which will "
                "place no point in them; scale the coordinates up\n";
}
