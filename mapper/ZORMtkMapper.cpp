#include "mapper/ZORMtkMapper.h"

#include <cstdlib>
#include <memory>
#include <ostream>
#include <utility>

#include "mapper/ZORMtkErrorMessage.h"
#include "mapper/ZORMtkNodalTransfer.h"
#include "mapper/ZORMtkTransferDispatch.h"
#include "platform/ZORStream.h"
#include "reader/ZORMtkSimReader.h"

namespace {

// The table sizes hosts are expected to stay within; the tables grow past them if they do not.
constexpr int kRequestCapacity = 100;
constexpr int kCacheCapacity = 50;

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
      elementGrids_(kCacheCapacity),
      nodeGrids_(kCacheCapacity),
      nodalWeights_(kCacheCapacity),
      elementWeights_(kCacheCapacity),
      boundaryTolerance_(kDefaultBoundaryTolerance),
      normalTolerance_(kDefaultNormalTolerance),
      outputValues_(nullptr),
      inputValues_(nullptr),
      inputComponents_(0) {
  ReadToleranceEnvironment(printNotes);
}

// Requests and cached objects go before the diagnostics they may have reported into.
ZORMtkMapper::~ZORMtkMapper() {
  requests_.Clear();
  elementGrids_.Clear();
  nodeGrids_.Clear();
  nodalWeights_.Clear();
  elementWeights_.Clear();
}

void ZORMtkMapper::ReadToleranceEnvironment(bool printNotes) {
  if (OverrideFromEnvironment("ZORMTK_BOUNDARY_TOLERANCE", boundaryTolerance_) && printNotes)
    PrintToleranceNote("boundary", boundaryTolerance_);
  if (OverrideFromEnvironment("ZORMTK_NORMAL_TOLERANCE", normalTolerance_) && printNotes)
    PrintToleranceNote("normal", normalTolerance_);
}

void ZORMtkMapper::SetReader(ZORMtkSimReader* reader) { readers_.push_back(reader); }

void ZORMtkMapper::SetWriter(ZORMtkSimWriter* writer) { writers_.push_back(writer); }

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
  if (boundary != 0.0) boundaryTolerance_ = boundary;
  if (normal != 0.0) normalTolerance_ = normal;
}

void ZORMtkMapper::SetHostBuffers(const double* input, int inputComponents, double* output) {
  inputValues_ = input;
  inputComponents_ = inputComponents;
  outputValues_ = output;
}

int ZORMtkMapper::MapField(cow_String name, int sourceIncrement, int targetIncrement,
                           int sourceStep, int targetStep) {
  const ZORMtkMapSpecs* request = FindRequest(name);
  if (request == nullptr) {
    ReportMissingRequest(name);
    diagnostics_.SetError(1);
    return diagnostics_.ErrorFlags();
  }
  const ZORMtkTransferChoice choice =
      ZORMtkTransferDispatch::Choose(request->mapTag, request->conserve,
                                     ZORMtkTransferDispatch::ConserveGloballyFromEnvironment());
  if (!choice.supported) diagnostics_.SetError(1);
  if (choice.transfer != nullptr)
    choice.transfer(*this, *request, sourceStep, sourceIncrement, targetStep, targetIncrement);
  if (choice.check != nullptr)
    choice.check(*this, *request, sourceStep, sourceIncrement, targetStep, targetIncrement);
  return diagnostics_.ErrorFlags();
}

int ZORMtkMapper::MapFieldMatrix(cow_String name, int sourceIncrement, int targetIncrement,
                                 int sourceStep, int targetStep) {
  const ZORMtkMapSpecs* request = FindRequest(name);
  if (request == nullptr) {
    ReportMissingRequest(name);
    return 0;
  }
  ZORMtkNodalTransfer::MatrixTransfer(*this, *request, sourceStep, sourceIncrement, targetStep,
                                      targetIncrement);
  return 0;
}

void ZORMtkMapper::ReportMissingRequest(const cow_String& name) const {
  aio_cerr << " ZORMtkMapper: no mapping request named \"" << name << "\"" << std::endl;
}

int ZORMtkMapper::ListErrors(cow_List<int>& codes) const { return diagnostics_.ListErrors(codes); }

void ZORMtkMapper::ProcessError(const int& code, cow_String& message, cow_List<int>& ints,
                                cow_List<double>& doubles) const {
  diagnostics_.ProcessError(code, message, ints, doubles);
}

void ZORMtkMapper::ProcessErrorMessage(cow_String& message, const cow_List<int>& ints,
                                       const cow_List<double>& doubles) const {
  message = ZORMtkErrorMessage::Expand(message.Str(), ints, doubles);
}

const ZORMtkMapSpecs* ZORMtkMapper::FindRequest(const cow_String& name) const {
  const int* position = requestIndex_.Find(name);
  return position == nullptr ? nullptr : requests_.At(*position);
}

ZORMtkSimReader* ZORMtkMapper::FindReader(const ZORSimDynamicID& meshID) const {
  for (ZORMtkSimReader* reader : readers_) {
    if (reader != nullptr && reader->meshID == meshID) return reader;
  }
  return nullptr;
}
