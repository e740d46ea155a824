#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "ZORGfmApi.h"

// The array API as a host calls it: a hex8 source of n^3 cells on the unit cube and m target
// points spread through it, a field of three components. "First field" is what one call of
// the Python module's Mapper plus map costs (meshes in, search, one field out); "next field"
// a further field with the weights kept. bench/python_overhead.py builds the same arrays in
// NumPy, times the module on them and compares. Processor time counts every thread of the
// process, so on a busy machine it is the steadier figure. The sizes come from
// ZORMTK_ARRAY_BENCH_CELLS (n, default 40) and ZORMTK_ARRAY_BENCH_TARGETS (m, default 1,000,000).

namespace {

int FromEnvironment(const char* name, int fallback) {
  const char* text = std::getenv(name);
  return text ? std::atoi(text) : fallback;
}

// The arrays, built with the same arithmetic as in python_overhead.py, so both time the same
// numbers.
struct Problem {
  std::vector<double> sourcePoints;
  std::vector<int> hexahedra;
  std::vector<double> targetPoints;
  std::vector<double> values;

  Problem(int n, int m) {
    const double h = 1.0 / n;
    for (int k = 0; k <= n; ++k)
      for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) sourcePoints.insert(sourcePoints.end(), {i * h, j * h, k * h});
    auto node = [n](int i, int j, int k) { return (k * (n + 1) + j) * (n + 1) + i; };
    for (int k = 0; k < n; ++k)
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
          hexahedra.insert(hexahedra.end(),
                           {node(i, j, k), node(i + 1, j, k), node(i + 1, j + 1, k),
                            node(i, j + 1, k), node(i, j, k + 1), node(i + 1, j, k + 1),
                            node(i + 1, j + 1, k + 1), node(i, j + 1, k + 1)});
    // An additive recurrence in three dimensions: evenly spread, no random generator needed.
    const double steps[3] = {0.8191725133961645, 0.6710436067037893, 0.5497004779019703};
    for (int p = 1; p <= m; ++p)
      for (const double step : steps)
        targetPoints.push_back(0.0005 + 0.999 * std::fmod(p * step, 1.0));
    for (std::size_t i = 0; i < sourcePoints.size(); i += 3) {
      const double* x = &sourcePoints[i];
      values.insert(values.end(), {1 + x[0] - x[1], 2 * x[2] - x[0], x[1] + 0.5});
    }
  }
  int SourceNodes() const { return static_cast<int>(sourcePoints.size() / 3); }
  int Targets() const { return static_cast<int>(targetPoints.size() / 3); }

  ZORMtkMeshArrays Source() const {
    ZORMtkMeshArrays mesh;
    mesh.coordinates = sourcePoints.data();
    mesh.nodeCount = SourceNodes();
    mesh.blocks.push_back(ZORMtkElementBlockArrays{"C3D8", 8, hexahedra.data(),
                                                   static_cast<int>(hexahedra.size() / 8)});
    return mesh;
  }
  ZORMtkMeshArrays Target() const {
    ZORMtkMeshArrays mesh;
    mesh.coordinates = targetPoints.data();
    mesh.nodeCount = Targets();
    return mesh;
  }
};

const Problem& TheProblem() {
  static const Problem problem(FromEnvironment("ZORMTK_ARRAY_BENCH_CELLS", 40),
                               FromEnvironment("ZORMTK_ARRAY_BENCH_TARGETS", 1000000));
  return problem;
}

void BM_ArrayMapFirstField(benchmark::State& state) {
  const Problem& problem = TheProblem();
  for (auto _ : state) {
    std::vector<double> mapped(problem.targetPoints.size());
    ZORMtkArrayMapper mapper;
    mapper.SetSource(problem.Source());
    mapper.SetTarget(problem.Target());
    const ZORMtkArrayStatus status =
        mapper.Map(problem.values.data(), problem.SourceNodes(), 3, mapped.data());
    if (!status) state.SkipWithError(status.Message().c_str());
  }
  state.counters["targets"] = problem.Targets();
}

void BM_ArrayMapNextField(benchmark::State& state) {
  const Problem& problem = TheProblem();
  ZORMtkArrayMapper mapper;
  mapper.SetSource(problem.Source());
  mapper.SetTarget(problem.Target());
  mapper.ComputeWeights();
  // A fresh result each time, as the module returns a new array for every field.
  for (auto _ : state) {
    std::vector<double> mapped(problem.targetPoints.size());
    mapper.Map(problem.values.data(), problem.SourceNodes(), 3, mapped.data());
  }
  state.counters["targets"] = problem.Targets();
}

}  // namespace

BENCHMARK(BM_ArrayMapFirstField)
    ->Unit(benchmark::kSecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3);
BENCHMARK(BM_ArrayMapNextField)
    ->Unit(benchmark::kSecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3);
