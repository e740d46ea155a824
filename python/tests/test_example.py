"""examples/python/map_meshio.py runs on meshes of two formats and gives back a linear field."""

import os
import subprocess
import sys
from pathlib import Path

import meshio
import numpy as np

from conftest import _TETS, family_mesh, grid

EXAMPLE = Path(os.environ.get("VELZORGFM_SOURCE_DIR", Path(__file__).parents[2])) / "examples" / \
    "python" / "map_meshio.py"


def test_the_meshio_example_maps_writes_and_plots(tmp_path):
    points, cells = family_mesh("C3D8", n=4)
    temperature = 2.0 + points @ [1.0, -0.5, 3.0]
    meshio.Mesh(points, [("hexahedron", cells["C3D8"])],
                point_data={"T": temperature}).write(tmp_path / "source.vtu")
    target_points, hexes = grid(3, seed=5)
    tets = np.vstack([hexes[:, list(t)] for t in _TETS])
    meshio.Mesh(target_points, [("tetra", tets)]).write(tmp_path / "target.vtk")
    run = subprocess.run([sys.executable, str(EXAMPLE), tmp_path / "source.vtu",
                          tmp_path / "target.vtk", "T", tmp_path / "out.vtu", "--plot",
                          tmp_path / "line.png"], capture_output=True, text=True, check=True)
    result = meshio.read(tmp_path / "out.vtu")
    np.testing.assert_allclose(result.point_data["T"], 2.0 + target_points @ [1.0, -0.5, 3.0],
                               atol=1e-6)
    assert result.point_data["placed"].all()
    assert (tmp_path / "line.png").stat().st_size > 10000
    largest = float(run.stdout.split("largest difference along the line: ")[1].split(";")[0])
    assert largest < 1e-6
