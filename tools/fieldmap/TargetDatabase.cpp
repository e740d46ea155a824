#include "TargetDatabase.h"

#include <filesystem>

#include "DatabaseCatalog.h"
#include "FieldTypeCatalog.h"
#include "FieldmapError.h"
#include "MeshFileReader.h"
#include "MeshImporter.h"

TargetDatabase::TargetDatabase(const std::string& target, int mesh, const std::string& path,
                               ProgressReporter& progress) {
  OpenedDatabase::RefuseDirectory(target);
  if (MeshFileReader::IsMeshFile(target))
    ImportMesh(target, path, progress);
  else
    CopyDatabase(target, mesh, path);
}

void TargetDatabase::ImportMesh(const std::string& target, const std::string& path,
                                ProgressReporter& progress) {
  MeshImporter importer(target);
  importer.Read(progress);
  writer_.CreateSim(path);
  const FieldTypeCatalog noFields(writer_.GetRootPosition());
  mesh_ = importer.WriteInto(writer_, noFields, false, progress);
}

void TargetDatabase::CopyDatabase(const std::string& target, int mesh, const std::string& path) {
  std::error_code error;
  std::filesystem::copy_file(target, path, std::filesystem::copy_options::overwrite_existing,
                             error);
  if (error) throw FieldmapError::Input(target, "", "cannot be copied: " + error.message());
  opened_ = std::make_unique<OpenedDatabase>(path);
  writer_.AcceptSim(opened_->Root());
  mesh_ = DatabaseCatalog(opened_->Root()).MeshNumbered(target, mesh);
}

bool TargetDatabase::Holds(const std::string& fieldType, const ZORMtkSimReader& target) const {
  if (!opened_) return false;
  for (const DatabaseCatalog::Field& field :
       DatabaseCatalog(opened_->Root()).FieldsNamed(1, fieldType))
    if (field.name == fieldType && target.GetSimpleFieldSize(field.record, 1, 1) > 0) return true;
  return false;
}

void TargetDatabase::CheckFree(const std::string& file, const std::string& fieldType,
                               const ZORMtkSimReader& target) const {
  if (Holds(fieldType, target))
    throw FieldmapError::Input(file, "",
                               "already holds a field " + fieldType +
                                   " on the target mesh; map into a database "
                                   "without it or into the mesh file");
}
