#include <gtest/gtest.h>
#include <mpi.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "api/VtkCellGrid.h"
#include "api/ZORMtkArrayMapper.h"
#include "distributed/ZORMtkDistributedMapper.h"
#include "support/ZORTestMeshes.h"

namespace {

using vtkgrid::Cells;
using vtkgrid::MakeWhole;
using vtkgrid::Mesh;
using zor_test_mesh::Along;
using zor_test_mesh::Cross;
using zor_test_mesh::Minus;
using zor_test_mesh::Point;

// Random cut points: part r of `count` items is [cuts[r], cuts[r + 1]); parts may be empty.
std::vector<int> RandomCuts(int count, int parts, std::mt19937& random) {
  std::vector<int> cuts{0, count};
  std::uniform_int_distribution<int> anywhere(0, count);
  for (int r = 1; r < parts; ++r) cuts.push_back(anywhere(random));
  std::sort(cuts.begin(), cuts.end());
  return cuts;
}

// Cells first .. last - 1 of whole and the nodes they use, in the order they first use them;
// wholeNodes, if given, receives each node's index in whole.
Mesh PartOf(const Mesh& whole, int first, int last, std::vector<int>* wholeNodes = nullptr) {
  Mesh part;
  std::vector<int> local(whole.coords.size() / 3, -1);
  for (int c = first; c < last; ++c) {
    for (auto k = whole.offsets[c]; k < whole.offsets[c + 1]; ++k) {
      const int n = whole.connectivity[static_cast<std::size_t>(k)];
      if (local[static_cast<std::size_t>(n)] < 0) {
        local[static_cast<std::size_t>(n)] = static_cast<int>(part.coords.size() / 3);
        part.coords.insert(part.coords.end(), &whole.coords[3 * n], &whole.coords[3 * n + 3]);
        part.field.insert(part.field.end(), &whole.field[2 * n], &whole.field[2 * n + 2]);
        if (wholeNodes != nullptr) wholeNodes->push_back(n);
      }
      part.connectivity.push_back(local[static_cast<std::size_t>(n)]);
    }
    part.offsets.push_back(static_cast<std::int64_t>(part.connectivity.size()));
    part.types.push_back(whole.types[static_cast<std::size_t>(c)]);
  }
  return part;
}

ZORMtkMeshArrays PointsOf(const double* targets, int count) {
  ZORMtkMeshArrays points;
  points.coordinates = targets;
  points.nodeCount = count;
  return points;
}

// Maps the field of `source` to the target's points with either mapper.
template <class Mapper>
bool MapWith(Mapper& mapper, const Mesh& source, const ZORMtkMeshArrays& target,
             const ZORMtkArrayOptions& options, std::vector<double>& values) {
  values.assign(2 * static_cast<std::size_t>(target.nodeCount), 0.0);
  return mapper.SetSource(source.Arrays()) && mapper.SetTarget(target) &&
         mapper.SetOptions(options) &&
         mapper.Map(source.field.data(), static_cast<int>(source.field.size() / 2), 2,
                    values.data());
}

int Rank(int* size = nullptr) {
  int rank = 0;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  if (size != nullptr) MPI_Comm_size(MPI_COMM_WORLD, size);
  return rank;
}

// Moves the nodes beyond x = 2.5 of a box of 5 cells 40 along x and spreads the targets 8 times
// wider, so that some targets lie in buckets of the node grid that list no node (the cells
// between stretch; only the nearest-node method takes this mesh).
void OpenGap(Mesh& whole) {
  for (std::size_t i = 0; i < whole.coords.size(); i += 3)
    if (whole.coords[i] > 2.5) whole.coords[i] += 40.0;
  for (std::size_t i = 0; i < whole.targets.size(); i += 3) whole.targets[i] *= 8.0;
}

// Bends a plane mesh into a tilted, curved shell (z > 0 everywhere, so no part looks plane) and
// moves its targets off it, in turn, by nothing, within the strict and the relaxed normal reach
// and beyond it, to either side; targets on the middles of cell edges sit where facets of
// different parts tie.
void Bend(Mesh& whole) {
  const auto lift = [](double* x, double offset) {
    x[2] = 1.0 + 0.25 * x[0] + 0.04 * (x[1] - 4.5) * (x[1] - 4.5) + offset;
  };
  const double offsets[] = {0.0, 0.02, -0.05, 0.3, -0.7, 0.73, -0.77, -2.0};
  for (std::size_t i = 0; i < whole.coords.size(); i += 3) lift(&whole.coords[i], 0.0);
  for (std::size_t i = 0; i < whole.targets.size(); i += 3)
    lift(&whole.targets[i], offsets[i / 3 % 8]);
  for (std::size_t c = 0; c < whole.types.size(); ++c)
    for (int a = 0; a < 3; ++a)
      whole.targets.push_back((whole.coords[3 * whole.connectivity[whole.offsets[c]] + a] +
                               whole.coords[3 * whole.connectivity[whole.offsets[c] + 1] + a]) /
                              2.0);
}

// Bend, plus a target inside each triangle 5.5e-4 from the middle of the diagonal its cell's two
// triangles share, and 1e-4 off its plane to alternate sides: with the boundary tolerance 0.6, the
// other triangle accepts many of them only by clamping its weights, and is often the nearer.
void BendNearEdges(Mesh& whole) {
  Bend(whole);
  int triangle = 0;
  for (std::size_t c = 0; c < whole.types.size(); ++c) {
    if (whole.types[c] != 5) continue;
    // A cell's triangles are (0, 1, 2) and (0, 2, 3) of its corners: the diagonal is the edge
    // from node 0 to node 2 of the first, to node 1 of the second.
    const auto corner = [&](int k) {
      const double* x =
          &whole.coords[3 * static_cast<std::size_t>(whole.connectivity[whole.offsets[c] + k])];
      return Point{x[0], x[1], x[2]};
    };
    const int end = triangle++ % 2 == 0 ? 2 : 1;
    const Point a = corner(0), b = corner(end);
    const Point diagonal = Minus(b, a), normal = Cross(diagonal, Minus(corner(3 - end), a));
    // In the plane, perpendicular to the diagonal, towards the opposite corner: normal x diagonal.
    const Point inward = Along(Cross(normal, diagonal), 5.5e-4);
    const Point off = Along(normal, c % 2 == 0 ? 1e-4 : -1e-4);
    for (int k = 0; k < 3; ++k) whole.targets.push_back(0.5 * (a[k] + b[k]) + inward[k] + off[k]);
  }
}

bool IsPlane(const Mesh& whole) {
  for (std::size_t i = 2; i < whole.coords.size(); i += 3)
    if (whole.coords[i] != 0.0) return false;
  return true;
}

// x -> scale x + shift, z too unless the mesh is plane.
void Move(Mesh& whole, double scale, double shift) {
  const bool plane = IsPlane(whole);
  for (std::size_t i = 0; i < whole.coords.size(); ++i)
    if (i % 3 != 2 || !plane) whole.coords[i] = scale * whole.coords[i] + shift;
}

// A target mesh of n cells a side over the middle of a source of 2 n + 1, whose outer nodes then
// lie outside it.
void DoubleAndCentre(Mesh& whole) { Move(whole, 2.0, 0.5); }

// A target finer than the source: turned round, the search leaves target nodes without weight.
void HalveAndShift(Mesh& whole) { Move(whole, 0.5, 0.1); }

void DoubleAndBend(Mesh& whole) {
  DoubleAndCentre(whole);
  Bend(whole);
}

struct Case {
  const char* name;
  Cells cells;
  ElementChoice_Tag choice;
  double boundaryTolerance;
  MapMethod_Tag method = MethodShapeInterpolation;
  bool nearestFallback = false;
  void (*warp)(Mesh&) = nullptr;
  // Conservative mappings: the target mesh, of targetSize cells a side, warped.
  int targetSize = 0;
  Cells targetCells = Cells::Tet;
  void (*targetWarp)(Mesh&) = nullptr;
};

// The property: for random partitions of the cells and of the targets into as many parts as
// there are ranks, every rank's values (bit for bit), placed marks, source cells and the
// diagnostics equal one process's for the same targets.
TEST(DistributedMapper, GivesOneProcessResultsForRandomPartitions) {
  const Case cases[] = {
      {"hex8", Cells::Hex, ChoiceFirstAccepted, 0.0},
      {"tet4 first accepted", Cells::Tet, ChoiceFirstAccepted, 0.0},
      {"tet4 containing", Cells::Tet, ChoiceContaining, 0.0},
      {"hex, voxel and wedge, wide tolerance", Cells::Mixed, ChoiceFirstAccepted, 0.6},
      {"plane quads and triangles", Cells::Plane, ChoiceContaining, 0.0},
      {"plane lines, the nearest that holds the foot", Cells::Lines, ChoiceContaining, 0.0},
      {"hex8 nearest node", Cells::Hex, ChoiceFirstAccepted, 0.0, MethodNearestNode},
      {"hex8 nearest node across a gap", Cells::Hex, ChoiceFirstAccepted, 0.0, MethodNearestNode,
       false, OpenGap},
      {"plane nearest node", Cells::Plane, ChoiceFirstAccepted, 0.0, MethodNearestNode},
      {"tet4 nearest-node fallback", Cells::Tet, ChoiceContaining, 0.0, MethodShapeInterpolation,
       true},
      {"plane nearest-node fallback", Cells::Plane, ChoiceFirstAccepted, 0.0,
       MethodShapeInterpolation, true},
      {"shell quads and triangles", Cells::Plane, ChoiceFirstAccepted, 0.0,
       MethodShapeInterpolation, false, Bend},
      {"shell, wide tolerance, nearest-node fallback", Cells::Plane, ChoiceContaining, 0.6,
       MethodShapeInterpolation, true, Bend},
      {"shell triangles taking points only by clamping, containing", Cells::Plane, ChoiceContaining,
       0.6, MethodShapeInterpolation, false, BendNearEdges},
      {"shell nearest node", Cells::Plane, ChoiceFirstAccepted, 0.0, MethodNearestNode, false,
       Bend},
      {"conservative, hex8 onto coarser tets", Cells::Hex, ChoiceFirstAccepted, 0.0,
       MethodShapeInterpolation, false, nullptr, 2, Cells::Tet, DoubleAndCentre},
      {"conservative, tets onto coarser mixed cells, containing", Cells::Tet, ChoiceContaining, 0.0,
       MethodShapeInterpolation, true, nullptr, 2, Cells::Mixed, DoubleAndCentre},
      {"conservative, plane", Cells::Plane, ChoiceFirstAccepted, 0.0, MethodShapeInterpolation,
       false, nullptr, 4, Cells::Plane, DoubleAndCentre},
      {"conservative, hex8 onto finer tets: turned round", Cells::Hex, ChoiceFirstAccepted, 0.0,
       MethodShapeInterpolation, false, nullptr, 5, Cells::Tet, HalveAndShift},
      {"conservative, plane onto finer plane: turned round", Cells::Plane, ChoiceContaining, 0.0,
       MethodShapeInterpolation, false, nullptr, 9, Cells::Plane, HalveAndShift},
      {"conservative, nearest node", Cells::Hex, ChoiceFirstAccepted, 0.0, MethodNearestNode, false,
       nullptr, 2, Cells::Tet, DoubleAndCentre},
      {"conservative, shell onto coarser shell", Cells::Plane, ChoiceFirstAccepted, 0.0,
       MethodShapeInterpolation, false, Bend, 4, Cells::Plane, DoubleAndBend}};
  int size = 1;
  const int rank = Rank(&size);
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const bool plane = test.cells == Cells::Plane || test.cells == Cells::Lines;
    Mesh whole = MakeWhole(test.cells, plane ? 9 : 5, 7);
    if (test.warp != nullptr) test.warp(whole);
    // A conservative target is a mesh, numbered as the parts number it: by first use.
    const bool conservative = test.targetSize > 0;
    Mesh targetMesh = MakeWhole(test.targetCells, test.targetSize, 13);
    if (conservative) test.targetWarp(targetMesh);
    targetMesh = PartOf(targetMesh, 0, static_cast<int>(targetMesh.types.size()));
    const ZORMtkMeshArrays wholeTarget =
        conservative ? targetMesh.Arrays()
                     : PointsOf(whole.targets.data(), static_cast<int>(whole.targets.size() / 3));
    ZORMtkArrayOptions options;
    options.elementChoice = test.choice;
    options.boundaryTolerance = test.boundaryTolerance;
    options.unplacedFill = -7.0;
    options.method = test.method;
    options.nearestFallback = test.nearestFallback;
    options.conservative = conservative;
    ZORMtkArrayMapper one;
    std::vector<double> expected, values;
    ASSERT_TRUE(MapWith(one, PartOf(whole, 0, static_cast<int>(whole.types.size())), wholeTarget,
                        options, expected));
    // Unplaced or misaligned points, or unconserved sums, whose diagnostics must agree too; lines
    // accept every point, however far.
    ASSERT_EQ(one.Flags() == 0, test.cells == Cells::Lines);
    std::mt19937 random(11);
    for (int trial = 0; trial < 4; ++trial) {
      const std::vector<int> cellCuts =
          RandomCuts(static_cast<int>(whole.types.size()), size, random);
      const std::vector<int> targetCuts = RandomCuts(
          conservative ? static_cast<int>(targetMesh.types.size()) : wholeTarget.nodeCount, size,
          random);
      const Mesh part = PartOf(whole, cellCuts[rank], cellCuts[rank + 1]);
      // The whole target's index of each of this rank's targets.
      std::vector<int> wholeIndex;
      const Mesh targetPart =
          conservative ? PartOf(targetMesh, targetCuts[rank], targetCuts[rank + 1], &wholeIndex)
                       : Mesh();
      for (int t = targetCuts[rank]; t < targetCuts[rank + 1] && !conservative; ++t)
        wholeIndex.push_back(t);
      const ZORMtkMeshArrays targets = conservative
                                           ? targetPart.Arrays()
                                           : PointsOf(whole.targets.data() + 3 * targetCuts[rank],
                                                      targetCuts[rank + 1] - targetCuts[rank]);
      ZORMtkDistributedMapper mapper(MPI_COMM_WORLD);
      ASSERT_TRUE(MapWith(mapper, part, targets, options, values));
      // Non-fatal checks only: a rank that left the test early would leave the others waiting.
      const std::vector<int> cells = one.SourceElements();
      int differing = -1;
      for (int t = targets.nodeCount - 1; t >= 0; --t) {
        const std::size_t w = static_cast<std::size_t>(wholeIndex[static_cast<std::size_t>(t)]);
        if (values[2 * t] != expected[2 * w] || values[2 * t + 1] != expected[2 * w + 1] ||
            mapper.Placed()[t] != one.Placed()[w] || mapper.SourceCells()[t] != cells[w])
          differing = static_cast<int>(w);
      }
      EXPECT_EQ(differing, -1) << "first differing target, rank " << rank << ", trial " << trial;
      EXPECT_EQ(mapper.Flags(), one.Flags());
      EXPECT_EQ(mapper.DiagnosticTexts(), one.DiagnosticTexts());
    }
  }
}

// A part one rank cannot take fails the call on every rank, with that rank's reason.
TEST(DistributedMapper, RefusesOnEveryRankWhatOneRankCannotTake) {
  int size = 1;
  const int rank = Rank(&size);
  const Mesh whole = MakeWhole(Cells::Hex, 2, 3);
  Mesh part = PartOf(whole, rank == size - 1 ? 0 : 1, 1);
  const int badType = 42;
  if (rank == size - 1) part.types[0] = badType;
  ZORMtkDistributedMapper mapper(MPI_COMM_WORLD);
  const ZORMtkArrayStatus status = mapper.SetSource(part.Arrays());
  EXPECT_FALSE(status);
  EXPECT_NE(status.Message().find("cell 0 has VTK cell type 42"), std::string::npos)
      << status.Message();
  // A shell source (quadrilaterals out of the plane z = 0) with a line among them.
  Mesh shell = MakeWhole(Cells::Plane, 2, 3);
  for (std::size_t i = 2; i < shell.coords.size(); i += 3) shell.coords[i] = 1.0;
  shell.Add(3, {0, 1});
  const Mesh shellPart = PartOf(shell, rank == 0 ? 3 : 0, rank == 0 ? 6 : 0);
  EXPECT_NE(mapper.SetSource(shellPart.Arrays()).Message().find("shell"), std::string::npos);
  // Options must be rank 0's on every rank, but for the thread count, which is each rank's own.
  ZORMtkArrayOptions own;
  own.threads = rank + 1;
  EXPECT_TRUE(mapper.SetOptions(own));
  own.unplacedFill = rank == size - 1 && size > 1 ? -1.0 : 0.0;
  const ZORMtkArrayStatus differing = mapper.SetOptions(own);
  EXPECT_EQ(static_cast<bool>(differing), size == 1);
  EXPECT_EQ(differing.Message(), size == 1 ? ""
                                           : "rank " + std::to_string(size - 1) +
                                                 ": the options differ from rank 0's; every rank "
                                                 "passes the same options (the thread count may "
                                                 "differ)");
  // A conservative mapping takes the target as a mesh: not points alone, nor on one rank a part
  // with a node its cells do not use, nor cells the source could not be.
  ZORMtkDistributedMapper conservative(MPI_COMM_WORLD);
  ZORMtkArrayOptions options;
  options.conservative = true;
  Mesh target = PartOf(whole, rank == 0 ? 0 : 1, 1);
  EXPECT_TRUE(conservative.SetSource(target.Arrays()) && conservative.SetOptions(options));
  EXPECT_TRUE(conservative.SetTarget(PointsOf(target.coords.data(), target.Arrays().nodeCount)));
  EXPECT_NE(conservative.ComputeWeights().Message().find("target mesh with cells"),
            std::string::npos);
  if (rank == size - 1) target.coords.insert(target.coords.end(), {9.0, 9.0, 9.0});
  EXPECT_TRUE(conservative.SetTarget(target.Arrays()));
  EXPECT_NE(conservative.ComputeWeights().Message().find("the nodes its cells use"),
            std::string::npos);
  // The target's cells face the source's checks: shells beside a line.
  EXPECT_TRUE(conservative.SetTarget(shellPart.Arrays()));
  EXPECT_NE(conservative.ComputeWeights().Message().find("target mixes"), std::string::npos);
}

}  // namespace

int main(int argc, char** argv) {
  MPI_Init(&argc, &argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int failed = RUN_ALL_TESTS();
  int anyFailed = 0;
  MPI_Allreduce(&failed, &anyFailed, 1, MPI_INT, MPI_MAX, MPI_COMM_WORLD);
  MPI_Finalize();
  return anyFailed;
}
