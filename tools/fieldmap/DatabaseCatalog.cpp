#include "DatabaseCatalog.h"

#include "FieldArrayNames.h"
#include "FieldmapError.h"

ZORSimDynamicID DatabaseCatalog::MeshNumbered(const std::string& file, int number) const {
  const std::vector<ZORSimDynamicID> meshes = Meshes();
  if (number < 1 || number > static_cast<int>(meshes.size()))
    throw FieldmapError::Input(file, "",
                               "has " + std::to_string(meshes.size()) +
                                   (meshes.size() == 1 ? " mesh" : " meshes") + ", not mesh " +
                                   std::to_string(number));
  return meshes[static_cast<std::size_t>(number - 1)];
}

std::string DatabaseCatalog::ArrayName(const Field& field) const {
  const std::string name = FieldArrayNames::Get(root_, field.record);
  return name.empty() ? field.name : name;
}

bool DatabaseCatalog::IsCalled(const Field& field, const std::string& name) const {
  return name == field.name || name == FieldArrayNames::Get(root_, field.record);
}

std::vector<DatabaseCatalog::Field> DatabaseCatalog::FieldsCalled(int stepNumber,
                                                                  const std::string& name) const {
  std::vector<Field> called;
  for (const Step& step : Steps())
    if (step.number == stepNumber)
      for (const Field& field : step.fields)
        if (IsCalled(field, name)) called.push_back(field);
  return called;
}
