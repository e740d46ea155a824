#include "api/ZORMtkArrayMapper.h"

#include <cmath>

#include "api/ZORMtkDiagnosticTexts.h"
#include "api/impl/ZORMtkMeshBuilder.h"
#include "mapper/ZORMtkMapper.h"
#include "mapper/impl/ZORMtkTransferFrame.h"
#include "mapper/impl/ZORMtkWeightLinks.h"
#include "reader/ZORMtkSimReader.h"
#include "search/impl/ZORMtkNodalWeights.h"
#include "writer/ZORMtkSimWriter.h"

namespace {

// The one request every field runs; its field IDs stay empty, since values come and go through
// the mapper's host buffers.
const char* const kRequest = "array";
// The name the in-memory database would take if it were ever saved; it never is.
const char* const kDatabaseName = "array-mapping (in memory)";

bool SameOptions(const ZORMtkArrayOptions& a, const ZORMtkArrayOptions& b) {
  return a.method == b.method && a.boundaryTolerance == b.boundaryTolerance &&
         a.normalTolerance == b.normalTolerance && a.nearestFallback == b.nearestFallback &&
         a.conservative == b.conservative && a.elementChoice == b.elementChoice &&
         a.threads == b.threads &&
         (a.unplacedFill == b.unplacedFill ||
          (std::isnan(a.unplacedFill) && std::isnan(b.unplacedFill)));
}

// One mesh in the database with its reader.
struct PlacedMesh {
  ZORSimDynamicID id;
  int nodes = 0;
  int elements = 0;
  // The host's cell of each element, in the database's element order.
  std::vector<int> cellOfElement;
  ZORMtkShapeCounts shapes;
  std::unique_ptr<ZORMtkSimReader> reader;
};

}  // namespace

class ZORMtkArrayMapper::Impl {
 public:
  Impl() { writer.CreateSim(kDatabaseName); }

  ZORMtkArrayStatus SetMesh(const ZORMtkMeshArrays& arrays, const char* role, PlacedMesh& mesh) {
    ZORMtkMeshBuilder builder(arrays, role);
    ZORMtkArrayStatus status = builder.Check();
    if (!status) return status;
    DropWeights();
    mesh.id = builder.Write(writer);
    mesh.nodes = arrays.nodeCount;
    mesh.elements = builder.ElementCount();
    mesh.cellOfElement = builder.CellOfElement();
    mesh.shapes = builder.CountShapes();
    mesh.reader = std::make_unique<ZORMtkSimReader>();
    mesh.reader->SetScope(writer.GetRootPosition(), ScopeElementRegion, mesh.id, cow_List<int>());
    return status;
  }

  void DropWeights() {
    mapper.reset();
    placed.clear();
  }

  ZORMtkArrayStatus CheckReady() const;
  void StartMapper();
  void MarkPlaced();
  ZORMtkNodeLinkView Links(ZORMtkNodeLinks& built) const;

  ZORMtkSimWriter writer;
  PlacedMesh source;
  PlacedMesh target;
  ZORMtkArrayOptions options;
  std::unique_ptr<ZORMtkMapper> mapper;
  std::vector<unsigned char> placed;
};

ZORMtkArrayStatus ZORMtkArrayMapper::Impl::CheckReady() const {
  if (!source.reader) return ZORMtkArrayStatus::Invalid("no source mesh was given");
  if (!target.reader) return ZORMtkArrayStatus::Invalid("no target points were given");
  if (options.method == MethodShapeInterpolation && source.elements == 0)
    return ZORMtkArrayStatus::Invalid(
        "the source mesh has no cells; shape interpolation needs them (the nearest-node "
        "method needs nodes only)");
  if (options.conservative && target.elements == 0)
    return ZORMtkArrayStatus::Invalid(
        "a conservative mapping needs a target mesh with cells, not points alone");
  return ZORMtkArrayStatus::Ok();
}

void ZORMtkArrayMapper::Impl::StartMapper() {
  mapper = std::make_unique<ZORMtkMapper>(writer.GetRootPosition());
  mapper->SetReader(source.reader.get());
  mapper->SetReader(target.reader.get());
  mapper->DefineSearchTolerance(options.boundaryTolerance, options.normalTolerance);
  mapper->SetUnplacedFill(options.unplacedFill);
  mapper->SetNearestFallback(options.nearestFallback);
  mapper->SetElementChoice(options.elementChoice);
  mapper->SetThreadCount(options.threads);
  mapper->AddMapSpec(kRequest, MapNodeToNode, options.method,
                     options.conservative ? ConserveNodal : ConserveNone, source.id, target.id,
                     ZORSimDynamicID(), ZORSimDynamicID(), false, false);
}

// The links exactly as the transfer applies them: gathering keys target rows, scattering
// source rows. The first call searches; the weight cache keeps the result.
ZORMtkNodeLinkView ZORMtkArrayMapper::Impl::Links(ZORMtkNodeLinks& built) const {
  const ZORMtkTransferFrame frame(mapper->Context(), mapper->Request(0), 1, 1, 1, 1);
  return options.conservative ? frame.ScatterLinks(built) : frame.GatherLinks(built);
}

// The links are taken first, which runs the search, so that its failed points are known.
void ZORMtkArrayMapper::Impl::MarkPlaced() {
  ZORMtkNodeLinks built;
  const ZORMtkNodeLinkView links = Links(built);
  placed.assign(static_cast<std::size_t>(target.nodes), options.conservative ? 0 : 1);
  if (options.conservative) {
    links.ForEachLink([this](int /*key*/, int row, double /*weight*/) {
      placed[static_cast<std::size_t>(row)] = 1;
    });
    return;
  }
  // Target nodes are members 0 .. n - 1 of a mesh this object wrote, so members are rows.
  for (const int member : mapper->Diagnostics().FailedPoints())
    placed[static_cast<std::size_t>(member)] = 0;
}

ZORMtkArrayMapper::ZORMtkArrayMapper() : impl_(std::make_unique<Impl>()) {}

ZORMtkArrayMapper::~ZORMtkArrayMapper() = default;

ZORMtkArrayStatus ZORMtkArrayMapper::SetSource(const ZORMtkMeshArrays& mesh) {
  return impl_->SetMesh(mesh, "source mesh", impl_->source);
}

ZORMtkArrayStatus ZORMtkArrayMapper::SetTarget(const ZORMtkMeshArrays& mesh) {
  return impl_->SetMesh(mesh, "target points", impl_->target);
}

ZORMtkShapeCounts ZORMtkArrayMapper::SourceShapes() const { return impl_->source.shapes; }

ZORMtkArrayStatus ZORMtkArrayMapper::SetOptions(const ZORMtkArrayOptions& options) {
  if (options.method != MethodShapeInterpolation && options.method != MethodNearestNode)
    return ZORMtkArrayStatus::Invalid(
        "the method is shape interpolation (0) or nearest node (1), not " +
        std::to_string(static_cast<int>(options.method)));
  if (options.elementChoice != ChoiceFirstAccepted && options.elementChoice != ChoiceContaining)
    return ZORMtkArrayStatus::Invalid(
        "the element choice is first accepted (0) or containing (1), not " +
        std::to_string(static_cast<int>(options.elementChoice)));
  if (options.threads < 0)
    return ZORMtkArrayStatus::Invalid(
        "the thread count is 0 (every hardware thread) or more, not " +
        std::to_string(options.threads));
  if (!(options.boundaryTolerance >= 0.0) || !(options.normalTolerance >= 0.0) ||
      !std::isfinite(options.boundaryTolerance) || !std::isfinite(options.normalTolerance))
    return ZORMtkArrayStatus::Invalid(
        "tolerances are finite and not negative (0 keeps the library's value)");
  if (!SameOptions(options, impl_->options)) impl_->DropWeights();
  impl_->options = options;
  return ZORMtkArrayStatus::Ok();
}

ZORMtkArrayStatus ZORMtkArrayMapper::ComputeWeights() {
  if (impl_->mapper) return ZORMtkArrayStatus::Ok();
  ZORMtkArrayStatus status = impl_->CheckReady();
  if (!status) return status;
  impl_->StartMapper();
  impl_->MarkPlaced();
  return status;
}

ZORMtkArrayStatus ZORMtkArrayMapper::Map(const double* sourceValues, int sourceRows, int components,
                                         double* targetValues) {
  ZORMtkArrayStatus status = ComputeWeights();
  if (!status) return status;
  if (sourceRows != impl_->source.nodes)
    return ZORMtkArrayStatus::Invalid("the field has " + std::to_string(sourceRows) +
                                      " rows; the source mesh has " +
                                      std::to_string(impl_->source.nodes) + " nodes");
  if (components < 1)
    return ZORMtkArrayStatus::Invalid("the field needs at least one component, not " +
                                      std::to_string(components));
  if (sourceValues == nullptr || targetValues == nullptr)
    return ZORMtkArrayStatus::Invalid("the field values and the result need arrays");
  ZORMtkMapper& mapper = *impl_->mapper;
  mapper.SetHostBuffers(sourceValues, components, targetValues);
  mapper.MapField(kRequest, 1, 1, 1, 1);
  mapper.SetHostBuffers(nullptr, 0, nullptr);
  return status;
}

int ZORMtkArrayMapper::SourceNodeCount() const { return impl_->source.nodes; }

int ZORMtkArrayMapper::TargetPointCount() const { return impl_->target.nodes; }

const std::vector<unsigned char>& ZORMtkArrayMapper::Placed() const { return impl_->placed; }

std::vector<int> ZORMtkArrayMapper::SourceElements() const {
  std::vector<int> cells;
  if (!impl_->mapper) return cells;
  cells.assign(static_cast<std::size_t>(impl_->target.nodes), -1);
  if (impl_->options.conservative) return cells;
  const ZORMtkNodalWeights* weights =
      ZORMtkWeightLinks::NodalWeights(impl_->mapper->Context(), impl_->mapper->Request(0), false);
  // Target nodes are members 0 .. n - 1 of a mesh this object wrote, so keys are rows.
  for (int index = 0; weights != nullptr && index < weights->KeyCount(); ++index) {
    const int element = weights->SourceElement(index);
    if (element >= 0)
      cells[static_cast<std::size_t>(weights->Key(index))] =
          impl_->source.cellOfElement[static_cast<std::size_t>(element)];
  }
  return cells;
}

ZORMtkSparseWeights ZORMtkArrayMapper::Weights() const {
  ZORMtkSparseWeights matrix;
  if (!impl_->mapper) return matrix;
  matrix.rows = impl_->target.nodes;
  matrix.columns = impl_->source.nodes;
  ZORMtkNodeLinks built;
  const ZORMtkNodeLinkView links = impl_->Links(built);
  // Gathering links are keyed by target rows already: each row's links follow one another.
  if (!impl_->options.conservative) {
    matrix.rowOffsets.assign(static_cast<std::size_t>(links.KeyCount()) + 1, 0);
    links.ForEachLink([&matrix](int key, int row, double weight) {
      ++matrix.rowOffsets[static_cast<std::size_t>(key) + 1];
      matrix.columnIndices.push_back(row);
      matrix.weights.push_back(weight);
    });
    for (int i = 0; i < links.KeyCount(); ++i)
      matrix.rowOffsets[static_cast<std::size_t>(i) + 1] +=
          matrix.rowOffsets[static_cast<std::size_t>(i)];
    return matrix;
  }
  // Scattering links go from source rows to target rows: turn them round by counting sort.
  matrix.rowOffsets.assign(static_cast<std::size_t>(matrix.rows) + 1, 0);
  links.ForEachLink([&matrix](int /*key*/, int row, double /*weight*/) {
    ++matrix.rowOffsets[static_cast<std::size_t>(row) + 1];
  });
  for (int i = 0; i < matrix.rows; ++i)
    matrix.rowOffsets[static_cast<std::size_t>(i) + 1] +=
        matrix.rowOffsets[static_cast<std::size_t>(i)];
  std::vector<std::int64_t> next(matrix.rowOffsets.begin(), matrix.rowOffsets.end() - 1);
  matrix.columnIndices.resize(static_cast<std::size_t>(matrix.rowOffsets.back()));
  matrix.weights.resize(static_cast<std::size_t>(matrix.rowOffsets.back()));
  links.ForEachLink([&](int key, int row, double weight) {
    const std::size_t at = static_cast<std::size_t>(next[static_cast<std::size_t>(row)]++);
    matrix.columnIndices[at] = key;
    matrix.weights[at] = weight;
  });
  return matrix;
}

int ZORMtkArrayMapper::Flags() const {
  return impl_->mapper ? impl_->mapper->Diagnostics().ErrorFlags() : 0;
}

std::vector<std::string> ZORMtkArrayMapper::DiagnosticTexts() const {
  if (!impl_->mapper) return {};
  return ZORMtkDiagnosticTexts::Of(*impl_->mapper);
}
