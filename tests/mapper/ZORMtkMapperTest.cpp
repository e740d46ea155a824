#include "mapper/ZORMtkMapper.h"
#include "mapper/impl/ZORMtkMappingContext.h"

#include <gtest/gtest.h>

#include <string>

#include "MapperTestHelpers.h"
#include "reader/ZORMtkSimReader.h"
#include "support/ZORTestSourceDatabase.h"
#include "writer/ZORMtkSimWriter.h"

namespace {

ZORSimDynamicID Id(int leading, std::int64_t object) {
  ZORSimDynamicID id;
  id.leading = leading;
  id.object = object;
  return id;
}

const ZORSimDynamicID kSourceMesh = Id(1, 11);
const ZORSimDynamicID kTargetMesh = Id(2, 22);
const ZORSimDynamicID kSourceField = Id(1, 33);
const ZORSimDynamicID kTargetField = Id(2, 44);

// A mapper built with the positional constructor, so that no note reaches the test output.
class ZORMtkMapperTest : public ::testing::Test {
 protected:
  void AddRequest(const char* name, int mapTag, int conserve) {
    mapper.AddMapSpec(name, static_cast<Map_Tag>(mapTag), MethodShapeInterpolation,
                      static_cast<Conserve_Tag>(conserve), kSourceMesh, kTargetMesh, kSourceField,
                      kTargetField, false, false);
  }

  ZORMtkMapper mapper{ZORSrvPosition()};
};

}  // namespace

// Tolerances and their notes.

TEST(ZORMtkMapperTolerance, DefaultsWithoutEnvironmentAndNoNote) {
  CapturedStream errors(aio_cerr);
  const ZORMtkMapper mapper;
  EXPECT_EQ(mapper.BoundaryTolerance(), 0.3);
  EXPECT_EQ(mapper.NormalTolerance(), 0.5);
  EXPECT_EQ(errors.Text(), "");
}

TEST(ZORMtkMapperTolerance, ConstructorWithoutArgumentsNotesBoundaryValue) {
  ScopedEnvironmentVariable boundary("ZORMTK_BOUNDARY_TOLERANCE", "0.1");
  CapturedStream errors(aio_cerr);
  const ZORMtkMapper mapper;
  EXPECT_EQ(mapper.BoundaryTolerance(), 0.1);
  EXPECT_EQ(mapper.NormalTolerance(), 0.5);
  EXPECT_EQ(errors.Text(),
            " Note: Co-Simulation Engine boundary search tolerance changed to nondefault value of "
            "0.1\n");
}

TEST(ZORMtkMapperTolerance, BothNotesInBoundaryNormalOrder) {
  ScopedEnvironmentVariable normal("ZORMTK_NORMAL_TOLERANCE", "0.25");
  ScopedEnvironmentVariable boundary("ZORMTK_BOUNDARY_TOLERANCE", "1e-3");
  CapturedStream errors(aio_cerr);
  const ZORMtkMapper mapper;
  EXPECT_EQ(mapper.BoundaryTolerance(), 1e-3);
  EXPECT_EQ(mapper.NormalTolerance(), 0.25);
  EXPECT_EQ(errors.Text(),
            " Note: Co-Simulation Engine boundary search tolerance changed to nondefault value of "
            "0.001\n"
            " Note: Co-Simulation Engine normal search tolerance changed to nondefault value of "
            "0.25\n");
}

TEST(ZORMtkMapperTolerance, PositionalConstructorReadsEnvironmentSilently) {
  ScopedEnvironmentVariable boundary("ZORMTK_BOUNDARY_TOLERANCE", "0.1");
  ScopedEnvironmentVariable normal("ZORMTK_NORMAL_TOLERANCE", "0.7");
  CapturedStream errors(aio_cerr);
  const ZORMtkMapper mapper{ZORSrvPosition()};
  EXPECT_EQ(mapper.BoundaryTolerance(), 0.1);
  EXPECT_EQ(mapper.NormalTolerance(), 0.7);
  EXPECT_EQ(errors.Text(), "");
}

TEST(ZORMtkMapperTolerance, TextThatIsNoNumberGivesZero) {
  ScopedEnvironmentVariable normal("ZORMTK_NORMAL_TOLERANCE", "tight");
  CapturedStream errors(aio_cerr);
  const ZORMtkMapper mapper;
  EXPECT_EQ(mapper.NormalTolerance(), 0.0);
  EXPECT_EQ(errors.Text(),
            " Note: Co-Simulation Engine normal search tolerance changed to nondefault value of "
            "0\n");
}

TEST_F(ZORMtkMapperTest, DefineSearchToleranceKeepsAToleranceGivenAsZero) {
  mapper.DefineSearchTolerance(0.0, 0.2);
  EXPECT_EQ(mapper.BoundaryTolerance(), 0.3);
  EXPECT_EQ(mapper.NormalTolerance(), 0.2);
  mapper.DefineSearchTolerance(0.0, 0.0);
  EXPECT_EQ(mapper.BoundaryTolerance(), 0.3);
  EXPECT_EQ(mapper.NormalTolerance(), 0.2);
  mapper.DefineSearchTolerance(-0.4, 0.0);
  EXPECT_EQ(mapper.BoundaryTolerance(), -0.4);
  EXPECT_EQ(mapper.NormalTolerance(), 0.2);
}

// Requests.

TEST_F(ZORMtkMapperTest, SixArgumentRequestStoresMeshesAndTagsButNoFields) {
  mapper.AddMapSpec("mesh only", MapIntPtToNode, MethodNearestNode, ConserveIntPt, kSourceMesh,
                    kTargetMesh);
  const ZORMtkMapSpecs& request = mapper.Request(0);
  EXPECT_EQ(request.mapTag, MapIntPtToNode);
  EXPECT_EQ(request.mapMethod, MethodNearestNode);
  EXPECT_EQ(request.conserve, ConserveIntPt);
  ASSERT_EQ(request.sourceMeshIDs.Size(), 1);
  EXPECT_EQ(request.sourceMeshIDs[0], kSourceMesh);
  EXPECT_EQ(request.targetMeshID, kTargetMesh);
  EXPECT_EQ(request.sourceFieldIDs.Size(), 0);
  EXPECT_TRUE(request.targetFieldID.IsEmpty());
  EXPECT_FALSE(request.recordedFlag);
  EXPECT_FALSE(request.noFallback);
}

TEST_F(ZORMtkMapperTest, TenArgumentRequestStoresEveryIDAndFlagInItsPlace) {
  mapper.AddMapSpec("fields", MapNodeToIntPt, MethodNearestNode, ConserveNodal, kSourceMesh,
                    kTargetMesh, kSourceField, kTargetField, false, true);
  const ZORMtkMapSpecs& request = mapper.Request(0);
  EXPECT_EQ(request.mapTag, MapNodeToIntPt);
  EXPECT_EQ(request.mapMethod, MethodNearestNode);
  EXPECT_EQ(request.conserve, ConserveNodal);
  ASSERT_EQ(request.sourceFieldIDs.Size(), 1);
  EXPECT_EQ(request.sourceFieldIDs[0], kSourceField);
  EXPECT_EQ(request.targetFieldID, kTargetField);
  ASSERT_EQ(request.sourceMeshIDs.Size(), 1);
  EXPECT_EQ(request.sourceMeshIDs[0], kSourceMesh);
  EXPECT_EQ(request.targetMeshID, kTargetMesh);
  EXPECT_FALSE(request.recordedFlag);
  EXPECT_TRUE(request.noFallback);
}

TEST_F(ZORMtkMapperTest, ArrayRequestPairsFieldsWithMeshesByPosition) {
  const ZORSimArray<ZORSimDynamicID> meshes{Id(1, 1), Id(1, 2), Id(1, 3)};
  const ZORSimArray<ZORSimDynamicID> fields{Id(1, 4), Id(1, 5), Id(1, 6)};
  mapper.AddMapSpec("ratio", MapNodalRatio, MethodShapeInterpolation, ConserveNone, meshes,
                    kTargetMesh, fields, kTargetField, true, false);
  const ZORMtkMapSpecs& request = mapper.Request(0);
  ASSERT_EQ(request.sourceMeshIDs.Size(), 3);
  ASSERT_EQ(request.sourceFieldIDs.Size(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(request.sourceMeshIDs[i], meshes[i]) << i;
    EXPECT_EQ(request.sourceFieldIDs[i], fields[i]) << i;
  }
  EXPECT_EQ(request.targetMeshID, kTargetMesh);
  EXPECT_EQ(request.targetFieldID, kTargetField);
  EXPECT_TRUE(request.recordedFlag);
  EXPECT_FALSE(request.noFallback);
}

TEST_F(ZORMtkMapperTest, ArrayRequestWithFewerFieldsThanMeshesStoresEveryMesh) {
  mapper.AddMapSpec("short", MapNodeToNode, MethodShapeInterpolation, ConserveNone,
                    ZORSimArray<ZORSimDynamicID>{Id(1, 1), Id(1, 2)}, kTargetMesh,
                    ZORSimArray<ZORSimDynamicID>{Id(1, 4)}, kTargetField, false, false);
  const ZORMtkMapSpecs& request = mapper.Request(0);
  EXPECT_EQ(request.sourceMeshIDs.Size(), 2);
  ASSERT_EQ(request.sourceFieldIDs.Size(), 1);
  EXPECT_EQ(request.sourceFieldIDs[0], Id(1, 4));
}

TEST_F(ZORMtkMapperTest, NameAddedTwiceFindsTheNewerRequest) {
  AddRequest("pressure", 0, 0);
  AddRequest("pressure", 3, 0);
  ASSERT_EQ(mapper.RequestCount(), 2);
  EXPECT_EQ(mapper.FindRequest("pressure")->index, 1);
  EXPECT_EQ(mapper.FindRequest("pressure")->mapTag, MapIntPtToIntPt);
  EXPECT_EQ(mapper.Request(0).mapTag, MapNodeToNode);
}

TEST_F(ZORMtkMapperTest, RequestTableGrowsPastItsCapacity) {
  for (int i = 0; i < 130; ++i) AddRequest(("request " + std::to_string(i)).c_str(), 0, 0);
  EXPECT_EQ(mapper.RequestCount(), 130);
  EXPECT_EQ(mapper.RequestCapacity(), 100);
  EXPECT_EQ(mapper.FindRequest("request 0")->index, 0);
  EXPECT_EQ(mapper.FindRequest("request 129")->index, 129);
}

// Host buffers.

TEST_F(ZORMtkMapperTest, HostBuffersAreSetAndClearedTogether) {
  EXPECT_EQ(mapper.Context().buffers.input, nullptr);
  EXPECT_EQ(mapper.Context().buffers.output, nullptr);
  const double input[6] = {};
  double output[6] = {};
  mapper.SetHostBuffers(input, 3, output);
  EXPECT_EQ(mapper.Context().buffers.input, input);
  EXPECT_EQ(mapper.Context().buffers.inputComponents, 3);
  EXPECT_EQ(mapper.Context().buffers.output, output);
  mapper.SetHostBuffers(nullptr, 0, nullptr);
  EXPECT_EQ(mapper.Context().buffers.input, nullptr);
  EXPECT_EQ(mapper.Context().buffers.inputComponents, 0);
  EXPECT_EQ(mapper.Context().buffers.output, nullptr);
}

// MapField and MapFieldMatrix.

TEST_F(ZORMtkMapperTest, UnsupportedMapTagsSetCodeOne) {
  for (const int tag : {4, 6, 7, 8, 10, -1}) {
    SCOPED_TRACE(tag);
    ZORMtkMapper fresh{ZORSrvPosition()};
    fresh.AddMapSpec("odd", static_cast<Map_Tag>(tag), MethodShapeInterpolation, ConserveNone,
                     kSourceMesh, kTargetMesh, kSourceField, kTargetField, false, false);
    EXPECT_EQ(fresh.MapField("odd", 1, 1, 1, 1), 1);
    cow_List<int> codes;
    EXPECT_EQ(fresh.ListErrors(codes), 1);
    EXPECT_EQ(codes, cow_List<int>{1});
  }
}

TEST_F(ZORMtkMapperTest, MapFieldReturnsFlagsAccumulatedSoFar) {
  mapper.Context().diagnostics.SetError(2);
  AddRequest("no such conservation", 0, 2);
  EXPECT_EQ(mapper.MapField("no such conservation", 1, 1, 1, 1), 2);
  AddRequest("unsupported", 4, 0);
  EXPECT_EQ(mapper.MapField("unsupported", 1, 1, 1, 1), 3);
  EXPECT_EQ(mapper.MapField("no such conservation", 1, 1, 1, 1), 3);
  mapper.Context().diagnostics.ClearErrors();
  EXPECT_EQ(mapper.MapField("no such conservation", 1, 1, 1, 1), 0);
}

TEST_F(ZORMtkMapperTest, MapFieldWithUnknownNameSetsCodeOneAndNamesTheRequest) {
  CapturedStream errors(aio_cerr);
  EXPECT_EQ(mapper.MapField("temperature", 1, 1, 1, 1), 1);
  EXPECT_EQ(errors.Text(), " ZORMtkMapper: no mapping request named \"temperature\"\n");
}

TEST_F(ZORMtkMapperTest, MapFieldMatrixWithUnknownNameReturnsZeroAndSetsNothing) {
  CapturedStream errors(aio_cerr);
  EXPECT_EQ(mapper.MapFieldMatrix("temperature", 1, 1, 1, 1), 0);
  EXPECT_EQ(errors.Text(), " ZORMtkMapper: no mapping request named \"temperature\"\n");
  EXPECT_EQ(mapper.Diagnostics().ErrorFlags(), 0);
}

// Diagnostics through the mapper.

TEST_F(ZORMtkMapperTest, ErrorReportsComeFromTheEmbeddedStore) {
  mapper.Context().diagnostics.SetError(2);
  mapper.Context().diagnostics.AddFailedPoint(5);
  mapper.Context().diagnostics.AddFailedPoint(9);
  cow_List<int> codes;
  ASSERT_EQ(mapper.ListErrors(codes), 1);
  cow_String message;
  cow_List<int> ints;
  cow_List<double> doubles;
  mapper.ProcessError(codes[0], message, ints, doubles);
  EXPECT_EQ(message.Str(), "search failed for the following target points: ");
  EXPECT_EQ(ints, (cow_List<int>{5, 9}));
  EXPECT_TRUE(doubles.IsEmpty());
  cow_String text = message.Str() + "%LI";
  mapper.ProcessErrorMessage(text, ints, doubles);
  EXPECT_EQ(text.Str(), "search failed for the following target points: 5, 9");
}

// Writers.

TEST_F(ZORMtkMapperTest, TransfersWriteThroughTheFirstWriter) {
  EXPECT_EQ(mapper.Context().Writer(), nullptr);
  ZORMtkSimWriter first;
  ZORMtkSimWriter second;
  mapper.SetWriter(&first);
  mapper.SetWriter(&second);
  EXPECT_EQ(mapper.WriterCount(), 2);
  EXPECT_EQ(mapper.Context().Writer(), &first);
}

// Readers, chosen by the mesh they were scoped to.

TEST_F(ZORMtkMapperTest, FindsReadersByMeshAcrossSourceAndTargetDatabases) {
  ZORTestSourceDatabase sourceDatabase;
  ZORTestSourceDatabase targetDatabase;
  const ZORSimDynamicID sourceMesh = sourceDatabase.AddHexBox(2, 1, 1, 1.0);
  const ZORSimDynamicID otherSourceMesh = sourceDatabase.AddHexBox(1, 1, 1, 1.0);
  const ZORSimDynamicID targetMesh = targetDatabase.AddHexBox(1, 1, 1, 1.0);
  // Both databases number their first mesh alike; only the database part of the ID differs.
  ASSERT_EQ(sourceMesh.object, targetMesh.object);
  ZORMtkSimReader sourceReader;
  ZORMtkSimReader targetReader;
  sourceReader.SetScope(sourceDatabase.Root(), ScopeElementRegion, sourceMesh, {});
  targetReader.SetScope(targetDatabase.Root(), ScopeElementRegion, targetMesh, {});
  mapper.SetReader(&targetReader);
  mapper.SetReader(&sourceReader);
  EXPECT_EQ(mapper.ReaderCount(), 2);
  ASSERT_EQ(mapper.Context().FindReader(sourceMesh), &sourceReader);
  ASSERT_EQ(mapper.Context().FindReader(targetMesh), &targetReader);
  EXPECT_EQ(mapper.Context().FindReader(sourceMesh)->numNodes, 12);
  EXPECT_EQ(mapper.Context().FindReader(targetMesh)->numNodes, 8);
  EXPECT_EQ(mapper.Context().FindReader(otherSourceMesh), nullptr);
  EXPECT_EQ(mapper.Context().FindReader(ZORSimDynamicID()), nullptr);
}

TEST_F(ZORMtkMapperTest, FirstReaderOfAMeshWins) {
  ZORTestSourceDatabase database;
  const ZORSimDynamicID mesh = database.AddHexBox(2, 1, 1, 1.0);
  ZORMtkSimReader whole;
  ZORMtkSimReader part;
  whole.SetScope(database.Root(), ScopeElementRegion, mesh, {});
  part.SetScope(database.Root(), ScopeElementRegion, mesh, {1});
  mapper.SetReader(nullptr);
  mapper.SetReader(&whole);
  mapper.SetReader(&part);
  EXPECT_EQ(mapper.Context().FindReader(mesh), &whole);
}
