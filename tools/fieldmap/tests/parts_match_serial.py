"""fieldmap map --parts N under mpirun -n N must write what one process writes.

A source of perturbed hexahedra beside wedges (written hexahedra first, so the database numbers
its elements in another order than its classes sort) and a node no element uses, with two
nonlinear fields, is mapped onto a grid whose nodes meet the source's nodes, edges and faces,
where several elements tie (both sheared so that the element chosen changes the rounding), lie
as near to two source nodes, and reach past it, where they stay unplaced. A curved, tilted quad
shell, whose facets race for the grid's nodes near its edges, places those within a normal
tolerance between two grid layers. At 1, 2 and 3 ranks,
with either element choice, the nearest-node method or the nearest-node fallback, the printed
report, the exit status and the .vtu written from the output database (every stored value, bit
for bit) must equal the serial run's; an option --parts does not take, a rank count other than
--parts, a nearest-node search of a source with two nodes at one place, shells beside solids,
or a shell part lying wholly in z = 0 is a usage error. Ranks that disagree end together, rank 0
naming the rank: given other arguments (but for --threads, which may differ), unable to open the
source, or reading another source under the same name.

usage: parts_match_serial.py FIELDMAP MPIEXEC WORKDIR
"""
import concurrent.futures
import filecmp
import itertools
import math
import os
import random
import shutil
import subprocess
import sys


def write_vtk(path, points, cells, arrays):
    lines = ["# vtk DataFile Version 4.2", "mesh", "ASCII", "DATASET UNSTRUCTURED_GRID",
             f"POINTS {len(points)} double"] + ["%r %r %r" % p for p in points]
    lines.append(f"CELLS {len(cells)} {sum(len(c) + 1 for _, c in cells)}")
    lines += [" ".join(map(str, [len(c)] + c)) for _, c in cells]
    lines += [f"CELL_TYPES {len(cells)}"] + [str(t) for t, _ in cells]
    if arrays:
        lines.append(f"POINT_DATA {len(points)}")
    for name, width, values in arrays:
        lines += [f"SCALARS {name} double {width}", "LOOKUP_TABLE default"]
        lines += [" ".join("%r" % v for v in values(p)) for p in points]
    open(path, "w").write("\n".join(lines) + "\n")


def box(nx, ny, nz, h, origin, cell_of, jitter=0.0):
    rng = random.Random(7)
    index = {}
    points = []
    for k, j, i in itertools.product(range(nz + 1), range(ny + 1), range(nx + 1)):
        inner = 0 < i < nx and 0 < j < ny and 0 < k < nz
        shift = [rng.uniform(-jitter, jitter) if inner else 0.0 for _ in range(3)]
        index[i, j, k] = len(points)
        x, y, z = (origin[a] + h * (i, j, k)[a] + shift[a] for a in range(3))
        # A shear keeps coordinates off binary fractions, so ties round differently.
        points.append((x + y / 3, y + z / 7, z + x / 11))
    cells = []
    for k, j, i in itertools.product(range(nz), range(ny), range(nx)):
        corners = [index[i + di, j + dj, k + dk] for dk in (0, 1)
                   for di, dj in ((0, 0), (1, 0), (1, 1), (0, 1))]
        cells += cell_of(i, corners)
    return points, cells


def surface(nx, ny, h, height):
    points = [(i * h, j * h, height(i * h, j * h)) for j in range(ny + 1) for i in range(nx + 1)]
    corners = (j * (nx + 1) + i for j in range(ny) for i in range(nx))
    return points, [(9, [c, c + 1, c + nx + 2, c + nx + 1]) for c in corners]


def source_cells(i, c):
    if i < 4:
        return [(12, c)]
    return [(13, [c[0], c[1], c[2], c[4], c[5], c[6]]), (13, [c[0], c[2], c[3], c[4], c[6], c[7]])]


def run(command, name):
    try:
        result = subprocess.run(command, capture_output=True, text=True, timeout=200)
    except subprocess.TimeoutExpired:
        return ("timed out", "", "") if name is None else ("timed out", "")
    if name is None:
        return result.returncode, result.stdout, result.stderr
    return result.returncode, result.stdout.replace(name, "OUT")


def main():
    fieldmap, mpiexec, work = sys.argv[1:4]
    # Ranks start in directories of their own, where a relative program path would not lead.
    fieldmap = os.path.abspath(fieldmap) if os.sep in fieldmap else fieldmap
    os.makedirs(work, exist_ok=True)
    path = lambda name: os.path.join(work, name)  # noqa: E731
    points, cells = box(8, 4, 4, 0.25, (0.0, 0.0, 0.0), source_cells, jitter=0.06)
    # A node no element uses, beyond the elements, is still a nearest node; a copy of a node
    # would be one node to the ranks.
    points.append((2.4, 0.7, 0.5))
    arrays = [("NT", 1, lambda p: [p[0] * p[0] + 3 * p[1] * p[2] + 0.1]),
              ("U_D", 3, lambda p: [p[1] * p[2], p[0] - p[2] * p[2], p[0] * p[1] * p[2]])]
    meshes = [("source", points, cells), ("twin", points + points[:1], cells),
              ("mixed", points, cells + [(9, cells[0][1][:4])]),
              ("shell",) + surface(8, 4, 0.25, lambda x, y: 0.4 + 0.15 * math.sin(2 * x) + y / 20),
              ("flat",) + surface(8, 4, 0.25, lambda x, y: max(0.0, y - 0.5))]
    for name, mesh_points, mesh_cells in meshes:
        write_vtk(path(name + ".vtk"), mesh_points, mesh_cells, arrays)
        subprocess.run([fieldmap, "import", path(name + ".vtk"), "--out", path(name + ".zdb")],
                       check=True, capture_output=True)
    points, cells = box(20, 12, 8, 0.125, (-0.25, -0.25, 0.0), lambda i, c: [(12, c)])
    write_vtk(path("target.vtk"), points, cells, [])
    shell = ["--normal-tolerance", "0.2"]
    settings = [("source", []), ("source", ["--first-accepted"]),
                ("source", ["--method", "nearest"]), ("source", ["--fallback", "nearest"]),
                ("shell", shell), ("shell", shell + ["--first-accepted"])]
    # Every run writes files of its own, so the runs go side by side: mpirun spends most of a run
    # that ends with a failure status waiting to end the job, not computing.
    jobs = {}
    for index, (source, choice) in enumerate(settings):
        common = ["map", "--source", path(source + ".zdb"), "--target", path("target.vtk"),
                  "--field", "NT", "--field", "U_D"] + choice
        for ranks in (0, 1, 2, 3):
            name = path(f"out{index}-{ranks}")
            launch = [mpiexec, "-n", str(ranks), fieldmap] if ranks else [fieldmap]
            parts = ["--parts", str(ranks)] if ranks else []
            jobs[index, ranks] = (launch + common + parts + ["--out", name + ".zdb", "--vtu", name],
                                  name)
    # What --parts cannot do is a usage error: rank 0 tells it once and ends the run with status 1.
    refusals = (("twin", ["--parts=3"], "runs under mpirun -n 3; this run has 2"),
                ("twin", ["--parts=2", "--conserve"], "--conserve cannot be combined"),
                ("twin", ["--parts=2", "--method", "nearest"], "lie at one place"),
                ("mixed", ["--parts=2"], "are shells and those of class"),
                ("flat", ["--parts=2"], "the elements rank 0 takes lie wholly in z = 0"))
    for index, (source, extra, _) in enumerate(refusals):
        jobs["refused", index] = ([mpiexec, "-n", "2", fieldmap, "map", "--source",
                                   path(source + ".zdb"), "--target", path("target.vtk"), "--field",
                                   "NT"] + extra + ["--out", path(f"refused{index}.zdb")], None)
    # Each rank runs in a directory of its own, where the relative source name finds the source,
    # nothing, or another mesh.
    for place, content in (("here", "source"), ("nothing", None), ("other", "shell")):
        os.makedirs(path(place), exist_ok=True)
        if content:
            shutil.copy(path(content + ".zdb"), path(os.path.join(place, "s.zdb")))
    disagreements = ((["--threads", "1"], "here", ["--threads", "2"], "here", None),
                     ([], "here", ["--field", "U_D"], "here",
                      "rank 1 was given other arguments than rank 0"),
                     ([], "here", [], "nothing", "rank 1: s.zdb: not a usable database"),
                     ([], "here", [], "other", "on rank 0; every rank of --parts reads the same"))
    for index, (first, first_place, second, second_place, _) in enumerate(disagreements):
        common = [fieldmap, "map", "--source", "s.zdb", "--target", path("target.vtk"), "--field",
                  "NT", "--parts", "2", "--out", path(f"disagree{index}.zdb")]
        jobs["disagree", index] = ([mpiexec, "-n", "1", "-wdir", path(first_place)] + common +
                                   first + [":", "-n", "1", "-wdir", path(second_place)] + common +
                                   second, None)
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        ran = dict(zip(jobs, pool.map(lambda job: run(*job), jobs.values())))
    failures = 0
    for index, (source, choice) in enumerate(settings):
        serial = ran[index, 0]
        for ranks in (1, 2, 3):
            name = path(f"out{index}-{ranks}")
            same = ran[index, ranks] == serial and filecmp.cmp(
                path(f"out{index}-0.vtu"), name + ".vtu", shallow=False)
            print(f"{source} {choice} {ranks} ranks: " +
                  ("same" if same else f"{ran[index, ranks]} != {serial}"))
            failures += not same
    for index, (source, extra, expected) in enumerate(refusals):
        status, _, err = ran["refused", index]
        refused = status == 1 and err.count(expected) == 1
        print(f"{source} {extra} on 2 ranks: " + ("refused" if refused else err))
        failures += not refused
    serial_status = ran[0, 0][0]
    for index, (first, _, second, place, expected) in enumerate(disagreements):
        status, _, err = ran["disagree", index]
        ended = (status == serial_status and "rank 1" not in err) if expected is None else (
            status in (1, 2) and err.count(expected) == 1)
        print(f"rank 0 {first}, rank 1 {second} in {place}: " + ("ended" if ended else
                                                                 f"{status} {err}"))
        failures += not ended
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
