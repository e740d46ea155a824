#include "DatabaseProbe.h"

#include "DatabaseCatalog.h"

DatabaseProbe::DatabaseProbe(const std::string& fileName, int mesh) : database_(fileName) {
  const std::vector<ZORSimDynamicID> meshes = DatabaseCatalog(database_.Root()).Meshes();
  reader_.SetScope(database_.Root(), ScopeElementRegion,
                   meshes.at(static_cast<std::size_t>(mesh - 1)), cow_List<int>());
}

std::vector<double> DatabaseProbe::Coordinates() const {
  std::vector<double> xyz(static_cast<std::size_t>(reader_.numNodes * reader_.numCoordComponents));
  reader_.FillCoordinates(static_cast<int>(xyz.size()), xyz.data());
  return xyz;
}

std::vector<double> DatabaseProbe::NodeField(const std::string& name) const {
  for (const DatabaseCatalog::Field& field :
       DatabaseCatalog(database_.Root()).FieldsNamed(1, name)) {
    const int components = reader_.GetSimpleFieldSize(field.record, 1, 1);
    if (components <= 0) continue;
    std::vector<double> values(static_cast<std::size_t>(reader_.numNodes * components), 0.0);
    reader_.GetSimpleNodeField(field.record, 1, 1, static_cast<int>(values.size()), values.data());
    return values;
  }
  return {};
}
