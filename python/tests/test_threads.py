"""Separate mappers run in parallel Python threads: the GIL is released while they search and
map, and each gives what it gives alone."""

import threading
import time

import numpy as np

import velzorgfm
from conftest import family_mesh, inside


def test_two_threads_map_at_the_same_time_and_get_their_own_results():
    problems = []
    for seed in (1, 2):
        points, cells = family_mesh("C3D8", n=12)
        problems.append((points, cells, inside(points, cells, 60000, seed=seed),
                         np.random.default_rng(seed).normal(size=(len(points), 3))))
    alone = [velzorgfm.Mapper(p, c, t).map(v) for p, c, t, v in problems]

    start = threading.Barrier(3)
    spans, results = [None, None], [None, None]

    def run(index):
        points, cells, targets, values = problems[index]
        start.wait()
        begin = time.perf_counter()
        results[index] = velzorgfm.Mapper(points, cells, targets).map(values)
        spans[index] = (begin, time.perf_counter())

    threads = [threading.Thread(target=run, args=(i,)) for i in (0, 1)]
    for thread in threads:
        thread.start()
    start.wait()
    # This thread needs the GIL to count; it gets it only while the mappers have let it go.
    ticks = 0
    while any(thread.is_alive() for thread in threads):
        ticks += 1
        time.sleep(0.001)
    for thread in threads:
        thread.join()

    (begin0, end0), (begin1, end1) = spans
    assert begin0 < end1 and begin1 < end0, f"the calls did not overlap: {spans}"
    assert ticks > 20
    for result, expected in zip(results, alone):
        np.testing.assert_array_equal(result, expected)
