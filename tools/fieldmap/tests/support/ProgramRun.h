#pragma once

#include <string>
#include <vector>

#include "RawMesh.h"

// One run of fieldmap, in this process or as the installed program, with what it printed.
struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;

  // Through FieldmapProgram::Run, capturing both streams.
  static ProgramRun InProcess(const std::vector<std::string>& arguments);
  // The built program with stderr redirected to a file, as a script runs it.
  static ProgramRun Binary(const std::string& arguments);
  // What a database holds on its first mesh, as export writes it and fieldmap reads it back.
  static RawMesh Exported(const std::string& database);
};
