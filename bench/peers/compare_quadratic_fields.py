#!/usr/bin/python3
"""Which side reproduces a quadratic field on straight-sided quadratic cells.

Every quadratic element family spans the quadratic polynomials, so a field that is one, given
at the nodes of a source whose cells have straight edges and mid-edge nodes at the middles, must
come back exactly at any point inside. The script builds such sources of 20-node hexahedra,
10-node tetrahedra and 15-node prisms filling the unit box, carrying

    x^2 + xy + yz - z^2 / 4 + x / 2,

maps them with `fieldmap map` (default element choice, one thread) and with VTK's probe filter
onto the jittered tetrahedral box of the side-by-side comparison, and prints per family and side
the largest error over the placed targets, divided by the field's range. A difference between
the two sides on one family is then the error of the side that is not exact there. Last, it
weighs the field at random points of one prism with the weights VTK's quadratic wedge gives.

usage (from the repository's top, with fieldmap built in build/):

    /usr/bin/python3 bench/peers/compare_quadratic_fields.py [--fieldmap PATH] [--cells N]
"""
import argparse
import os
import sys
import tempfile

import numpy as np
import vtk
from vtk.util import numpy_support

import peer_meshes
import peer_runs

WEDGE_EDGES = np.array([[0, 1], [1, 2], [2, 0], [3, 4], [4, 5], [5, 3], [0, 3], [1, 4], [2, 5]])


def quadratic(points):
    x, y, z = points[:, 0], points[:, 1], points[:, 2]
    return x * x + x * y + y * z - 0.25 * z * z + 0.5 * x


def straight_source(family, n):
    """Points, connectivity and VTK cell type of an n^3 box of one quadratic family."""
    corners = peer_meshes.box_points(n, 0.0, None)
    hexes = peer_meshes.hexahedra(n)
    if family == "hex20":
        cells, edges, cell_type = hexes, peer_meshes.HEX_EDGES, vtk.VTK_QUADRATIC_HEXAHEDRON
    elif family == "tet10":
        cells = hexes[:, peer_meshes.KUHN].reshape(-1, 4)
        edges, cell_type = peer_meshes.TET_EDGES, vtk.VTK_QUADRATIC_TETRA
    else:
        cells = hexes[:, peer_meshes.WEDGES].reshape(-1, 6)
        edges, cell_type = WEDGE_EDGES, vtk.VTK_QUADRATIC_WEDGE
    points, cells = peer_meshes.with_edge_middles(corners, cells, edges)
    return points, cells, cell_type


def largest_error(values, placed, exact, field_range):
    return float(np.max(np.abs(values[placed] - exact[placed]))) / field_range


def compare(fieldmap, family, n, target_path, work):
    points, cells, cell_type = straight_source(family, n)
    values = quadratic(points)
    source_path = os.path.join(work, family + ".vtu")
    peer_meshes.write_vtu(peer_meshes.make_grid(points, cells, cell_type, values), source_path)
    database = source_path[:-4] + ".zdb"
    peer_runs.fieldmap_import(fieldmap, source_path, database)
    ours = peer_runs.fieldmap_map(fieldmap, database, target_path, source_path[:-4] + "-out", 1,
                                  False)
    target = peer_meshes.read_vtu(target_path)
    _, theirs, valid, _ = peer_runs.vtk_probe(peer_meshes.read_vtu(source_path), target)
    exact = quadratic(numpy_support.vtk_to_numpy(target.GetPoints().GetData()))
    field_range = float(values.max() - values.min())
    return (len(cells), largest_error(ours["values"], ours["placed"], exact, field_range),
            int(ours["placed"].sum()), largest_error(theirs, valid, exact, field_range),
            int(valid.sum()), len(exact))


def one_prism_weights(samples=200):
    """The largest error of the field from the weights vtkQuadraticWedge gives at random points
    of one straight-sided prism of unit size: the shape functions alone, no search."""
    corners = np.array([[0, 0, 0], [1, 0, 0], [0, 1, 0], [0, 0, 1], [1, 0, 1], [0, 1, 1]], float)
    nodes = np.vstack([corners, 0.5 * (corners[WEDGE_EDGES[:, 0]] + corners[WEDGE_EDGES[:, 1]])])
    cell = vtk.vtkQuadraticWedge()
    for index, node in enumerate(nodes):
        cell.GetPointIds().SetId(index, index)
        cell.GetPoints().SetPoint(index, *node)
    at_nodes = quadratic(nodes)
    rng = np.random.default_rng(1)
    largest = 0.0
    for _ in range(samples):
        r, s = rng.uniform(0.0, 1.0, 2)
        r, s = (1.0 - r, 1.0 - s) if r + s > 1.0 else (r, s)
        point = np.array([r, s, rng.uniform()])
        weights = [0.0] * len(nodes)
        cell.EvaluatePosition(point, [0.0] * 3, vtk.reference(0), [0.0] * 3, vtk.reference(0.0),
                              weights)
        largest = max(largest, abs(float(np.dot(weights, at_nodes)) - quadratic(point[None])[0]))
    return largest / float(at_nodes.max() - at_nodes.min())


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--fieldmap", default=os.path.join(here, "..", "..", "build", "tools",
                                                           "fieldmap", "fieldmap"))
    parser.add_argument("--cells", type=int, default=8, help="cells along each box edge")
    arguments = parser.parse_args()
    peer_runs.single_threaded_vtk()
    with tempfile.TemporaryDirectory() as work:
        target_path = os.path.join(work, "target.vtu")
        peer_meshes.write_vtu(peer_meshes.make_grid(*peer_meshes.solid_target(
            4000, np.random.default_rng(7))), target_path)
        print("| family | source cells | fieldmap: largest error / range | placed | "
              "VTK: largest error / range | placed |")
        print("|---|---:|---:|---:|---:|---:|")
        for family in ("hex20", "tet10", "wedge15"):
            cells, ours, placed, theirs, valid, targets = compare(
                arguments.fieldmap, family, arguments.cells, target_path, work)
            print("| %s | %d | %.1e | %d / %d | %.1e | %d / %d |" %
                  (family, cells, ours, placed, targets, theirs, valid, targets))
    print("\nVTK's quadratic wedge weights on one straight-sided prism: largest error / range "
          "%.1e" % one_prism_weights())
    return 0


if __name__ == "__main__":
    sys.exit(main())
