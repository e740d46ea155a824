"""The module gives the numbers fieldmap gives on the same files: meshes written with meshio,
imported and mapped by the program, read back with velzorgfm.Database."""

import os
import subprocess

import meshio
import numpy as np
import pytest

import velzorgfm
from conftest import _TETS, family_mesh, grid

FIELDMAP = os.environ.get("VELZORGFM_FIELDMAP")
pytestmark = pytest.mark.skipif(not FIELDMAP, reason="fieldmap was not built")


def fieldmap(*arguments):
    run = subprocess.run([FIELDMAP, *map(str, arguments)], capture_output=True, text=True)
    assert run.returncode in (0, 3), run.stdout + run.stderr
    return run


@pytest.fixture(scope="module")
def files(tmp_path_factory):
    folder = tmp_path_factory.mktemp("agreement")
    points, cells = family_mesh("C3D10", n=4)
    temperature = np.sin(3 * points[:, 0]) * np.cos(2 * points[:, 1]) + points[:, 2] ** 2
    displacement = np.c_[points[:, 1] * points[:, 2], np.exp(points[:, 0]), points[:, 0] ** 3]
    source = meshio.Mesh(points, [("tetra10", cells["C3D10"])],
                         point_data={"NT": temperature, "U_D": displacement})
    # A tetrahedral target that reaches beyond the source, so some points stay unplaced.
    target_points, hexes = grid(7, jitter=0.1, seed=4)
    target = meshio.Mesh(target_points * 1.1 - 0.05,
                         [("tetra", np.vstack([hexes[:, list(t)] for t in _TETS]))])
    source.write(folder / "source.vtu")
    target.write(folder / "target.vtu")
    fieldmap("import", folder / "source.vtu", "--out", folder / "source.db")
    return folder, source, target


@pytest.mark.parametrize("options,arguments", [
    ({}, []),
    ({"method": "nearest"}, ["--method", "nearest"]),
    ({"fill": -5.0, "fallback": True}, ["--fill", "-5", "--fallback", "nearest"]),
])
def test_the_module_and_fieldmap_map_alike(files, options, arguments):
    folder, source, target = files
    out = folder / f"mapped{len(os.listdir(folder))}.db"
    # The module keeps the library's element choice, which fieldmap takes with --first-accepted.
    fieldmap("map", "--source", folder / "source.db", "--target", folder / "target.vtu",
             "--field", "NT", "--field", "U_D", "--out", out, "--first-accepted", *arguments)
    mapper = velzorgfm.Mapper.from_meshio(meshio.read(folder / "source.vtu"),
                                          meshio.read(folder / "target.vtu"), **options)
    with velzorgfm.Database(out) as database:
        for name in ("NT", "U_D"):
            expected = database.read_field(name)
            mapped = mapper.map(source.point_data[name])
            assert np.count_nonzero(expected) > expected.size // 2
            np.testing.assert_array_equal(mapped.reshape(expected.shape), expected)
    if not options:
        assert not mapper.placed.all() and mapper.placed.any()
