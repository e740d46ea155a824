#pragma once

#include <string>

#include "ZORGfmApi.h"

// A simulation database opened for reading, closed again when this object goes. Owns the access
// object and the root position. A file that is missing or damaged becomes an input error with
// the database's own explanation.
class OpenedDatabase {
 public:
  explicit OpenedDatabase(std::string fileName);
  ~OpenedDatabase();
  OpenedDatabase(const OpenedDatabase&) = delete;
  OpenedDatabase& operator=(const OpenedDatabase&) = delete;

  const ZORSrvPosition& Root() const { return root_; }
  const std::string& FileName() const { return fileName_; }

  // An input error for a path that is a directory, which the database and the copy would only
  // refuse with a system text that does not say so.
  static void RefuseDirectory(const std::string& path);

 private:
  std::string fileName_;
  ZORSrvSimAccess access_;
  ZORSrvPosition root_;
};
