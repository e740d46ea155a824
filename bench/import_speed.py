#!/usr/bin/python3
"""Seconds per phase of `fieldmap import` on a large binary .vtu, as the program reports them.

Writes (once, then reused) a tetrahedral unit box with VTK's XML writer in appended raw binary
without compression, Float64 points, Int64 connectivity and offsets and one Float64 point array,
as VTK writes by default; then runs `fieldmap import` on it several times and prints, per phase
(read, check elements, write mesh, save), the fastest of the runs and the read rate in MB/s.

usage: /usr/bin/python3 bench/import_speed.py [--fieldmap PATH] [--cells-per-edge N]
                                              [--work DIR] [--runs R]
"""
import argparse
import os
import re
import subprocess
import sys
import time

import numpy as np
import vtk
from vtk.util import numpy_support

# Six tetrahedra around the diagonal 0-6 of a hexahedron in VTK corner order.
KUHN = np.array([[0, 1, 2, 6], [0, 2, 3, 6], [0, 3, 7, 6], [0, 7, 4, 6], [0, 4, 5, 6],
                 [0, 5, 1, 6]])
PHASES = ("read", "check elements", "write mesh", "save")


def tetrahedral_box(n):
    axis = np.linspace(0.0, 1.0, n + 1)
    z, y, x = np.meshgrid(axis, axis, axis, indexing="ij")
    points = np.column_stack([x.ravel(), y.ravel(), z.ravel()])
    i, j, k = (a.ravel() for a in np.meshgrid(np.arange(n), np.arange(n), np.arange(n),
                                               indexing="ij"))

    def at(a, b, c):
        return (c * (n + 1) + b) * (n + 1) + a

    hexes = np.column_stack([at(i, j, k), at(i + 1, j, k), at(i + 1, j + 1, k), at(i, j + 1, k),
                             at(i, j, k + 1), at(i + 1, j, k + 1), at(i + 1, j + 1, k + 1),
                             at(i, j + 1, k + 1)])
    return points, hexes[:, KUHN].reshape(-1, 4)


def write_box(path, n):
    points, tets = tetrahedral_box(n)
    grid = vtk.vtkUnstructuredGrid()
    vtk_points = vtk.vtkPoints()
    vtk_points.SetData(numpy_support.numpy_to_vtk(points, deep=True))
    grid.SetPoints(vtk_points)
    offsets = np.arange(0, 4 * len(tets) + 1, 4, dtype=np.int64)
    cells = vtk.vtkCellArray()
    cells.SetData(numpy_support.numpy_to_vtkIdTypeArray(offsets, deep=True),
                  numpy_support.numpy_to_vtkIdTypeArray(tets.ravel().astype(np.int64), deep=True))
    grid.SetCells(vtk.VTK_TETRA, cells)
    temperature = numpy_support.numpy_to_vtk(points[:, 0] + 2.0 * points[:, 1], deep=True)
    temperature.SetName("NT")
    grid.GetPointData().AddArray(temperature)
    writer = vtk.vtkXMLUnstructuredGridWriter()
    writer.SetFileName(path)
    writer.SetInputData(grid)
    writer.SetDataModeToAppended()
    writer.SetEncodeAppendedData(False)
    writer.SetCompressorTypeToNone()
    if not writer.Write():
        raise SystemExit("VTK could not write " + path)
    return len(points), len(tets)


def phase_seconds(stderr, phase):
    found = re.search(r"^" + re.escape(phase) + r"\S* .*?done in ([0-9.]+) s", stderr, re.M)
    return float(found.group(1)) if found else float("nan")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--fieldmap",
                        default=os.path.join(here, "..", "build", "tools", "fieldmap", "fieldmap"))
    parser.add_argument("--cells-per-edge", type=int, default=98)
    parser.add_argument("--work", default="/tmp/fieldmap-import-speed")
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    mesh = os.path.join(args.work, "box-%d.vtu" % args.cells_per_edge)
    if not os.path.exists(mesh):
        nodes, cells = write_box(mesh, args.cells_per_edge)
        print("wrote %s: %d nodes, %d tetrahedra" % (mesh, nodes, cells))
    megabytes = os.path.getsize(mesh) / 1e6
    database = os.path.join(args.work, "box.zdb")
    best = {phase: float("inf") for phase in PHASES}
    best_total = float("inf")
    for _ in range(args.runs):
        start = time.perf_counter()
        done = subprocess.run([args.fieldmap, "import", mesh, "--out", database],
                              capture_output=True, text=True)
        total = time.perf_counter() - start
        if done.returncode != 0:
            sys.exit("fieldmap import failed:\n" + done.stderr)
        for phase in PHASES:
            best[phase] = min(best[phase], phase_seconds(done.stderr, phase))
        best_total = min(best_total, total)
    os.remove(database)
    print("%s: %.0f MB, fastest of %d runs" % (os.path.basename(mesh), megabytes, args.runs))
    for phase in PHASES:
        print("  %-15s %6.2f s" % (phase, best[phase]))
    print("  %-15s %6.2f s" % ("whole process", best_total))
    print("  read rate       %6.0f MB/s" % (megabytes / best["read"]))


if __name__ == "__main__":
    main()
