#include "reader/ZORMtkSimReader.h"

ZORMtkSimReader::ZORMtkSimReader() : numElements(0), numNodes(0), numCoordComponents(0) {}

ZORMtkSimReader::~ZORMtkSimReader() = default;

void ZORMtkSimReader::SetScope(ZORSrvPosition, ZORMtkScope, ZORSimDynamicID, cow_List<int>) {}
void ZORMtkSimReader::SetElsetRegion(ZORSrvPosition, ZORSimDynamicID, cow_List<int>) {}
void ZORMtkSimReader::SetElsetRegion(ZORSrvPosition, DRUUnicodeString) {}
void ZORMtkSimReader::SetNodesetRegion(ZORSrvPosition, ZORSimDynamicID, cow_List<int>) {}
void ZORMtkSimReader::ClearRegion() {}
void ZORMtkSimReader::SelectMesh(const ZORSrvPosition&, const ZORSimDynamicID&) {}
void ZORMtkSimReader::ResolveElementRegion() {}
void ZORMtkSimReader::ResolveCoordComponents() {}
bool ZORMtkSimReader::GetNodes(int, int*) const { return false; }
bool ZORMtkSimReader::FillCoordinates(int, double*) const { return false; }
void ZORMtkSimReader::GetElementClassNames(cow_List<cow_String>&) const {}
int ZORMtkSimReader::GetElementClassCount(cow_String) const { return 0; }
bool ZORMtkSimReader::GetElementClassMembers(cow_String, int, int*) const { return false; }
bool ZORMtkSimReader::GetElementClassConnectivity(cow_String, int, int*) const { return false; }
bool ZORMtkSimReader::GetElementBoxes(int*, double*, double*, double&, double*, double*) const {
  return true;
}
ZORSimDynamicID ZORMtkSimReader::GetFieldID(DRUUnicodeString, int) const { return {}; }
int ZORMtkSimReader::GetSimpleFieldSize(ZORSimDynamicID, int, int) const { return 0; }
bool ZORMtkSimReader::GetSimpleNodeFieldSize(DRUUnicodeString, int, int, int&) const {
  return false;
}
bool ZORMtkSimReader::GetSimpleNodeField(DRUUnicodeString, int, int, int, double*) const {
  return false;
}
bool ZORMtkSimReader::GetSimpleNodeField(ZORSimDynamicID, int, int, int, double*) const {
  return false;
}
bool ZORMtkSimReader::GetInterpolatedSimpleNodeField(ZORSimDynamicID, int, int, double, int, double,
                                                     double, int, double*) const {
  return true;
}
void ZORMtkSimReader::SumSimpleNodeField(ZORSimDynamicID, int, int, double*, int) const {}
bool ZORMtkSimReader::GetSimpleElementClassField(ZORSimDynamicID, int, int, const int*, int, int,
                                                 int, double*) const {
  return false;
}
bool ZORMtkSimReader::GetInterpolatedSimpleElementClassField(ZORSimDynamicID, int, int, double, int,
                                                             double, double, int*, int, int, int,
                                                             double*) const {
  return true;
}
void ZORMtkSimReader::VtkOutput(const char*, cow_List<cow_String>&, cow_List<int>&,
                                const int&) const {}
