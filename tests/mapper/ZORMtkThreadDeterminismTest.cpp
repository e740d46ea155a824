#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "TransferTestDatabases.h"
#include "api/ZORMtkDiagnosticTexts.h"
#include "mapper/ZORMtkMapper.h"
#include "support/ZORTestMeshes.h"

// The searches and transfers split the targets into chunks that threads take in any order; the
// joins must still give the bytes one thread gives: every stored value, the flags and every
// diagnostics text with its lists of points and coordinates in target order. Each problem has
// targets beyond the source, so the lists are long and cross many chunk boundaries.
namespace {

using zor_test_mesh::HexBox;
using zor_test_mesh::QuadGrid;
using zor_test_mesh::TestMesh;
using zor_test_mesh::TetBox;

struct Outcome {
  int flags = 0;
  std::vector<double> values;
  std::vector<std::string> texts;
};

// A smooth field that no element reproduces exactly, so the weights of a different element or
// a different summation order would show in the last bits.
std::vector<double> Wavy(const TestMesh& mesh, int components) {
  std::vector<double> values;
  for (int i = 0; i < mesh.NodeCount(); ++i)
    for (int c = 0; c < components; ++c)
      values.push_back(std::sin(3.1 * mesh.At(i, 0) + c) * std::cos(2.3 * mesh.At(i, 1)) +
                       std::exp(0.7 * mesh.At(i, 2)));
  return values;
}

struct Problem {
  const char* name;
  const char* field;
  TestMesh source;
  TestMesh target;
  Map_Tag tag;
  MapMethod_Tag method;
  int components;
  int points;  // integration points per element of a point field, 0 for a nodal one
};

Outcome MapAt(const Problem& problem, int threads) {
  transfertest::Mapping mapping{
      problem.source, problem.target,     Wavy(problem.source, problem.components),
      problem.tag,    problem.components, problem.points};
  mapping.method = problem.method;
  mapping.name = problem.field;
  ZORMtkMapper mapper;
  mapper.SetThreadCount(threads);
  Outcome outcome;
  outcome.values = mapping.Run(mapper);
  outcome.flags = mapping.flags;
  // The texts a host shows, and every list behind them in full (the texts show the first few).
  outcome.texts = ZORMtkDiagnosticTexts::Of(mapper);
  const ZORMtkDiagnosticsData& found = mapper.Diagnostics();
  for (const cow_List<int>* list : {&found.FailedPoints(), &found.MisalignedPoints(),
                                    &found.FailedElements(), &found.ConservedComponents()})
    outcome.texts.push_back(::testing::PrintToString(list->Items()));
  for (const cow_List<double>* list :
       {&found.FailedPointCoordinates(), &found.SourceSums(), &found.TargetSums()}) {
    outcome.values.push_back(list->Size());
    outcome.values.insert(outcome.values.end(), list->begin(), list->end());
  }
  return outcome;
}

bool SameBytes(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

TEST(ThreadDeterminismTest, EveryValueAndDiagnosticsTextIsTheSameAtOneTwoAndSevenThreads) {
  const std::vector<Problem> problems = {
      {"solids", "U_D", HexBox(7, 0.0, 1.0, 0.2), TetBox(10, -0.04, 1.06), MapNodeToNode,
       MethodShapeInterpolation, 3, 0},
      {"tetrahedra", "U_D", TetBox(6, 0.0, 1.0), HexBox(9, -0.05, 1.05, 0.0), MapNodeToNode,
       MethodShapeInterpolation, 2, 0},
      {"shells", "A_D", QuadGrid(9, 9, 0.0, 1.0, 0.0, 1.0, "S4R", 3, 0.0),
       QuadGrid(13, 11, -0.05, 1.05, 0.02, 1.04, "S4R", 3, 0.01), MapNodeToNode,
       MethodShapeInterpolation, 2, 0},
      {"points", "PRESS", QuadGrid(9, 9, 0.0, 1.0, 0.0, 1.0, "CPS4"),
       QuadGrid(12, 10, -0.05, 1.05, 0.01, 1.03, "CPE4"), MapNodeToIntPt, MethodShapeInterpolation,
       2, 4},
      {"nearest", "NT", HexBox(6, 0.0, 1.0, 0.2), TetBox(9, -0.1, 1.1), MapNodeToNode,
       MethodNearestNode, 1, 0},
  };
  for (const Problem& problem : problems) {
    SCOPED_TRACE(problem.name);
    const Outcome one = MapAt(problem, 1);
    // Targets beyond the source are reported; a problem without them would not test the lists.
    ASSERT_FALSE(one.texts.empty());
    for (const int threads : {2, 7}) {
      const Outcome many = MapAt(problem, threads);
      EXPECT_EQ(many.flags, one.flags) << threads;
      EXPECT_TRUE(SameBytes(many.values, one.values)) << threads << " threads";
      EXPECT_EQ(many.texts, one.texts) << threads;
    }
  }
}

}  // namespace
