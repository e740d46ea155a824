#pragma once

// The exported API of the field-mapping library: everything a simulation host needs, and
// nothing else. Internal headers are not part of the contract.

// Platform: containers, strings, streams and the simulation database seam.
#include "platform/ZORPlatform.h"

// Element knowledge: shapes, shape functions, integration points.
#include "element/ZORMtkElementData.h"
#include "element/ZORMtkShp.h"

// Geometry, search and weights.
#include "search/ZORMtkGeom.h"
#include "search/ZORMtkMeshElemB.h"

// Source database reading.
#include "reader/ZORMtkSimReader.h"

// Target database writing.
#include "writer/ZORMtkSimWriter.h"

// Mapping engine.
#include "mapper/ZORGfmApiLifeCycle.h"
#include "mapper/ZORMtkDiagnosticsData.h"
#include "mapper/ZORMtkMapSpecs.h"
#include "mapper/ZORMtkMapper.h"

// Arrays in, arrays out: meshes and fields as a host holds them, and databases read into arrays.
#include "api/ZORMtkArrayMapper.h"
#include "api/ZORMtkDiagnosticTexts.h"
#include "api/ZORMtkElementShapeCheck.h"
#include "api/ZORMtkSimCatalog.h"
#include "api/ZORMtkSimFile.h"
#include "api/ZORMtkVtkCells.h"
