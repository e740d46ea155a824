#include "mapper/ZORMtkMapper.h"
#include "mapper/impl/ZORMtkMappingContext.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "MapperTestHelpers.h"
#include "reader/ZORMtkSimReader.h"
#include "support/ZORTestSourceDatabase.h"
#include "writer/ZORMtkSimWriter.h"

namespace {

using IdList = std::vector<ZORSimDynamicID>;
IdList Ids(const ZORSimArray<ZORSimDynamicID>& ids) { return IdList(ids.begin(), ids.end()); }

// Everything a request holds, in one comparable value.
struct Request {
  Map_Tag tag;
  MapMethod_Tag method;
  Conserve_Tag conserve;
  IdList sourceMeshes;
  ZORSimDynamicID targetMesh;
};
auto Stored(const Request& r, const IdList& sourceFields, const ZORSimDynamicID& targetField,
            bool recorded, bool noFallback) {
  return std::make_tuple(r.tag, r.method, r.conserve, r.sourceMeshes, r.targetMesh, sourceFields,
                         targetField, recorded, noFallback);
}
auto Stored(const ZORMtkMapSpecs& s) {
  return Stored({s.mapTag, s.mapMethod, s.conserve, Ids(s.sourceMeshIDs), s.targetMeshID},
                Ids(s.sourceFieldIDs), s.targetFieldID, s.recordedFlag, s.noFallback);
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

// The environment overrides the default tolerances (text that is no number reads as zero); only
// the constructor without arguments notes a changed value, boundary before normal.
TEST(ZORMtkMapperTolerance, EnvironmentOverridesDefaultsAndTheDefaultConstructorNotesIt) {
  const std::string note = " Note: Co-Simulation Engine ";
  const std::string changed = " search tolerance changed to nondefault value of ";
  struct Case {
    const char* boundary;
    const char* normal;
    bool positional;
    double expectedBoundary, expectedNormal;
    std::string text;
  };
  const Case cases[] = {
      {nullptr, nullptr, false, 0.3, 0.5, ""},
      {"0.1", nullptr, false, 0.1, 0.5, note + "boundary" + changed + "0.1\n"},
      {"1e-3", "0.25", false, 1e-3, 0.25,
       note + "boundary" + changed + "0.001\n" + note + "normal" + changed + "0.25\n"},
      {nullptr, "tight", false, 0.3, 0.0, note + "normal" + changed + "0\n"},
      {"0.1", "0.7", true, 0.1, 0.7, ""},
  };
  for (const Case& c : cases) {
    const ScopedEnvironmentVariable boundary("ZORMTK_BOUNDARY_TOLERANCE", c.boundary),
        normal("ZORMTK_NORMAL_TOLERANCE", c.normal);
    CapturedStream errors(aio_cerr);
    const auto mapper = c.positional ? std::make_unique<ZORMtkMapper>(ZORSrvPosition())
                                     : std::make_unique<ZORMtkMapper>();
    EXPECT_EQ(mapper->BoundaryTolerance(), c.expectedBoundary) << c.text;
    EXPECT_EQ(mapper->NormalTolerance(), c.expectedNormal) << c.text;
    EXPECT_EQ(errors.Text(), c.text);
  }
}

TEST_F(ZORMtkMapperTest, DefineSearchToleranceKeepsAToleranceGivenAsZero) {
  mapper.DefineSearchTolerance(0.0, 0.2);
  EXPECT_EQ(mapper.BoundaryTolerance(), 0.3);
  EXPECT_EQ(mapper.NormalTolerance(), 0.2);
  mapper.DefineSearchTolerance(-0.4, 0.0);
  EXPECT_EQ(mapper.BoundaryTolerance(), -0.4);
  EXPECT_EQ(mapper.NormalTolerance(), 0.2);
}

// Each AddMapSpec form stores what it is given in its place: meshes only; one field per side;
// fields paired with meshes by position, a short field list leaving later meshes without one.
TEST_F(ZORMtkMapperTest, RequestsStoreEveryIDAndFlagInItsPlace) {
  mapper.AddMapSpec("meshes", MapIntPtToNode, MethodNearestNode, ConserveIntPt, kSourceMesh,
                    kTargetMesh);
  mapper.AddMapSpec("fields", MapNodeToIntPt, MethodShapeInterpolation, ConserveNodal, kSourceMesh,
                    kTargetMesh, kSourceField, kTargetField, false, true);
  const ZORSimArray<ZORSimDynamicID> meshes{Id(1, 1), Id(1, 2), Id(1, 3)};
  mapper.AddMapSpec("ratio", MapNodalRatio, MethodShapeInterpolation, ConserveNone, meshes,
                    kTargetMesh, ZORSimArray<ZORSimDynamicID>{Id(1, 4), Id(1, 5)}, kTargetField,
                    true, false);
  const ZORSimDynamicID none;
  EXPECT_EQ(Stored(mapper.Request(0)),
            Stored({MapIntPtToNode, MethodNearestNode, ConserveIntPt, {kSourceMesh}, kTargetMesh},
                   {}, none, false, false));
  EXPECT_EQ(
      Stored(mapper.Request(1)),
      Stored({MapNodeToIntPt, MethodShapeInterpolation, ConserveNodal, {kSourceMesh}, kTargetMesh},
             {kSourceField}, kTargetField, false, true));
  EXPECT_EQ(Stored(mapper.Request(2)), Stored({MapNodalRatio, MethodShapeInterpolation,
                                               ConserveNone, Ids(meshes), kTargetMesh},
                                              {Id(1, 4), Id(1, 5)}, kTargetField, true, false));
}

TEST_F(ZORMtkMapperTest, RequestTableGrowsPastItsCapacityAndANameAddedTwiceFindsTheNewer) {
  for (int i = 0; i < 130; ++i) AddRequest(("request " + std::to_string(i)).c_str(), 0, 0);
  AddRequest("request 7", 3, 0);
  EXPECT_EQ(mapper.RequestCount(), 131);
  EXPECT_EQ(mapper.RequestCapacity(), 100);
  EXPECT_EQ(mapper.FindRequest("request 129")->index, 129);
  EXPECT_EQ(mapper.FindRequest("request 7")->index, 130);
  EXPECT_EQ(mapper.FindRequest("request 7")->mapTag, MapIntPtToIntPt);
  EXPECT_EQ(mapper.Request(7).mapTag, MapNodeToNode);
}

// An unsupported map tag adds code 1 to the flags set before.
TEST_F(ZORMtkMapperTest, MapFieldReturnsFlagsAccumulatedSoFar) {
  mapper.Context().diagnostics.SetError(2);
  AddRequest("no such conservation", 0, 2);
  EXPECT_EQ(mapper.MapField("no such conservation", 1, 1, 1, 1), 2);
  for (const int tag : {4, 6, 7, 8, 10, -1}) {
    AddRequest("unsupported", tag, 0);
    EXPECT_EQ(mapper.MapField("unsupported", 1, 1, 1, 1), 3) << tag;
  }
  mapper.Context().diagnostics.ClearErrors();
  EXPECT_EQ(mapper.MapField("no such conservation", 1, 1, 1, 1), 0);
}

// MapField sets code 1 for a name it does not know; MapFieldMatrix returns 0 and sets nothing.
TEST_F(ZORMtkMapperTest, UnknownRequestNameIsNamedOnTheErrorStream) {
  CapturedStream errors(aio_cerr);
  EXPECT_EQ(mapper.MapFieldMatrix("temperature", 1, 1, 1, 1), 0);
  EXPECT_EQ(mapper.Diagnostics().ErrorFlags(), 0);
  EXPECT_EQ(mapper.MapField("temperature", 1, 1, 1, 1), 1);
  const std::string line = " ZORMtkMapper: no mapping request named \"temperature\"\n";
  EXPECT_EQ(errors.Text(), line + line);
}

TEST_F(ZORMtkMapperTest, TransfersWriteThroughTheFirstWriter) {
  EXPECT_EQ(mapper.Context().Writer(), nullptr);
  ZORMtkSimWriter first, second;
  mapper.SetWriter(&first);
  mapper.SetWriter(&second);
  EXPECT_EQ(mapper.WriterCount(), 2);
  EXPECT_EQ(mapper.Context().Writer(), &first);
}

// Readers are found by the mesh they were scoped to, across databases whose meshes share an
// object number; the first reader of a mesh wins.
TEST_F(ZORMtkMapperTest, FindsReadersByMeshAcrossDatabasesAndTheFirstReaderWins) {
  ZORTestSourceDatabase sourceDatabase, targetDatabase;
  const ZORSimDynamicID sourceMesh = sourceDatabase.AddHexBox(2, 1, 1, 1.0);
  const ZORSimDynamicID otherSourceMesh = sourceDatabase.AddHexBox(1, 1, 1, 1.0);
  const ZORSimDynamicID targetMesh = targetDatabase.AddHexBox(1, 1, 1, 1.0);
  ASSERT_EQ(sourceMesh.object, targetMesh.object);
  ZORMtkSimReader sourceReader, partReader, targetReader;
  sourceReader.SetScope(sourceDatabase.Root(), ScopeElementRegion, sourceMesh, {});
  partReader.SetScope(sourceDatabase.Root(), ScopeElementRegion, sourceMesh, {1});
  targetReader.SetScope(targetDatabase.Root(), ScopeElementRegion, targetMesh, {});
  for (ZORMtkSimReader* reader :
       {static_cast<ZORMtkSimReader*>(nullptr), &targetReader, &sourceReader, &partReader})
    mapper.SetReader(reader);
  EXPECT_EQ(mapper.ReaderCount(), 4);
  EXPECT_EQ(mapper.Context().FindReader(sourceMesh), &sourceReader);
  EXPECT_EQ(mapper.Context().FindReader(targetMesh), &targetReader);
  EXPECT_EQ(mapper.Context().FindReader(otherSourceMesh), nullptr);
  EXPECT_EQ(mapper.Context().FindReader(ZORSimDynamicID()), nullptr);
}
