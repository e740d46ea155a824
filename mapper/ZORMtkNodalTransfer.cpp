#include "mapper/impl/ZORMtkNodalTransfer.h"

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <vector>

#include "mapper/ZORMtkMapSpecs.h"
#include "mapper/impl/ZORMtkMappingContext.h"
#include "mapper/impl/ZORMtkNodalKernels.h"
#include "mapper/impl/ZORMtkRowMajor.h"
#include "mapper/impl/ZORMtkTransferFrame.h"
#include "platform/ZORStream.h"
#include "reader/ZORMtkSimReader.h"

using ZORMtkRowMajor::Product;

namespace {

// The source values of a nodal transfer: the host's input buffer when it gave one, whose
// component count then replaces `components`; else source field 0 read into `read`.
const double* SourceValues(const ZORMtkTransferFrame& frame, int& components,
                           std::vector<double>& read) {
  if (frame.Buffers().input != nullptr) {
    components = frame.Buffers().inputComponents;
    return frame.Buffers().input;
  }
  read = frame.ReadNodes(frame.Source(), 0, components);
  return read.data();
}

// The result array: the host's output buffer when it gave one, else `owned`, zeroed.
double* ResultValues(const ZORMtkTransferFrame& frame, std::size_t size,
                     std::vector<double>& owned) {
  if (frame.Buffers().output != nullptr) return frame.Buffers().output;
  owned.assign(size, 0.0);
  return owned.data();
}

// Writes the result to the target field unless the host takes it.
void Deliver(const ZORMtkTransferFrame& frame, int components, double* values) {
  if (frame.Buffers().output != nullptr) return;
  frame.WriteNodes(components, ZORMtkTransferFrame::NodeMembers(frame.Target()), values);
}

}  // namespace

void ZORMtkNodalTransfer::Interpolate(const ZORMtkTransferFrame& frame) {
  if (!frame.IsComplete()) return;
  ZORMtkNodeLinks built;
  const ZORMtkNodeLinkView links = frame.GatherLinks(built);
  int m = frame.SourceComponents();
  std::vector<double> read;
  const double* source = SourceValues(frame, m, read);
  if (m <= 0) return;
  std::vector<double> owned;
  double* result = ResultValues(frame, Product(frame.Target().numNodes, m), owned);
  const int threads = frame.Threads();
  ZORMtkNodalKernels::Gather(links, source, m, result, threads);
  ZORMtkNodalKernels::FillUnlinked(links, m, frame.Context().options.unplacedFill, result, threads);
  Deliver(frame, m, result);
}

void ZORMtkNodalTransfer::ConservativeTransfer(const ZORMtkTransferFrame& frame) {
  if (!frame.IsComplete()) return;
  ZORMtkNodeLinks built;
  const ZORMtkNodeLinkView links = frame.ScatterLinks(built);
  int m = frame.SourceComponents();
  std::vector<double> read;
  const double* source = SourceValues(frame, m, read);
  if (m <= 0) return;
  const int targetRows = frame.Target().numNodes;
  std::vector<double> owned;
  double* result = ResultValues(frame, Product(targetRows, m), owned);
  ZORMtkNodalKernels::Scatter(links, source, m, targetRows, result);
  Deliver(frame, m, result);
}

// With host buffers the sums come from the buffers, since nothing was written to read back.
void ZORMtkNodalTransfer::CheckConservation(const ZORMtkTransferFrame& frame) {
  if (!frame.IsComplete()) return;
  const bool hostBuffers = frame.Buffers().input != nullptr;
  const int m = hostBuffers ? frame.Buffers().inputComponents : frame.SourceComponents();
  if (m <= 0) return;
  std::vector<double> sourceSums(static_cast<std::size_t>(m), 0.0);
  std::vector<double> targetSums(static_cast<std::size_t>(m), 0.0);
  if (hostBuffers) {
    ZORMtkNodalKernels::ComponentSums(frame.Buffers().input, frame.Source().numNodes, m,
                                      sourceSums.data());
    ZORMtkNodalKernels::ComponentSums(frame.Buffers().output, frame.Target().numNodes, m,
                                      targetSums.data());
  } else {
    frame.SumSourceNodes(m, sourceSums.data());
    frame.SumTargetNodes(m, targetSums.data());
  }
  ZORMtkNodalKernels::RecordUnconserved(sourceSums.data(), targetSums.data(), m,
                                        frame.Context().diagnostics);
}

void ZORMtkNodalTransfer::NodalRatio(const ZORMtkTransferFrame& frame) {
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
void ZORMtkNodalTransfer::MatrixTransfer(const ZORMtkTransferFrame& frame) {
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
  ZORMtkNodeLinks built;
  const ZORMtkNodeLinkView links = frame.GatherLinks(built);
  // The matrix takes entry j of the source values as node j's value, whatever the host buffer's
  // component count; that count only decides whether there is anything to read.
  int m = frame.SourceComponents();
  if (m <= 0 && frame.Buffers().input == nullptr) return;
  std::vector<double> read;
  const double* source = SourceValues(frame, m, read);
  std::vector<double> owned;
  double* result = ResultValues(frame, Product(targetRows, targetRows), owned);
  ZORMtkNodalKernels::MatrixProduct(links, source, sourceRows, result);
  Deliver(frame, targetRows, result);
}
