"""Map fields between finite-element meshes given as NumPy arrays.

A ``Mapper`` takes a source mesh (node coordinates and cells) and target points or a target mesh,
searches every target point in the source elements once, and then maps any number of fields:
``mapper.map(values)`` takes one row per source node and returns one row per target point. The
searches and transfers are those of the C++ library (``ZORMtkMapper``); the GIL is released
while they run, so separate mappers work in parallel threads.

Cells come as a dict or list of blocks per library element type (``{"C3D8": hexes}``), as VTK
cells (``(connectivity, offsets, types)``), or from a meshio mesh (``from_meshio``). A
``Database`` reads and writes the library's simulation databases as arrays.
"""

import warnings

import numpy as np

from . import _core
from ._core import DatabaseError

__all__ = ["Mapper", "Database", "DatabaseError", "from_meshio", "to_meshio"]

_METHODS = {"shape": 0, "nearest": 1}
_ELEMENT_CHOICES = {"first": 0, "containing": 1}
_INT32_MAX = np.iinfo(np.int32).max
_CELL_FORMS = ("expected (element type, connectivity) pairs, a dict of them or (connectivity, "
               "offsets, types)")


def _array(value, what):
    """np.asarray(value), with numpy's complaint about ragged nested lists naming the argument."""
    try:
        return np.asarray(value)
    except ValueError as error:
        raise ValueError(f"{what}: {error}") from None


def _number(value, what, kind=float):
    """value as a float (or an int), or a ValueError naming the option."""
    try:
        return kind(value)
    except (TypeError, ValueError):
        raise ValueError(f"{what}: expected a number, not {value!r}") from None


def _choice(value, what, choices):
    """The code of one of the names in choices, or a ValueError listing them."""
    if not isinstance(value, str) or value not in choices:
        raise ValueError(f"{what}: {' or '.join(map(repr, choices))}, not {value!r}")
    return choices[value]


def _points(points, what):
    array = _array(points, what)
    if not np.issubdtype(array.dtype, np.number) or np.issubdtype(array.dtype, np.complexfloating):
        raise ValueError(f"{what}: expected real numbers, got dtype {array.dtype}")
    if array.ndim != 2 or array.shape[1] not in (2, 3):
        raise ValueError(f"{what}: expected an array of shape (n, 3) or (n, 2), got shape "
                         f"{array.shape}")
    if array.shape[0] == 0:
        raise ValueError(f"{what}: the array is empty")
    return np.ascontiguousarray(array, dtype=np.float64)


def _indices(array, what, dtype=np.int32, upper=_INT32_MAX):
    array = _array(array, what)
    if array.size and not np.issubdtype(array.dtype, np.integer):
        raise ValueError(f"{what}: expected integers, got dtype {array.dtype}")
    if array.size and (array.min() < 0 or array.max() > upper):
        bad = array.min() if array.min() < 0 else array.max()
        raise ValueError(f"{what}: {bad} is outside 0 .. {upper}")
    return np.ascontiguousarray(array, dtype=dtype)


def _warn_about_source_cells(flat, inverted, too_small):
    """Warns of source cells the search can place no point in, as fieldmap's import does: a
    mesh in another node order than the element type's is the usual cause of inverted cells."""
    problems = [(flat, "have zero volume"),
                (inverted, "are inverted (negative volume; check the node order)"),
                (too_small, "are too small in these units for the element search; scale the "
                            "coordinates up")]
    for count, what in problems:
        if count:
            warnings.warn(f"source cells: {count} {what}; no point is placed in them",
                          RuntimeWarning, stacklevel=3)


def _cells(cells, what):
    """The library's form of a cells argument: None, ("vtk", connectivity, offsets, types) or
    ("blocks", names, arrays)."""
    if cells is None:
        return None
    if isinstance(cells, tuple) and len(cells) == 3 and not isinstance(cells[0], str):
        connectivity, offsets, types = cells
        types = _indices(types, f"{what}: cell types", np.uint8, 255)
        offsets = _indices(offsets, f"{what}: offsets", np.int64, np.iinfo(np.int64).max)
        if offsets.ndim == 1 and offsets.shape[0] == types.shape[0]:
            # Offsets as a .vtu file stores them: where each cell ends.
            offsets = np.concatenate(([0], offsets)).astype(np.int64)
        return ("vtk", _indices(connectivity, f"{what}: connectivity").ravel(), offsets, types)
    try:
        pairs = list(cells.items()) if isinstance(cells, dict) else list(cells)
    except TypeError:
        raise ValueError(f"{what}: {_CELL_FORMS}, got {type(cells).__name__}") from None
    if not pairs:
        raise ValueError(f"{what}: no cells given (pass None for points alone)")
    names, blocks = [], []
    for entry in pairs:
        if not (isinstance(entry, tuple) and len(entry) == 2 and isinstance(entry[0], str)):
            raise ValueError(f"{what}: {_CELL_FORMS}, got {type(entry).__name__}")
        names.append(entry[0])
        blocks.append(_indices(entry[1], f"{what}: {entry[0]} connectivity"))
    return ("blocks", names, blocks)


def _values(values, rows, what="values", row="source node"):
    """values as (rows,) or (rows, components) doubles."""
    array = _array(values, what)
    if not np.issubdtype(array.dtype, np.number) or np.issubdtype(array.dtype, np.complexfloating):
        raise ValueError(f"{what}: expected real numbers, got dtype {array.dtype}")
    if array.ndim not in (1, 2) or array.shape[0] != rows or array.size == 0:
        raise ValueError(f"{what}: expected shape ({rows},) or ({rows}, components), one row per "
                         f"{row}, got shape {array.shape}")
    return np.ascontiguousarray(array, dtype=np.float64)


class Mapper:
    """Interpolation from a source mesh to target points, searched once, applied to any field.

    source_points: (n, 3) or (n, 2) coordinates. source_cells: blocks per library element type
    (``{"C3D8": (k, 8) array}`` or a list of such pairs), or VTK cells ``(connectivity,
    offsets, types)`` with offsets of n + 1 entries from 0 (or n, where each cell ends).
    target_points: (m, 3) or (m, 2); target_cells: as source_cells, needed only for a
    conservative mapping.

    method: "shape" (shape functions of the source element holding the point) or "nearest" (the
    nearest source node's value). boundary_tolerance, normal_tolerance: the search tolerances (0
    keeps the library's 0.3 and 0.5). fill: the value of points no element holds. fallback: such
    points take their nearest source node's value instead. conservative: distribute source
    values so that each component keeps its sum. element_choice: which element takes a point
    that several accept, "first" (the library's default) or "containing" (one whose reference
    shape holds it, so no neighbour extrapolates). threads: threads of the search and transfer
    (0: ZORMTK_THREADS, else every hardware thread); the results are the same at any count.

    Raises ValueError naming what is wrong with an argument. Warns (RuntimeWarning) of source
    cells that are flat, inverted or too small for the search, which places no point in them.
    """

    def __init__(self, source_points, source_cells, target_points, target_cells=None, *,
                 method="shape", boundary_tolerance=0.0, normal_tolerance=0.0, fill=0.0,
                 fallback=False, conservative=False, element_choice="first", threads=0):
        options = (_choice(method, "method", _METHODS),
                   _number(boundary_tolerance, "boundary_tolerance"),
                   _number(normal_tolerance, "normal_tolerance"), _number(fill, "fill"),
                   bool(fallback), bool(conservative),
                   _choice(element_choice, "element_choice", _ELEMENT_CHOICES),
                   _number(threads, "threads", int))
        self._mapper = _core.ArrayMapper()
        self._mapper.set_options(*options)
        self._mapper.set_source(_points(source_points, "source points"),
                                _cells(source_cells, "source cells"))
        self._mapper.set_target(_points(target_points, "target points"),
                                _cells(target_cells, "target cells"))
        _warn_about_source_cells(*self._mapper.source_shapes())
        self._mapper.compute_weights()

    @classmethod
    def from_meshio(cls, source, target, **options):
        """A mapper between two meshio meshes; target cells are used for conservative mappings
        only (any other target is its points)."""
        points, cells = from_meshio(source)
        target_points, target_cells = from_meshio(target)
        if not options.get("conservative"):
            target_cells = None
        return cls(points, cells, target_points, target_cells, **options)

    def map(self, values):
        """Maps one field: values of shape (source nodes,) or (source nodes, components) give
        (target points,) or (target points, components)."""
        array = _values(values, self._mapper.source_node_count())
        mapped = self._mapper.map(array.reshape(array.shape[0], -1))
        return mapped[:, 0] if array.ndim == 1 else mapped

    @property
    def placed(self):
        """Boolean mask of the target points the search placed: in a source element, or with
        method="nearest" at their nearest source node, which every point has. The others hold
        the fill value, or their nearest source node's value with the fallback."""
        return self._mapper.placed()

    @property
    def source_element(self):
        """For each target point the source cell whose shape functions give its value (the
        index among the VTK cells, or counted through the blocks in order), -1 where none does
        (unplaced points, nearest node and its fallback, conservative mappings)."""
        return self._mapper.source_elements()

    def weights(self):
        """The interpolation weights, target points by source nodes: a scipy.sparse.csr_matrix
        when SciPy is installed, else (indptr, indices, data, shape). weights @ values equals
        map(values) at the placed points."""
        indptr, indices, data, shape = self._mapper.weights()
        try:
            from scipy.sparse import csr_matrix
        except ImportError:
            return indptr, indices, data, shape
        return csr_matrix((data, indices, indptr), shape=shape)

    @property
    def flags(self):
        """The library's diagnostics codes, ORed (2: points not placed, 32: a sum not kept,
        128: nearest nodes far off, ...)."""
        return self._mapper.flags()

    @property
    def diagnostics(self):
        """One text per recorded problem."""
        return self._mapper.diagnostics()


class Database:
    """A simulation database file of the library, read and written as arrays.

    Database(path) opens an existing file, Database.create(path) a new one that becomes the
    file at save(). Meshes count from 1, steps from 1. Failures of the file itself raise
    DatabaseError; asking for what is not there raises ValueError.
    """

    def __init__(self, path, _database=None):
        self._db = _database if _database is not None else _core.Database.open(str(path))

    @classmethod
    def create(cls, path):
        return cls(path, _core.Database.create(str(path)))

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        self._db.close()

    @property
    def path(self):
        return self._db.path

    def meshes(self):
        """[{"number", "nodes", "elements", "element_types": {type: count}}] per mesh."""
        return self._db.meshes()

    def steps(self):
        """[{"number", "static", "increments", "fields": [{"name", "integration_points"}]}]."""
        return self._db.steps()

    def read_mesh(self, mesh=1):
        """(points (n, 3), [(element type, (elements, nodes) connectivity)])."""
        return self._db.read_mesh(mesh)

    def read_field(self, name, mesh=1, step=1, increment=1):
        """A nodal field as an (nodes, components) array."""
        return self._db.read_field(name, mesh, step, increment)

    def read_point_field(self, name, mesh=1, step=1, increment=1):
        """An integration-point field: [(element type, (elements, points, components) array)]
        per element class, elements in the order of read_mesh's blocks."""
        return self._db.read_point_field(name, mesh, step, increment)

    def add_mesh(self, points, cells):
        """Adds a mesh (cells as for Mapper) and returns its number."""
        return self._db.add_mesh(_points(points, "points"), _cells(cells, "cells"))

    def write_field(self, name, values, mesh=1):
        """Writes a nodal field named by a field type ("U_D", "NT", ...) for step 1."""
        array = _values(values, np.shape(values)[0] if np.ndim(values) else 0, row="node")
        self._db.write_field(mesh, name, array.reshape(array.shape[0], -1))

    def save(self):
        self._db.save()


def from_meshio(mesh):
    """(points, VTK cells) of a meshio mesh, for Mapper or Database.add_mesh."""
    from meshio._vtk_common import meshio_to_vtk_type

    connectivity, sizes, types = [], [], []
    for block in mesh.cells:
        if block.type not in meshio_to_vtk_type:
            raise ValueError(f"meshio cell type {block.type!r} has no VTK cell type")
        data = np.asarray(block.data)
        connectivity.append(data.ravel())
        sizes.append(np.full(data.shape[0], data.shape[1], dtype=np.int64))
        types.append(np.full(data.shape[0], meshio_to_vtk_type[block.type], dtype=np.uint8))
    if not types:
        return np.asarray(mesh.points), None
    offsets = np.concatenate(([0], np.cumsum(np.concatenate(sizes))))
    return np.asarray(mesh.points), (np.concatenate(connectivity), offsets, np.concatenate(types))


def to_meshio(points, cells, point_data=None):
    """A meshio mesh of points and blocks per library element type (as Database.read_mesh gives
    them), with optional point data {name: array}."""
    import meshio
    from meshio._vtk_common import vtk_to_meshio_type

    blocks = []
    for element_type, connectivity in (cells.items() if isinstance(cells, dict) else cells):
        vtk_type = _core.vtk_cell_type(element_type)
        if vtk_type < 0:
            raise ValueError(f"element type {element_type!r} has no VTK cell type")
        blocks.append((vtk_to_meshio_type[vtk_type], np.asarray(connectivity)))
    return meshio.Mesh(np.asarray(points), blocks, point_data=point_data or {})
