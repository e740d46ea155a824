#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/ZORBitVector.h"
#include "platform/ZORContainers.h"
#include "platform/ZORExport.h"
#include "platform/ZORSimAPI.h"
#include "platform/ZORSimHandles.h"
#include "platform/ZORString.h"

class ZORMtkConnectivity;
class ZORMtkFieldDrawer;
class ZORMtkStepResolver;

// How a reader's region is given: by element members (both element values mean the same) or by
// node members alone.
enum ZORMtkScope { ScopeElementRegion = 0, ScopeElementRegionAlt = 1, ScopeNodeRegion = 2 };

// Reads one mesh of a simulation database, restricted to a region, and the results stored for
// it. The reader owns the region data (node list, element classes, counts and the two region
// sets); the database itself stays with the host, which keeps it open while the reader is used.
// The mapper reads meshID, numNodes, numCoordComponents and nodeRegion directly, so the region
// data are public.
class ZORMTK_EXPORT ZORMtkSimReader {
 public:
  ZORMtkSimReader();
  ~ZORMtkSimReader();

  // Region. A second call replaces the region of the first. An empty list takes the whole mesh;
  // an empty mesh ID the model's default mesh. The by-name form leaves meshID as it is and
  // navigates from the mesh that owns the named set's elements.
  void SetScope(ZORSrvPosition position, ZORMtkScope scope, ZORSimDynamicID mesh,
                cow_List<int> list);
  void SetElsetRegion(ZORSrvPosition position, ZORSimDynamicID mesh, cow_List<int> elements);
  void SetElsetRegion(ZORSrvPosition position, DRUUnicodeString name);
  void SetNodesetRegion(ZORSrvPosition position, ZORSimDynamicID mesh, cow_List<int> nodes);

  // Mesh access; caller-owned arrays are filled in place and follow the region's orders: nodes
  // as nodeList, class elements as elementClasses, boxes as elementRegion. A wrong size gives
  // false and leaves the array untouched. Boxes take numCoordComponents values per element and
  // overall corners of three; a region without elements gets averageSize 0 and no boxes.
  bool GetNodes(int n, int* nodes) const;
  // The region's element members, ascending: the order boxes take.
  bool GetElements(int n, int* elements) const;
  bool FillCoordinates(int n, double* coords) const;
  void GetElementClassNames(cow_List<cow_String>& names) const;
  int GetElementClassCount(cow_String name) const;
  bool GetElementClassMembers(cow_String name, int n, int* elements) const;
  bool GetElementClassConnectivity(cow_String name, int n, int* connectivity) const;
  // Boxes are gathered by up to `threads` threads, with the same result at any count.
  bool GetElementBoxes(int* elements, double* boxMin, double* boxMax, double& averageSize,
                       double* overallMin, double* overallMax, int threads = 1) const;

  // Field lookup; steps count from 1, an increment is a member of the step's increment set (a
  // static step has only 1). Failures give the empty ID, 0 or false.
  ZORSimDynamicID GetFieldID(DRUUnicodeString name, int stepNo) const;
  int GetSimpleFieldSize(ZORSimDynamicID field, int stepNo, int incrementNo) const;
  bool GetSimpleNodeFieldSize(DRUUnicodeString name, int stepNo, int incrementNo, int& size) const;

  // Nodal fields, node by node in nodeList order, components fastest; nodes without a value
  // are not written. A bad step or increment gives false (the by-name form also prints why);
  // a missing field still gives true. `count` sizes the work buffers of the interpolation,
  // which therefore must cover numNodes x components.
  bool GetSimpleNodeField(DRUUnicodeString name, int stepNo, int incrementNo, int count,
                          double* values) const;
  bool GetSimpleNodeField(ZORSimDynamicID field, int stepNo, int incrementNo, int count,
                          double* values) const;
  bool GetInterpolatedSimpleNodeField(ZORSimDynamicID field, int stepNo, int increment1,
                                      double time1, int increment2, double time2, double time,
                                      int count, double* values) const;
  void SumSimpleNodeField(ZORSimDynamicID field, int stepNo, int incrementNo, double* sums,
                          int nComp) const;

  // Integration-point fields of the caller's elements, in the caller's order, read only from a
  // drawer that holds every one of them. False for a bad step or a record that is not a field
  // of the step.
  bool GetSimpleElementClassField(ZORSimDynamicID field, int stepNo, int incrementNo,
                                  const int* elements, int nElements, int nPoints, int count,
                                  double* values) const;
  bool GetInterpolatedSimpleElementClassField(ZORSimDynamicID field, int stepNo, int increment1,
                                              double time1, int increment2, double time2,
                                              double time, int* elements, int nElements,
                                              int nPoints, int count, double* values) const;

  // The same reads into rows of the shape the caller sized its array by, whatever the drawers
  // keep: `width` values per node, nPoints x nComp per element. A drawer keeping more points or
  // components gives its first ones; one keeping fewer leaves the rest of each row as it was.
  bool ReadNodeRows(ZORSimDynamicID field, int stepNo, int incrementNo, int width,
                    double* values) const;
  bool ReadElementRows(ZORSimDynamicID field, int stepNo, int incrementNo, const int* elements,
                       int nElements, int nPoints, int nComp, double* values) const;

  // Writes the region and the nodal fields of step 1 whose skip entry is 0 as "<baseName>.vtu".
  // skip needs an entry per name (a short list throws std::out_of_range before any file is
  // made); a file that cannot be opened is not written, and nothing is reported.
  void VtkOutput(const char* baseName, cow_List<cow_String>& fieldNames, cow_List<int>& skip,
                 const int& incrementNo) const;

  ZORSrvPosition position;
  ZORSimDynamicID meshID;
  int numElements;
  int numNodes;
  int numCoordComponents;
  cow_Map<cow_String, cow_List<int>> elementClasses;
  cow_Map<cow_String, int> nodesPerElementByClass;
  cow_List<int> nodeList;
  ZORSimCSetID elementRegion;
  ZORSimCSetID nodeRegion;

 private:
  void ClearRegion();
  void SelectMesh(const ZORSrvPosition& root, const ZORSimDynamicID& mesh);
  // The mesh record to navigate from: meshID, or for a region given by set name on a reader
  // without a mesh, the mesh that owns the region's element collection.
  ZORSrvPosition MeshPosition() const;
  ZORSimCollectionID MeshCollection(int key, int side) const;
  void ResolveElementRegion();
  void MarkNodesOf(const ZORMtkConnectivity& connectivity, const ZORSimCSetID& elements,
                   int nodesPerElement, omi_BlkBitVect& used);
  void FillNodeList(const ZORSimCollectionID& nodes, const omi_BlkBitVect& used, bool wholeMesh);
  void ResolveCoordComponents();
  // Position of every node member in nodeList, -1 for nodes outside the region.
  std::vector<int> NodePositions() const;
  void BoxClass(const cow_String& name, const double* coords, const std::vector<int>& positionOf,
                double* boxMin, double* boxMax, int threads) const;
  // The drawers of a field record at the step; none for a record that is not a field.
  std::vector<ZORMtkFieldDrawer> DrawersOf(const ZORMtkStepResolver& step,
                                           const ZORSimDynamicID& field) const;
  int FieldSize(const ZORMtkStepResolver& step, const ZORSimDynamicID& field) const;
  // The component count of the first field record of that name that has one; 0 when none has.
  int SizeByName(const ZORMtkStepResolver& step, const std::string& name) const;
  // Rows of `width` values, the count the caller sized its array by: a drawer keeping another
  // count of components per node writes at that stride, its first components where it has more.
  void ReadNodeField(const ZORMtkStepResolver& step, const ZORSimDynamicID& field, int width,
                     double* values) const;
  // Rows of points x components values per element; zero points: the drawer's own shape.
  struct RowShape {
    int points = 0;
    int components = 0;
  };
  bool ReadElementField(const ZORSimDynamicID& field, int stepNo, int incrementNo,
                        const int* elements, int nElements, RowShape shape, double* values) const;
  // The most values a drawer of the field writes per element; 0 without such a drawer.
  int WidestElementRow(const ZORSimDynamicID& field, int stepNo, int incrementNo) const;
  void WriteVtkPoints(std::FILE* file) const;
  void WriteVtkCells(std::FILE* file) const;
  void WriteVtkPointData(std::FILE* file, const cow_String& name, int incrementNo) const;
};
