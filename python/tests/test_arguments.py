"""Every bad argument raises ValueError with a message that names what is wrong."""

import numpy as np
import pytest

import velzorgfm
from conftest import family_mesh

POINTS, CELLS = family_mesh("C3D4", n=1)
TETS = CELLS["C3D4"]
TARGETS = np.array([[0.2, 0.2, 0.2], [0.5, 0.5, 0.5]])


def with_nan(array, row, column):
    changed = np.array(array, dtype=float)
    changed[row, column] = np.nan
    return changed


def vtk(connectivity, offsets, types):
    return (np.asarray(connectivity), np.asarray(offsets), np.asarray(types))


# (what is wrong, Mapper arguments, keyword options, words the message must hold)
BAD_MAPPERS = [
    ("points of one column", (POINTS[:, 0], CELLS, TARGETS), {},
     "source points: expected an array of shape (n, 3) or (n, 2), got shape (8,)"),
    ("text points", (POINTS.astype(str), CELLS, TARGETS), {}, "source points: expected real"),
    ("no target points", (POINTS, CELLS, np.empty((0, 3))), {}, "target points: the array is empty"),
    ("NaN source coordinate", (with_nan(POINTS, 5, 1), CELLS, TARGETS), {},
     "source mesh: node 5 has y = nan"),
    ("infinite target", (POINTS, CELLS, np.array([[0, 0, np.inf]])), {},
     "target points: node 0 has z = inf"),
    ("node out of range", (POINTS, {"C3D4": TETS + 3}, TARGETS), {},
     "block 0 (C3D4) element 0 refers to node 10 (connectivity entry 3), but the mesh has 8"),
    ("negative node", (POINTS, {"C3D4": TETS - 1}, TARGETS), {}, "-1 is outside 0 .. 2147483647"),
    ("float connectivity", (POINTS, {"C3D4": TETS * 1.0}, TARGETS), {},
     "C3D4 connectivity: expected integers, got dtype float64"),
    ("unknown element type", (POINTS, {"X9": TETS}, TARGETS), {}, "the element type is unknown"),
    ("wrong node count", (POINTS, {"C3D8": TETS}, TARGETS), {},
     "has 4 nodes per element; the type needs 8"),
    ("flat block", (POINTS, {"C3D4": TETS.ravel()}, TARGETS), {},
     "source cells: the C3D4 connectivity needs shape (elements, nodes per element), got (24,)"),
    ("no cells", (POINTS, {}, TARGETS), {}, "no cells given"),
    ("cells as a number", (POINTS, [7], TARGETS), {}, "expected (element type, connectivity) pairs"),
    ("unsupported VTK type", (POINTS, vtk([0, 1, 2, 3, 4], [0, 5], [14]), TARGETS), {},
     "cell 0 has VTK cell type 14, which is not supported (supported: 3, 5, 8"),
    ("short VTK cell", (POINTS, vtk([0, 1, 2], [0, 3], [10]), TARGETS), {},
     "cell 0 has 3 nodes (offsets 0 to 3); VTK cell type 10 needs 4"),
    ("offsets too few", (POINTS, vtk([0, 1, 2, 3], [0], [10, 10]), TARGETS), {},
     "source cells: offsets has 1 entries; with 2 cell types it needs 3"),
    ("offsets past connectivity", (POINTS, vtk([0, 1, 2, 3], [0, 8], [10]), TARGETS), {},
     "source cells: the last offset is 8, but connectivity has 4 entries"),
    ("target offsets too few", (POINTS, CELLS, TARGETS, vtk([0, 1], [0], [3, 3])),
     {"conservative": True}, "target cells: offsets has 1 entries; with 2 cell types it needs 3"),
    ("cell type above 255", (POINTS, vtk([0, 1, 2, 3], [0, 4], [300]), TARGETS), {},
     "cell types: 300 is outside 0 .. 255"),
    ("points alone as source", (POINTS, None, TARGETS), {},
     "the source mesh has no cells; shape interpolation needs them"),
    ("conservative onto points", (POINTS, CELLS, TARGETS), {"conservative": True},
     "a conservative mapping needs a target mesh with cells"),
    ("unknown method", (POINTS, CELLS, TARGETS), {"method": "linear"},
     "method: 'shape' or 'nearest', not 'linear'"),
    ("negative tolerance", (POINTS, CELLS, TARGETS), {"boundary_tolerance": -1},
     "tolerances are finite and not negative"),
    ("ragged target rows", (POINTS, CELLS, [[0, 0], [1, 1, 1]]), {},
     "target points: setting an array element with a sequence"),
    ("cells as one number", (POINTS, 7, TARGETS), {}, "source cells: expected (element type"),
    ("tolerance of None", (POINTS, CELLS, TARGETS), {"normal_tolerance": None},
     "normal_tolerance: expected a number, not None"),
    ("fill as text", (POINTS, CELLS, TARGETS), {"fill": "a"}, "fill: expected a number, not 'a'"),
    ("threads as text", (POINTS, CELLS, TARGETS), {"threads": "two"},
     "threads: expected a number, not 'two'"),
    ("element choice as a list", (POINTS, CELLS, TARGETS), {"element_choice": []},
     "element_choice: 'first' or 'containing', not []"),
]


@pytest.mark.parametrize("arguments,options,message", [case[1:] for case in BAD_MAPPERS],
                         ids=[case[0] for case in BAD_MAPPERS])
def test_bad_mapper_arguments_raise_value_errors_that_say_what_is_wrong(arguments, options,
                                                                        message):
    with pytest.raises(ValueError) as raised:
        velzorgfm.Mapper(*arguments, **options)
    assert message in str(raised.value)


@pytest.mark.parametrize("values,message", [
    (np.zeros(7), "values: expected shape (8,) or (8, components)"),
    (np.zeros((8, 0)), "values: expected shape (8,) or (8, components)"),
    (np.zeros((8, 2, 2)), "got shape (8, 2, 2)"),
    (np.array(["a"] * 8), "values: expected real numbers, got dtype <U1"),
])
def test_bad_field_values_raise_value_errors(values, message):
    mapper = velzorgfm.Mapper(POINTS, CELLS, TARGETS)
    with pytest.raises(ValueError) as raised:
        mapper.map(values)
    assert message in str(raised.value)


def test_points_alone_serve_the_nearest_node_method():
    mapper = velzorgfm.Mapper(POINTS, None, TARGETS, method="nearest")
    assert mapper.map(np.arange(8.0)).shape == (2,)
