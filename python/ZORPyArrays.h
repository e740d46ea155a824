#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>
#include <vector>

#include "ZORGfmApi.h"

namespace py = pybind11;

// NumPy arrays as the library takes them: C-ordered and of the library's element type. An array
// that already is so is used in place; any other is converted once.
using ZORPyDoubles = py::array_t<double, py::array::c_style | py::array::forcecast>;
using ZORPyInts = py::array_t<int, py::array::c_style | py::array::forcecast>;
using ZORPyOffsets = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>;
using ZORPyTypes = py::array_t<std::uint8_t, py::array::c_style | py::array::forcecast>;

// Shape checks of the module's array arguments, and the one way a library status reaches
// Python: a ValueError carrying its message. Pure functions.
namespace zorpy {

// Raises ValueError unless status is fine.
inline void Raise(const ZORMtkArrayStatus& status) {
  if (!status) throw py::value_error(status.Message());
}

inline std::string Shape(const py::array& array) {
  std::string text = "(";
  for (py::ssize_t k = 0; k < array.ndim(); ++k)
    text += (k ? ", " : "") + std::to_string(array.shape(k));
  return text + (array.ndim() == 1 ? ",)" : ")");
}

// Node coordinates: (n, 2) or (n, 3), at most 2^31 - 1 rows.
inline void CheckPoints(const ZORPyDoubles& points, const std::string& what) {
  if (points.ndim() != 2 || (points.shape(1) != 2 && points.shape(1) != 3))
    throw py::value_error(what + ": expected an array of shape (n, 3) or (n, 2), got shape " +
                          Shape(points));
  if (points.shape(0) > INT32_MAX) throw py::value_error(what + ": more than 2**31 - 1 points");
}

// The views of a mesh's arrays; the arrays stay with the caller, who keeps them alive.
inline ZORMtkMeshArrays MeshView(const ZORPyDoubles& points) {
  ZORMtkMeshArrays mesh;
  mesh.coordinates = points.data();
  mesh.nodeCount = static_cast<int>(points.shape(0));
  mesh.dimension = static_cast<int>(points.shape(1));
  return mesh;
}

// Adds VTK cells: connectivity and types are one-dimensional, offsets has one entry more than
// types and ends at the length of connectivity.
inline void AddVtkCells(ZORMtkMeshArrays& mesh, const ZORPyInts& connectivity,
                        const ZORPyOffsets& offsets, const ZORPyTypes& types,
                        const std::string& what) {
  if (connectivity.ndim() != 1 || offsets.ndim() != 1 || types.ndim() != 1)
    throw py::value_error(what + ": connectivity, offsets and cell types are one-dimensional");
  if (offsets.shape(0) != types.shape(0) + 1)
    throw py::value_error(what + ": offsets has " + std::to_string(offsets.shape(0)) +
                          " entries; with " + std::to_string(types.shape(0)) +
                          " cell types it needs " + std::to_string(types.shape(0) + 1));
  if (types.shape(0) > 0 && offsets.at(types.shape(0)) != connectivity.shape(0))
    throw py::value_error(what + ": the last offset is " +
                          std::to_string(offsets.at(types.shape(0))) + ", but connectivity has " +
                          std::to_string(connectivity.shape(0)) + " entries");
  mesh.connectivity = connectivity.data();
  mesh.offsets = offsets.data();
  mesh.types = types.data();
  mesh.cellCount = static_cast<int>(types.shape(0));
}

// Adds blocks: names[i] is the element type of blocks[i], an (elements, nodes) array.
inline void AddBlocks(ZORMtkMeshArrays& mesh, const std::vector<std::string>& names,
                      const std::vector<ZORPyInts>& blocks, const std::string& what) {
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    const ZORPyInts& block = blocks[b];
    if (block.ndim() != 2)
      throw py::value_error(what + ": the " + names[b] +
                            " connectivity needs shape (elements, nodes per element), got " +
                            Shape(block));
    mesh.blocks.push_back(ZORMtkElementBlockArrays{names[b], static_cast<int>(block.shape(1)),
                                                   block.data(), static_cast<int>(block.shape(0))});
  }
}

}  // namespace zorpy
