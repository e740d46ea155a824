#include <mpi.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "distributed/ZORMtkDistributedMapper.h"

// One distributed mapping as a host runs it: every rank builds only its own run of the cells
// of a perturbed hex8 box of n^3 cells (layers of k, so its nodes are its layers and the one
// above) and its own run of m target points spread through the box and a little beyond, then
// maps one field. Prints the wall-clock seconds of each phase (the slowest rank's) and the
// largest peak resident memory of any rank, so that runs at 1, 2 and 3 ranks can be compared
// (scaling.sh). Usage: DistributedScaling n m [threads per rank, default 1] [c].
//
// With c, the mapping is conservative onto a second hex8 box of c^3 cells (not perturbed, each
// rank building its own run of whole layers of them) instead of the m points: the source nodes
// are searched in the target's cells and scatter their values to its nodes. The line then says
// whether the field's sum was kept (flag 32 clear) in place of the interpolation error. With
// "one" after c, at one rank, one ZORMtkArrayMapper maps the same arrays instead, for comparison.

namespace {

// The same perturbation for a node on every rank that holds it: a hash of its global index.
double Wobble(std::int64_t node, int axis) {
  std::uint64_t x =
      static_cast<std::uint64_t>(node) * 0x9E3779B97F4A7C15ULL + 0x632BE59BD9B4E019ULL * axis;
  x ^= x >> 31;
  x *= 0xBF58476D1CE4E5B9ULL;
  x ^= x >> 29;
  return (static_cast<double>(x % 1000001) / 1000000.0 - 0.5) * 0.3;
}

struct Part {
  std::vector<double> coords;
  std::vector<int> connectivity;
  std::vector<std::int64_t> offsets{0};
  std::vector<std::uint8_t> types;
  std::vector<double> field;
};

// Cells [first, last) of the k-major numbering; the part's nodes are whole node layers.
Part MakePart(int n, std::int64_t first, std::int64_t last, bool perturbed = true) {
  Part part;
  const std::int64_t layer = static_cast<std::int64_t>(n) * n;
  const std::int64_t k0 = first / layer;
  const std::int64_t k1 = last > first ? (last - 1) / layer + 1 : k0;
  const std::int64_t side = n + 1;
  const double h = 1.0 / n;
  for (std::int64_t k = k0; k <= k1 && last > first; ++k)
    for (std::int64_t j = 0; j <= n; ++j)
      for (std::int64_t i = 0; i <= n; ++i) {
        const std::int64_t node = (k * side + j) * side + i;
        const bool inner = perturbed && i > 0 && j > 0 && k > 0 && i < n && j < n && k < n;
        const double x[3] = {(i + (inner ? Wobble(node, 0) : 0.0)) * h,
                             (j + (inner ? Wobble(node, 1) : 0.0)) * h,
                             (k + (inner ? Wobble(node, 2) : 0.0)) * h};
        part.coords.insert(part.coords.end(), x, x + 3);
        part.field.push_back(x[0] + 2.0 * x[1] + 3.0 * x[2]);
      }
  const auto local = [&](std::int64_t i, std::int64_t j, std::int64_t k) {
    return static_cast<int>(((k - k0) * side + j) * side + i);
  };
  for (std::int64_t c = first; c < last; ++c) {
    const std::int64_t i = c % n;
    const std::int64_t j = (c / n) % n;
    const std::int64_t k = c / layer;
    part.connectivity.insert(part.connectivity.end(),
                             {local(i, j, k), local(i + 1, j, k), local(i + 1, j + 1, k),
                              local(i, j + 1, k), local(i, j, k + 1), local(i + 1, j, k + 1),
                              local(i + 1, j + 1, k + 1), local(i, j + 1, k + 1)});
    part.offsets.push_back(static_cast<std::int64_t>(part.connectivity.size()));
    part.types.push_back(12);
  }
  return part;
}

// Target points [first, last) of a lattice of q^3 points over [-0.01, 1.01]^3.
std::vector<double> MakeTargets(int q, std::int64_t first, std::int64_t last) {
  std::vector<double> points;
  points.reserve(static_cast<std::size_t>(3 * (last - first)));
  for (std::int64_t p = first; p < last; ++p) {
    const std::int64_t index[3] = {p % q, (p / q) % q, p / (static_cast<std::int64_t>(q) * q)};
    for (const std::int64_t i : index) points.push_back(-0.01 + 1.02 * (i + 0.5) / q);
  }
  return points;
}

ZORMtkMeshArrays ArraysOf(const Part& part) {
  ZORMtkMeshArrays mesh;
  mesh.coordinates = part.coords.data();
  mesh.nodeCount = static_cast<int>(part.coords.size() / 3);
  mesh.connectivity = part.connectivity.data();
  mesh.offsets = part.offsets.data();
  mesh.types = part.types.data();
  mesh.cellCount = static_cast<int>(part.types.size());
  return mesh;
}

// The wall-clock time at the end of each phase: meshes and options given, weights, one field.
struct Phases {
  double loaded = 0.0;
  double searched = 0.0;
  double done = 0.0;
  bool ok = false;
};

template <class Mapper>
Phases Run(Mapper& mapper, const ZORMtkMeshArrays& source, const ZORMtkMeshArrays& target,
           const ZORMtkArrayOptions& options, const Part& part, std::vector<double>& mapped) {
  Phases phases;
  phases.ok = mapper.SetSource(source) && mapper.SetTarget(target) && mapper.SetOptions(options);
  phases.loaded = MPI_Wtime();
  phases.ok = phases.ok && mapper.ComputeWeights();
  phases.searched = MPI_Wtime();
  phases.ok = phases.ok && mapper.Map(part.field.data(), source.nodeCount, 1, mapped.data());
  phases.done = MPI_Wtime();
  return phases;
}

double Slowest(double seconds) {
  double slowest = 0.0;
  MPI_Allreduce(&seconds, &slowest, 1, MPI_DOUBLE, MPI_MAX, MPI_COMM_WORLD);
  return slowest;
}

}  // namespace

int main(int argc, char** argv) {
  MPI_Init(&argc, &argv);
  int rank = 0;
  int size = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &size);
  const int n = argc > 1 ? std::atoi(argv[1]) : 100;
  const int m = argc > 2 ? std::atoi(argv[2]) : 1000000;
  const int q = static_cast<int>(std::cbrt(static_cast<double>(m)) + 0.5);
  const std::int64_t cells = static_cast<std::int64_t>(n) * n * n;
  const std::int64_t targets = static_cast<std::int64_t>(q) * q * q;
  const double start = MPI_Wtime();
  const Part part = MakePart(n, cells * rank / size, cells * (rank + 1) / size);
  const int c = argc > 4 ? std::atoi(argv[4]) : 0;
  const std::int64_t targetCells = static_cast<std::int64_t>(c) * c * c;
  // Whole layers of target cells, so that a part's nodes are all used by its cells.
  const std::int64_t targetLayer = static_cast<std::int64_t>(c) * c;
  const Part targetPart = c > 0 ? MakePart(c, targetLayer * (c * rank / size),
                                           targetLayer * (c * (rank + 1) / size), false)
                                : Part();
  const std::vector<double> points =
      c > 0 ? targetPart.coords
            : MakeTargets(q, targets * rank / size, targets * (rank + 1) / size);
  const ZORMtkMeshArrays source = ArraysOf(part);
  ZORMtkMeshArrays target = c > 0 ? ArraysOf(targetPart) : ZORMtkMeshArrays();
  target.coordinates = points.data();
  target.nodeCount = static_cast<int>(points.size() / 3);
  ZORMtkArrayOptions options;
  options.threads = argc > 3 ? std::atoi(argv[3]) : 1;
  options.conservative = c > 0;
  MPI_Barrier(MPI_COMM_WORLD);
  const double built = MPI_Wtime();
  std::vector<double> mapped(points.size() / 3);
  const bool one = argc > 5 && std::string(argv[5]) == "one" && size == 1;
  ZORMtkDistributedMapper mapper(MPI_COMM_WORLD);
  ZORMtkArrayMapper oneProcess;
  const Phases phases = one ? Run(oneProcess, source, target, options, part, mapped)
                            : Run(mapper, source, target, options, part, mapped);
  const bool ok = phases.ok;
  const std::vector<unsigned char>& placed = one ? oneProcess.Placed() : mapper.Placed();
  const int flags = one ? oneProcess.Flags() : mapper.Flags();
  double largestError = 0.0;
  for (std::size_t t = 0; t < mapped.size() && c == 0; ++t)
    if (placed[t])
      largestError = std::max(
          largestError,
          std::abs(mapped[t] - (points[3 * t] + 2 * points[3 * t + 1] + 3 * points[3 * t + 2])));
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  long peak = usage.ru_maxrss;
  MPI_Allreduce(MPI_IN_PLACE, &peak, 1, MPI_LONG, MPI_MAX, MPI_COMM_WORLD);
  MPI_Allreduce(MPI_IN_PLACE, &largestError, 1, MPI_DOUBLE, MPI_MAX, MPI_COMM_WORLD);
  const double build = Slowest(built - start);
  const double load = Slowest(phases.loaded - built);
  const double search = Slowest(phases.searched - phases.loaded);
  const double map = Slowest(phases.done - phases.searched);
  char outcome[64];
  if (c > 0)
    std::snprintf(outcome, sizeof outcome, "conservative onto %lld cells, sum %s",
                  static_cast<long long>(targetCells), (flags & 32) != 0 ? "lost" : "kept");
  else
    std::snprintf(outcome, sizeof outcome, "largest error %.1e", largestError);
  if (rank == 0)
    std::printf(
        "%sranks %d  cells %lld  targets %lld  build %.2f s  load %.2f s  search %.2f s  "
        "map %.3f s  mapping %.2f s  peak RSS per rank %.0f MB  %s%s\n",
        one ? "one process  " : "", size, static_cast<long long>(cells),
        static_cast<long long>(c > 0 ? std::int64_t{c + 1} * (c + 1) * (c + 1) : targets), build,
        load, search, map, load + search + map, peak / 1024.0, outcome, ok ? "" : "  FAILED");
  MPI_Finalize();
  return ok ? 0 : 1;
}
