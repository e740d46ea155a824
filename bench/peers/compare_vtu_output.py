#!/usr/bin/python3
"""Size and speed of fieldmap's .vtu output against VTK's own compressed binary writer.

Builds with VTK (once, then reused from the work folder) a source, a perturbed hexahedral unit
box carrying the point fields NT = sin(3x) cos(2y) + z^2 and U_D, and a target, a tetrahedral box
of about a million cells on another grid that reaches a little beyond the source; imports the
source and maps NT and U_D onto the target with `fieldmap map --vtu`. Then

  * size: VTK reads the file `fieldmap export` wrote and writes the same grid and arrays with
    vtkXMLUnstructuredGridWriter in appended raw binary, zlib-compressed at VTK's default level,
    with UInt64 headers; the script prints both sizes and their ratio, and the size of each
    array in both files;
  * speed: `fieldmap export` of the mapped database, timed from start to exit (opening and
    reading the database included), best of several runs, on one thread and on all; the script
    prints the file's megabytes per second and those of the arrays the file holds uncompressed,
    per second of wall time and per second of processor time (user and system), since on a
    shared machine the wall time also counts the waits for a processor. The load average is
    printed with them.

usage: /usr/bin/python3 bench/peers/compare_vtu_output.py [--fieldmap PATH] [--cells N]
                                                          [--work DIR] [--runs R]
"""
import argparse
import os
import re
import resource
import subprocess
import sys
import time

import numpy as np
import vtk
from vtk.util import numpy_support

# Six tetrahedra around the diagonal 0-6 of a hexahedron in VTK corner order.
KUHN = np.array([[0, 1, 2, 6], [0, 2, 3, 6], [0, 3, 7, 6], [0, 7, 4, 6], [0, 4, 5, 6],
                 [0, 5, 1, 6]])
MB = 1e6


def box(n, low, high, jitter, rng):
    axis = np.linspace(low, high, n + 1)
    z, y, x = np.meshgrid(axis, axis, axis, indexing="ij")
    points = np.column_stack([x.ravel(), y.ravel(), z.ravel()])
    inside = np.all((points > low + 1e-12) & (points < high - 1e-12), axis=1)
    h = (high - low) / n
    points[inside] += rng.uniform(-jitter * h, jitter * h, (inside.sum(), 3))
    i, j, k = (a.ravel() for a in np.meshgrid(np.arange(n), np.arange(n), np.arange(n),
                                               indexing="ij"))

    def at(a, b, c):
        return (c * (n + 1) + b) * (n + 1) + a

    hexes = np.column_stack([at(i, j, k), at(i + 1, j, k), at(i + 1, j + 1, k), at(i, j + 1, k),
                             at(i, j, k + 1), at(i + 1, j, k + 1), at(i + 1, j + 1, k + 1),
                             at(i, j + 1, k + 1)])
    return points, hexes


def grid_of(points, cells, cell_type, arrays):
    grid = vtk.vtkUnstructuredGrid()
    vtk_points = vtk.vtkPoints()
    vtk_points.SetData(numpy_support.numpy_to_vtk(points, deep=True))
    grid.SetPoints(vtk_points)
    nodes = cells.shape[1]
    flat = np.hstack([np.full((len(cells), 1), nodes), cells]).ravel().astype(np.int64)
    cell_array = vtk.vtkCellArray()
    cell_array.SetCells(len(cells), numpy_support.numpy_to_vtkIdTypeArray(flat, deep=True))
    grid.SetCells(cell_type, cell_array)
    for name, values in arrays.items():
        array = numpy_support.numpy_to_vtk(np.ascontiguousarray(values), deep=True)
        array.SetName(name)
        grid.GetPointData().AddArray(array)
    return grid


def write_vtk(grid, path, compressed):
    writer = vtk.vtkXMLUnstructuredGridWriter()
    writer.SetFileName(path)
    writer.SetInputData(grid)
    writer.SetDataModeToAppended()
    writer.SetEncodeAppendedData(False)
    writer.SetHeaderTypeToUInt64()
    if compressed:
        writer.SetCompressorTypeToZLib()
    else:
        writer.SetCompressorTypeToNone()
    if not writer.Write():
        sys.exit("VTK could not write " + path)


def read_vtk(path):
    reader = vtk.vtkXMLUnstructuredGridReader()
    reader.SetFileName(path)
    reader.Update()
    return reader.GetOutput()


def run(command):
    done = subprocess.run(command, capture_output=True, text=True)
    if done.returncode not in (0, 3):
        sys.exit("%s failed:\n%s%s" % (" ".join(command), done.stdout, done.stderr))
    return done


def prepare(fieldmap, work, cells):
    """The source database and the mapped target (database and .vtu), built when missing."""
    mapped = os.path.join(work, "mapped-%d" % cells)
    if os.path.exists(mapped + ".zdb") and os.path.exists(mapped + ".vtu"):
        return mapped
    rng = np.random.default_rng(7)
    points, hexes = box(40, 0.0, 1.0, 0.2, rng)
    x, y, z = points.T
    fields = {"NT": np.sin(3 * x) * np.cos(2 * y) + z * z,
              "U_D": np.column_stack([y * z, np.exp(x), x ** 3])}
    source = os.path.join(work, "source.vtu")
    write_vtk(grid_of(points, hexes, vtk.VTK_HEXAHEDRON, fields), source, True)
    run([fieldmap, "import", source, "--out", os.path.join(work, "source.zdb")])
    n = max(1, round((cells / 6) ** (1 / 3)))
    target_points, target_hexes = box(n, -0.02, 1.02, 0.0, rng)
    target = os.path.join(work, "target-%d.vtu" % cells)
    tets = target_hexes[:, KUHN].reshape(-1, 4)
    write_vtk(grid_of(target_points, tets, vtk.VTK_TETRA, {}), target, True)
    run([fieldmap, "map", "--source", os.path.join(work, "source.zdb"), "--target", target,
         "--field", "NT", "--field", "U_D", "--out", mapped + ".zdb", "--vtu", mapped])
    return mapped


def array_sizes(path):
    """Bytes of each appended array of a file (from its offsets), by name."""
    with open(path, "rb") as stream:
        data = stream.read()
    head = data[:data.index(b"<AppendedData")].decode()
    start = data.index(b"_", data.index(b"<AppendedData")) + 1
    end = data.rindex(b"</AppendedData>")
    found = []
    for tag in re.findall(r"<DataArray[^>]*>", head):
        name = re.search(r'Name="([^"]*)"', tag)
        found.append((int(re.search(r'offset="(\d+)"', tag).group(1)),
                      name.group(1) if name else "Points"))
    found.sort()
    sizes, bounds = {}, [offset for offset, _ in found] + [len(data[start:end].rstrip())]
    for (offset, name), following in zip(found, bounds[1:]):
        sizes[name] = following - offset
    return sizes


def raw_bytes(grid):
    arrays = [grid.GetPoints().GetData(), grid.GetCells().GetConnectivityArray(),
              grid.GetCells().GetOffsetsArray(), grid.GetCellTypesArray()]
    data = grid.GetPointData()
    arrays += [data.GetArray(i) for i in range(data.GetNumberOfArrays())]
    return sum(a.GetNumberOfValues() * a.GetDataTypeSize() for a in arrays)


def compare_sizes(ours, work):
    """Sizes of fieldmap's file and of VTK's own of the same grid and arrays, with the cell ids
    in VTK's own 64-bit type and in the 32-bit type fieldmap's file gives them; returns the
    bytes of the arrays as VTK holds them by default (Float64 points and values, Int64
    connectivity and offsets), the measure of the data written whatever types a file uses."""
    grid = read_vtk(ours)
    narrow = os.path.join(work, "vtk-written-32.vtu")
    write_vtk(grid, narrow, True)
    grid.GetCells().ConvertTo64BitStorage()
    theirs = os.path.join(work, "vtk-written.vtu")
    start = time.perf_counter()
    write_vtk(grid, theirs, True)
    vtk_seconds = time.perf_counter() - start
    raw = raw_bytes(grid)
    size_ours = os.path.getsize(ours)
    print("target: %d points, %d cells; arrays %.1f MB as VTK holds them"
          % (grid.GetNumberOfPoints(), grid.GetNumberOfCells(), raw / MB))
    for label, path in (("64-bit ids", theirs), ("32-bit ids", narrow)):
        print("file size: fieldmap %.2f MB, VTK (%s) %.2f MB, ratio %.3f"
              % (size_ours / MB, label, os.path.getsize(path) / MB,
                 size_ours / os.path.getsize(path)))
    print("VTK's writer took %.2f s" % vtk_seconds)
    ours_by_array, theirs_by_array = array_sizes(ours), array_sizes(theirs)
    for name in sorted(ours_by_array):
        print("  %-13s fieldmap %8.2f MB   VTK %8.2f MB"
              % (name, ours_by_array[name] / MB, theirs_by_array.get(name, 0) / MB))
    return raw


def time_export(fieldmap, mapped, work, runs, threads):
    """Best wall time of the runs with its write phase (as the program reports it), and the
    processor time (user and system) of that run: on a machine others share, the wall time also
    holds the waits for a processor."""
    out = os.path.join(work, "exported")
    best = (float("inf"), 0.0, 0.0)
    for _ in range(runs):
        used = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        done = run([fieldmap, "export", mapped + ".zdb", "--vtu", out, "--threads", str(threads)])
        seconds = time.perf_counter() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        writing = float(re.search(r"write .* done in ([0-9.]+) s", done.stderr).group(1))
        processor = after.ru_utime - used.ru_utime + after.ru_stime - used.ru_stime
        best = min(best, (seconds, writing, processor))
    return out + ".vtu", best


def report_export(threads, timing, size, raw):
    seconds, writing, processor = timing
    label = "all threads" if threads == 0 else "%d thread%s" % (threads, "s"[:threads != 1])
    print("export, %-11s %.3f s wall, %.3f s processor, writing %.3f s: arrays %.1f MB/s "
          "(%.1f per processor second, %.1f while writing), file %.1f MB/s"
          % (label, seconds, processor, writing, raw / MB / seconds, raw / MB / processor,
             raw / MB / writing, size / MB / seconds))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--fieldmap", default=os.path.join(here, "..", "..", "build", "tools",
                                                           "fieldmap", "fieldmap"))
    parser.add_argument("--cells", type=float, default=1e6)
    parser.add_argument("--work", default=os.path.join(here, "..", "..", "build", "vtu-output"))
    parser.add_argument("--runs", type=int, default=3)
    options = parser.parse_args()
    os.makedirs(options.work, exist_ok=True)
    mapped = prepare(options.fieldmap, options.work, int(options.cells))
    timings = {threads: time_export(options.fieldmap, mapped, options.work, options.runs, threads)
               for threads in (1, 0)}
    exported = timings[0][0]
    raw = compare_sizes(exported, options.work)
    print("load average: %.2f %.2f %.2f on %d processors" % (os.getloadavg() + (os.cpu_count(),)))
    for threads, (_, timing) in timings.items():
        report_export(threads, timing, os.path.getsize(exported), raw)

main()
