#include "MeshFileReader.h"

#include <algorithm>
#include <cctype>

#include "FieldmapError.h"
#include "GmshReader.h"
#include "LegacyVtkReader.h"
#include "PvtuReader.h"
#include "VtuReader.h"

namespace {

std::string Extension(const std::string& fileName) {
  const std::size_t dot = fileName.find_last_of('.');
  const std::size_t slash = fileName.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string extension = fileName.substr(dot);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

}  // namespace

bool MeshFileReader::IsMeshFile(const std::string& fileName) {
  const std::string extension = Extension(fileName);
  return extension == ".vtu" || extension == ".pvtu" || extension == ".vtk" || extension == ".msh";
}

RawMesh MeshFileReader::Read(const std::string& fileName, const Progress& progress) {
  const std::string extension = Extension(fileName);
  if (extension == ".vtu") return VtuReader(fileName, progress).Read();
  if (extension == ".pvtu") return PvtuReader(fileName, progress).Read();
  if (extension == ".vtk") return LegacyVtkReader(fileName, progress).Read();
  if (extension == ".msh") return GmshReader(fileName, progress).Read();
  throw FieldmapError::Input(fileName, "",
                             "unknown mesh format (expected a .vtu, .pvtu, .vtk or .msh file)");
}
