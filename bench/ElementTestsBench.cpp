#include <benchmark/benchmark.h>

#include <array>
#include <random>
#include <vector>

#include "element/ZORMtkShp.h"
#include "search/ZORMtkGeom.h"

// Cost of one element test, the inner loop of every point search: distorted elements and points
// spread over their inside, so that the Newton iterations take their usual number of steps.

namespace {

using Point = std::array<double, 3>;

constexpr int kPoints = 64;

// A sheared and bent copy of a reference element, away from the origin.
Point Distort(const Point& x) {
  return {10.0 + 1.5 * x[0] + 0.2 * x[1] + 0.1 * x[2] + 0.08 * x[1] * x[1],
          -3.0 - 0.1 * x[0] + 1.2 * x[1] + 0.15 * x[2] + 0.06 * x[2] * x[0],
          2.0 + 0.05 * x[0] - 0.2 * x[1] + 1.0 * x[2] + 0.07 * x[0] * x[0]};
}

struct Workload {
  std::vector<double> coords;
  std::vector<double> points;  // kPoints x 3
};

std::vector<Point> HexNodes(bool quadratic) {
  std::vector<Point> nodes = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                              {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
  if (quadratic) {
    nodes.insert(nodes.end(), {{0, -1, -1},
                               {1, 0, -1},
                               {0, 1, -1},
                               {-1, 0, -1},
                               {0, -1, 1},
                               {1, 0, 1},
                               {0, 1, 1},
                               {-1, 0, 1},
                               {-1, -1, 0},
                               {1, -1, 0},
                               {1, 1, 0},
                               {-1, 1, 0}});
  }
  return nodes;
}

std::vector<Point> Tet10Nodes() {
  return {{0, 0, 0},     {1, 0, 0},   {0, 1, 0},   {0, 0, 1},     {0.5, 0, 0},
          {0.5, 0.5, 0}, {0, 0.5, 0}, {0, 0, 0.5}, {0.5, 0, 0.5}, {0, 0.5, 0.5}};
}

std::vector<Point> Prism15Nodes() {
  return {{0, 0, -1},    {1, 0, -1},   {0, 1, -1},     {0, 0, 1},    {1, 0, 1},
          {0, 1, 1},     {0.5, 0, -1}, {0.5, 0.5, -1}, {0, 0.5, -1}, {0.5, 0, 1},
          {0.5, 0.5, 1}, {0, 0.5, 1},  {0, 0, 0},      {1, 0, 0},    {0, 1, 0}};
}

// Natural coordinates inside the element: the cube, or the simplex (times the axis for prisms).
Point RandomNatural(int nodes, std::mt19937& rng) {
  std::uniform_real_distribution<double> unit(0.0, 1.0), symmetric(-0.9, 0.9);
  if (nodes == 8 || nodes == 20) return {symmetric(rng), symmetric(rng), symmetric(rng)};
  for (;;) {
    const Point x = {unit(rng), unit(rng), nodes == 10 ? unit(rng) : symmetric(rng)};
    const double rest = 1.0 - x[0] - x[1] - (nodes == 10 ? x[2] : 0.0);
    if (rest > 0.02) return x;
  }
}

Workload SolidWorkload(const std::vector<Point>& natural) {
  const int nodes = static_cast<int>(natural.size());
  Workload work;
  for (const Point& x : natural) {
    const Point d = Distort(x);
    work.coords.insert(work.coords.end(), d.begin(), d.end());
  }
  std::mt19937 rng(42);
  std::vector<double> N(4 * nodes);
  for (int i = 0; i < kPoints; ++i) {
    const Point xi = RandomNatural(nodes, rng);
    ZORMtkShp::Shp3D(nodes, xi[0], xi[1], xi[2], N.data(), false);
    for (int k = 0; k < 3; ++k) {
      double x = 0.0;
      for (int n = 0; n < nodes; ++n) x += N[n] * work.coords[3 * n + k];
      work.points.push_back(x);
    }
  }
  return work;
}

// A facet in a tilted plane with a slight warp, points lifted off it on both sides.
Workload FacetWorkload(const std::vector<std::array<double, 2>>& plane) {
  const int nodes = static_cast<int>(plane.size());
  const Point u = {0.8, 0.36, 0.48}, v = {-0.6, 0.48, 0.64}, normal = {0.0, -0.8, 0.6};
  Workload work;
  for (int n = 0; n < nodes; ++n) {
    for (int k = 0; k < 3; ++k) {
      const double warp = nodes == 4 ? (n % 2 == 0 ? 0.02 : -0.02) : 0.0;
      work.coords.push_back(1.0 + 3.0 * plane[n][0] * u[k] + 3.0 * plane[n][1] * v[k] +
                            warp * normal[k]);
    }
  }
  std::mt19937 rng(42);
  std::uniform_real_distribution<double> unit(0.05, 0.95), lift(-0.2, 0.2);
  std::vector<double> N(3 * nodes);
  for (int i = 0; i < kPoints; ++i) {
    double r = unit(rng), s = unit(rng);
    if (nodes == 6) {
      if (r + s > 0.95) r = 0.95 - r, s = 0.95 - s;
      r = std::max(r, 0.05), s = std::max(s, 0.05);
    } else {
      r = 2.0 * r - 1.0, s = 2.0 * s - 1.0;
    }
    ZORMtkShp::Shp2D(nodes, r, s, N.data(), false);
    const double h = lift(rng);
    for (int k = 0; k < 3; ++k) {
      double x = h * normal[k];
      for (int n = 0; n < nodes; ++n) x += N[n] * work.coords[3 * n + k];
      work.points.push_back(x);
    }
  }
  return work;
}

void RunSolid(benchmark::State& state, const std::vector<Point>& natural) {
  Workload work = SolidWorkload(natural);
  const int nodes = static_cast<int>(natural.size());
  double weights[4 * 20];
  double tol = 1e-3;
  int i = 0, found = 0;
  for (auto _ : state) {
    double* point = work.points.data() + 3 * (i++ % kPoints);
    const bool inside =
        ZORMtkGeom::IncludedInSolid(weights, point, work.coords.data(), nodes, 3, &tol, false);
    found += inside ? 1 : 0;
    benchmark::DoNotOptimize(weights);
  }
  state.counters["found"] = benchmark::Counter(found, benchmark::Counter::kAvgIterations);
}

void RunFacet(benchmark::State& state, const std::vector<std::array<double, 2>>& plane) {
  Workload work = FacetWorkload(plane);
  const int nodes = static_cast<int>(plane.size());
  double weights[3 * 8], projection = 0.0;
  double tol = 1e-3;
  int i = 0, found = 0;
  for (auto _ : state) {
    double* point = work.points.data() + 3 * (i++ % kPoints);
    const bool inside = ZORMtkGeom::IncludedInFacet(weights, point, work.coords.data(), nodes, 3,
                                                    &projection, &tol, false);
    found += inside ? 1 : 0;
    benchmark::DoNotOptimize(weights);
    benchmark::DoNotOptimize(projection);
  }
  state.counters["found"] = benchmark::Counter(found, benchmark::Counter::kAvgIterations);
}

void IncludedInSolid_Hex8(benchmark::State& state) { RunSolid(state, HexNodes(false)); }
void IncludedInSolid_Hex20(benchmark::State& state) { RunSolid(state, HexNodes(true)); }
void IncludedInSolid_Tet10(benchmark::State& state) { RunSolid(state, Tet10Nodes()); }
void IncludedInSolid_Prism15(benchmark::State& state) { RunSolid(state, Prism15Nodes()); }
void IncludedInFacet_Quad4(benchmark::State& state) {
  RunFacet(state, {{0, 0}, {1.2, 0.1}, {1.0, 1.1}, {-0.1, 0.8}});
}
void IncludedInFacet_Tri6(benchmark::State& state) {
  RunFacet(state, {{0, 0}, {1.1, 0.1}, {0.2, 0.9}, {0.55, 0.02}, {0.66, 0.52}, {0.08, 0.45}});
}

}  // namespace

BENCHMARK(IncludedInSolid_Hex8);
BENCHMARK(IncludedInSolid_Hex20);
BENCHMARK(IncludedInSolid_Tet10);
BENCHMARK(IncludedInSolid_Prism15);
BENCHMARK(IncludedInFacet_Quad4);
BENCHMARK(IncludedInFacet_Tri6);
