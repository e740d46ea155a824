"""Writes small unstructured grids with VTK's own XML writer, in every data mode VTK offers, for
the fieldmap import tests.

Each cell type fieldmap imports appears once, placed at VTK's own parametric coordinates for
that cell and shifted along x, so the node order and orientation are VTK's. The point array
"temperature" holds x + 2y + 3z and "velocity" (x, y, -z).

usage: write_vtk_cases.py DIRECTORY
"""
import sys

import vtk

CELLS = [vtk.vtkLine, vtk.vtkTriangle, vtk.vtkQuad, vtk.vtkQuadraticTriangle,
         vtk.vtkQuadraticQuad, vtk.vtkTetra, vtk.vtkQuadraticTetra, vtk.vtkWedge,
         vtk.vtkQuadraticWedge, vtk.vtkHexahedron, vtk.vtkQuadraticHexahedron]


def build_grid():
    points = vtk.vtkPoints()
    points.SetDataTypeToDouble()
    grid = vtk.vtkUnstructuredGrid()
    for index, cell_class in enumerate(CELLS):
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
    for i in range(points.GetNumberOfPoints()):
        x, y, z = points.GetPoint(i)
        temperature.InsertNextValue(x + 2.0 * y + 3.0 * z)
        velocity.InsertNextTuple3(x, y, -z)
    grid.GetPointData().AddArray(temperature)
    grid.GetPointData().AddArray(velocity)
    return grid


def write(grid, path, mode, compress, encode_appended=False, header64=False):
    writer = vtk.vtkXMLUnstructuredGridWriter()
    writer.SetFileName(path)
    writer.SetInputData(grid)
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
    if not writer.Write():
        raise SystemExit("VTK could not write " + path)


def main():
    directory = sys.argv[1]
    grid = build_grid()
    write(grid, directory + "/ascii.vtu", "ascii", False)
    write(grid, directory + "/binary.vtu", "binary", False)
    write(grid, directory + "/binary-zlib.vtu", "binary", True)
    write(grid, directory + "/appended.vtu", "appended", False)
    write(grid, directory + "/appended-zlib.vtu", "appended", True)
    write(grid, directory + "/appended-base64-zlib.vtu", "appended", True, encode_appended=True)
    write(grid, directory + "/appended-zlib-uint64.vtu", "appended", True, header64=True)


if __name__ == "__main__":
    main()
