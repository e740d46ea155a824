"""The meshes of the VTK comparison: sources of every element family and their targets.

Solid sources fill the unit box and carry the point field sin(3x) cos(2y) + z^2; their target
is one tetrahedral box per size whose interior nodes are jittered, on a grid that matches none of
the sources and lies just inside the unit box, so every target node has a containing source
cell. The shell source is a closed cylinder of quadrilaterals (radius 1, height pi) carrying the
same field; its target is a finer quadrilateral patch of the same faceted surface: its nodes lie
on the flat source facets. (Nodes on the true cylinder, a little off the facets, are what a
remeshed curved shell has, but VTK's probe places no point off a 2-D cell's plane: its cell
locator's bounds test rejects it even with an explicit tolerance of 1e-2.)
Every mesh is written by VTK's XML writer as appended raw binary, without compression.
"""
import math

import numpy as np
import vtk
from vtk.util import numpy_support

SOLID_CASES = ("hex8", "hex8-rectilinear", "tet4", "hex20", "tet10", "wedge6")
SHELL_CASES = ("quad4-shell",)
# A solid source onto the same tetrahedral box with its nodes listed in random order, as a mesh
# generator or a partitioner may leave them: the order in which each side meets the points.
UNORDERED = "-unordered"
UNORDERED_CASES = ("tet4" + UNORDERED,)
CASES = SOLID_CASES + SHELL_CASES + UNORDERED_CASES

# Six tetrahedra around the diagonal 0-6 of a hexahedron in VTK corner order.
KUHN = np.array([[0, 1, 2, 6], [0, 2, 3, 6], [0, 3, 7, 6], [0, 7, 4, 6], [0, 4, 5, 6],
                 [0, 5, 1, 6]])
# Two wedges per hexahedron, split along the diagonal 0-2 of its bottom face, each first triangle
# turned towards the second as VTK's own wedge (vtkWedge's parametric coordinates), Gmsh, meshio
# and fieldmap number it.
WEDGES = np.array([[0, 1, 2, 4, 5, 6], [0, 2, 3, 4, 6, 7]])
TET_EDGES = np.array([[0, 1], [1, 2], [2, 0], [0, 3], [1, 3], [2, 3]])
HEX_EDGES = np.array([[0, 1], [1, 2], [2, 3], [3, 0], [4, 5], [5, 6], [6, 7], [7, 4], [0, 4],
                      [1, 5], [2, 6], [3, 7]])
# Target node counts of the solid box and the shell patch per source size, as in the first
# side-by-side measurement (97,187 and 954,494 box nodes; 137,061 and 867,711 patch nodes).
TARGET_NODES = {100000: (97187, 137061), 1000000: (954494, 867711)}
FIELD_NAME = "temperature"
SHELL_HEIGHT = math.pi


def field(points):
    x, y, z = points[:, 0], points[:, 1], points[:, 2]
    return np.sin(3.0 * x) * np.cos(2.0 * y) + z * z


def box_points(n, jitter, rng, low=0.0, high=1.0):
    """The (n + 1)^3 nodes of a box, interior ones moved by up to jitter cell widths."""
    axis = np.linspace(low, high, n + 1)
    z, y, x = np.meshgrid(axis, axis, axis, indexing="ij")
    points = np.column_stack([x.ravel(), y.ravel(), z.ravel()])
    if jitter > 0:
        inside = np.all((points > low + 1e-12) & (points < high - 1e-12), axis=1)
        h = (high - low) / n
        points[inside] += rng.uniform(-jitter * h, jitter * h, (int(inside.sum()), 3))
    return points


def hexahedra(n):
    i, j, k = (a.ravel() for a in np.meshgrid(np.arange(n), np.arange(n), np.arange(n),
                                               indexing="ij"))

    def at(a, b, c):
        return (c * (n + 1) + b) * (n + 1) + a

    return np.column_stack([at(i, j, k), at(i + 1, j, k), at(i + 1, j + 1, k), at(i, j + 1, k),
                            at(i, j, k + 1), at(i + 1, j, k + 1), at(i + 1, j + 1, k + 1),
                            at(i, j + 1, k + 1)])


def with_edge_middles(points, cells, edges):
    """Appends one node at the middle of every distinct edge, numbered after the corners."""
    pairs = np.sort(cells[:, edges].reshape(-1, 2), axis=1).astype(np.int64)
    keys = pairs[:, 0] * len(points) + pairs[:, 1]
    unique, inverse = np.unique(keys, return_inverse=True)
    first, second = unique // len(points), unique % len(points)
    middles = 0.5 * (points[first] + points[second])
    middle_ids = len(points) + inverse.reshape(len(cells), len(edges))
    return np.vstack([points, middles]), np.hstack([cells, middle_ids])


def solid_source(case, cells, rng):
    """Points, connectivity and VTK cell type of a solid source of about `cells` cells."""
    if case in ("hex8", "hex8-rectilinear", "hex20"):
        n = max(2, round(cells ** (1.0 / 3.0)))
        points = box_points(n, 0.0 if case == "hex8-rectilinear" else 0.2, rng)
        if case == "hex20":
            points, hexes = with_edge_middles(points, hexahedra(n), HEX_EDGES)
            return points, hexes, vtk.VTK_QUADRATIC_HEXAHEDRON
        return points, hexahedra(n), vtk.VTK_HEXAHEDRON
    if case == "wedge6":
        n = max(2, round((cells / 2.0) ** (1.0 / 3.0)))
        return box_points(n, 0.2, rng), hexahedra(n)[:, WEDGES].reshape(-1, 6), vtk.VTK_WEDGE
    n = max(2, round((cells / 6.0) ** (1.0 / 3.0)))
    points = box_points(n, 0.1, rng)
    tets = hexahedra(n)[:, KUHN].reshape(-1, 4)
    if case == "tet4":
        return points, tets, vtk.VTK_TETRA
    points, tets = with_edge_middles(points, tets, TET_EDGES)
    return points, tets, vtk.VTK_QUADRATIC_TETRA


def solid_target(nodes, rng):
    """A tetrahedral box of about `nodes` nodes just inside the unit box."""
    m = max(2, round(nodes ** (1.0 / 3.0))) - 1
    points = box_points(m, 0.1, rng, 0.0005, 0.9995)
    return points, hexahedra(m)[:, KUHN].reshape(-1, 4), vtk.VTK_TETRA


def cylinder_quads(points_at, angles, heights, closed):
    """Quadrilaterals through the given angles and heights of the unit cylinder, their nodes
    placed by points_at(angles, heights)."""
    columns = len(angles) - (1 if closed else 0)
    a, h = np.meshgrid(angles[:columns], heights, indexing="xy")
    points = points_at(a.ravel(), h.ravel())
    quad_columns = len(angles) - 1
    i, j = (v.ravel() for v in np.meshgrid(np.arange(quad_columns), np.arange(len(heights) - 1),
                                            indexing="xy"))
    right = (i + 1) % columns
    quads = np.column_stack([j * columns + i, j * columns + right, (j + 1) * columns + right,
                             (j + 1) * columns + i])
    return points, quads, vtk.VTK_QUAD


def on_cylinder(angles, heights):
    return np.column_stack([np.cos(angles), np.sin(angles), heights])


def shell_columns(cells):
    """Quadrilaterals around and along a cylinder of about `cells` near-square ones."""
    around = max(8, round(math.sqrt(2.0 * math.pi / SHELL_HEIGHT * cells)))
    return around, max(2, round(cells / around))


def shell_source(cells):
    around, along = shell_columns(cells)
    return cylinder_quads(on_cylinder, np.linspace(0.0, 2.0 * math.pi, around + 1),
                          np.linspace(0.0, SHELL_HEIGHT, along + 1), closed=True)


def shell_target(nodes, cells):
    """A quarter turn of the middle half of the faceted cylinder of shell_source(cells), about
    `nodes` nodes, each on the chord of the source column that holds its angle."""
    step = 2.0 * math.pi / shell_columns(cells)[0]

    def on_facets(angles, heights):
        column = np.floor(angles / step)
        along = (angles - column * step) / step
        start, end = on_cylinder(column * step, heights), on_cylinder((column + 1) * step, heights)
        return (1.0 - along)[:, None] * start + along[:, None] * end

    side = max(2, round(math.sqrt(nodes)))
    return cylinder_quads(on_facets, np.linspace(0.4, 0.4 + 0.5 * math.pi, side),
                          np.linspace(0.25 * SHELL_HEIGHT, 0.75 * SHELL_HEIGHT, side),
                          closed=False)


def target_nodes(size):
    """Target node counts (solid box, shell patch) for a source of `size` cells."""
    if size in TARGET_NODES:
        return TARGET_NODES[size]
    solid, shell = TARGET_NODES[100000]
    return round(solid * size / 100000), round(shell * size / 100000)


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
        array = numpy_support.numpy_to_vtk(np.ascontiguousarray(values), deep=True)
        array.SetName(FIELD_NAME)
        grid.GetPointData().AddArray(array)
    return grid


def write_vtu(grid, path):
    """Writes as VTK writes binary: appended raw data, no compression."""
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
    if reader.GetErrorCode() != 0:
        raise SystemExit("VTK could not read " + path)
    return reader.GetOutput()


def write_source(case, cells, path, rng):
    """Writes a source with its field; returns (cell count, node count, field range)."""
    points, connectivity, cell_type = (shell_source(cells) if case in SHELL_CASES
                                       else solid_source(case, cells, rng))
    values = field(points)
    write_vtu(make_grid(points, connectivity, cell_type, values), path)
    return len(connectivity), len(points), float(values.max() - values.min())


def source_case(case):
    """The family whose source a case maps: an unordered case maps its family's source."""
    return case[:-len(UNORDERED)] if case.endswith(UNORDERED) else case


def write_target(shell, size, path, rng, unordered=False):
    """Writes the target of a solid or shell case, its nodes listed in random order when asked
    (the same nodes and cells); returns (cell count, node count)."""
    solid_nodes, shell_nodes = target_nodes(size)
    points, connectivity, cell_type = (shell_target(shell_nodes, size) if shell
                                       else solid_target(solid_nodes, rng))
    if unordered:
        order = rng.permutation(len(points))  # listed node i is node order[i]
        renumbered = np.empty_like(order)
        renumbered[order] = np.arange(len(order))
        points, connectivity = points[order], renumbered[connectivity]
    write_vtu(make_grid(points, connectivity, cell_type), path)
    return len(connectivity), len(points)
