#include "mapper/impl/ZORMtkIntPtToNodeTransfer.h"

#include <cstddef>
#include <vector>

#include "element/ZORMtkElementData.h"
#include "mapper/impl/ZORMtkMappingContext.h"
#include "mapper/impl/ZORMtkNodalKernels.h"
#include "mapper/impl/ZORMtkPointKernels.h"
#include "mapper/impl/ZORMtkRowMajor.h"
#include "mapper/impl/ZORMtkSourceElementValues.h"
#include "mapper/impl/ZORMtkTargetClassWalk.h"
#include "mapper/impl/ZORMtkTransferFrame.h"
#include "mapper/impl/ZORMtkWeightLinks.h"
#include "reader/ZORMtkSimReader.h"

using ZORMtkRowMajor::Product;

namespace {

// One element class of a reader with what the point-to-node transfers need of it: members,
// connectivity and the node rows of the connectivity in the reader's node region.
struct ElementClass {
  std::vector<int> members;
  int nodesPerElement;
  std::vector<int> connectivity;
  std::vector<int> rows;
};

// Returns false when the class has no elements or no connectivity.
bool LoadClass(const ZORMtkSimReader& reader, const cow_String& name, ElementClass& loaded) {
  loaded.members = ZORMtkTransferFrame::ClassMembers(reader, name);
  loaded.nodesPerElement = ZORMtkTransferFrame::NodesPerElement(reader, name);
  const int count = static_cast<int>(loaded.members.size());
  if (count == 0 || loaded.nodesPerElement <= 0) return false;
  loaded.connectivity =
      ZORMtkTransferFrame::ClassConnectivity(reader, name, count, loaded.nodesPerElement);
  loaded.rows.resize(loaded.connectivity.size());
  ZORMtkTransferFrame::NodeRows(reader, loaded.connectivity.data(),
                                static_cast<int>(loaded.connectivity.size()), loaded.rows.data());
  return true;
}

// Source nodal values extrapolated element by element and averaged over the elements that share
// a node.
std::vector<double> AveragedSourceNodes(const ZORMtkTransferFrame& frame, int components) {
  const ZORMtkSimReader& source = frame.Source();
  std::vector<double> sums(Product(source.numNodes, components), 0.0);
  std::vector<int> visits(static_cast<std::size_t>(source.numNodes), 0);
  ZORMtkSourceElementValues values = ZORMtkSourceElementValues::FromPoints(frame, components);
  cow_List<cow_String> names;
  source.GetElementClassNames(names);
  ElementClass loaded;
  for (const cow_String& name : names) {
    if (!LoadClass(source, name, loaded)) continue;
    const int k = loaded.nodesPerElement;
    if (!values.PrepareClass(source, name, loaded.members, k)) continue;
    std::vector<double> nodal(Product(k, components));
    for (int e = 0; e < static_cast<int>(loaded.members.size()); ++e) {
      const std::size_t first = Product(e, k);
      values.Compute(e, loaded.connectivity.data() + first, nodal.data());
      ZORMtkPointKernels::AddToNodes(nodal.data(), loaded.rows.data() + first, k, components,
                                     sums.data(), visits.data());
    }
  }
  ZORMtkPointKernels::AverageByVisits(sums.data(), visits.data(), source.numNodes, components);
  return sums;
}

// Nodal amounts of the source: each element's integral of the point field against its nodes'
// shape functions, added up at the nodes.
std::vector<double> IntegratedSourceNodes(const ZORMtkTransferFrame& frame, int components) {
  const ZORMtkSimReader& source = frame.Source();
  const std::vector<double> coordinates = ZORMtkTransferFrame::NodeCoordinates3D(source);
  std::vector<double> amounts(Product(source.numNodes, components), 0.0);
  cow_List<cow_String> names;
  source.GetElementClassNames(names);
  ElementClass loaded;
  for (const cow_String& name : names) {
    if (!LoadClass(source, name, loaded)) continue;
    const int points = ZORMtkTransferFrame::PointsOrSkip(name);
    if (points < 0) continue;
    const int k = loaded.nodesPerElement;
    const std::vector<double> values =
        frame.ReadSourcePoints(source, loaded.members, points, components);
    std::vector<double> element(Product(k, 3));
    std::vector<double> out(Product(k, components));
    for (int e = 0; e < static_cast<int>(loaded.members.size()); ++e) {
      const int* rows = loaded.rows.data() + Product(e, k);
      ZORMtkPointKernels::GatherRows(coordinates.data(), 3, rows, k, element.data());
      ZORMtkElementData::IntegrateIntPtToNodes(
          name, element.data(), values.data() + Product(e, points) * Product(1, components),
          components, source.numCoordComponents, k, out.data());
      ZORMtkPointKernels::AddToRows(out.data(), rows, k, components, amounts.data());
    }
  }
  return amounts;
}

// Integrates one target class's point values over its elements into nodal amounts.
void IntegrateTargetClass(const ZORMtkSimReader& target, const std::vector<double>& coordinates,
                          const ZORMtkTargetClassWalk& walk, int components, double* result) {
  ElementClass loaded;
  if (!LoadClass(target, walk.ClassName(), loaded)) return;
  const int k = loaded.nodesPerElement;
  const int points = walk.Points();
  std::vector<double> element(Product(k, 3));
  std::vector<double> out(Product(k, components));
  for (int e = 0; e < static_cast<int>(loaded.members.size()); ++e) {
    const int* rows = loaded.rows.data() + Product(e, k);
    ZORMtkPointKernels::GatherRows(coordinates.data(), 3, rows, k, element.data());
    ZORMtkElementData::IntegrateIntPtToNodes(
        walk.ClassName(), element.data(),
        walk.Values().data() + Product(e, points) * Product(1, components), components,
        target.numCoordComponents, k, out.data());
    ZORMtkPointKernels::AddToRows(out.data(), rows, k, components, result);
  }
}

}  // namespace

void ZORMtkIntPtToNodeTransfer::Averaged(const ZORMtkTransferFrame& frame) {
  if (!frame.IsComplete()) return;
  const int m = frame.SourceComponents();
  if (m <= 0) return;
  const std::vector<double> averaged = AveragedSourceNodes(frame, m);
  ZORMtkNodeLinks built;
  const ZORMtkNodeLinkView links = frame.GatherLinks(built);
  std::vector<double> result(Product(frame.Target().numNodes, m));
  ZORMtkNodalKernels::Gather(links, averaged.data(), m, result.data(), frame.Threads());
  frame.WriteNodes(m, ZORMtkTransferFrame::NodeMembers(frame.Target()), result.data());
}

// The source total is taken before the spread and compared with what the target field holds
// after the write, so nodes that no link reaches show as a shortfall.
void ZORMtkIntPtToNodeTransfer::GlobalConservative(const ZORMtkTransferFrame& frame) {
  if (!frame.IsComplete()) return;
  const int m = frame.SourceComponents();
  if (m <= 0) return;
  const std::vector<double> amounts = IntegratedSourceNodes(frame, m);
  std::vector<double> totals(static_cast<std::size_t>(m));
  ZORMtkNodalKernels::ComponentSums(amounts.data(), frame.Source().numNodes, m, totals.data());
  ZORMtkNodeLinks built;
  const ZORMtkNodeLinkView links = frame.ScatterLinks(built);
  const int targetRows = frame.Target().numNodes;
  std::vector<double> result(Product(targetRows, m));
  ZORMtkNodalKernels::Scatter(links, amounts.data(), m, targetRows, result.data());
  frame.WriteNodes(m, ZORMtkTransferFrame::NodeMembers(frame.Target()), result.data());
  std::vector<double> written(static_cast<std::size_t>(m), 0.0);
  frame.SumTargetNodes(m, written.data());
  ZORMtkNodalKernels::RecordUnconserved(totals.data(), written.data(), m,
                                        frame.Context().diagnostics);
}

void ZORMtkIntPtToNodeTransfer::LocalConservative(const ZORMtkTransferFrame& frame) {
  if (!frame.IsComplete()) return;
  const ZORMtkSimReader& target = frame.Target();
  const std::vector<double> coordinates = ZORMtkTransferFrame::NodeCoordinates3D(target);
  const int m = frame.SourceComponents();
  if (m <= 0) return;
  std::vector<double> result(Product(target.numNodes, m), 0.0);
  const ZORMtkElementWeights* weights =
      ZORMtkWeightLinks::ElementWeights(frame.Context(), frame.Request());
  ZORMtkSourceElementValues source = ZORMtkSourceElementValues::FromPoints(frame, m);
  cow_List<cow_String> names;
  target.GetElementClassNames(names);
  for (const cow_String& name : names) {
    ZORMtkTargetClassWalk walk(name);
    if (!walk.Fill(frame, weights, m, source)) continue;
    IntegrateTargetClass(target, coordinates, walk, m, result.data());
  }
  frame.WriteNodes(m, ZORMtkTransferFrame::NodeMembers(target), result.data());
}
