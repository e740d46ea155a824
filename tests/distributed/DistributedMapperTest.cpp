#include <gtest/gtest.h>
#include <mpi.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "api/ZORMtkArrayMapper.h"
#include "distributed/ZORMtkDistributedMapper.h"

namespace {

// A whole problem every rank builds alike: a perturbed box of n^3 cells (or a plane of n^2),
// VTK cells of the kind asked for, and targets that sit on nodes (so on the faces the parts
// share), on face middles, inside cells and well outside the mesh.
enum class Cells { Hex, Tet, Mixed, Plane };

struct Whole {
  std::vector<double> coords;
  std::vector<int> connectivity;
  std::vector<std::int64_t> offsets{0};
  std::vector<std::uint8_t> types;
  std::vector<double> targets;
  std::vector<double> field;  // two components per node
};

void AddCell(Whole& whole, std::uint8_t type, std::initializer_list<int> nodes) {
  whole.connectivity.insert(whole.connectivity.end(), nodes);
  whole.offsets.push_back(static_cast<std::int64_t>(whole.connectivity.size()));
  whole.types.push_back(type);
}

// Hexahedron c of corner nodes v[0..7] (VTK order) as one or more cells of the kind asked.
void AddHexCell(Whole& whole, Cells kind, int c, const int* v) {
  if (kind == Cells::Hex || (kind == Cells::Mixed && c % 3 == 2)) {
    AddCell(whole, 12, {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]});
  } else if (kind == Cells::Mixed && c % 3 == 0) {
    AddCell(whole, 11, {v[0], v[1], v[3], v[2], v[4], v[5], v[7], v[6]});  // the same, as a voxel
  } else if (kind == Cells::Mixed) {
    AddCell(whole, 13, {v[0], v[1], v[2], v[4], v[5], v[6]});
    AddCell(whole, 13, {v[0], v[2], v[3], v[4], v[6], v[7]});
  } else {
    // Six tetrahedra around the diagonal 0-6.
    const int ring[] = {1, 2, 3, 7, 4, 5, 1};
    for (int k = 0; k < 6; ++k) AddCell(whole, 10, {v[0], v[ring[k]], v[ring[k + 1]], v[6]});
  }
}

Whole MakeWhole(Cells kind, int n, unsigned seed) {
  Whole whole;
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> wobble(-0.2, 0.2);
  const int layers = kind == Cells::Plane ? 1 : n + 1;
  const auto node = [n](int i, int j, int k) { return (k * (n + 1) + j) * (n + 1) + i; };
  for (int k = 0; k < layers; ++k)
    for (int j = 0; j <= n; ++j)
      for (int i = 0; i <= n; ++i) {
        const bool inner = i > 0 && j > 0 && i < n && j < n && (layers == 1 || (k > 0 && k < n));
        const double x[3] = {i + (inner ? wobble(random) : 0.0), j + (inner ? wobble(random) : 0.0),
                             k + (inner && layers > 1 ? wobble(random) : 0.0)};
        whole.coords.insert(whole.coords.end(), x, x + 3);
        whole.field.push_back(std::sin(x[0]) + x[1] * x[2]);
        whole.field.push_back(x[0] * x[0] - 2.0 * x[1]);
      }
  for (int k = 0; k < std::max(1, layers - 1); ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) {
        const int c = (k * n + j) * n + i;
        if (kind == Cells::Plane) {
          const int q[] = {node(i, j, 0), node(i + 1, j, 0), node(i + 1, j + 1, 0),
                           node(i, j + 1, 0)};
          if (c % 4 == 0) {
            AddCell(whole, 5, {q[0], q[1], q[2]});
            AddCell(whole, 5, {q[0], q[2], q[3]});
          } else {
            AddCell(whole, 9, {q[0], q[1], q[2], q[3]});
          }
          continue;
        }
        const int v[] = {node(i, j, k),
                         node(i + 1, j, k),
                         node(i + 1, j + 1, k),
                         node(i, j + 1, k),
                         node(i, j, k + 1),
                         node(i + 1, j, k + 1),
                         node(i + 1, j + 1, k + 1),
                         node(i, j + 1, k + 1)};
        AddHexCell(whole, kind, c, v);
      }
  // Every node, then points on a lattice that reaches half a cell and two cells beyond the box.
  whole.targets = whole.coords;
  std::uniform_real_distribution<double> anywhere(-2.0, n + 2.0);
  for (int p = 0; p < 40 * n; ++p) {
    const double x[3] = {std::round(2 * anywhere(random)) / 2, anywhere(random),
                         kind == Cells::Plane ? 0.0 : std::round(2 * anywhere(random)) / 2};
    whole.targets.insert(whole.targets.end(), x, x + 3);
  }
  return whole;
}

// Random cut points: part r of `count` items is [cuts[r], cuts[r + 1]); parts may be empty.
std::vector<int> RandomCuts(int count, int parts, std::mt19937& random) {
  std::vector<int> cuts{0, count};
  std::uniform_int_distribution<int> anywhere(0, count);
  for (int r = 1; r < parts; ++r) cuts.push_back(anywhere(random));
  std::sort(cuts.begin(), cuts.end());
  return cuts;
}

// This rank's cells [first, last) of the whole, with the nodes they use renumbered in order.
struct Part {
  std::vector<double> coords;
  std::vector<int> connectivity;
  std::vector<std::int64_t> offsets{0};
  std::vector<std::uint8_t> types;
  std::vector<double> field;

  ZORMtkMeshArrays Arrays() const {
    ZORMtkMeshArrays mesh;
    mesh.coordinates = coords.data();
    mesh.nodeCount = static_cast<int>(coords.size() / 3);
    mesh.connectivity = connectivity.data();
    mesh.offsets = offsets.data();
    mesh.types = types.data();
    mesh.cellCount = static_cast<int>(types.size());
    return mesh;
  }
};

Part PartOf(const Whole& whole, int first, int last) {
  Part part;
  std::vector<int> local(whole.coords.size() / 3, -1);
  for (int c = first; c < last; ++c) {
    for (auto k = whole.offsets[c]; k < whole.offsets[c + 1]; ++k) {
      const int n = whole.connectivity[static_cast<std::size_t>(k)];
      if (local[static_cast<std::size_t>(n)] < 0) {
        local[static_cast<std::size_t>(n)] = static_cast<int>(part.coords.size() / 3);
        part.coords.insert(part.coords.end(), &whole.coords[3 * n], &whole.coords[3 * n + 3]);
        part.field.insert(part.field.end(), &whole.field[2 * n], &whole.field[2 * n + 2]);
      }
      part.connectivity.push_back(local[static_cast<std::size_t>(n)]);
    }
    part.offsets.push_back(static_cast<std::int64_t>(part.connectivity.size()));
    part.types.push_back(whole.types[static_cast<std::size_t>(c)]);
  }
  return part;
}

ZORMtkMeshArrays Points(const double* coords, int count) {
  ZORMtkMeshArrays points;
  points.coordinates = coords;
  points.nodeCount = count;
  return points;
}

int Rank(int* size = nullptr) {
  int rank = 0;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  if (size != nullptr) MPI_Comm_size(MPI_COMM_WORLD, size);
  return rank;
}

struct Case {
  const char* name;
  Cells cells;
  ElementChoice_Tag choice;
  double boundaryTolerance;
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
      {"plane quads and triangles", Cells::Plane, ChoiceContaining, 0.0}};
  int size = 1;
  const int rank = Rank(&size);
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const Whole whole = MakeWhole(test.cells, test.cells == Cells::Plane ? 9 : 5, 7);
    const int targetCount = static_cast<int>(whole.targets.size() / 3);
    ZORMtkArrayOptions options;
    options.elementChoice = test.choice;
    options.boundaryTolerance = test.boundaryTolerance;
    options.unplacedFill = -7.0;
    ZORMtkArrayMapper one;
    Part all = PartOf(whole, 0, static_cast<int>(whole.types.size()));
    ASSERT_TRUE(one.SetSource(all.Arrays()));
    ASSERT_TRUE(one.SetTarget(Points(whole.targets.data(), targetCount)));
    ASSERT_TRUE(one.SetOptions(options));
    std::vector<double> expected(2 * static_cast<std::size_t>(targetCount));
    ASSERT_TRUE(
        one.Map(all.field.data(), static_cast<int>(all.field.size() / 2), 2, expected.data()));
    ASSERT_GT(std::count(one.Placed().begin(), one.Placed().end(), 0), 0);
    std::mt19937 random(11);
    for (int trial = 0; trial < 4; ++trial) {
      const std::vector<int> cellCuts =
          RandomCuts(static_cast<int>(whole.types.size()), size, random);
      const std::vector<int> targetCuts = RandomCuts(targetCount, size, random);
      const Part part = PartOf(whole, cellCuts[rank], cellCuts[rank + 1]);
      const int first = targetCuts[rank];
      const int count = targetCuts[rank + 1] - first;
      ZORMtkDistributedMapper mapper(MPI_COMM_WORLD);
      ASSERT_TRUE(mapper.SetSource(part.Arrays()));
      ASSERT_TRUE(mapper.SetTarget(Points(whole.targets.data() + 3 * first, count)));
      ASSERT_TRUE(mapper.SetOptions(options));
      std::vector<double> values(2 * static_cast<std::size_t>(count));
      ASSERT_TRUE(
          mapper.Map(part.field.data(), static_cast<int>(part.field.size() / 2), 2, values.data()));
      // Non-fatal checks only: a rank that left the test early would leave the others waiting.
      const std::vector<int> cells = one.SourceElements();
      int differing = -1;
      for (int t = count - 1; t >= 0; --t) {
        const std::size_t w = static_cast<std::size_t>(first + t);
        if (values[2 * t] != expected[2 * w] || values[2 * t + 1] != expected[2 * w + 1] ||
            mapper.Placed()[t] != one.Placed()[w] || mapper.SourceCells()[t] != cells[w])
          differing = first + t;
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
  const Whole whole = MakeWhole(Cells::Hex, 2, 3);
  Part part = PartOf(whole, rank == size - 1 ? 0 : 1, 1);
  const int badType = 42;
  if (rank == size - 1) part.types[0] = badType;
  ZORMtkDistributedMapper mapper(MPI_COMM_WORLD);
  const ZORMtkArrayStatus status = mapper.SetSource(part.Arrays());
  EXPECT_FALSE(status);
  EXPECT_NE(status.Message().find("cell 0 has VTK cell type 42"), std::string::npos)
      << status.Message();
  ZORMtkArrayOptions options;
  options.method = MethodNearestNode;
  EXPECT_NE(mapper.SetOptions(options).Message().find("shape interpolation"), std::string::npos);
  // A shell source: quadrilaterals out of the plane z = 0.
  Whole shell = MakeWhole(Cells::Plane, 2, 3);
  for (std::size_t i = 2; i < shell.coords.size(); i += 3) shell.coords[i] = 1.0;
  const Part shellPart = PartOf(shell, 0, rank == 0 ? 1 : 0);
  EXPECT_NE(mapper.SetSource(shellPart.Arrays()).Message().find("shell"), std::string::npos);
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
