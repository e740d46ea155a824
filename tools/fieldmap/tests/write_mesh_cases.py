"""Writes small meshes with the formats' own tools, for the fieldmap import tests.

VTK (always): one cell of every VTK type fieldmap imports, placed at VTK's own parametric
coordinates for that cell and shifted along x, so node order and orientation are VTK's, with the
point arrays "temperature" (x + 2y + 3z, Float64), "velocity" (x, y, -z, Float32) and the tensor
"stress %" (x + 2y + 3z + c in component c of nine, Float64); written as
.vtu in every data mode, as legacy .vtk (ASCII and binary, file versions 5.1 and 4.2) and as
.pvtu in two pieces, with and without global point ids.
meshio (when installed): the same grid without voxels and pixels as Gmsh 2.2 and 4.1, ASCII and
binary, with "temperature" as node data.
gmsh (when installed): a second-order mesh of tetrahedra, hexahedra and wedges with all the
lower-dimensional elements Gmsh saves, as Gmsh 2.2 and 4.1, ASCII and binary.

usage: write_mesh_cases.py DIRECTORY
"""
import os
import shutil
import subprocess
import sys

import vtk

CELLS = [vtk.vtkLine, vtk.vtkTriangle, vtk.vtkQuad, vtk.vtkQuadraticTriangle,
         vtk.vtkQuadraticQuad, vtk.vtkTetra, vtk.vtkQuadraticTetra, vtk.vtkWedge,
         vtk.vtkQuadraticWedge, vtk.vtkHexahedron, vtk.vtkQuadraticHexahedron, vtk.vtkPixel,
         vtk.vtkVoxel]
XML_MODES = {"ascii": ("ascii", False, False, False), "binary": ("binary", False, False, False),
             "binary-zlib": ("binary", True, False, False), "appended": ("appended", False, False, False),
             "appended-zlib": ("appended", True, False, False),
             "appended-base64-zlib": ("appended", True, True, False),
             "appended-zlib-uint64": ("appended", True, False, True)}
GEO = """
Mesh.SecondOrderIncomplete = 1;
Point(1) = {0, 0, 0, 0.5}; Point(2) = {1, 0, 0, 0.5}; Point(3) = {1, 1, 0, 0.5};
Point(4) = {0, 1, 0, 0.5};
Line(1) = {1, 2}; Line(2) = {2, 3}; Line(3) = {3, 4}; Line(4) = {4, 1};
Curve Loop(1) = {1, 2, 3, 4}; Plane Surface(1) = {1};
Extrude {0, 0, 1} { Surface{1}; }
Point(1000) = {2, 0, 0, 1};
l[] = Extrude {1, 0, 0} { Point{1000}; Layers{2}; };
s[] = Extrude {0, 1, 0} { Line{l[1]}; Layers{2}; Recombine; };
Extrude {0, 0, 1} { Surface{s[1]}; Layers{2}; Recombine; }
Point(2000) = {4, 0, 0, 0.6}; Point(2001) = {5, 0, 0, 0.6}; Point(2002) = {4, 1, 0, 0.6};
Line(2000) = {2000, 2001}; Line(2001) = {2001, 2002}; Line(2002) = {2002, 2000};
Curve Loop(2000) = {2000, 2001, 2002}; Plane Surface(2000) = {2000};
Extrude {0, 0, 1} { Surface{2000}; Layers{2}; Recombine; }
Mesh 3;
SetOrder 2;
"""


def build_grid(with_grid_cells):
    points = vtk.vtkPoints()
    points.SetDataTypeToDouble()
    grid = vtk.vtkUnstructuredGrid()
    for index, cell_class in enumerate(CELLS if with_grid_cells else CELLS[:-2]):
        cell = cell_class()
        pcoords = cell.GetParametricCoords()
        ids = vtk.vtkIdList()
        for node in range(cell.GetNumberOfPoints()):
            x, y, z = pcoords[3 * node:3 * node + 3]
            ids.InsertNextId(points.InsertNextPoint(x + 2.0 * index, y, z))
        grid.InsertNextCell(cell.GetCellType(), ids)
    grid.SetPoints(points)
    temperature = vtk.vtkDoubleArray()
    temperature.SetName("temperature")
    velocity = vtk.vtkFloatArray()
    velocity.SetName("velocity")
    velocity.SetNumberOfComponents(3)
    # The legacy writer gives the tensor its own keyword and escapes the name's last character.
    stress = vtk.vtkDoubleArray()
    stress.SetName("stress %")
    stress.SetNumberOfComponents(9)
    for i in range(points.GetNumberOfPoints()):
        x, y, z = points.GetPoint(i)
        temperature.InsertNextValue(x + 2.0 * y + 3.0 * z)
        velocity.InsertNextTuple3(x, y, -z)
        stress.InsertNextTuple([x + 2.0 * y + 3.0 * z + c for c in range(9)])
    grid.GetPointData().AddArray(temperature)
    grid.GetPointData().AddArray(velocity)
    grid.GetPointData().SetTensors(stress)
    return grid


def configure(writer, mode, compress, encode_appended, header64):
    {"ascii": writer.SetDataModeToAscii, "binary": writer.SetDataModeToBinary,
     "appended": writer.SetDataModeToAppended}[mode]()
    if compress:
        writer.SetCompressorTypeToZLib()
        writer.SetBlockSize(256)
    else:
        writer.SetCompressorTypeToNone()
    writer.SetEncodeAppendedData(encode_appended)
    if header64:
        writer.SetHeaderTypeToUInt64()


def run(writer, path):
    writer.SetFileName(path)
    if not writer.Write():
        raise SystemExit("VTK could not write " + path)


def pieces_with_ids(grid):
    """Each piece numbers the whole grid's points by where they are, as global point ids."""
    ids_of = {grid.GetPoint(i): i for i in range(grid.GetNumberOfPoints())}
    split = vtk.vtkExtractUnstructuredGridPiece()
    split.SetInputData(grid)
    label = vtk.vtkProgrammableFilter()
    label.SetInputConnection(split.GetOutputPort())

    def add_ids():
        piece = label.GetUnstructuredGridOutput()
        piece.ShallowCopy(label.GetUnstructuredGridInput())
        ids = vtk.vtkIdTypeArray()
        ids.SetName("GlobalNodeIds")
        for i in range(piece.GetNumberOfPoints()):
            ids.InsertNextValue(ids_of[piece.GetPoint(i)])
        piece.GetPointData().SetGlobalIds(ids)

    label.SetExecuteMethod(add_ids)
    return label


def write_vtk(directory):
    grid = build_grid(True)
    for name, mode in XML_MODES.items():
        writer = vtk.vtkXMLUnstructuredGridWriter()
        writer.SetInputData(grid)
        configure(writer, *mode)
        run(writer, os.path.join(directory, name + ".vtu"))
    for name, version, binary in (("legacy-ascii", 51, False), ("legacy-binary", 51, True),
                                  ("legacy42-binary", 42, True)):
        writer = vtk.vtkUnstructuredGridWriter()
        writer.SetInputData(grid)
        writer.SetFileVersion(version)
        writer.SetFileTypeToBinary() if binary else writer.SetFileTypeToASCII()
        run(writer, os.path.join(directory, name + ".vtk"))
    split = vtk.vtkExtractUnstructuredGridPiece()
    split.SetInputData(grid)
    for name, source in (("pieces", pieces_with_ids(grid)), ("pieces-noids", split)):
        writer = vtk.vtkXMLPUnstructuredGridWriter()
        writer.SetInputConnection(source.GetOutputPort())
        writer.SetNumberOfPieces(3)
        writer.SetStartPiece(0)
        writer.SetEndPiece(2)
        configure(writer, "appended", True, False, False)
        run(writer, os.path.join(directory, name + ".pvtu"))


def write_meshio(directory):
    try:
        import meshio
    except ImportError:
        return
    # This meshio release lacks the dimension of its own quadratic wedge.
    meshio._mesh.topological_dimension.setdefault("wedge15", 3)
    grid = build_grid(False)
    cells, dim_tags = [], [None] * grid.GetNumberOfPoints()
    for c in range(grid.GetNumberOfCells()):
        cell = grid.GetCell(c)
        nodes = [cell.GetPointId(k) for k in range(cell.GetNumberOfPoints())]
        cells.append((meshio._vtk_common.vtk_to_meshio_type[cell.GetCellType()], [nodes]))
        # Every cell has points of its own: one Gmsh entity per cell.
        for node in nodes:
            dim_tags[node] = [cell.GetCellDimension(), c + 1]
    mesh = meshio.Mesh(
        [grid.GetPoint(i) for i in range(grid.GetNumberOfPoints())], cells,
        point_data={"temperature": [grid.GetPointData().GetArray(0).GetValue(i)
                                    for i in range(grid.GetNumberOfPoints())],
                    "gmsh:dim_tags": dim_tags},
        cell_data={"gmsh:geometrical": [[c + 1] for c in range(len(cells))],
                   "gmsh:physical": [[c + 1] for c in range(len(cells))]})
    for version in ("22", "41"):
        for binary in (False, True):
            name = "meshio%s%s.msh" % (version, "-binary" if binary else "")
            meshio.write(os.path.join(directory, name), mesh,
                         file_format="gmsh22" if version == "22" else "gmsh", binary=binary)


def write_gmsh(directory):
    gmsh = shutil.which("gmsh")
    if not gmsh:
        return
    saves = ""
    for version in ("2.2", "4.1"):
        for binary in (0, 1):
            name = "gmsh%s%s.msh" % (version.replace(".", ""), "-binary" if binary else "")
            saves += 'Mesh.MshFileVersion = %s; Mesh.Binary = %d; Save "%s";\n' % (
                version, binary, os.path.join(directory, name))
    script = os.path.join(directory, "box.geo")
    with open(script, "w") as out:
        out.write(GEO + saves)
    subprocess.run([gmsh, "-0", script], check=True, stdout=subprocess.DEVNULL)


def main():
    directory = sys.argv[1]
    write_vtk(directory)
    write_meshio(directory)
    write_gmsh(directory)


if __name__ == "__main__":
    main()
