#pragma once

#include <array>
#include <vector>

#include "AssembledMesh.h"

// The mesh sizes of one demo run, all derived from the hexahedra along the source box's edge.
struct DemoSizes {
  int sourceCells;
  int targetCells;
  int sourcePlateCells;
  int targetPlateCells;

  static DemoSizes ForSize(int size);
};

// The meshes and analytic fields of the demo: a unit box of perturbed hexahedra and a unit
// plate of perturbed quadrilaterals as sources, a box of tetrahedra and a plate of triangles on
// other grids as targets. Boundary nodes stay on the faces, so every target point lies in the
// source and a linear field must come back exactly. Pure functions and constant data.
class DemoModel {
 public:
  // n hexahedra along each edge of the box.
  static AssembledMesh SourceBox(int n);
  // m cubes along each edge, six tetrahedra each.
  static AssembledMesh TargetBox(int m);
  // n quadrilaterals along each edge of the plate, two-dimensional.
  static AssembledMesh SourcePlate(int n);
  // m squares along each edge, two triangles each.
  static AssembledMesh TargetPlate(int m);

  // The linear fields: a displacement of three components, a temperature, and a plane stress
  // of three components.
  static constexpr int kStrainComponents = 3;
  static std::array<double, 3> Displacement(double x, double y, double z);
  static double Temperature(double x, double y, double z);
  static std::array<double, kStrainComponents> Strain(double x, double y);

  // The fields at every node of a three-dimensional mesh, components fastest.
  static std::vector<double> DisplacementAt(const std::vector<double>& xyz);
  static std::vector<double> TemperatureAt(const std::vector<double>& xyz);
  // The strain at x, y pairs.
  static std::vector<double> StrainAt(const std::vector<double>& xy);
};
