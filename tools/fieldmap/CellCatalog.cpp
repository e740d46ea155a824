#include "CellCatalog.h"

namespace {

// Gmsh numbers the mid-edge nodes of its quadratic solids in another edge order than VTK; the
// linear shapes and the quadratic triangle and quadrilateral agree.
const CellCatalog::GmshCell kGmshCells[] = {
    {1, 3, {0, 1}},
    {2, 5, {0, 1, 2}},
    {3, 9, {0, 1, 2, 3}},
    {9, 22, {0, 1, 2, 3, 4, 5}},
    {16, 23, {0, 1, 2, 3, 4, 5, 6, 7}},
    {4, 10, {0, 1, 2, 3}},
    {11, 24, {0, 1, 2, 3, 4, 5, 6, 7, 9, 8}},
    {6, 13, {0, 1, 2, 3, 4, 5}},
    {18, 26, {0, 1, 2, 3, 4, 5, 6, 9, 7, 12, 14, 13, 8, 10, 11}},
    {5, 12, {0, 1, 2, 3, 4, 5, 6, 7}},
    {17, 25, {0, 1, 2, 3, 4, 5, 6, 7, 8, 11, 13, 9, 16, 18, 19, 17, 10, 12, 14, 15}},
};

// Node count and dimension of Gmsh element types 1 to 31, as Gmsh numbers them.
struct GmshShapeRow {
  int nodes;
  int dimension;
};
const GmshShapeRow kGmshShapes[] = {
    {2, 1},  {3, 2},  {4, 2},  {4, 3}, {8, 3}, {6, 3},  {5, 3},  {3, 1},  {6, 2}, {9, 2},  {10, 3},
    {27, 3}, {18, 3}, {14, 3}, {1, 0}, {8, 2}, {20, 3}, {15, 3}, {13, 3}, {9, 2}, {10, 2}, {12, 2},
    {15, 2}, {15, 2}, {21, 2}, {4, 1}, {5, 1}, {6, 1},  {20, 3}, {35, 3}, {56, 3}};

}  // namespace

const CellCatalog::VtkCell* CellCatalog::FindVtk(int vtkType) {
  return ZORMtkVtkCells::Find(vtkType);
}

const CellCatalog::GmshCell* CellCatalog::FindGmsh(int gmshType) {
  for (const GmshCell& cell : kGmshCells)
    if (cell.gmshType == gmshType) return &cell;
  return nullptr;
}

bool CellCatalog::GmshShape(int gmshType, int& nodes, int& dimension) {
  constexpr int kRows = static_cast<int>(sizeof(kGmshShapes) / sizeof(kGmshShapes[0]));
  if (gmshType < 1 || gmshType > kRows) return false;
  nodes = kGmshShapes[gmshType - 1].nodes;
  dimension = kGmshShapes[gmshType - 1].dimension;
  return true;
}
