#include "OpenedDatabase.h"

#include <filesystem>

#include "FieldmapError.h"

OpenedDatabase::OpenedDatabase(std::string fileName) : fileName_(std::move(fileName)) {
  RefuseDirectory(fileName_);
  try {
    access_.SetSchema(eds_SSDLallSource_Get());
    root_ = access_.Open(fileName_);
  } catch (const ZORSimError& error) {
    throw FieldmapError::Input(fileName_, "",
                               std::string("not a usable database: ") + error.what());
  }
}

OpenedDatabase::~OpenedDatabase() { access_.Close(root_); }

void OpenedDatabase::RefuseDirectory(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error))
    throw FieldmapError::Input(path, "", "is a directory, not a database or mesh file");
}
