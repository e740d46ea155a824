#include <pybind11/stl.h>

#include <memory>

#include "ZORPyArrays.h"

namespace {

// A simulation database file for Python: ZORMtkSimFile with dictionaries and NumPy arrays.
// Used by one Python thread at a time (the GIL stays held).
class PyDatabase {
 public:
  explicit PyDatabase(std::unique_ptr<ZORMtkSimFile> file) : file_(std::move(file)) {}

  py::list Meshes() const {
    py::list meshes;
    for (int number = 1; number <= File().MeshCount(); ++number) {
      int nodes = 0;
      int elements = 0;
      std::vector<std::pair<std::string, int>> classes;
      zorpy::Raise(File().DescribeMesh(number, nodes, elements, classes));
      py::dict types;
      for (const auto& [name, count] : classes) types[py::str(name)] = count;
      meshes.append(py::dict(py::arg("number") = number, py::arg("nodes") = nodes,
                             py::arg("elements") = elements, py::arg("element_types") = types));
    }
    return meshes;
  }

  py::list Steps() const {
    py::list steps;
    for (const ZORMtkSimCatalog::Step& step : File().Catalog().Steps()) {
      py::list fields;
      for (const ZORMtkSimCatalog::Field& field : step.fields)
        fields.append(py::dict(py::arg("name") = field.name,
                               py::arg("integration_points") = field.integrationPoints));
      steps.append(py::dict(py::arg("number") = step.number, py::arg("static") = step.isStatic,
                            py::arg("increments") = step.increments, py::arg("fields") = fields));
    }
    return steps;
  }

  // (points (n, 3) with z = 0 on a plane mesh, [(element type, (elements, nodes) array)]).
  py::tuple ReadMesh(int mesh) const {
    ZORMtkMeshData data;
    zorpy::Raise(File().ReadMesh(mesh, data));
    const py::ssize_t nodes = data.NodeCount();
    py::array_t<double> points({nodes, py::ssize_t{3}});
    double* xyz = points.mutable_data();
    for (py::ssize_t i = 0; i < nodes; ++i)
      for (int axis = 0; axis < 3; ++axis)
        xyz[3 * i + axis] =
            axis < data.dimension ? data.coordinates[i * data.dimension + axis] : 0.0;
    py::list blocks;
    for (const ZORMtkMeshData::Block& block : data.blocks) {
      const py::ssize_t perElement = block.nodesPerElement;
      const py::ssize_t elements =
          perElement == 0 ? 0 : static_cast<py::ssize_t>(block.connectivity.size()) / perElement;
      py::array_t<int> connectivity({elements, perElement});
      std::copy(block.connectivity.begin(), block.connectivity.end(), connectivity.mutable_data());
      blocks.append(py::make_tuple(block.elementType, connectivity));
    }
    return py::make_tuple(points, blocks);
  }

  py::array_t<double> ReadField(const std::string& name, int mesh, int step, int increment) const {
    std::vector<double> values;
    int components = 0;
    zorpy::Raise(File().ReadNodeField(mesh, name, step, increment, values, components));
    py::array_t<double> array({static_cast<py::ssize_t>(values.size()) / components,
                               static_cast<py::ssize_t>(components)});
    std::copy(values.begin(), values.end(), array.mutable_data());
    return array;
  }

  // [(element type, (elements, points, components) array)] per class with integration points.
  py::list ReadPointField(const std::string& name, int mesh, int step, int increment) const {
    std::vector<ZORMtkSimFile::ClassValues> classes;
    int components = 0;
    zorpy::Raise(File().ReadPointField(mesh, name, step, increment, classes, components));
    py::list result;
    for (const ZORMtkSimFile::ClassValues& values : classes) {
      const py::ssize_t perElement = static_cast<py::ssize_t>(values.points) * components;
      py::array_t<double> array({static_cast<py::ssize_t>(values.values.size()) / perElement,
                                 static_cast<py::ssize_t>(values.points),
                                 static_cast<py::ssize_t>(components)});
      std::copy(values.values.begin(), values.values.end(), array.mutable_data());
      result.append(py::make_tuple(values.elementType, array));
    }
    return result;
  }

  int AddMesh(const ZORPyDoubles& points, const py::object& cells) {
    zorpy::CheckPoints(points, "points");
    ZORMtkMeshArrays mesh = zorpy::MeshView(points);
    ZORPyInts connectivity;
    ZORPyOffsets offsets;
    ZORPyTypes types;
    std::vector<ZORPyInts> blocks;
    const py::tuple form = cells.cast<py::tuple>();
    if (form[0].cast<std::string>() == "vtk") {
      connectivity = form[1].cast<ZORPyInts>();
      offsets = form[2].cast<ZORPyOffsets>();
      types = form[3].cast<ZORPyTypes>();
      zorpy::AddVtkCells(mesh, connectivity, offsets, types, "cells");
    } else {
      blocks = form[2].cast<std::vector<ZORPyInts>>();
      zorpy::AddBlocks(mesh, form[1].cast<std::vector<std::string>>(), blocks, "cells");
    }
    int number = 0;
    zorpy::Raise(File().AddMesh(mesh, number));
    return number;
  }

  void WriteField(int mesh, const std::string& name, const ZORPyDoubles& values) {
    if (values.ndim() != 2)
      throw py::value_error("values: expected shape (nodes, components), got " +
                            zorpy::Shape(values));
    zorpy::Raise(File().WriteNodeField(mesh, name, values.data(), static_cast<int>(values.shape(0)),
                                       static_cast<int>(values.shape(1))));
  }

  void Save() { File().Save(); }
  void Close() { file_.reset(); }
  std::string Path() const { return File().Path(); }

 private:
  ZORMtkSimFile& File() const {
    if (!file_) throw py::value_error("the database is closed");
    return *file_;
  }

  std::unique_ptr<ZORMtkSimFile> file_;
};

}  // namespace

void ZORPyAddDatabase(py::module_& module) {
  static py::exception<ZORSimError> databaseError(module, "DatabaseError", PyExc_RuntimeError);
  py::register_exception_translator([](std::exception_ptr failure) {
    try {
      if (failure) std::rethrow_exception(failure);
    } catch (const ZORSimError& error) {
      databaseError(error.what());
    }
  });
  py::class_<PyDatabase>(module, "Database")
      .def_static("open",
                  [](const std::string& path) {
                    return std::make_unique<PyDatabase>(ZORMtkSimFile::Open(path));
                  })
      .def_static("create",
                  [](const std::string& path) {
                    return std::make_unique<PyDatabase>(ZORMtkSimFile::Create(path));
                  })
      .def("meshes", &PyDatabase::Meshes)
      .def("steps", &PyDatabase::Steps)
      .def("read_mesh", &PyDatabase::ReadMesh)
      .def("read_field", &PyDatabase::ReadField)
      .def("read_point_field", &PyDatabase::ReadPointField)
      .def("add_mesh", &PyDatabase::AddMesh)
      .def("write_field", &PyDatabase::WriteField)
      .def("save", &PyDatabase::Save)
      .def("close", &PyDatabase::Close)
      .def_property_readonly("path", &PyDatabase::Path);
}
