"""Mapping properties: linear fields come back at the targets for every element family, the
weights are the mapping, the cell forms agree, unplaced points get the fill or the fallback."""

import warnings

import numpy as np
import pytest
import scipy.sparse

import velzorgfm
from conftest import _TETS, family_mesh, grid, inside

# A linear field of three components, and how closely each family gives it back: affine
# tetrahedra exactly, the others to the accuracy of the search's Newton iterations, which stop
# once a step is below 1e-6 in natural coordinates (hexahedra and wedges come within 5e-7 here).
GRADIENT = np.array([[1.0, -2.0, 0.5], [0.25, 3.0, -1.0], [2.0, 0.0, 1.5]])
OFFSET = np.array([4.0, -1.0, 0.5])
FAMILIES = [("C3D4", 1e-12), ("C3D8", 1e-6), ("C3D10", 1e-9), ("C3D6", 1e-6), ("S4", 1e-9)]


def linear(points):
    return points @ GRADIENT + OFFSET


@pytest.mark.parametrize("family,tolerance", FAMILIES)
def test_linear_field_is_reproduced_at_the_targets(family, tolerance):
    points, cells = family_mesh(family)
    targets = inside(points, cells, 300)
    mapper = velzorgfm.Mapper(points, cells, targets)
    mapped = mapper.map(linear(points))
    assert mapper.placed.all() and mapper.flags == 0
    np.testing.assert_allclose(mapped, linear(targets), rtol=0, atol=tolerance)


@pytest.mark.parametrize("family,_", FAMILIES)
@pytest.mark.parametrize("options", [{}, {"method": "nearest"}, {"fallback": True}])
def test_csr_weights_times_source_values_are_the_mapped_values(family, _, options):
    points, cells = family_mesh(family, n=3)
    # Half the targets beyond the source, so rows of unplaced points are covered too.
    targets = np.vstack([inside(points, cells, 50), inside(points, cells, 50) + 0.6])
    mapper = velzorgfm.Mapper(points, cells, targets, **options)
    values = np.random.default_rng(3).normal(size=(len(points), 2))
    weights = mapper.weights()
    assert isinstance(weights, scipy.sparse.csr_matrix) and weights.shape == (100, len(points))
    linked = np.diff(weights.indptr) > 0
    np.testing.assert_array_equal(weights[linked] @ values, mapper.map(values)[linked])
    # Shape functions and nearest nodes both sum to one.
    np.testing.assert_allclose(weights.sum(axis=1).A1[linked], 1.0, atol=1e-12)
    # Rows are empty exactly where a point was left unplaced without a fallback.
    np.testing.assert_array_equal(linked, mapper.placed if not options else True)
    assert not mapper.placed.all() or options


def test_vtk_cells_and_blocks_give_the_same_numbers(hex_case):
    points, cells, targets = hex_case
    hexes = cells["C3D8"]
    offsets = 8 * np.arange(len(hexes) + 1)
    types = np.full(len(hexes), 12)
    values = np.random.default_rng(4).normal(size=len(points))
    by_blocks = velzorgfm.Mapper(points, cells, targets).map(values)
    by_vtk = velzorgfm.Mapper(points, (hexes.ravel(), offsets, types), targets).map(values)
    by_ends = velzorgfm.Mapper(points, (hexes, offsets[1:], types), targets).map(values)
    np.testing.assert_array_equal(by_blocks, by_vtk)
    np.testing.assert_array_equal(by_blocks, by_ends)


def test_unplaced_points_get_the_fill_or_their_nearest_source_node():
    points, cells = family_mesh("C3D8", n=2)
    targets = np.array([[0.5, 0.5, 0.5], [3.0, 0.0, 0.0], [-2.0, 1.0, 1.0]])
    values = np.arange(len(points), dtype=float)
    filled = velzorgfm.Mapper(points, cells, targets, fill=np.nan)
    assert filled.placed.tolist() == [True, False, False] and filled.flags & 2
    assert np.isnan(filled.map(values)[1:]).all()
    fallback = velzorgfm.Mapper(points, cells, targets, fallback=True)
    nearest = [np.argmin(np.linalg.norm(points - t, axis=1)) for t in targets[1:]]
    np.testing.assert_array_equal(fallback.map(values)[1:], values[nearest])
    assert fallback.placed.tolist() == [True, False, False]
    assert any("target points" in text for text in fallback.diagnostics)


def test_nearest_node_between_identical_meshes_gives_the_source_field():
    points, cells = family_mesh("C3D4", n=2)
    values = np.random.default_rng(5).normal(size=(len(points), 3))
    mapped = velzorgfm.Mapper(points, cells, points, method="nearest").map(values)
    np.testing.assert_array_equal(mapped, values)


def test_conservative_mapping_keeps_each_components_sum():
    points, cells = family_mesh("C3D8", n=3)
    target_points, target_cells = grid(5, jitter=0.1, seed=9)
    values = np.random.default_rng(6).uniform(1.0, 2.0, size=(len(points), 2))
    mapper = velzorgfm.Mapper(points, cells, target_points, {"C3D8": target_cells},
                              conservative=True)
    mapped = mapper.map(values)
    np.testing.assert_allclose(mapped.sum(axis=0), values.sum(axis=0), rtol=1e-12)
    np.testing.assert_allclose(mapper.weights() @ values, mapped, rtol=1e-12)
    assert mapper.flags & 32 == 0


def test_weights_are_reused_and_a_second_field_maps_alike(hex_case):
    points, cells, targets = hex_case
    mapper = velzorgfm.Mapper(points, cells, targets)
    first = mapper.map(points[:, 0])
    second = mapper.map(np.c_[points[:, 0], points[:, 0]])
    np.testing.assert_array_equal(second[:, 0], first)
    np.testing.assert_array_equal(second[:, 1], first)


def mixed_vtk_mesh():
    """Tetrahedra and hexahedra of one grid as interleaved VTK cells, the tetrahedra's cell
    indices, and the cells' node lists."""
    points, hexes = grid(3)
    cells = []
    for index, hexahedron in enumerate(hexes):
        if index % 2:
            cells.append((12, hexahedron))
        else:
            cells.extend((10, hexahedron[list(t)]) for t in _TETS)
    types = np.array([t for t, _ in cells])
    nodes = [n for _, n in cells]
    offsets = np.concatenate(([0], np.cumsum([len(n) for n in nodes])))
    return points, (np.concatenate(nodes), offsets, types), np.flatnonzero(types == 10), nodes


@pytest.mark.parametrize("threads", [1, 2])
def test_source_element_is_the_host_cell_that_holds_the_point(threads):
    points, cells, tetrahedra, nodes = mixed_vtk_mesh()
    rng = np.random.default_rng(8)
    chosen = rng.choice(tetrahedra, 200)
    corners = points[np.array([nodes[c] for c in chosen])]
    targets = np.einsum("pk,pkd->pd", rng.dirichlet(np.ones(4), 200), corners)
    mapper = velzorgfm.Mapper(points, cells, targets, element_choice="containing",
                              threads=threads)
    np.testing.assert_array_equal(mapper.source_element, chosen)
    weights = mapper.weights()
    for row, cell in enumerate(mapper.source_element):
        assert set(weights[row].indices) <= set(nodes[cell])


def test_results_are_the_same_at_any_thread_count():
    points, cells, _, _ = mixed_vtk_mesh()
    targets = np.random.default_rng(9).uniform(-0.1, 1.1, (500, 3))
    values = np.random.default_rng(10).normal(size=(len(points), 2))
    runs = [velzorgfm.Mapper(points, cells, targets, threads=t, fallback=True) for t in (1, 2, 3)]
    for run in runs[1:]:
        np.testing.assert_array_equal(run.map(values), runs[0].map(values))
        np.testing.assert_array_equal(run.source_element, runs[0].source_element)
    assert (runs[0].source_element[~runs[0].placed] == -1).all()


@pytest.mark.parametrize("mirrored", [[], [0, 5, 9]])
def test_a_warning_counts_the_inverted_source_cells_and_a_good_mesh_gives_none(mirrored):
    points, cells = family_mesh("C3D8", n=3)
    hexes = cells["C3D8"].copy()
    hexes[mirrored] = hexes[mirrored][:, [0, 3, 2, 1, 4, 7, 6, 5]]
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        mapper = velzorgfm.Mapper(points, {"C3D8": hexes}, inside(points, cells, 20))
    assert [str(w.message) for w in caught] == (
        [f"source cells: {len(mirrored)} are inverted (negative volume; check the node order); "
         "no point is placed in them"] if mirrored else [])
    assert all(w.category is RuntimeWarning and w.filename == __file__ for w in caught)
    assert mapper.placed.any()
