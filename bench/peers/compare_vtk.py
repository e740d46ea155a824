#!/usr/bin/python3
"""Side-by-side run of fieldmap and VTK's probe filter on the same meshes.

For each case (a perturbed hexahedral, tetrahedral or quadratic tetrahedral unit box of about
1e4, 1e5 or 1e6 cells carrying the point field sin(3x) cos(2y) + z^2, and a regular tetrahedral
target box on another grid) the script writes both meshes as .vtu with VTK, then

  * fieldmap: `fieldmap import` of the source and `fieldmap map` onto the target .vtu;
  * VTK: vtkProbeFilter with a vtkStaticCellLocator, source and target read from the same files;

and prints the seconds of both, their ratio, and the largest difference between the two results
at the target points both placed. "search + interpolation" is fieldmap's map phase (as the
program reports it on standard error) against the probe filter's Update (locator build and
probe); "total" is every process and step from the .vtu files to the mapped values. fieldmap's
values are read from the .vtu it writes, which carries six significant digits.

usage: /usr/bin/python3 compare_vtk.py [--fieldmap PATH] [--sizes 1e4,1e5,1e6] [--work DIR]
                                       [--png PATH] [--markdown PATH]
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile
import time

import numpy as np
import vtk
from vtk.util import numpy_support

KINDS = ("hex8", "tet4", "tet10")
# Six tetrahedra around the diagonal 0-6 of a hexahedron in VTK corner order.
KUHN = np.array([[0, 1, 2, 6], [0, 2, 3, 6], [0, 3, 7, 6], [0, 7, 4, 6], [0, 4, 5, 6],
                 [0, 5, 1, 6]])
TET_EDGES = np.array([[0, 1], [1, 2], [2, 0], [0, 3], [1, 3], [2, 3]])


def field(points):
    x, y, z = points[:, 0], points[:, 1], points[:, 2]
    return np.sin(3.0 * x) * np.cos(2.0 * y) + z * z


def box_points(n, jitter, rng, low=0.0, high=1.0):
    axis = np.linspace(low, high, n + 1)
    z, y, x = np.meshgrid(axis, axis, axis, indexing="ij")
    points = np.column_stack([x.ravel(), y.ravel(), z.ravel()])
    if jitter > 0:
        inside = np.all((points > low + 1e-12) & (points < high - 1e-12), axis=1)
        h = (high - low) / n
        points[inside] += rng.uniform(-jitter * h, jitter * h, (inside.sum(), 3))
    return points


def hexahedra(n):
    i, j, k = np.meshgrid(np.arange(n), np.arange(n), np.arange(n), indexing="ij")
    i, j, k = i.ravel(), j.ravel(), k.ravel()

    def at(a, b, c):
        return (c * (n + 1) + b) * (n + 1) + a

    return np.column_stack([at(i, j, k), at(i + 1, j, k), at(i + 1, j + 1, k), at(i, j + 1, k),
                            at(i, j, k + 1), at(i + 1, j, k + 1), at(i + 1, j + 1, k + 1),
                            at(i, j + 1, k + 1)])


def tetrahedra(n):
    return hexahedra(n)[:, KUHN].reshape(-1, 4)


def quadratic(points, tets):
    edges = np.sort(tets[:, TET_EDGES].reshape(-1, 2), axis=1)
    unique, inverse = np.unique(edges, axis=0, return_inverse=True)
    middles = 0.5 * (points[unique[:, 0]] + points[unique[:, 1]])
    mid_ids = len(points) + inverse.reshape(-1, 6)
    return np.vstack([points, middles]), np.hstack([tets, mid_ids])


def make_grid(points, cells, cell_type, values=None):
    grid = vtk.vtkUnstructuredGrid()
    vtk_points = vtk.vtkPoints()
    vtk_points.SetData(numpy_support.numpy_to_vtk(np.ascontiguousarray(points), deep=True))
    grid.SetPoints(vtk_points)
    per_cell = cells.shape[1]
    offsets = np.arange(0, (len(cells) + 1) * per_cell, per_cell, dtype=np.int64)
    cell_array = vtk.vtkCellArray()
    cell_array.SetData(numpy_support.numpy_to_vtkIdTypeArray(offsets, deep=True),
                       numpy_support.numpy_to_vtkIdTypeArray(
                           np.ascontiguousarray(cells.ravel(), dtype=np.int64), deep=True))
    grid.SetCells(cell_type, cell_array)
    if values is not None:
        array = numpy_support.numpy_to_vtk(values, deep=True)
        array.SetName("temperature")
        grid.GetPointData().AddArray(array)
    return grid


def write_vtu(grid, path):
    writer = vtk.vtkXMLUnstructuredGridWriter()
    writer.SetFileName(path)
    writer.SetInputData(grid)
    writer.SetDataModeToAppended()
    writer.SetEncodeAppendedData(False)
    writer.SetCompressorTypeToNone()
    if not writer.Write():
        raise SystemExit("VTK could not write " + path)


def read_vtu(path):
    reader = vtk.vtkXMLUnstructuredGridReader()
    reader.SetFileName(path)
    reader.Update()
    return reader.GetOutput()


def source_case(kind, cells, rng):
    if kind == "hex8":
        n = max(2, round(cells ** (1.0 / 3.0)))
        points = box_points(n, 0.2, rng)
        return points, hexahedra(n), vtk.VTK_HEXAHEDRON
    n = max(2, round((cells / 6.0) ** (1.0 / 3.0)))
    points = box_points(n, 0.1, rng)
    tets = tetrahedra(n)
    if kind == "tet4":
        return points, tets, vtk.VTK_TETRA
    points, tets = quadratic(points, tets)
    return points, tets, vtk.VTK_QUADRATIC_TETRA


def target_case(cells):
    # Roughly as many target points as source cells, on a grid that matches none of them,
    # slightly inside the box so that no point lies on the source boundary.
    m = max(2, round(0.9 * cells ** (1.0 / 3.0)))
    return box_points(m, 0.0, None, 0.0005, 0.9995), tetrahedra(m)


def run(command):
    start = time.perf_counter()
    done = subprocess.run(command, capture_output=True, text=True)
    seconds = time.perf_counter() - start
    if done.returncode not in (0, 3):
        sys.stderr.write(done.stdout + done.stderr)
        raise SystemExit("failed: " + " ".join(command))
    return seconds, done


def phase_seconds(stderr, phase):
    found = re.findall(r"^" + re.escape(phase) + r" done in ([0-9.]+) s$", stderr, re.M)
    return float(found[-1]) if found else float("nan")


def fieldmap_values(path, count):
    with open(path) as text:
        content = text.read()
    match = re.search(r'Name="NT" NumberOfComponents="1" format="ascii">(.*?)</DataArray>',
                      content, re.S)
    values = np.array(match.group(1).split(), dtype=float)
    if len(values) != count:
        raise SystemExit(path + ": expected %d values, found %d" % (count, len(values)))
    return values


def compare(fieldmap, kind, cells, work, rng):
    points, connectivity, cell_type = source_case(kind, cells, rng)
    source_path = os.path.join(work, "%s-%d-source.vtu" % (kind, cells))
    target_path = os.path.join(work, "%s-%d-target.vtu" % (kind, cells))
    write_vtu(make_grid(points, connectivity, cell_type, field(points)), source_path)
    target_points, target_tets = target_case(cells)
    write_vtu(make_grid(target_points, target_tets, vtk.VTK_TETRA), target_path)

    database = source_path[:-4] + ".zdb"
    mapped = source_path[:-4] + "-mapped"
    import_seconds, _ = run([fieldmap, "import", source_path, "--out", database,
                             "--field", "temperature=NT"])
    map_seconds, done = run([fieldmap, "map", "--source", database, "--target", target_path,
                             "--field", "NT", "--out", mapped + ".zdb", "--vtu", mapped])
    fieldmap_core = phase_seconds(done.stderr, "map")
    ours = fieldmap_values(mapped + ".vtu", len(target_points))

    start = time.perf_counter()
    source = read_vtu(source_path)
    target = read_vtu(target_path)
    read_seconds = time.perf_counter() - start
    probe = vtk.vtkProbeFilter()
    probe.SetInputData(target)
    probe.SetSourceData(source)
    probe.SetCellLocatorPrototype(vtk.vtkStaticCellLocator())
    start = time.perf_counter()
    probe.Update()
    vtk_core = time.perf_counter() - start
    output = probe.GetOutput().GetPointData()
    theirs = numpy_support.vtk_to_numpy(output.GetArray("temperature"))
    valid = numpy_support.vtk_to_numpy(output.GetArray("vtkValidPointMask")).astype(bool)
    difference = float(np.max(np.abs(ours[valid] - theirs[valid]))) if valid.any() else float("nan")
    return {
        "case": kind, "cells": len(connectivity), "targets": len(target_points),
        "fieldmap": fieldmap_core, "vtk": vtk_core,
        "fieldmap_total": import_seconds + map_seconds, "vtk_total": read_seconds + vtk_core,
        "unplaced_vtk": int((~valid).sum()), "mapping_status": done.returncode,
        "difference": difference,
    }


def table(rows):
    lines = ["| case | source cells | target points | fieldmap search + interpolation (s) "
             "| VTK locator + probe (s) | ratio fieldmap/VTK | fieldmap total (s) "
             "| VTK total (s) | placed by fieldmap / VTK | largest difference |",
             "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|"]
    for r in rows:
        # fieldmap exits with 0 only when it placed every point, 3 when it reported some.
        placed = "all" if r["mapping_status"] == 0 else "not all"
        lines.append("| %s | %d | %d | %.3f | %.3f | %.2f | %.2f | %.2f | %s / %d | %.1e |" % (
            r["case"], r["cells"], r["targets"], r["fieldmap"], r["vtk"],
            r["fieldmap"] / r["vtk"], r["fieldmap_total"], r["vtk_total"], placed,
            r["targets"] - r["unplaced_vtk"], r["difference"]))
    return "\n".join(lines)


def plot(rows, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    labels = ["%s\n%.0e" % (r["case"], r["cells"]) for r in rows]
    x = np.arange(len(rows))
    figure, axes = plt.subplots(figsize=(max(6, 1.1 * len(rows)), 4.2))
    axes.bar(x - 0.2, [r["fieldmap"] for r in rows], 0.4, label="fieldmap (search + interpolation)")
    axes.bar(x + 0.2, [r["vtk"] for r in rows], 0.4, label="VTK vtkProbeFilter + vtkStaticCellLocator")
    for i, r in enumerate(rows):
        axes.annotate("%.2fx" % (r["fieldmap"] / r["vtk"]), (x[i], max(r["fieldmap"], r["vtk"])),
                      ha="center", va="bottom", fontsize=8)
    axes.set_yscale("log")
    axes.set_ylabel("seconds")
    axes.set_xticks(x)
    axes.set_xticklabels(labels, fontsize=8)
    axes.set_title("Mapping a point field onto a non-matching tetrahedral box")
    axes.legend(fontsize=8)
    figure.tight_layout()
    figure.savefig(path, dpi=120)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--fieldmap", default=os.path.join(here, "..", "..", "build", "tools",
                                                           "fieldmap", "fieldmap"))
    parser.add_argument("--sizes", default="1e4,1e5,1e6")
    parser.add_argument("--kinds", default=",".join(KINDS))
    parser.add_argument("--work", default=None)
    parser.add_argument("--png", default=os.path.join(here, "vtk_comparison.png"))
    parser.add_argument("--markdown", default=os.path.join(here, "vtk_comparison.md"))
    arguments = parser.parse_args()
    rng = np.random.default_rng(20261205)
    rows = []
    with tempfile.TemporaryDirectory(dir=arguments.work) as work:
        for size in [int(float(s)) for s in arguments.sizes.split(",")]:
            for kind in arguments.kinds.split(","):
                rows.append(compare(arguments.fieldmap, kind, size, work, rng))
                print("%-6s %8d cells: fieldmap %.3f s, VTK %.3f s" % (
                    kind, rows[-1]["cells"], rows[-1]["fieldmap"], rows[-1]["vtk"]), flush=True)
    text = table(rows)
    print(text)
    with open(arguments.markdown, "w") as out:
        out.write(text + "\n")
    plot(rows, arguments.png)
    print("wrote " + arguments.markdown + " and " + arguments.png)


if __name__ == "__main__":
    main()
