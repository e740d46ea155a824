#include "DatabaseCatalog.h"

#include "FieldmapError.h"

ZORSimDynamicID DatabaseCatalog::MeshNumbered(const std::string& file, int number) const {
  const std::vector<ZORSimDynamicID> meshes = Meshes();
  if (number < 1 || number > static_cast<int>(meshes.size()))
    throw FieldmapError::Input(
        file, "",
        "has " + std::to_string(meshes.size()) + " meshes, not mesh " + std::to_string(number));
  return meshes[static_cast<std::size_t>(number - 1)];
}
