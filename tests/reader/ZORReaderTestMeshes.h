#pragma once

#include <vector>

#include "support/ZORTestSourceDatabase.h"

// A small mesh of three element classes whose node and element numbers make index faults
// visible: two hexahedra side by side (C3D8, elements 0 and 1), two tetrahedra (C3D4, elements
// 2 and 3) reaching out to node 12, one triangle (CPE3, element 4), and node 13 that no element
// uses. Node n of the 3 x 2 x 2 grid lies at (2i, 3j, 5k) with n = i + 3 (j + 2k).
struct ZORMixedMesh {
  ZORSimDynamicID mesh;
  ZORSimCSetID hexes;
  ZORSimCSetID tets;
  ZORSimCSetID triangles;

  static std::vector<double> Coordinates() {
    std::vector<double> coords;
    for (int k = 0; k < 2; ++k)
      for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 3; ++i) coords.insert(coords.end(), {2.0 * i, 3.0 * j, 5.0 * k});
    coords.insert(coords.end(), {10.0, 0.0, 0.0});
    coords.insert(coords.end(), {20.0, 21.0, 22.0});
    return coords;
  }

  static ZORMixedMesh Build(ZORTestSourceDatabase& db) {
    ZORMixedMesh m;
    m.mesh = db.AddMesh();
    db.AddNodes(m.mesh, 3, Coordinates());
    m.hexes =
        db.AddElements(m.mesh, "C3D8", 8, {0, 1, 4, 3, 6, 7, 10, 9, 1, 2, 5, 4, 7, 8, 11, 10});
    m.tets = db.AddElements(m.mesh, "C3D4", 4, {2, 12, 5, 8, 12, 5, 11, 8});
    m.triangles = db.AddElements(m.mesh, "CPE3", 3, {0, 3, 9});
    return m;
  }
};
