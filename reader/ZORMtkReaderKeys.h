#pragma once

// Schema type keys by which the reader reaches the objects of a source database, as the type
// indices that eds_InputFragmentTypeIndex gives for them (fragment * 1000 + index). The sides
// that go with the associations are written at each use.
namespace ZORMtkReaderKeys {
constexpr int kModel = 22005;                  // root -> model record
constexpr int kModelMesh = 19001;              // model record -> default mesh record
constexpr int kMeshNodes = 19043;              // mesh record -> node collection
constexpr int kMeshElements = 19038;           // mesh record -> element collection
constexpr int kMeshCoordinates = 19034;        // mesh record -> coordinate distribution
constexpr int kMeshConnectivity = 19033;       // mesh record -> connectivity set
constexpr int kMeshElementTypes = 19040;       // mesh record -> element-type set
constexpr int kElementTypeCollection = 19029;  // root -> element-type collection
constexpr int kComponentCollection = 11043;    // root -> component collection
constexpr int kHistory = 22011;                // root -> history record
constexpr int kHistorySteps = 14017;           // history record -> step records, int key
constexpr int kStepIncrements = 6038;          // step record -> step increment set
constexpr int kStepFields = 10031;             // step record -> field records
constexpr int kFirstAuxiliary = 20049;         // step record -> first auxiliary collection
constexpr int kSecondAuxiliary = 21033;        // root -> second auxiliary collection
constexpr int kIntegrationPoints = 21027;      // root -> integration-point collection
constexpr int kThirdAuxiliary = 11042;         // root -> third auxiliary collection

constexpr int kIncrementBearingStep = 14018;
constexpr int kStaticStep = 30016;
constexpr int kFieldRecord = 11062;
constexpr int kFieldTypeSymbol = 11037;

constexpr int kFieldFieldType = 11018;  // field record (end 0) - field-type symbol (end 1)
constexpr int kFieldOutputs = 11063;    // field record (end 0) - field output record (end 1)
constexpr int kOutputValues = 11070;    // field values record (end 0) - field output (end 1)
constexpr int kValuesDrawer = 11061;    // field drawer (end 0) - field values record (end 1)
}  // namespace ZORMtkReaderKeys
