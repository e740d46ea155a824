#pragma once

// The schema type keys of a simulation database, named once for every layer that reads or
// writes one. A key (fragment, index) is the type index fragment * 1000 + index, the value
// eds_InputFragmentTypeIndex gives; association keys note the side taken from the named owner.
namespace ZORSimKeys {

constexpr int Key(int fragment, int index) { return fragment * 1000 + index; }

// Associations from the root position.
constexpr int kModel = Key(22, 5);                   // side 0: model record
constexpr int kHistory = Key(22, 11);                // side 1: history record
constexpr int kElementTypeCollection = Key(19, 29);  // side 0: element-type collection
constexpr int kComponentCollection = Key(11, 43);    // side 0: component collection
constexpr int kFieldTypeCollection = Key(11, 44);    // side 0: field-type collection
constexpr int kPointCollection = Key(21, 28);        // side 1: element point collection
constexpr int kIntegrationPoints = Key(21, 27);      // side 1: integration-point collection
constexpr int kSecondAuxiliary = Key(21, 33);        // side 1: second auxiliary dimension
constexpr int kThirdAuxiliary = Key(11, 42);         // side 0: third auxiliary dimension
constexpr int kNamedElementSets = Key(19, 70);       // side 1, string key: named element sets

// Model and mesh.
constexpr int kModelMesh = Key(19, 1);          // model record, side 1: default mesh record
constexpr int kMeshNodes = Key(19, 43);         // mesh record, side 1: node collection
constexpr int kMeshElements = Key(19, 38);      // mesh record, side 0: element collection
constexpr int kMeshCoordinates = Key(19, 34);   // mesh record, side 0: coordinate distribution
constexpr int kMeshConnectivity = Key(19, 33);  // mesh record, side 0: connectivity set
constexpr int kMeshElementTypes = Key(19, 40);  // mesh record, side 0: element-type set

// History and steps.
constexpr int kHistorySteps = Key(14, 17);      // history record, side 1, int key: steps
constexpr int kHistoryStepNames = Key(14, 16);  // history record, side 1, string key: steps
constexpr int kStepIncrements = Key(6, 38);     // step record, side 1: increment set
constexpr int kStepFields = Key(10, 31);        // step record side 0, field record side 1
constexpr int kFirstAuxiliary = Key(20, 49);    // step or history record, side 0

// Fields.
constexpr int kFieldFieldType = Key(11, 18);  // field record, side 1: field-type symbol
constexpr int kFieldOutputs = Key(11, 63);    // field record, side 1: field output record
constexpr int kOutputValues = Key(11, 70);    // field output record, side 0: values record
constexpr int kValuesDrawer = Key(11, 61);    // field values record, side 0: field drawer

// Record types.
constexpr int kHistoryRecord = Key(22, 17);
constexpr int kStepRecord = Key(6, 30);
constexpr int kIncrementBearingStep = Key(14, 18);
constexpr int kStaticStep = Key(30, 16);
constexpr int kMeshRecord = Key(19, 31);
constexpr int kFieldRecord = Key(11, 62);
constexpr int kNodalFieldType = Key(19, 57);
constexpr int kIntPtFieldType = Key(11, 11);
constexpr int kFieldOutputRecord = Key(11, 68);
constexpr int kFieldValuesRecord = Key(11, 60);
constexpr int kFieldTypeSymbol = Key(11, 37);

// Collection, distribution and data-set types.
constexpr int kIncrementCollectionType = Key(10, 34);
constexpr int kIncrementDistributionType = Key(10, 35);
constexpr int kNodeCollectionType = Key(19, 54);
constexpr int kElementCollectionType = Key(19, 13);
constexpr int kCoordinateDistributionType = Key(19, 55);
constexpr int kConnectivitySetType = Key(19, 23);
constexpr int kConnectivityDistributionType = Key(19, 22);
constexpr int kElementTypeSetType = Key(19, 28);

}  // namespace ZORSimKeys
