#!/usr/bin/python3
"""Nearest node, side by side: fieldmap's map phase against VTK's point locator.

    /usr/bin/python3 bench/peers/compare_nearest.py [--fieldmap PATH] [--sizes 1e5,1e6]

The perturbed hex8 source and the tetrahedral target box of compare_vtk.py, at each size. fieldmap
maps the source's field with --method nearest at one and two threads (the map phase it prints:
node grid, search and copy). VTK, on one thread, runs vtkPointInterpolator with a Voronoi kernel
(each target takes its closest source point's value) and a vtkStaticPointLocator; its Update is
timed (locator build and the queries). Prints the seconds, per-target microseconds, the ratio and
how many targets got the same value on both sides (exact ties may go either way).
"""
import argparse
import os
import sys
import tempfile
import time

import numpy as np
import vtk
from vtk.util import numpy_support

import peer_meshes
import peer_runs
from compare_vtk import generator


def vtk_nearest(source, target):
    interpolator = vtk.vtkPointInterpolator()
    interpolator.SetInputData(target)
    interpolator.SetSourceData(source)
    interpolator.SetKernel(vtk.vtkVoronoiKernel())
    interpolator.SetLocator(vtk.vtkStaticPointLocator())
    start = time.perf_counter()
    interpolator.Update()
    seconds = time.perf_counter() - start
    array = interpolator.GetOutput().GetPointData().GetArray(peer_meshes.FIELD_NAME)
    return seconds, numpy_support.vtk_to_numpy(array).copy()


def compare(fieldmap, size, work):
    source_path = os.path.join(work, "nearest-source-%d.vtu" % size)
    target_path = os.path.join(work, "nearest-target-%d.vtu" % size)
    peer_meshes.write_source("hex8", size, source_path, generator("hex8", size))
    _, targets = peer_meshes.write_target(False, size, target_path, generator("target", size))
    source, target = peer_meshes.read_vtu(source_path), peer_meshes.read_vtu(target_path)
    theirs, values = min((vtk_nearest(source, target) for _ in range(3)), key=lambda r: r[0])
    database = source_path[:-4] + ".zdb"
    peer_runs.fieldmap_import(fieldmap, source_path, database)
    ours = {}
    for threads in (1, 2):
        runs = [peer_runs.fieldmap_map(fieldmap, database, target_path, source_path[:-4] + "-out",
                                       threads, False, extra=["--method", "nearest"])
                for _ in range(3)]
        ours[threads] = min(run["map"] for run in runs)
        same = int(np.sum(runs[-1]["values"] == values))
    peer_runs.remove(source_path, target_path, database)
    return targets, ours, theirs, same


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--fieldmap", default=os.path.join(here, "..", "..", "build", "tools",
                                                           "fieldmap", "fieldmap"))
    parser.add_argument("--sizes", default="1e5,1e6")
    arguments = parser.parse_args(argv)
    print("VTK on one thread: %s" % peer_runs.single_threaded_vtk())
    print("| source cells | targets | fieldmap 1 thread | 2 threads | VTK | 1 thread / VTK "
          "| same value |")
    print("|---:|---:|---:|---:|---:|---:|---:|")
    with tempfile.TemporaryDirectory() as work:
        for size in (int(float(s)) for s in arguments.sizes.split(",")):
            targets, ours, theirs, same = compare(arguments.fieldmap, size, work)
            micro = lambda seconds: "%.3f s (%.2f us)" % (seconds, seconds / targets * 1e6)
            print("| %d | %d | %s | %s | %s | %.2f | %d |" % (
                size, targets, micro(ours[1]), micro(ours[2]), micro(theirs), ours[1] / theirs,
                same))
            sys.stdout.flush()


if __name__ == "__main__":
    main(sys.argv[1:])
