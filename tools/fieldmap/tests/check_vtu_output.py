"""Reads fieldmap's .vtu output with VTK's XML reader and with meshio, as a user's tools would.

Targets of every solid family and a shell are written by VTK itself, their quadratic nodes placed
at VTK's own parametric coordinates (vtkCell.GetParametricCoords), one column of cells reaching
beyond the unit source box of `fieldmap demo`. The demo's fields are mapped onto each with
`map --vtu`, the mapped database is exported, and both files must hold the target's points,
connectivity and cell types exactly, Float64 fields equal to the demo's linear fields where the
search placed the node and the fill value where it did not, and the UInt8 array `placed` saying
which. A plate of triangles and quadrilaterals takes the demo's integration-point strain as cell
data. A grid with one cell of every type comes back from `import` then `export` bit for bit.

usage: check_vtu_output.py FIELDMAP WORKDIR    (exit 77: a module is missing, the check skipped)
"""
import filecmp
import os
import subprocess
import sys

try:
    import meshio
    import numpy as np
    import vtk
    from vtk.util.numpy_support import vtk_to_numpy
except ImportError as missing:
    print(f"skipped: Python module {missing.name} is missing "
          "(Debian python3-vtk9, python3-meshio, python3-numpy)")
    sys.exit(77)

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import write_mesh_cases  # noqa: E402

FIELDMAP, WORK = sys.argv[1], sys.argv[2]
HEX_TETS = [(0, 1, 2, 6), (0, 2, 3, 6), (0, 3, 7, 6), (0, 7, 4, 6), (0, 4, 5, 6), (0, 5, 1, 6)]
HEX_WEDGES = [(0, 1, 3, 4, 5, 7), (1, 2, 3, 5, 6, 7)]
MESHIO_NAMES = {10: "tetra", 24: "tetra10", 13: "wedge", 25: "hexahedron20", 9: "quad",
                5: "triangle"}


def fieldmap(*args, status=0):
    run = subprocess.run([FIELDMAP, *args], capture_output=True, text=True)
    assert run.returncode == status, f"fieldmap {' '.join(args)}: {run.returncode}\n{run.stderr}"
    return run


def path(name):
    return os.path.join(WORK, name)


def box_cells(xs, flat=None):
    """Hexahedra (or, with flat, quadrilaterals at z = flat) over the grid xs x [0, 1] x [0, 1]."""
    ys = [0.0, 0.5, 1.0]
    zs = [flat] if flat is not None else ys
    points = [(x, y, z) for z in zs for y in ys for x in xs]
    at = {p: i for i, p in enumerate(points)}
    cells = []
    for k in range(max(1, len(zs) - 1)):
        for j in range(len(ys) - 1):
            for i in range(len(xs) - 1):
                corners = [(xs[i], ys[j]), (xs[i + 1], ys[j]), (xs[i + 1], ys[j + 1]),
                           (xs[i], ys[j + 1])]
                layers = zs[k:k + 1] if flat is not None else zs[k:k + 2]
                cells.append([at[(x, y, z)] for z in layers for x, y in corners])
    return points, cells


def vtk_grid(points, cells):
    """cells: (VTK type, point indices); quadratic types get their higher nodes where VTK's
    parametric coordinates put them in the straight tetrahedron or box hexahedron they are given."""
    grid, vtk_points, known = vtk.vtkUnstructuredGrid(), vtk.vtkPoints(), {}
    vtk_points.SetDataTypeToDouble()
    def point(xyz):
        key = tuple(round(float(c), 12) for c in xyz)
        if key not in known:
            known[key] = vtk_points.InsertNextPoint(key)
        return known[key]
    for cell_type, ids in cells:
        corners = np.array([points[i] for i in ids])
        nodes = [point(p) for p in corners]
        if cell_type in (24, 25):
            shape = vtk.vtkGenericCell()
            shape.SetCellType(cell_type)
            tetrahedron = cell_type == 24
            frame = corners[1:4] - corners[0] if tetrahedron else np.diag(corners[6] - corners[0])
            pcoords = np.array(shape.GetParametricCoords()).reshape(-1, 3)[len(ids):]
            nodes += [point(corners[0] + p @ frame) for p in pcoords]
        grid.InsertNextCell(cell_type, len(nodes), nodes)
    grid.SetPoints(vtk_points)
    return grid


def targets():
    xs = [0.0, 0.5, 1.0, 2.0]
    points, hexes = box_cells(xs)
    tets = [[h[c] for c in tet] for h in hexes for tet in HEX_TETS]
    quads_points, quads = box_cells(xs, flat=0.5)
    return {"tet4": vtk_grid(points, [(10, t) for t in tets]),
            "tet10": vtk_grid(points, [(24, t) for t in tets]),
            "wedge": vtk_grid(points, [(13, [h[c] for c in w]) for h in hexes for w in HEX_WEDGES]),
            "hex20": vtk_grid(points, [(25, h) for h in hexes]),
            "shell": vtk_grid(points + quads_points,
                              [(9, [len(points) + i for i in q]) for q in quads] +
                              [(5, [h[c] for c in (1, 2, 6)]) for h in hexes[:2]])}


def write(grid, name):
    writer = vtk.vtkXMLUnstructuredGridWriter()
    writer.SetInputData(grid)
    write_mesh_cases.run(writer, path(name))


def read(name, with_meshio=True):
    reader = vtk.vtkXMLUnstructuredGridReader()
    reader.SetFileName(path(name))
    reader.Update()
    return reader.GetOutput(), meshio.read(path(name)) if with_meshio else None


def cells_of(grid):
    """Every cell as its type and point ids in order, sorted: the database keeps the cells of one
    element class together, so cells of several types may come back in another order."""
    cells = grid.GetCells()
    ids, ends = vtk_to_numpy(cells.GetConnectivityArray()), vtk_to_numpy(cells.GetOffsetsArray())
    types = vtk_to_numpy(grid.GetCellTypesArray())
    return sorted((t, tuple(ids[a:b])) for t, a, b in zip(types, ends[:-1], ends[1:]))


def point_array(grid, name, vtk_type):
    array = grid.GetPointData().GetArray(name)
    assert array is not None and array.GetDataType() == vtk_type, f"point array {name}"
    return vtk_to_numpy(array)


def check_mapped(name, target, output, options, source):
    """Points beyond the source get the fill value, or with the fallback the value of the
    nearest source node, and 'placed' says which."""
    grid, mesh = read(output)
    xyz = vtk_to_numpy(grid.GetPoints().GetData())
    assert np.array_equal(xyz, vtk_to_numpy(target.GetPoints().GetData())), "points"
    assert cells_of(grid) == cells_of(target), f"{name}: cells differ from the target's"
    inside, fallback = xyz[:, 0] <= 1.0, "--fallback" in options
    marks = np.where(inside, 1, 2 if fallback else 0)
    assert np.array_equal(point_array(grid, "placed", vtk.VTK_UNSIGNED_CHAR), marks), "placed"
    source_xyz, source_grid = vtk_to_numpy(source.GetPoints().GetData()), source.GetPointData()
    nearest = np.argmin(((xyz[:, None, :] - source_xyz[None, :, :]) ** 2).sum(axis=2), axis=1)
    x, y, z = xyz.T
    expected = {"NT": 20 + 100 * x - 30 * y + 10 * z,
                "U_D": np.c_[0.1 + 2 * x - y + 0.5 * z, -0.5 + x + 3 * y - z, 0.25 - x + y + 2 * z]}
    for field, values in expected.items():
        mapped = point_array(grid, field, vtk.VTK_DOUBLE)
        assert np.allclose(mapped[inside], values[inside], atol=1e-4), f"{name}: {field}"
        outside = vtk_to_numpy(source_grid.GetArray(field))[nearest] if fallback else np.full_like(
            mapped, 7.0 if "--fill" in options else 0.0)
        assert np.array_equal(mapped[~inside], outside[~inside]), f"{name}: {field} outside"
        assert mesh.point_data[field].dtype == np.float64 and np.array_equal(
            mesh.point_data[field], mapped), f"{name}: meshio reads {field} otherwise"
    assert mesh.point_data["placed"].dtype == np.uint8, "meshio: placed"
    types = {block.type for block in mesh.cells}
    assert types == {MESHIO_NAMES[t] for t, _ in cells_of(target)}, f"{name}: meshio cell types"


def check_plate_strain(output, target):
    grid, mesh = read(output)
    # A plane mesh keeps two coordinates per node; the files give z = 0 back.
    assert np.array_equal(vtk_to_numpy(grid.GetPoints().GetData()),
                          vtk_to_numpy(target.GetPoints().GetData())), "plate points"
    strain = vtk_to_numpy(grid.GetCellData().GetArray("LE"))
    centres = vtk.vtkCellCenters()
    centres.SetInputData(grid)
    centres.Update()
    x, y, _ = vtk_to_numpy(centres.GetOutput().GetPoints().GetData()).T
    expected = np.c_[100 + 50 * x - 20 * y, -40 + 10 * x + 30 * y, 5 * x - 5 * y]
    # Each cell's points together average to the linear field at its centre.
    mean = np.nanmean(strain.reshape(len(strain), -1, 3), axis=1)
    assert np.allclose(mean, expected, atol=1e-3), "LE is not in its own cell"
    # Four points of three components per cell; the triangles' one point leaves the rest NaN.
    triangles = vtk_to_numpy(grid.GetCellTypesArray()) == 5
    assert strain.shape[1] == 12 and triangles.any() and np.isnan(strain[triangles, 3:]).all()
    assert not np.isnan(strain[~triangles]).any(), "quadrilateral points missing"
    assert np.array_equal(np.concatenate(mesh.cell_data["LE"]), strain, equal_nan=True), "meshio"


def check_round_trip(name, mode):
    """import then export gives back the points, cells and point arrays VTK reads from the
    file, bit for bit, and the import finds nothing wrong with VTK's own cells."""
    # Voxels and pixels come back as the hexahedra and quadrilaterals they are imported as.
    writer = vtk.vtkXMLUnstructuredGridWriter()
    writer.SetInputData(write_mesh_cases.build_grid(False))
    write_mesh_cases.configure(writer, *mode)
    write_mesh_cases.run(writer, path(name + ".vtu"))
    run = fieldmap("import", path(name + ".vtu"), "--out", path(name + ".zdb"),
                   "--field", "temperature=NT", "--field", "velocity=V_D")
    assert "warning" not in run.stderr, run.stderr
    fieldmap("export", path(name + ".zdb"), "--vtu", path(name + "-back"))
    # meshio 5 has no dimension for the quadratic wedge and refuses even VTK's own file.
    (grid, _), (back, _) = read(name + ".vtu", False), read(name + "-back.vtu", False)
    assert np.array_equal(vtk_to_numpy(back.GetPoints().GetData()),
                          vtk_to_numpy(grid.GetPoints().GetData())), f"{name}: points"
    assert cells_of(back) == cells_of(grid), f"{name}: cells"
    # The arrays keep the names they were imported from.
    for array in ("temperature", "velocity"):
        original = vtk_to_numpy(grid.GetPointData().GetArray(array)).astype(np.float64)
        assert np.array_equal(point_array(back, array, vtk.VTK_DOUBLE), original), array


def main():
    os.makedirs(WORK, exist_ok=True)
    fieldmap("demo", "--size", "4", "--out", path("demo"))
    source = path("demo/demo-source.zdb")
    fieldmap("export", source, "--vtu", path("source"))
    options = {"tet10": ["--fill", "7"], "hex20": ["--fallback", "nearest"]}
    for name, target in targets().items():
        write(target, name + ".vtu")
        fieldmap("map", "--source", source, "--target", path(name + ".vtu"), "--field", "U_D",
                 "--field", "NT", "--out", path(name + "-mapped.zdb"), "--vtu",
                 path(name + "-mapped"), *options.get(name, []),
                 status=0 if name == "hex20" else 3)
        fieldmap("export", path(name + "-mapped.zdb"), "--vtu", path(name + "-exported"))
        for output in (name + "-mapped.vtu", name + "-exported.vtu"):
            check_mapped(name, target, output, options.get(name, []), read("source.vtu")[0])
    # The search, the transfers and the compression give the same bytes on one thread as on all.
    fieldmap("map", "--source", source, "--target", path("tet10.vtu"), "--field", "U_D", "--field",
             "NT", "--out", path("one.zdb"), "--vtu", path("one"), "--fill", "7", "--threads", "1",
             status=3)
    assert filecmp.cmp(path("one.vtu"), path("tet10-mapped.vtu"), shallow=False), "threads"
    plate_points, plate_quads = box_cells([0.0, 0.5, 1.0], flat=0.0)
    plate = vtk_grid(plate_points, [(9, plate_quads[0])] + [(5, [q[c] for c in t]) for q in
                     plate_quads[1:] for t in ((0, 1, 2), (0, 2, 3))])
    write(plate, "plate.vtu")
    fieldmap("map", "--source", source, "--source-mesh", "2", "--target", path("plate.vtu"),
             "--field", "LE", "--out", path("plate-mapped.zdb"), "--vtu", path("plate-mapped"))
    fieldmap("export", path("plate-mapped.zdb"), "--vtu", path("plate-exported"))
    for output in ("plate-mapped.vtu", "plate-exported.vtu"):
        check_plate_strain(output, plate)
    for name, mode in write_mesh_cases.XML_MODES.items():
        check_round_trip(name, mode)
    print("VTK and meshio read every output as written")


main()
