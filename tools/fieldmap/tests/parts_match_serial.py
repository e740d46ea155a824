"""fieldmap map --parts N under mpirun -n N must write what one process writes.

A source of perturbed hexahedra beside wedges (written hexahedra first, so the database numbers
its elements in another order than its classes sort) and a node no element uses, with two
nonlinear fields, is mapped onto a grid whose nodes meet the source's nodes, edges and faces,
where several elements tie (both sheared so that the element chosen changes the rounding), lie
as near to two source nodes, and reach past it, where they stay unplaced. At 1, 2 and 3 ranks,
with either element choice, the nearest-node method or the nearest-node fallback, the printed
report, the exit status and the .vtu written from the output database (every stored value, bit
for bit) must equal the serial run's; an option --parts does not take, a rank count other than
--parts, or a nearest-node search of a source with two nodes at one place is a usage error.

usage: parts_match_serial.py FIELDMAP MPIEXEC WORKDIR
"""
import filecmp
import itertools
import os
import random
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


def source_cells(i, c):
    if i < 4:
        return [(12, c)]
    return [(13, [c[0], c[1], c[2], c[4], c[5], c[6]]), (13, [c[0], c[2], c[3], c[4], c[6], c[7]])]


def run(command, name):
    result = subprocess.run(command, capture_output=True, text=True)
    return result.returncode, result.stdout.replace(name, "OUT")


def main():
    fieldmap, mpiexec, work = sys.argv[1:4]
    os.makedirs(work, exist_ok=True)
    path = lambda name: os.path.join(work, name)  # noqa: E731
    points, cells = box(8, 4, 4, 0.25, (0.0, 0.0, 0.0), source_cells, jitter=0.06)
    # A node no element uses, beyond the elements, is still a nearest node; a copy of a node
    # would be one node to the ranks.
    points.append((2.4, 0.7, 0.5))
    arrays = [("NT", 1, lambda p: [p[0] * p[0] + 3 * p[1] * p[2] + 0.1]),
              ("U_D", 3, lambda p: [p[1] * p[2], p[0] - p[2] * p[2], p[0] * p[1] * p[2]])]
    for name, copies in (("source", []), ("twin", points[:1])):
        write_vtk(path(name + ".vtk"), points + copies, cells, arrays)
        subprocess.run([fieldmap, "import", path(name + ".vtk"), "--out", path(name + ".zdb")],
                       check=True, capture_output=True)
    points, cells = box(20, 12, 8, 0.125, (-0.25, -0.25, 0.0), lambda i, c: [(12, c)])
    write_vtk(path("target.vtk"), points, cells, [])
    failures = 0
    for choice in ([], ["--first-accepted"], ["--method", "nearest"], ["--fallback", "nearest"]):
        common = ["map", "--source", path("source.zdb"), "--target", path("target.vtk"),
                  "--field", "NT", "--field", "U_D"] + choice
        serial = run([fieldmap] + common + ["--out", path("one.zdb"), "--vtu", path("one")],
                     path("one"))
        for ranks in (1, 2, 3):
            name = path(f"parts{ranks}")
            parts = run([mpiexec, "-n", str(ranks), fieldmap] + common +
                        ["--parts", str(ranks), "--out", name + ".zdb", "--vtu", name], name)
            same = parts == serial and filecmp.cmp(path("one.vtu"), name + ".vtu", shallow=False)
            print(f"{choice} {ranks} ranks: " + ("same" if same else f"{parts} != {serial}"))
            failures += not same
    # What --parts cannot do is a usage error, with the exit status of every rank, told once.
    for extra, expected in ((["--parts=3"], "runs under mpirun -n 3; this run has 2"),
                            (["--parts=2", "--conserve"], "--conserve cannot be combined"),
                            (["--parts=2", "--method", "nearest"], "lie at one place")):
        twin = [a.replace("source.zdb", "twin.zdb") for a in common]
        result = subprocess.run([mpiexec, "-n", "2", fieldmap] + twin + extra +
                                ["--out", path("refused.zdb")], capture_output=True, text=True)
        refused = result.returncode == 1 and result.stderr.count(expected) == 1
        print(f"{extra} on 2 ranks: " + ("refused" if refused else result.stderr))
        failures += not refused
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
