#pragma once

#include "platform/ZORContainers.h"
#include "platform/ZORExport.h"
#include "platform/ZORSimAPI.h"
#include "platform/ZORSimHandles.h"
#include "platform/ZORString.h"

// Creates a target simulation database from the embedded data dictionary document and fills it:
// meshes (nodes, element blocks, element types), field definitions and field values. The
// writer owns one database access object and the root position; every other
// handle lives on the stack of the operation that uses it.
//
// Every operation runs in one database transaction that it commits as its last step, so an
// operation that fails part-way (the database interface throws ZORSimError, a short list throws
// std::out_of_range) leaves nothing committed. Nothing is durable before SaveContext.
class ZORMTK_EXPORT ZORMtkSimWriter {
 public:
  // Touches no database.
  ZORMtkSimWriter();
  // Closes the database if this writer created it (CreateSim); an accepted one stays open.
  ~ZORMtkSimWriter();
  ZORMtkSimWriter(const ZORMtkSimWriter&) = delete;
  ZORMtkSimWriter& operator=(const ZORMtkSimWriter&) = delete;

  // ---- the database
  // Creates a new database of that name with the data dictionary as its initial content, one
  // history record with the step "StaticStep" (int key 0), the increment collection and the
  // increment distribution. The file appears at the first SaveContext; an existing file of that
  // name stays intact until then.
  void CreateSim(cow_String fileName);
  // Attaches to the focus position of a database made by CreateSim; nothing is read or tested.
  void AcceptSim(ZORSrvPosition position);
  // Makes everything written so far durable.
  void SaveContext();
  // The root position that CreateSim or AcceptSim set (a default position before either), so
  // that a host can scope a ZORMtkSimReader on the target mesh.
  ZORSrvPosition GetRootPosition() const;

  // ---- meshes
  ZORSimDynamicID AddMesh();
  // Appends numberOfNodes nodes; coordinates holds numberOfNodes x numberOfComponents doubles,
  // node by node. Component k is member k of the component collection.
  void AddMeshNodes(ZORSimDynamicID mesh, int numberOfNodes, int numberOfComponents,
                    double* coordinates);
  // Appends a block of numberOfElements elements; connectivity holds numberOfElements x
  // nodesPerElement 0-based node positions, element by element. The type name is not used here
  // (ConnectMeshEltypes gives the types). Returns the set of the new elements.
  ZORSimCSetID AddMeshElements(ZORSimDynamicID mesh, int numberOfElements, cow_String elementType,
                               int nodesPerElement, int* connectivity);
  // Gives blocks[i] the element type of elementTypes[i], resolved through the shape table
  // (ZORMtkShp::GetBaseShape), so "CPS4" is stored as "CPE4" and "C3D10M" as "C3D10".
  void ConnectMeshEltypes(ZORSimDynamicID mesh, ZORSimArray<ZORSimCSetID>& blocks,
                          cow_List<cow_String>& elementTypes);

  // ---- field definitions, attached to the first step
  // The name is a field-type symbol of the data dictionary ("U_D", "PRESS", ...); any other name
  // is defined as "UNDEFINED", without a word.
  ZORSimDynamicID AddSimpleNodeField(ZORSimDynamicID mesh, cow_String name, int numberOfComponents);
  // One drawer per element class of the mesh (the element types must be connected). Classes
  // whose integration-point count ZORMtkElementData::GetNumIntPt does not know get no drawer.
  ZORSimDynamicID AddSimpleElementField(ZORSimDynamicID mesh, cow_String name,
                                        int numberOfComponents);

  // ---- field values; steps count from 1, increments are members of the step's
  // increment collection. Return false for a rejected step (above the last step or below 1, or
  // an increment other than 1 on a static step) and write nothing; true otherwise.
  bool WriteSimpleNodeField(ZORSimDynamicID field, ZORSimDynamicID mesh, int step, int increment,
                            int numberOfComponents, cow_List<int>& points, double* values);
  bool WriteSimpleNodeField(ZORSimDynamicID mesh, DRUUnicodeString name, int step, int increment,
                            int numberOfComponents, cow_List<int>& points, double* values);
  bool WriteSimpleElementClassField(ZORSimDynamicID field, ZORSimDynamicID mesh, int step,
                                    int increment, int pointsPerElement, int numberOfComponents,
                                    cow_List<int>& points, double* values);

 private:
  enum class FieldSelection { kByHandle, kByName };
  bool WriteField(bool nodal, FieldSelection selection, ZORSimDynamicID field,
                  const std::string& name, ZORSimDynamicID mesh, int step, int increment,
                  int valuesPerPoint, cow_List<int>& points, double* values);
  ZORSimDynamicID AddField(ZORSimDynamicID mesh, const cow_String& name, int numberOfComponents,
                           bool nodal);

  ZORSrvSimAccess access_;
  bool created_;
  ZORSrvPosition root_;
};
