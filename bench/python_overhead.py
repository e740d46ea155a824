#!/usr/bin/python3
"""What the Python module adds to the C++ array API: the same arrays as ArrayMapperBench (a hex8
source of n^3 cells, m target points, a field of three components), timed through velzorgfm
and, in the same run, through the C++ benchmark, alternating so both see the same machine.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_overhead.py build/bench/ArrayMapperBench

Sizes: --cells n (default 40), --targets m (default 1,000,000), --repeats r (default 3); the
figures are the medians of the wall-clock seconds.
"""

import argparse
import json
import os
import statistics
import subprocess
import time

import numpy as np

import velzorgfm

STEPS = np.array([0.8191725133961645, 0.6710436067037893, 0.5497004779019703])


def problem(n, m):
    """The arrays of ArrayMapperBench, with the same arithmetic."""
    h = 1.0 / n
    axis = np.arange(n + 1)
    k, j, i = np.meshgrid(axis, axis, axis, indexing="ij")
    points = np.stack([i.ravel() * h, j.ravel() * h, k.ravel() * h], axis=1)
    cells = np.arange(n)
    kk, jj, ii = [c.ravel() for c in np.meshgrid(cells, cells, cells, indexing="ij")]
    node = lambda a, b, c: (c * (n + 1) + b) * (n + 1) + a
    hexes = np.stack([node(ii, jj, kk), node(ii + 1, jj, kk), node(ii + 1, jj + 1, kk),
                      node(ii, jj + 1, kk), node(ii, jj, kk + 1), node(ii + 1, jj, kk + 1),
                      node(ii + 1, jj + 1, kk + 1), node(ii, jj + 1, kk + 1)], axis=1)
    p = np.arange(1, m + 1, dtype=np.float64)[:, None]
    targets = 0.0005 + 0.999 * np.fmod(p * STEPS, 1.0)
    x, y, z = points.T
    values = np.stack([1 + x - y, 2 * z - x, y + 0.5], axis=1)
    return points, hexes.astype(np.int32), targets, values


def python_times(arrays):
    points, hexes, targets, values = arrays
    begin = time.perf_counter()
    mapper = velzorgfm.Mapper(points, {"C3D8": hexes}, targets)
    first = mapper.map(values)
    middle = time.perf_counter()
    second = mapper.map(values)
    end = time.perf_counter()
    assert mapper.placed.all() and np.array_equal(first, second)
    return middle - begin, end - middle


def cpp_times(bench, n, m):
    environment = dict(os.environ, ZORMTK_ARRAY_BENCH_CELLS=str(n), ZORMTK_ARRAY_BENCH_TARGETS=str(m))
    run = subprocess.run([bench, "--benchmark_format=json", "--benchmark_repetitions=1"],
                         env=environment, capture_output=True, text=True, check=True)
    rows = [row for row in json.loads(run.stdout)["benchmarks"] if row["run_type"] == "iteration"]
    first = [row["real_time"] for row in rows if row["name"].startswith("BM_ArrayMapFirstField")]
    second = [row["real_time"] for row in rows if row["name"].startswith("BM_ArrayMapNextField")]
    return first[0], second[0]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("bench", help="the ArrayMapperBench program")
    parser.add_argument("--cells", type=int, default=40)
    parser.add_argument("--targets", type=int, default=1_000_000)
    parser.add_argument("--repeats", type=int, default=3)
    options = parser.parse_args()
    arrays = problem(options.cells, options.targets)
    python, cpp = [], []
    for _ in range(options.repeats):
        cpp.append(cpp_times(options.bench, options.cells, options.targets))
        python.append(python_times(arrays))
    print(f"hex8 source of {options.cells ** 3} cells, {options.targets} target points, "
          f"3 components; medians of {options.repeats} runs, wall-clock seconds")
    print(f"{'call':<38}{'C++':>10}{'Python':>10}{'Python/C++':>12}")
    for index, name in enumerate(["meshes in, search, first field out", "next field (weights kept)"]):
        c = statistics.median(run[index] for run in cpp)
        p = statistics.median(run[index] for run in python)
        print(f"{name:<38}{c:>10.3f}{p:>10.3f}{p / c:>12.3f}")


if __name__ == "__main__":
    main()
