#include "mapper/ZORMtkMapper.h"

#include <cstdlib>
#include <memory>
#include <ostream>
#include <utility>

#include "mapper/impl/ZORMtkErrorMessage.h"
#include "mapper/impl/ZORMtkMappingContext.h"
#include "mapper/impl/ZORMtkTransferDispatch.h"
#include "mapper/impl/ZORMtkTransferFrame.h"
#include "platform/ZOREnvironmentKeys.h"
#include "platform/ZORStream.h"

namespace {

// The table size hosts are expected to stay within; the table grows past it if they do not.
constexpr int kRequestCapacity = 100;

constexpr double kDefaultBoundaryTolerance = 0.3;
constexpr double kDefaultNormalTolerance = 0.5;

// Replaces tolerance with the variable's value when it is set. A text that is not a number
// gives 0.0, as atof does, and that value is used.
bool OverrideFromEnvironment(const char* variable, double& tolerance) {
  const char* text = std::getenv(variable);
  if (text == nullptr) return false;
  tolerance = std::atof(text);
  return true;
}

void PrintToleranceNote(const char* which, double tolerance) {
  aio_cerr << " Note: Co-Simulation Engine " << which
           << " search tolerance changed to nondefault value of " << tolerance << "\n";
  aio_cerr.flush();
}

}  // namespace

ZORMtkMapper::ZORMtkMapper() : ZORMtkMapper(ZORSrvPosition(), true) {}

ZORMtkMapper::ZORMtkMapper(ZORSrvPosition position) : ZORMtkMapper(std::move(position), false) {}

ZORMtkMapper::ZORMtkMapper(ZORSrvPosition position, bool printNotes)
    : position_(std::move(position)),
      requests_(kRequestCapacity),
      context_(std::make_unique<ZORMtkMappingContext>(kDefaultBoundaryTolerance,
                                                      kDefaultNormalTolerance)) {
  ReadToleranceEnvironment(printNotes);
}

// Requests go first, then the context: its cached objects before the diagnostics they may have
// reported into.
ZORMtkMapper::~ZORMtkMapper() {
  requests_.Clear();
  context_.reset();
}

void ZORMtkMapper::ReadToleranceEnvironment(bool printNotes) {
  ZORSearchTolerances& tolerances = context_->tolerances;
  if (OverrideFromEnvironment(zor_environment::kBoundaryTolerance, tolerances.boundary) &&
      printNotes)
    PrintToleranceNote("boundary", tolerances.boundary);
  if (OverrideFromEnvironment(zor_environment::kNormalTolerance, tolerances.normal) && printNotes)
    PrintToleranceNote("normal", tolerances.normal);
}

void ZORMtkMapper::SetReader(ZORMtkSimReader* reader) { context_->readers.push_back(reader); }

void ZORMtkMapper::SetWriter(ZORMtkSimWriter* writer) { context_->writers.push_back(writer); }

void ZORMtkMapper::AddMapSpec(cow_String name, Map_Tag mapTag, MapMethod_Tag mapMethod,
                              Conserve_Tag conserve, ZORSimDynamicID sourceMesh,
                              ZORSimDynamicID targetMesh) {
  ZORMtkMapSpecs& request = NewRequest(std::move(name), mapTag, mapMethod, conserve, false, false);
  request.AddSourceMeshID(0, sourceMesh);
  request.targetMeshID = targetMesh;
}

void ZORMtkMapper::AddMapSpec(cow_String name, Map_Tag mapTag, MapMethod_Tag mapMethod,
                              Conserve_Tag conserve, ZORSimDynamicID sourceMesh,
                              ZORSimDynamicID targetMesh, ZORSimDynamicID sourceField,
                              ZORSimDynamicID targetField, bool recordedFlag, bool noFallback) {
  ZORMtkMapSpecs& request =
      NewRequest(std::move(name), mapTag, mapMethod, conserve, recordedFlag, noFallback);
  request.targetFieldID = targetField;
  request.AddSourceID(0, sourceField);
  request.AddSourceMeshID(0, sourceMesh);
  request.targetMeshID = targetMesh;
}

void ZORMtkMapper::AddMapSpec(cow_String name, Map_Tag mapTag, MapMethod_Tag mapMethod,
                              Conserve_Tag conserve, ZORSimArray<ZORSimDynamicID> sourceMeshes,
                              ZORSimDynamicID targetMesh, ZORSimArray<ZORSimDynamicID> sourceFields,
                              ZORSimDynamicID targetField, bool recordedFlag, bool noFallback) {
  ZORMtkMapSpecs& request =
      NewRequest(std::move(name), mapTag, mapMethod, conserve, recordedFlag, noFallback);
  request.targetFieldID = targetField;
  request.targetMeshID = targetMesh;
  for (int i = 0; i < sourceMeshes.Size(); ++i) {
    if (i < sourceFields.Size()) request.AddSourceID(i, sourceFields[i]);
    request.AddSourceMeshID(i, sourceMeshes[i]);
  }
}

// The name index maps a name to its newest request, so a host that redefines a request gets
// the new one from MapField; the older request stays in the table until the mapper goes.
ZORMtkMapSpecs& ZORMtkMapper::NewRequest(cow_String name, Map_Tag mapTag, MapMethod_Tag mapMethod,
                                         Conserve_Tag conserve, bool recordedFlag,
                                         bool noFallback) {
  auto request = std::make_unique<ZORMtkMapSpecs>();
  request->index = requests_.Count();
  requestIndex_.Insert(name, request->index);
  request->mapTag = mapTag;
  request->mapMethod = mapMethod;
  request->conserve = conserve;
  request->recordedFlag = recordedFlag;
  request->noFallback = noFallback;
  return *requests_.Append(std::move(request));
}

void ZORMtkMapper::DefineSearchTolerance(double boundary, double normal) {
  if (boundary != 0.0) context_->tolerances.boundary = boundary;
  if (normal != 0.0) context_->tolerances.normal = normal;
}

void ZORMtkMapper::SetHostBuffers(const double* input, int inputComponents, double* output) {
  context_->buffers = ZORMtkHostBuffers{input, inputComponents, output};
}

void ZORMtkMapper::SetProgressCallback(ZORMtkProgressCallback callback, void* context) {
  context_->options.progress = ZORSearchProgress{callback, context};
}

void ZORMtkMapper::SetElementChoice(ElementChoice_Tag choice) {
  context_->options.containing = choice == ChoiceContaining;
}

void ZORMtkMapper::SetThreadCount(int threads) { context_->options.threads = threads; }

void ZORMtkMapper::SetUnplacedFill(double value) { context_->options.unplacedFill = value; }

void ZORMtkMapper::SetNearestFallback(bool enabled) { context_->options.nearestFallback = enabled; }

int ZORMtkMapper::MapField(cow_String name, int sourceIncrement, int targetIncrement,
                           int sourceStep, int targetStep) {
  ZORMtkDiagnosticsData& diagnostics = context_->diagnostics;
  const ZORMtkMapSpecs* request = FindRequest(name);
  if (request == nullptr) {
    ReportMissingRequest(name);
    diagnostics.SetError(CodeUnsupportedMapTag);
    return diagnostics.ErrorFlags();
  }
  const ZORMtkTransferChoice choice =
      ZORMtkTransferDispatch::Choose(request->mapTag, request->conserve,
                                     ZORMtkTransferDispatch::ConserveGloballyFromEnvironment());
  if (!choice.supported) diagnostics.SetError(CodeUnsupportedMapTag);
  Run(choice, *request, sourceStep, sourceIncrement, targetStep, targetIncrement);
  return diagnostics.ErrorFlags();
}

int ZORMtkMapper::MapFieldMatrix(cow_String name, int sourceIncrement, int targetIncrement,
                                 int sourceStep, int targetStep) {
  const ZORMtkMapSpecs* request = FindRequest(name);
  if (request == nullptr) {
    ReportMissingRequest(name);
    return 0;
  }
  Run(ZORMtkTransferDispatch::Matrix(), *request, sourceStep, sourceIncrement, targetStep,
      targetIncrement);
  return 0;
}

void ZORMtkMapper::Run(const ZORMtkTransferChoice& choice, const ZORMtkMapSpecs& request,
                       int sourceStep, int sourceIncrement, int targetStep, int targetIncrement) {
  const ZORMtkTransferFrame frame(*context_, request, sourceStep, sourceIncrement, targetStep,
                                  targetIncrement);
  if (choice.transfer != nullptr) choice.transfer(frame);
  if (choice.check != nullptr) choice.check(frame);
}

void ZORMtkMapper::ReportMissingRequest(const cow_String& name) const {
  aio_cerr << " ZORMtkMapper: no mapping request named \"" << name << "\"" << std::endl;
}

int ZORMtkMapper::ListErrors(cow_List<int>& codes) const {
  return context_->diagnostics.ListErrors(codes);
}

void ZORMtkMapper::ProcessError(const int& code, cow_String& message, cow_List<int>& ints,
                                cow_List<double>& doubles) const {
  context_->diagnostics.ProcessError(code, message, ints, doubles);
}

void ZORMtkMapper::ProcessErrorMessage(cow_String& message, const cow_List<int>& ints,
                                       const cow_List<double>& doubles) const {
  message = ZORMtkErrorMessage::Expand(message.Str(), ints, doubles);
}

const ZORMtkMapSpecs* ZORMtkMapper::FindRequest(const cow_String& name) const {
  const int* position = requestIndex_.Find(name);
  return position == nullptr ? nullptr : requests_.At(*position);
}

int ZORMtkMapper::ReaderCount() const { return static_cast<int>(context_->readers.size()); }

int ZORMtkMapper::WriterCount() const { return static_cast<int>(context_->writers.size()); }

double ZORMtkMapper::BoundaryTolerance() const { return context_->tolerances.boundary; }

double ZORMtkMapper::NormalTolerance() const { return context_->tolerances.normal; }

const ZORMtkDiagnosticsData& ZORMtkMapper::Diagnostics() const { return context_->diagnostics; }
