#include "platform/ZORSimSchemaSource.h"

// The schema of this project's simulation databases. Record tags of the data dictionary that are
// named here get these types; association names double as the tags of the document's link
// records, with the attribute that stands at end 0 and the one at end 1.
const char* eds_SSDLallSource_Get() {
  return R"(# records
record 22 6 Context
record 22 17 HistoryRecord
record 14 18 IncrementBearingStep
record 30 16 StaticStep
record 6 30 Step isa 14 18
record 19 31 Mesh
record 19 30 ElementType
record 11 62 FieldRecord
record 19 57 NodalFieldRecord isa 11 62
record 11 11 IntegrationPointFieldRecord isa 11 62
record 11 68 FieldOutput
record 11 60 FieldValues
record 11 37 FieldTypePrimary
record 11 36 Component
# collections, distributions, data sets
collection 10 34 IncrementCollection
collection 19 54 NodeCollection
collection 19 13 ElementCollection
distribution 10 35 IncrementDistribution
distribution 19 55 CoordinateDistribution
distribution 19 22 ConnectivityDistribution
dset 19 23 ConnectivitySet
dset 19 28 ElementTypeSet
# associations: name, attribute at end 0, attribute at end 1
association 22 5 FocusContext context focus
association 22 11 RootHistory root history
association 14 17 HistorySteps history step
association 14 16 HistoryStepsByName history step
association 6 38 StepIncrementSet step increments
association 19 1 ModelMeshes model mesh
association 19 43 MeshNodes mesh nodes
association 19 38 MeshElements elements mesh
association 19 34 MeshCoordinates coordinates mesh
association 19 33 MeshConnectivity connectivity mesh
association 19 40 MeshElementTypes elementTypes mesh
association 19 29 FocusElementTypeCollection elementTypes focus
association 21 28 FocusPointCollection focus points
association 11 43 FocusComponentCollection components focus
association 11 44 FocusFieldTypeCollection fieldTypes focus
association 21 27 FocusQuadratureCollection focus quadratures
association 21 33 FocusSectPointCollection focus sectPoints
association 11 42 FocusComplexNumberPartCollection complexNumberParts focus
association 20 49 HistoryLimitTypes limitTypes history
association 11 18 FieldFieldType field fieldType
association 10 31 FieldStep field step
association 11 63 FieldOutputs field output
association 11 70 OutputValues values output
association 11 61 ValuesDrawer drawer values
association 19 70 NamedElementSets root elementSet
)";
}
