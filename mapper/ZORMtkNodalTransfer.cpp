#include "mapper/ZORMtkNodalTransfer.h"

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <vector>

#include "mapper/ZORMtkMapSpecs.h"
#include "mapper/ZORMtkMapper.h"
#include "mapper/ZORMtkNodalKernels.h"
#include "mapper/ZORMtkTransferFrame.h"
#include "platform/ZORStream.h"
#include "reader/ZORMtkSimReader.h"

namespace {

std::size_t Product(int a, int b) {
  return static_cast<std::size_t>(a) * static_cast<std::size_t>(b);
}

// The source values of a nodal transfer: the host's input buffer when it gave one, else source
// field 0 read through the source reader into an array owned here.
class SourceNodeValues {
 public:
  SourceNodeValues(const ZORMtkTransferFrame& frame, int readComponents) {
    const ZORMtkMapper& mapper = frame.Mapper();
    if (mapper.InputValues() != nullptr) {
      values_ = mapper.InputValues();
      components_ = mapper.InputComponents();
      return;
    }
    read_ = frame.ReadNodes(frame.Source(), 0, readComponents);
    values_ = read_.data();
    components_ = readComponents;
  }
  const double* Values() const { return values_; }
  int Components() const { return components_; }

 private:
  std::vector<double> read_;
  const double* values_ = nullptr;
  int components_ = 0;
};

// The result of a nodal transfer: the host's output buffer when it gave one, else an array owned
// here and written to the target field.
class TargetNodeValues {
 public:
  TargetNodeValues(const ZORMtkMapper& mapper, std::size_t size)
      : forHost_(mapper.OutputValues() != nullptr) {
    if (forHost_) {
      values_ = mapper.OutputValues();
      return;
    }
    owned_.assign(size, 0.0);
    values_ = owned_.data();
  }
  double* Values() const { return values_; }
  // Writes unless the host takes the values itself.
  void Deliver(const ZORMtkTransferFrame& frame, int components) const {
    if (forHost_) return;
    frame.WriteNodes(components, ZORMtkTransferFrame::NodeMembers(frame.Target()), values_);
  }

 private:
  bool forHost_;
  std::vector<double> owned_;
  double* values_ = nullptr;
};

}  // namespace

void ZORMtkNodalTransfer::Interpolate(ZORMtkMapper& mapper, const ZORMtkMapSpecs& request,
                                      int sourceStep, int sourceIncrement, int targetStep,
                                      int targetIncrement) {
  const ZORMtkTransferFrame frame(mapper, request, sourceStep, sourceIncrement, targetStep,
                                  targetIncrement);
  if (!frame.IsComplete()) return;
  const ZORMtkNodeLinks links = frame.GatherLinks();
  const SourceNodeValues source(frame, frame.SourceComponents());
  const int m = source.Components();
  if (m <= 0) return;
  const TargetNodeValues result(mapper, Product(frame.Target().numNodes, m));
  ZORMtkNodalKernels::Gather(links, source.Values(), m, result.Values());
  result.Deliver(frame, m);
}

void ZORMtkNodalTransfer::ConservativeTransfer(ZORMtkMapper& mapper, const ZORMtkMapSpecs& request,
                                               int sourceStep, int sourceIncrement, int targetStep,
                                               int targetIncrement) {
  const ZORMtkTransferFrame frame(mapper, request, sourceStep, sourceIncrement, targetStep,
                                  targetIncrement);
  if (!frame.IsComplete()) return;
  const ZORMtkNodeLinks links = frame.ScatterLinks();
  const SourceNodeValues source(frame, frame.SourceComponents());
  const int m = source.Components();
  if (m <= 0) return;
  const int targetRows = frame.Target().numNodes;
  const TargetNodeValues result(mapper, Product(targetRows, m));
  ZORMtkNodalKernels::Scatter(links, source.Values(), m, targetRows, result.Values());
  result.Deliver(frame, m);
}

// With host buffers the sums come from the buffers, since nothing was written to read back.
void ZORMtkNodalTransfer::CheckConservation(ZORMtkMapper& mapper, const ZORMtkMapSpecs& request,
                                            int sourceStep, int sourceIncrement, int targetStep,
                                            int targetIncrement) {
  const ZORMtkTransferFrame frame(mapper, request, sourceStep, sourceIncrement, targetStep,
                                  targetIncrement);
  if (!frame.IsComplete()) return;
  const bool hostBuffers = mapper.InputValues() != nullptr;
  const int m = hostBuffers ? mapper.InputComponents() : frame.SourceComponents();
  if (m <= 0) return;
  std::vector<double> sourceSums(static_cast<std::size_t>(m), 0.0);
  std::vector<double> targetSums(static_cast<std::size_t>(m), 0.0);
  if (hostBuffers) {
    ZORMtkNodalKernels::ComponentSums(mapper.InputValues(), frame.Source().numNodes, m,
                                      sourceSums.data());
    ZORMtkNodalKernels::ComponentSums(mapper.OutputValues(), frame.Target().numNodes, m,
                                      targetSums.data());
  } else {
    frame.SumSourceNodes(m, sourceSums.data());
    frame.SumTargetNodes(m, targetSums.data());
  }
  ZORMtkNodalKernels::RecordUnconserved(sourceSums.data(), targetSums.data(), m,
                                        mapper.Diagnostics());
}

void ZORMtkNodalTransfer::NodalRatio(ZORMtkMapper& mapper, const ZORMtkMapSpecs& request,
                                     int sourceStep, int sourceIncrement, int targetStep,
                                     int targetIncrement) {
  const ZORMtkTransferFrame frame(mapper, request, sourceStep, sourceIncrement, targetStep,
                                  targetIncrement);
  if (!frame.HasTargetAndFields(3)) return;
  const ZORMtkSimReader& mesh = frame.Target();
  const std::vector<double> numerator = frame.ReadNodes(mesh, 0, 1);
  const std::vector<double> lower = frame.ReadNodes(mesh, 1, 1);
  const std::vector<double> upper = frame.ReadNodes(mesh, 2, 1);
  std::vector<double> ratio(numerator.size());
  ZORMtkNodalKernels::Ratio(numerator.data(), lower.data(), upper.data(), mesh.numNodes,
                            ratio.data());
  frame.WriteNodes(1, ZORMtkTransferFrame::NodeMembers(mesh), ratio.data());
}

// The result has one component per target node, so the dense arrays grow with the square of the
// mesh; beyond the limit the transfer says so and leaves the target untouched (and searches
// nothing) rather than exhausting memory.
void ZORMtkNodalTransfer::MatrixTransfer(ZORMtkMapper& mapper, const ZORMtkMapSpecs& request,
                                         int sourceStep, int sourceIncrement, int targetStep,
                                         int targetIncrement) {
  const ZORMtkTransferFrame frame(mapper, request, sourceStep, sourceIncrement, targetStep,
                                  targetIncrement);
  if (!frame.IsComplete()) return;
  const int targetRows = frame.Target().numNodes;
  const int sourceRows = frame.Source().numNodes;
  const std::int64_t bytes = ZORMtkNodalKernels::DenseMatrixBytes(sourceRows, targetRows);
  if (bytes > ZORMtkNodalKernels::kDenseMatrixLimit) {
    aio_cerr << " ZORMtkMapper::MapFieldMatrix: " << sourceRows << " source and " << targetRows
             << " target nodes need " << bytes << " bytes of dense matrices; nothing is mapped"
             << std::endl;
    return;
  }
  const ZORMtkNodeLinks links = frame.GatherLinks();
  const int m = frame.SourceComponents();
  if (m <= 0 && mapper.InputValues() == nullptr) return;
  const SourceNodeValues source(frame, m);
  const TargetNodeValues result(mapper, Product(targetRows, targetRows));
  ZORMtkNodalKernels::MatrixProduct(links, source.Values(), sourceRows, result.Values());
  result.Deliver(frame, targetRows);
}
