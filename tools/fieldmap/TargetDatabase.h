#pragma once

#include <memory>
#include <string>

#include "OpenedDatabase.h"
#include "ZORGfmApi.h"

class ProgressReporter;

// The database a mapping writes into, under the output's temporary name: a copy of a target
// database, attached to a writer, or a new database holding a target mesh file. Owns the writer
// and, for a copy, the opened database, which it closes after the writer is gone.
class TargetDatabase {
 public:
  // target is a database or a .vtu/.msh mesh; mesh counts from 1 and picks the database's mesh.
  TargetDatabase(const std::string& target, int mesh, const std::string& path,
                 ProgressReporter& progress);
  TargetDatabase(const TargetDatabase&) = delete;
  TargetDatabase& operator=(const TargetDatabase&) = delete;

  ZORMtkSimWriter& Writer() { return writer_; }
  const ZORSimDynamicID& Mesh() const { return mesh_; }
  ZORSrvPosition Root() const { return writer_.GetRootPosition(); }
  // True when the target database already holds values of that field type on the target mesh.
  bool Holds(const std::string& fieldType, const ZORMtkSimReader& target) const;
  // A field of that type already on the target mesh would be read back instead of the mapped
  // one, so it is an input error naming the target file.
  void CheckFree(const std::string& file, const std::string& fieldType,
                 const ZORMtkSimReader& target) const;

 private:
  void ImportMesh(const std::string& target, const std::string& path, ProgressReporter& progress);
  void CopyDatabase(const std::string& target, int mesh, const std::string& path);

  // Declared first so it is closed last, after the writer that was attached to it.
  std::unique_ptr<OpenedDatabase> opened_;
  ZORMtkSimWriter writer_;
  ZORSimDynamicID mesh_;
};
