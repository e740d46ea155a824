#include <pybind11/stl.h>

#include <memory>
#include <mutex>

#include "ZORPyArrays.h"

namespace {

// A Python-owned ZORMtkArrayMapper. The GIL is released during the searches and transfers, so a
// lock keeps two Python threads from using one object at once; separate objects run in parallel.
class PyArrayMapper {
 public:
  void SetSource(const ZORPyDoubles& points, const py::object& cells) {
    SetMesh(points, cells, "source", &ZORMtkArrayMapper::SetSource);
  }
  void SetTarget(const ZORPyDoubles& points, const py::object& cells) {
    SetMesh(points, cells, "target", &ZORMtkArrayMapper::SetTarget);
  }

  void SetOptions(int method, double boundary, double normal, double fill, bool fallback,
                  bool conservative, int elementChoice, int threads) {
    ZORMtkArrayOptions options;
    options.method = static_cast<MapMethod_Tag>(method);
    options.boundaryTolerance = boundary;
    options.normalTolerance = normal;
    options.unplacedFill = fill;
    options.nearestFallback = fallback;
    options.conservative = conservative;
    options.elementChoice = static_cast<ElementChoice_Tag>(elementChoice);
    options.threads = threads;
    zorpy::Raise(Locked([&] { return mapper_.SetOptions(options); }));
  }

  void ComputeWeights() {
    zorpy::Raise(Locked([&] { return mapper_.ComputeWeights(); }));
  }

  // values: (source nodes, components); the result (target points, components).
  py::array_t<double> Map(const ZORPyDoubles& values) {
    if (values.ndim() != 2)
      throw py::value_error("values: expected shape (source nodes, components), got " +
                            zorpy::Shape(values));
    const int rows = static_cast<int>(values.shape(0));
    const int components = static_cast<int>(values.shape(1));
    const int targets = TargetPointCount();
    py::array_t<double> result(
        {static_cast<py::ssize_t>(targets), static_cast<py::ssize_t>(components)});
    double* out = result.mutable_data();
    zorpy::Raise(Locked([&] {
      if (mapper_.TargetPointCount() != targets)
        return ZORMtkArrayStatus::Invalid("the target was replaced during the call");
      return mapper_.Map(values.data(), rows, components, out);
    }));
    return result;
  }

  py::array_t<bool> Placed() {
    const std::vector<unsigned char> placed = Locked([&] { return mapper_.Placed(); });
    py::array_t<bool> mask(static_cast<py::ssize_t>(placed.size()));
    std::copy(placed.begin(), placed.end(), mask.mutable_data());
    return mask;
  }

  py::array_t<int> SourceElements() {
    const std::vector<int> cells = Locked([&] { return mapper_.SourceElements(); });
    py::array_t<int> array(static_cast<py::ssize_t>(cells.size()));
    std::copy(cells.begin(), cells.end(), array.mutable_data());
    return array;
  }

  // (indptr, indices, data, (rows, columns)); the arrays own the library's vectors.
  py::tuple Weights() {
    auto matrix = std::make_unique<ZORMtkSparseWeights>(Locked([&] { return mapper_.Weights(); }));
    ZORMtkSparseWeights* owned = matrix.release();
    const py::capsule owner(owned, [](void* p) { delete static_cast<ZORMtkSparseWeights*>(p); });
    return py::make_tuple(
        py::array_t<std::int64_t>(static_cast<py::ssize_t>(owned->rowOffsets.size()),
                                  owned->rowOffsets.data(), owner),
        py::array_t<int>(static_cast<py::ssize_t>(owned->columnIndices.size()),
                         owned->columnIndices.data(), owner),
        py::array_t<double>(static_cast<py::ssize_t>(owned->weights.size()), owned->weights.data(),
                            owner),
        py::make_tuple(owned->rows, owned->columns));
  }

  int Flags() {
    return Locked([&] { return mapper_.Flags(); });
  }
  std::vector<std::string> Diagnostics() {
    return Locked([&] { return mapper_.DiagnosticTexts(); });
  }
  int TargetPointCount() {
    return Locked([&] { return mapper_.TargetPointCount(); });
  }
  // (flat, inverted, too small): source elements the search can place no point in.
  py::tuple SourceShapes() {
    const ZORMtkShapeCounts shapes = Locked([&] { return mapper_.SourceShapes(); });
    return py::make_tuple(shapes.zeroVolume, shapes.inverted, shapes.tooSmall);
  }
  int SourceNodeCount() {
    return Locked([&] { return mapper_.SourceNodeCount(); });
  }

 private:
  // Runs work on this object without the GIL, so other Python threads go on meanwhile, and with
  // the object's lock, so they do not use the mapper at the same time.
  template <typename Work>
  auto Locked(Work work) -> decltype(work()) {
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> lock(mutex_);
    return work();
  }

  using Setter = ZORMtkArrayStatus (ZORMtkArrayMapper::*)(const ZORMtkMeshArrays&);

  // cells: None, ("vtk", connectivity, offsets, types) or ("blocks", names, arrays), as the
  // Python layer prepares them. role ("source", "target") starts the messages, which name the
  // points or the cells, whichever is wrong.
  void SetMesh(const ZORPyDoubles& points, const py::object& cells, const std::string& role,
               Setter set) {
    zorpy::CheckPoints(points, role + " points");
    ZORMtkMeshArrays mesh = zorpy::MeshView(points);
    ZORPyInts connectivity;
    ZORPyOffsets offsets;
    ZORPyTypes types;
    std::vector<ZORPyInts> blocks;
    if (!cells.is_none()) {
      const py::tuple form = cells.cast<py::tuple>();
      if (form[0].cast<std::string>() == "vtk") {
        connectivity = form[1].cast<ZORPyInts>();
        offsets = form[2].cast<ZORPyOffsets>();
        types = form[3].cast<ZORPyTypes>();
        zorpy::AddVtkCells(mesh, connectivity, offsets, types, role + " cells");
      } else {
        const std::vector<std::string> names = form[1].cast<std::vector<std::string>>();
        blocks = form[2].cast<std::vector<ZORPyInts>>();
        zorpy::AddBlocks(mesh, names, blocks, role + " cells");
      }
    }
    zorpy::Raise(Locked([&] { return (mapper_.*set)(mesh); }));
  }

  std::mutex mutex_;
  ZORMtkArrayMapper mapper_;
};

}  // namespace

void ZORPyAddDatabase(py::module_& module);

PYBIND11_MODULE(_core, module) {
  module.doc() = "The field-mapping library's array interface (use the velzorgfm package).";
  py::class_<PyArrayMapper>(module, "ArrayMapper")
      .def(py::init<>())
      .def("set_source", &PyArrayMapper::SetSource)
      .def("set_target", &PyArrayMapper::SetTarget)
      .def("set_options", &PyArrayMapper::SetOptions)
      .def("compute_weights", &PyArrayMapper::ComputeWeights)
      .def("map", &PyArrayMapper::Map)
      .def("placed", &PyArrayMapper::Placed)
      .def("weights", &PyArrayMapper::Weights)
      .def("source_elements", &PyArrayMapper::SourceElements)
      .def("flags", &PyArrayMapper::Flags)
      .def("diagnostics", &PyArrayMapper::Diagnostics)
      .def("source_shapes", &PyArrayMapper::SourceShapes)
      .def("source_node_count", &PyArrayMapper::SourceNodeCount)
      .def("target_point_count", &PyArrayMapper::TargetPointCount);
  module.def("vtk_cell_type", [](const std::string& elementType) {
    const ZORMtkVtkCell* cell = ZORMtkVtkCells::ForElementType(elementType);
    return cell ? cell->vtkType : -1;
  });
  module.def("supported_vtk_types", []() { return ZORMtkVtkCells::SupportedTypes(); });
  ZORPyAddDatabase(module);
}
