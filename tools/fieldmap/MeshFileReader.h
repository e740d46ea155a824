#pragma once

#include <string>

#include "RawMesh.h"

// Picks the reader for a mesh file by its extension (.vtu, .msh) and reads it.
class MeshFileReader {
 public:
  static bool IsMeshFile(const std::string& fileName);
  static RawMesh Read(const std::string& fileName);
};
