#!/usr/bin/python3
"""What the Python module adds to the C++ array API: the same arrays as ArrayMapperBench (a hex8
source of n^3 cells, m target points, a field of three components), timed through velzorgfm
and, in the same run, through the C++ benchmark, alternating so both see the same machine.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_overhead.py build/bench/ArrayMapperBench

Sizes: --cells n (default 40), --targets m (default 1,000,000), --repeats r (default 3). The
figures are medians of wall-clock and of processor seconds (every thread of the process; the
steadier figure when the machine is busy); for C++ of the benchmark's own three repetitions
per run.
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
    """Wall-clock and processor seconds (all threads) of the first and of the next field."""
    points, hexes, targets, values = arrays
    clocks = [(time.perf_counter(), time.process_time())]
    mapper = velzorgfm.Mapper(points, {"C3D8": hexes}, targets)
    first = mapper.map(values)
    clocks.append((time.perf_counter(), time.process_time()))
    second = mapper.map(values)
    clocks.append((time.perf_counter(), time.process_time()))
    assert mapper.placed.all() and np.array_equal(first, second)
    return [tuple(b[k] - a[k] for k in (0, 1)) for a, b in zip(clocks, clocks[1:])]


def cpp_times(bench, n, m):
    """The same figures from ArrayMapperBench, medians of its repetitions."""
    environment = dict(os.environ, ZORMTK_ARRAY_BENCH_CELLS=str(n), ZORMTK_ARRAY_BENCH_TARGETS=str(m))
    run = subprocess.run([bench, "--benchmark_format=json"], env=environment, capture_output=True,
                         text=True, check=True)
    rows = [row for row in json.loads(run.stdout)["benchmarks"] if row["run_type"] == "iteration"]
    return [tuple(statistics.median(row[key] for row in rows if row["name"].startswith(name))
                  for key in ("real_time", "cpu_time"))
            for name in ("BM_ArrayMapFirstField", "BM_ArrayMapNextField")]


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
          f"3 components; medians of {options.repeats} runs, seconds")
    print(f"{'call':<36}{'clock':>7}{'C++':>9}{'Python':>9}{'Python/C++':>12}")
    for index, name in enumerate(["meshes in, search, first field out", "next field (weights kept)"]):
        for clock, label in enumerate(["wall", "cpu"]):
            c = statistics.median(run[index][clock] for run in cpp)
            p = statistics.median(run[index][clock] for run in python)
            print(f"{name if clock == 0 else '':<36}{label:>7}{c:>9.3f}{p:>9.3f}{p / c:>12.3f}")

if __name__ == "__main__":
    main()
