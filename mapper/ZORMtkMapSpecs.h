#pragma once

#include "platform/ZORContainers.h"
#include "platform/ZORExport.h"
#include "platform/ZORSimHandles.h"

// What a request maps. The values are the numbers the mapper branches on; a host may pass any
// int (4, 6, 7, 8 and values outside 0 to 9 are refused with error code 1), so the underlying
// type is fixed.
enum Map_Tag : int {
  MapNodeToNode = 0,
  MapNodeToIntPt = 1,
  MapIntPtToNode = 2,
  MapIntPtToIntPt = 3,
  MapNodeToNodeAlt = 5,  // mapped exactly as MapNodeToNode
  MapNodalRatio = 9,
};

// How the nodal weights of a request are found. Any other value finds no weights, so nodal
// transfers then write zeros.
enum MapMethod_Tag : int { MethodShapeInterpolation = 0, MethodNearestNode = 1 };

// Which element takes a point when several accept it in one search pass.
enum ElementChoice_Tag : int {
  ChoiceFirstAccepted = 0,  // the first candidate that accepts it (the default)
  ChoiceContaining = 1,     // the first whose reference shape holds it, else the least outside
};

// Whether a transfer conserves the sum of the field.
enum Conserve_Tag : int { ConserveNone = 0, ConserveNodal = 1, ConserveIntPt = 2 };

// One named mapping request: which source fields on which source meshes go to which target
// field on which target mesh, and how. It owns its two ID arrays. The mapper and the transfers
// read the fields directly, so they are public.
class ZORMTK_EXPORT ZORMtkMapSpecs {
 public:
  // A request with no IDs. Its tags are the zero values until AddMapSpec sets them.
  ZORMtkMapSpecs();
  // Note the tag order: conservation before method, unlike AddMapSpec.
  ZORMtkMapSpecs(ZORSimDynamicID sourceField, ZORSimDynamicID targetField, Map_Tag tag,
                 Conserve_Tag conservation, MapMethod_Tag method, bool recorded,
                 bool withoutFallback);

  // Sets entry `position` of sourceFieldIDs, padding with empty IDs when the position lies
  // beyond the end. A negative position changes nothing.
  void AddSourceID(int position, ZORSimDynamicID id);
  // The same rule for sourceMeshIDs.
  void AddSourceMeshID(int position, ZORSimDynamicID id);

  int index;  // position in the mapper's request table; -1 while the request is in none
  ZORSimDynamicID targetFieldID;
  ZORSimArray<ZORSimDynamicID> sourceFieldIDs;  // entry 0 is read; MapNodalRatio reads 0 to 2
  ZORSimArray<ZORSimDynamicID> sourceMeshIDs;   // entry 0 selects the source reader
  ZORSimDynamicID targetMeshID;
  Map_Tag mapTag;
  MapMethod_Tag mapMethod;
  Conserve_Tag conserve;
  bool recordedFlag;  // kept for the host; nothing in the library reads it
  bool noFallback;    // part of the nodal weight cache key

 private:
  static void SetEntry(ZORSimArray<ZORSimDynamicID>& ids, int position, ZORSimDynamicID id);
};
