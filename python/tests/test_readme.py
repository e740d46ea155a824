"""The README's examples are the ones that run: the Python block executes, and the C++ block is
the example that ctest builds and runs."""

import os
import re
from pathlib import Path

import numpy as np

from conftest import family_mesh, inside

SOURCE = Path(os.environ.get("VELZORGFM_SOURCE_DIR", Path(__file__).parents[2]))


def block(language):
    (code,) = re.findall(rf"```{language}\n(.*?)```", (SOURCE / "README.md").read_text(), re.S)
    return code


def test_the_python_example_maps_a_linear_field():
    points, cells = family_mesh("C3D8", n=3)
    targets = inside(points, cells, 20)
    namespace = {"source_points": points, "hexahedra": cells["C3D8"], "target_points": targets,
                 "temperature": 1.0 + points @ [2.0, -1.0, 0.5]}
    exec(block("python"), namespace)
    np.testing.assert_allclose(namespace["temperature_at_targets"],
                               1.0 + targets @ [2.0, -1.0, 0.5], atol=1e-6)


def test_the_cpp_example_is_the_one_that_is_built():
    assert block("cpp") == (SOURCE / "examples" / "cpp" / "map_arrays.cpp").read_text()
