#pragma once

#include <functional>
#include <string>

#include "RawMesh.h"

// Picks the reader for a mesh file by its extension (.vtu, .pvtu, .vtk, .msh) and reads it.
class MeshFileReader {
 public:
  // Told the fraction of the file read so far, now and then.
  using Progress = std::function<void(double)>;

  static bool IsMeshFile(const std::string& fileName);
  static RawMesh Read(const std::string& fileName, const Progress& progress = {});
};
