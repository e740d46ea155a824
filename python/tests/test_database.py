"""Databases as arrays: what is written comes back, what is missing is named, and meshes go to
and from meshio."""

import os
import subprocess

import numpy as np
import pytest

import velzorgfm
from conftest import family_mesh


@pytest.fixture
def saved(tmp_path):
    points, cells = family_mesh("C3D6", n=2)
    path = tmp_path / "wedges.db"
    with velzorgfm.Database.create(path) as database:
        assert database.add_mesh(points, cells) == 1
        database.write_field("U_D", points * 2.0)
        database.write_field("NT", points[:, 0])
        database.save()
    return path, points, cells


def test_a_saved_mesh_and_its_fields_read_back_as_written(saved):
    path, points, cells = saved
    with velzorgfm.Database(path) as database:
        assert database.meshes() == [{"number": 1, "nodes": len(points), "elements": 16,
                                      "element_types": {"C3D6": 16}}]
        (step,) = database.steps()
        assert step["number"] == 1 and 1 in step["increments"]
        assert [f["name"] for f in step["fields"]] == ["U_D", "NT"]
        read_points, blocks = database.read_mesh()
        np.testing.assert_array_equal(read_points, points)
        assert [name for name, _ in blocks] == ["C3D6"]
        np.testing.assert_array_equal(blocks[0][1], cells["C3D6"])
        np.testing.assert_array_equal(database.read_field("U_D"), points * 2.0)
        np.testing.assert_array_equal(database.read_field("NT"), points[:, :1])


@pytest.mark.parametrize("call,message", [
    (lambda db: db.read_field("PRESS"),
     "no nodal field 'PRESS' on mesh 1 in step 1 (fields there: U_D, NT)"),
    (lambda db: db.read_field("NT", mesh=2), "has 1 mesh, not mesh 2"),
    (lambda db: db.read_field("NT", step=3), "has no step 3"),
    (lambda db: db.read_field("NT", increment=2), "step 1 has no increment 2"),
    (lambda db: db.write_field("NT", np.zeros(3)), "the field has 3 rows; mesh 1 has 27 nodes"),
    (lambda db: db.write_field("NOT_A_TYPE", np.zeros(27)), "'NOT_A_TYPE' is not a field type"),
    (lambda db: db.write_field("NT", np.zeros(27)), "already holds a field NT on mesh 1"),
])
def test_what_is_not_there_is_named(saved, call, message):
    with velzorgfm.Database(saved[0]) as database:
        with pytest.raises(ValueError) as raised:
            call(database)
        assert message in str(raised.value)


def test_a_missing_or_damaged_file_raises_database_error(tmp_path):
    with pytest.raises(velzorgfm.DatabaseError):
        velzorgfm.Database(tmp_path / "missing.db")
    (tmp_path / "text.db").write_text("not a database")
    with pytest.raises(velzorgfm.DatabaseError):
        velzorgfm.Database(tmp_path / "text.db")


def test_meshes_go_to_meshio_and_back(saved):
    path, points, cells = saved
    with velzorgfm.Database(path) as database:
        read_points, blocks = database.read_mesh()
        mesh = velzorgfm.to_meshio(read_points, blocks, {"NT": database.read_field("NT")})
    assert [block.type for block in mesh.cells] == ["wedge"]
    back_points, back_cells = velzorgfm.from_meshio(mesh)
    values = points[:, 0] + 2 * points[:, 1]
    direct = velzorgfm.Mapper(points, cells, points[::3]).map(values)
    via_meshio = velzorgfm.Mapper(back_points, back_cells, points[::3]).map(values)
    np.testing.assert_array_equal(direct, via_meshio)


@pytest.mark.skipif(not os.environ.get("VELZORGFM_FIELDMAP"), reason="fieldmap was not built")
def test_integration_point_values_come_per_element_in_block_order(tmp_path):
    # The demo's plate carries a strain that is linear in x and y at its 2 x 2 integration
    # points, whose mean in a bilinear quadrilateral is the mean of its nodes: so the element
    # means fit one linear function only if values and elements are in the same order.
    subprocess.run([os.environ["VELZORGFM_FIELDMAP"], "demo", "--size", "2", "--out", tmp_path],
                   check=True, capture_output=True)
    with velzorgfm.Database(tmp_path / "demo-source.zdb") as database:
        points, [(element_type, quads)] = database.read_mesh(2)
        [(point_type, strain)] = database.read_point_field("LE", mesh=2)
        with pytest.raises(ValueError, match="no integration-point field 'U_D' on mesh 1"):
            database.read_point_field("U_D", mesh=1)
    assert point_type == element_type and strain.shape == (len(quads), 4, 3)
    centres = np.c_[points[quads].mean(axis=1)[:, :2], np.ones(len(quads))]
    means = strain.mean(axis=1)
    fit, *_ = np.linalg.lstsq(centres, means, rcond=None)
    np.testing.assert_allclose(centres @ fit, means, atol=1e-9 * np.abs(means).max())
