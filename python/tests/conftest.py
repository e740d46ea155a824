"""Meshes of the Python tests: perturbed structured grids of every element family, as blocks per
library element type, and the points inside them."""

import numpy as np
import pytest

# The eight corners of cell (i, j, k) of a grid, in the library's hexahedron order.
_CORNERS = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0), (0, 0, 1), (1, 0, 1), (1, 1, 1), (0, 1, 1)]
# Six tetrahedra and two wedges filling a hexahedron, as corner numbers.
_TETS = [(0, 1, 2, 6), (0, 2, 3, 6), (0, 3, 7, 6), (0, 7, 4, 6), (0, 4, 5, 6), (0, 5, 1, 6)]
_WEDGES = [(0, 1, 2, 4, 5, 6), (0, 2, 3, 4, 6, 7)]
# Mid-edge nodes of a quadratic tetrahedron, in the library's (and VTK's) order.
_TET10_EDGES = [(0, 1), (1, 2), (2, 0), (0, 3), (1, 3), (2, 3)]


def grid(n, jitter=0.15, seed=1):
    """(n+1)^3 points on the unit cube, interior points moved by up to jitter cells, and the
    (n^3, 8) corner table of its cells."""
    rng = np.random.default_rng(seed)
    axis = np.arange(n + 1)
    k, j, i = np.meshgrid(axis, axis, axis, indexing="ij")
    ijk = np.stack([i.ravel(), j.ravel(), k.ravel()], axis=1)
    interior = np.all((ijk > 0) & (ijk < n), axis=1)
    points = ijk.astype(float)
    points[interior] += rng.uniform(-jitter, jitter, (interior.sum(), 3))
    index = lambda a, b, c: (c * (n + 1) + b) * (n + 1) + a
    cells = np.arange(n)
    kk, jj, ii = [c.ravel() for c in np.meshgrid(cells, cells, cells, indexing="ij")]
    hexes = np.stack([index(ii + a, jj + b, kk + c) for a, b, c in _CORNERS], axis=1)
    return points / n, hexes


def with_midside_nodes(points, tets):
    """Adds a node in the middle of every edge: quadratic tetrahedra with straight edges."""
    edges = np.sort(np.concatenate([tets[:, list(e)] for e in _TET10_EDGES]), axis=1)
    unique, inverse = np.unique(edges, axis=0, return_inverse=True)
    middles = 0.5 * (points[unique[:, 0]] + points[unique[:, 1]])
    mid = (len(points) + inverse.reshape(len(_TET10_EDGES), -1)).T
    return np.vstack([points, middles]), np.hstack([tets, mid])


def family_mesh(family, n=4):
    """(points, {element type: connectivity}) of a perturbed unit-cube mesh of one family, or of
    a tilted flat quadrilateral shell for "S4"."""
    points, hexes = grid(n)
    if family == "C3D8":
        return points, {"C3D8": hexes}
    if family == "C3D6":
        return points, {"C3D6": np.vstack([hexes[:, list(w)] for w in _WEDGES])}
    tets = np.vstack([hexes[:, list(t)] for t in _TETS])
    if family == "C3D4":
        return points, {"C3D4": tets}
    if family == "C3D10":
        points, tet10 = with_midside_nodes(points, tets)
        return points, {"C3D10": tet10}
    if family == "S4":
        plane = points[:, 2] == 0.0
        renumber = np.cumsum(plane) - 1
        quads = hexes[np.all(plane[hexes[:, :4]], axis=1), :4]
        flat = points[plane]
        return tilt(flat), {"S4": renumber[quads]}
    raise ValueError(family)


def tilt(points):
    """Points of the plane z = 0 turned into the plane x + y + 2z = 1 (no longer z = 0)."""
    normal = np.array([1.0, 1.0, 2.0]) / np.sqrt(6.0)
    u = np.array([1.0, -1.0, 0.0]) / np.sqrt(2.0)
    v = np.cross(normal, u)
    return points[:, :1] * u + points[:, 1:2] * v + normal / np.sqrt(6.0)


def inside(points, cells, count, seed=2):
    """Random points inside the cells (convex combinations of each cell's corners)."""
    rng = np.random.default_rng(seed)
    (connectivity,) = cells.values()
    corners = connectivity[:, :4] if connectivity.shape[1] in (4, 10) else connectivity[:, :8]
    chosen = rng.integers(0, len(connectivity), count)
    weights = rng.dirichlet(np.ones(corners.shape[1]), count)
    return np.einsum("pk,pkd->pd", weights, points[corners[chosen]])


@pytest.fixture
def hex_case():
    points, cells = family_mesh("C3D8")
    return points, cells, inside(points, cells, 200)
