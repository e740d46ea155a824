#include "OpenedDatabase.h"

#include "FieldmapError.h"

OpenedDatabase::OpenedDatabase(std::string fileName) : fileName_(std::move(fileName)) {
  try {
    access_.SetSchema(eds_SSDLallSource_Get());
    root_ = access_.Open(fileName_);
  } catch (const ZORSimError& error) {
    throw FieldmapError::Input(fileName_, "",
                               std::string("not a usable database: ") + error.what());
  }
}

OpenedDatabase::~OpenedDatabase() { access_.Close(root_); }
