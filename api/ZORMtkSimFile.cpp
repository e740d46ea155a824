#include "api/ZORMtkSimFile.h"

#include "api/impl/ZORMtkMeshBuilder.h"
#include "element/ZORMtkElementData.h"
#include "mapper/impl/ZORMtkTransferFrame.h"
#include "platform/ZORSimAPI.h"
#include "reader/ZORMtkSimReader.h"
#include "writer/ZORMtkSimWriter.h"
#include "writer/impl/ZORFieldTypeCodes.h"

namespace {

std::string Join(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : ", ") + name;
  return joined.empty() ? "none" : joined;
}

}  // namespace

// The writer is attached to the database in both cases: created by it, or accepting the opened
// one. It goes before the opened database is closed.
class ZORMtkSimFile::Impl {
 public:
  explicit Impl(std::string file) : path(std::move(file)) {}
  ~Impl() {
    writer.reset();
    if (opened) access.Close(root);
  }

  // A reader of the whole of a mesh, or null with status set when there is no such mesh.
  std::unique_ptr<ZORMtkSimReader> Reader(int mesh, ZORMtkArrayStatus& status) const {
    const std::vector<ZORSimDynamicID> meshes = catalog->Meshes();
    if (mesh < 1 || mesh > static_cast<int>(meshes.size())) {
      status = ZORMtkArrayStatus::Invalid(path + " has " + std::to_string(meshes.size()) +
                                          (meshes.size() == 1 ? " mesh" : " meshes") +
                                          ", not mesh " + std::to_string(mesh));
      return nullptr;
    }
    auto reader = std::make_unique<ZORMtkSimReader>();
    reader->SetScope(root, ScopeElementRegion, meshes[static_cast<std::size_t>(mesh - 1)],
                     cow_List<int>());
    return reader;
  }

  ZORMtkArrayStatus CheckStep(int step, int increment) const;
  // The record of the named field with values on the reader's mesh, with its component count.
  ZORMtkArrayStatus FindField(const ZORMtkSimReader& reader, int mesh, const std::string& name,
                              int step, int increment, bool integrationPoints,
                              ZORSimDynamicID& record, int& components) const;

  std::string path;
  bool opened = false;
  ZORSrvSimAccess access;
  ZORSrvPosition root;
  std::unique_ptr<ZORMtkSimWriter> writer = std::make_unique<ZORMtkSimWriter>();
  std::unique_ptr<ZORMtkSimCatalog> catalog;
};

ZORMtkArrayStatus ZORMtkSimFile::Impl::CheckStep(int step, int increment) const {
  for (const ZORMtkSimCatalog::Step& listed : catalog->Steps()) {
    if (listed.number != step) continue;
    for (const int known : listed.increments)
      if (known == increment) return ZORMtkArrayStatus::Ok();
    return ZORMtkArrayStatus::Invalid(path + ": step " + std::to_string(step) +
                                      " has no increment " + std::to_string(increment));
  }
  return ZORMtkArrayStatus::Invalid(path + " has no step " + std::to_string(step));
}

ZORMtkArrayStatus ZORMtkSimFile::Impl::FindField(const ZORMtkSimReader& reader, int mesh,
                                                 const std::string& name, int step, int increment,
                                                 bool integrationPoints, ZORSimDynamicID& record,
                                                 int& components) const {
  ZORMtkArrayStatus status = CheckStep(step, increment);
  if (!status) return status;
  std::vector<std::string> known;
  for (const ZORMtkSimCatalog::Step& listed : catalog->Steps()) {
    if (listed.number != step) continue;
    for (const ZORMtkSimCatalog::Field& field : listed.fields) {
      const int size = reader.GetSimpleFieldSize(field.record, step, increment);
      if (size <= 0) continue;
      if (field.name == name && field.integrationPoints == integrationPoints) {
        record = field.record;
        components = size;
        return status;
      }
      known.push_back(field.name + (field.integrationPoints ? " (integration points)" : ""));
    }
  }
  return ZORMtkArrayStatus::Invalid(
      path + ": no " + (integrationPoints ? "integration-point" : "nodal") + " field '" + name +
      "' on mesh " + std::to_string(mesh) + " in step " + std::to_string(step) +
      " (fields there: " + Join(known) + ")");
}

ZORMtkSimFile::ZORMtkSimFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

ZORMtkSimFile::~ZORMtkSimFile() = default;

std::unique_ptr<ZORMtkSimFile> ZORMtkSimFile::Open(const std::string& path) {
  auto impl = std::make_unique<Impl>(path);
  impl->access.SetSchema(eds_SSDLallSource_Get());
  impl->root = impl->access.Open(path);
  impl->opened = true;
  impl->writer->AcceptSim(impl->root);
  impl->catalog = std::make_unique<ZORMtkSimCatalog>(impl->root);
  return std::unique_ptr<ZORMtkSimFile>(new ZORMtkSimFile(std::move(impl)));
}

std::unique_ptr<ZORMtkSimFile> ZORMtkSimFile::Create(const std::string& path) {
  auto impl = std::make_unique<Impl>(path);
  impl->writer->CreateSim(path);
  impl->root = impl->writer->GetRootPosition();
  impl->catalog = std::make_unique<ZORMtkSimCatalog>(impl->root);
  return std::unique_ptr<ZORMtkSimFile>(new ZORMtkSimFile(std::move(impl)));
}

const std::string& ZORMtkSimFile::Path() const { return impl_->path; }

const ZORMtkSimCatalog& ZORMtkSimFile::Catalog() const { return *impl_->catalog; }

int ZORMtkSimFile::MeshCount() const { return static_cast<int>(impl_->catalog->Meshes().size()); }

ZORMtkArrayStatus ZORMtkSimFile::DescribeMesh(
    int mesh, int& nodes, int& elements, std::vector<std::pair<std::string, int>>& classes) const {
  ZORMtkArrayStatus status = ZORMtkArrayStatus::Ok();
  const std::unique_ptr<ZORMtkSimReader> reader = impl_->Reader(mesh, status);
  if (!reader) return status;
  nodes = reader->numNodes;
  elements = reader->numElements;
  classes.clear();
  cow_List<cow_String> names;
  reader->GetElementClassNames(names);
  for (const cow_String& name : names)
    classes.emplace_back(name.Str(), reader->GetElementClassCount(name));
  return status;
}

ZORMtkArrayStatus ZORMtkSimFile::ReadMesh(int mesh, ZORMtkMeshData& data) const {
  ZORMtkArrayStatus status = ZORMtkArrayStatus::Ok();
  const std::unique_ptr<ZORMtkSimReader> reader = impl_->Reader(mesh, status);
  if (!reader) return status;
  data = ZORMtkMeshData{};
  data.dimension = reader->numCoordComponents;
  data.coordinates.resize(static_cast<std::size_t>(reader->numNodes) *
                          static_cast<std::size_t>(data.dimension));
  reader->FillCoordinates(static_cast<int>(data.coordinates.size()), data.coordinates.data());
  cow_List<cow_String> names;
  reader->GetElementClassNames(names);
  for (const cow_String& name : names) {
    const int elements = reader->GetElementClassCount(name);
    const int nodes = ZORMtkTransferFrame::NodesPerElement(*reader, name);
    std::vector<int> members =
        ZORMtkTransferFrame::ClassConnectivity(*reader, name, elements, nodes);
    std::vector<int> rows(members.size());
    ZORMtkTransferFrame::NodeRows(*reader, members.data(), static_cast<int>(members.size()),
                                  rows.data());
    data.blocks.push_back(ZORMtkMeshData::Block{name.Str(), nodes, std::move(rows)});
  }
  return status;
}

ZORMtkArrayStatus ZORMtkSimFile::ReadNodeField(int mesh, const std::string& name, int step,
                                               int increment, std::vector<double>& values,
                                               int& components) const {
  ZORMtkArrayStatus status = ZORMtkArrayStatus::Ok();
  const std::unique_ptr<ZORMtkSimReader> reader = impl_->Reader(mesh, status);
  if (!reader) return status;
  ZORSimDynamicID record;
  status = impl_->FindField(*reader, mesh, name, step, increment, false, record, components);
  if (!status) return status;
  values.assign(static_cast<std::size_t>(reader->numNodes) * static_cast<std::size_t>(components),
                0.0);
  reader->GetSimpleNodeField(record, step, increment, static_cast<int>(values.size()),
                             values.data());
  return status;
}

ZORMtkArrayStatus ZORMtkSimFile::ReadPointField(int mesh, const std::string& name, int step,
                                                int increment, std::vector<ClassValues>& classes,
                                                int& components) const {
  ZORMtkArrayStatus status = ZORMtkArrayStatus::Ok();
  const std::unique_ptr<ZORMtkSimReader> reader = impl_->Reader(mesh, status);
  if (!reader) return status;
  ZORSimDynamicID record;
  status = impl_->FindField(*reader, mesh, name, step, increment, true, record, components);
  if (!status) return status;
  classes.clear();
  cow_List<cow_String> names;
  reader->GetElementClassNames(names);
  for (const cow_String& className : names) {
    const int points = ZORMtkElementData::GetNumIntPt(className);
    if (points <= 0) continue;
    const std::vector<int> elements = ZORMtkTransferFrame::ClassMembers(*reader, className);
    const int count = static_cast<int>(elements.size());
    std::vector<double> values(
        elements.size() * static_cast<std::size_t>(points) * static_cast<std::size_t>(components),
        0.0);
    reader->ReadElementRows(record, step, increment, elements.data(), count, points, components,
                            values.data());
    classes.push_back(ClassValues{className.Str(), points, std::move(values)});
  }
  return status;
}

ZORMtkArrayStatus ZORMtkSimFile::AddMesh(const ZORMtkMeshArrays& mesh, int& number) {
  ZORMtkMeshBuilder builder(mesh, "mesh");
  ZORMtkArrayStatus status = builder.Check();
  if (!status) return status;
  builder.Write(*impl_->writer);
  number = MeshCount();
  return status;
}

ZORMtkArrayStatus ZORMtkSimFile::WriteNodeField(int mesh, const std::string& name,
                                                const double* values, int rows, int components) {
  ZORMtkArrayStatus status = ZORMtkArrayStatus::Ok();
  const std::unique_ptr<ZORMtkSimReader> reader = impl_->Reader(mesh, status);
  if (!reader) return status;
  if (ZORFieldTypeCodes::Find(name) < 0)
    return ZORMtkArrayStatus::Invalid("'" + name +
                                      "' is not a field type (for example U_D, NT, PRESS, TEMP)");
  if (rows != reader->numNodes)
    return ZORMtkArrayStatus::Invalid("the field has " + std::to_string(rows) + " rows; mesh " +
                                      std::to_string(mesh) + " has " +
                                      std::to_string(reader->numNodes) + " nodes");
  if (components < 1 || values == nullptr)
    return ZORMtkArrayStatus::Invalid("the field needs values of at least one component");
  ZORSimDynamicID existing;
  int existingComponents = 0;
  if (impl_->FindField(*reader, mesh, name, 1, 1, false, existing, existingComponents))
    return ZORMtkArrayStatus::Invalid(impl_->path + " already holds a field " + name + " on mesh " +
                                      std::to_string(mesh) + " in step 1");
  const ZORSimDynamicID field = impl_->writer->AddSimpleNodeField(reader->meshID, name, components);
  cow_List<int> members = reader->nodeList;
  impl_->writer->WriteSimpleNodeField(field, reader->meshID, 1, 1, components, members,
                                      const_cast<double*>(values));
  return status;
}

void ZORMtkSimFile::Save() { impl_->writer->SaveContext(); }
