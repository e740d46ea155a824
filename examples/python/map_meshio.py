#!/usr/bin/python3
"""Map a point field from one mesh file to another, write the result, and plot along a line.

    map_meshio.py SOURCE TARGET FIELD OUTPUT [--plot error.png] [--line x0 y0 z0 x1 y1 z1]

SOURCE and TARGET are meshes of any format meshio reads (.vtu, .vtk, .msh, .xdmf, .med, ...);
FIELD is a point array of SOURCE. OUTPUT gets the target mesh with the mapped field and the
array "placed" (1 where a source element holds the point). The plot follows a line through the
target (by default the diagonal of its bounding box): the source field and the mapped target
field there, both interpolated with their own mesh's shape functions, and their difference,
which is what the transfer lost.
"""

import argparse

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import meshio  # noqa: E402
import numpy as np  # noqa: E402

import velzorgfm  # noqa: E402


def along_line(mesh, values, start, end, count):
    """values of a mesh's nodes interpolated at count points from start to end; NaN off the mesh."""
    points, cells = velzorgfm.from_meshio(mesh)
    samples = start + np.linspace(0.0, 1.0, count)[:, None] * (end - start)
    return velzorgfm.Mapper(points, cells, samples, fill=np.nan).map(values)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("source")
    parser.add_argument("target")
    parser.add_argument("field")
    parser.add_argument("output")
    parser.add_argument("--plot", default="error_along_line.png")
    parser.add_argument("--line", type=float, nargs=6, metavar="X")
    parser.add_argument("--samples", type=int, default=400)
    options = parser.parse_args()

    source = meshio.read(options.source)
    target = meshio.read(options.target)
    if options.field not in source.point_data:
        raise SystemExit(f"{options.source} has no point array {options.field!r} "
                         f"(point arrays: {', '.join(source.point_data) or 'none'})")
    values = np.asarray(source.point_data[options.field], dtype=float)

    mapper = velzorgfm.Mapper.from_meshio(source, target)
    mapped = mapper.map(values)
    target.point_data[options.field] = mapped
    target.point_data["placed"] = mapper.placed.astype(np.uint8)
    meshio.write(options.output, target)
    print(f"mapped {options.field} onto {len(mapped)} points, {int((~mapper.placed).sum())} "
          f"unplaced; wrote {options.output}")

    if options.line:
        start, end = np.array(options.line[:3]), np.array(options.line[3:])
    else:
        start, end = target.points.min(axis=0), target.points.max(axis=0)
    on_source = along_line(source, values, start, end, options.samples)
    on_target = along_line(target, mapped, start, end, options.samples)
    difference = on_target - on_source
    distance = np.linspace(0.0, np.linalg.norm(end - start), options.samples)
    first = (slice(None),) if difference.ndim == 1 else (slice(None), 0)

    figure, (top, bottom) = plt.subplots(2, 1, sharex=True, figsize=(7, 6))
    top.plot(distance, on_source[first], label=f"{options.field} on the source")
    top.plot(distance, on_target[first], "--", label=f"{options.field} mapped to the target")
    top.legend()
    bottom.plot(distance, difference[first])
    bottom.set_ylabel("target - source")
    bottom.set_xlabel(f"distance along the line from {start} to {end}")
    figure.tight_layout()
    figure.savefig(options.plot)
    print(f"largest difference along the line: {np.nanmax(np.abs(difference)):.3e}; "
          f"wrote {options.plot}")


if __name__ == "__main__":
    main()
