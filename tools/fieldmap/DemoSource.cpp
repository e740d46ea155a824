#include "DemoSource.h"

#include "DemoAccuracy.h"
#include "MeshDatabaseWriter.h"
#include "ZORGfmApi.h"

namespace {

void WriteStrain(ZORMtkSimWriter& writer, const ZORSimDynamicID& plateMesh) {
  const ZORSimDynamicID strain = writer.AddSimpleElementField(plateMesh, "LE", 3);
  ZORMtkSimReader plate;
  plate.SetScope(writer.GetRootPosition(), ScopeElementRegion, plateMesh, cow_List<int>());
  cow_List<cow_String> classes;
  plate.GetElementClassNames(classes);
  // One element class per call, as the writer takes them.
  for (const cow_String& name : classes) {
    cow_List<int> elements(*plate.elementClasses.Find(name));
    std::vector<double> values = DemoModel::StrainAt(DemoAccuracy::PointPositions(plate, name));
    writer.WriteSimpleElementClassField(
        strain, plateMesh, 1, 1, ZORMtkElementData::GetNumIntPt(name), 3, elements, values.data());
  }
}

}  // namespace

void DemoSource::Write(const std::string& path, const DemoSizes& sizes) {
  ZORMtkSimWriter writer;
  writer.CreateSim(path);
  MeshDatabaseWriter database(writer);
  const AssembledMesh box = DemoModel::SourceBox(sizes.sourceCells);
  const ZORSimDynamicID boxMesh = database.WriteMesh(box);
  database.WriteNodeField(boxMesh, "U_D", 3, DemoModel::DisplacementAt(box.coordinates));
  database.WriteNodeField(boxMesh, "NT", 1, DemoModel::TemperatureAt(box.coordinates));
  WriteStrain(writer, database.WriteMesh(DemoModel::SourcePlate(sizes.sourcePlateCells)));
  writer.SaveContext();
}
