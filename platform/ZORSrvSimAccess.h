#pragma once

#include <string>

#include "platform/ZORSrvPosition.h"

// Opens, creates and closes databases.
class ZORMTK_EXPORT ZORSrvSimAccess {
 public:
  void SetSchema(const char* schemaSource);
  // Creates a database that becomes a file only at its first Save; an existing file of that
  // name is left intact until then. Loads the document as initial content, binds `focusBinding`
  // to the focus record and returns the focus position.
  ZORSrvPosition Create(const std::string& fileName, const std::string& role,
                        const char* documentText, const std::string& focusBinding);
  // Opens an existing database: metadata now, drawer values on first use.
  ZORSrvPosition Open(const std::string& fileName);
  // Closes the database of the position; unsaved changes are dropped.
  void Close(const ZORSrvPosition& position);

 private:
  std::string schema_;
};
