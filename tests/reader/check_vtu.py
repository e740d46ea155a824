"""Loads a .vtu file with VTK's own XML reader and checks what a viewer would show.

usage: check_vtu.py FILE POINTS CELLS TYPES FIELD POINT COMPONENT VALUE
  TYPES is a comma-separated list of the expected cell types, in cell order;
  VALUE is the expected component COMPONENT of point-data array FIELD at point POINT.
Exits with 0 when every check holds and prints each failed check otherwise.
"""
import sys

import vtk


def main(argv):
    path, points, cells, types, field, point, component, value = argv[1:9]
    reader = vtk.vtkXMLUnstructuredGridReader()
    reader.SetFileName(path)
    reader.Update()
    grid = reader.GetOutput()
    failures = []
    if reader.GetErrorCode() != 0:
        failures.append("reader error code %d" % reader.GetErrorCode())
    if grid.GetNumberOfPoints() != int(points):
        failures.append("points: %d, expected %s" % (grid.GetNumberOfPoints(), points))
    if grid.GetNumberOfCells() != int(cells):
        failures.append("cells: %d, expected %s" % (grid.GetNumberOfCells(), cells))
    found = [grid.GetCellType(i) for i in range(grid.GetNumberOfCells())]
    expected = [int(t) for t in types.split(",")]
    if found != expected:
        failures.append("cell types: %s, expected %s" % (found, expected))
    array = grid.GetPointData().GetArray(field)
    if array is None:
        failures.append("no point-data array %s" % field)
    else:
        got = array.GetComponent(int(point), int(component))
        if abs(got - float(value)) > 1e-6 * max(1.0, abs(float(value))):
            failures.append("%s[%s][%s] = %r, expected %s" % (field, point, component, got, value))
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
