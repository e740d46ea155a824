#include "search/impl/ZORMtkIntPtSearch.h"

#include <memory>
#include <vector>

#include "element/ZORMtkElementData.h"
#include "platform/ZORStream.h"
#include "search/ZORMtkMeshElemB.h"
#include "search/impl/ZORMtkElementWeights.h"
#include "search/impl/ZORMtkPointLocator.h"
#include "search/impl/ZORMtkSearchTrace.h"
#include "search/impl/ZORMtkSourceElements.h"
#include "search/impl/ZORReaderPoints.h"

namespace {

// One target element class with what placing its points needs: P points per element, and the
// n x P shape values at the points, entry node * P + point.
struct TargetClass {
  cow_String name;
  int nodesPerElement;
  int points;
  std::vector<double> shapeValues;
  std::vector<int> members;
  std::vector<int> connectivity;
};

// "S3" and "S8" report a point count but have no point table to place the points with.
bool HasPointTable(const cow_String& name, int points) {
  return points > 0 && name != cow_String("S3") && name != cow_String("S8");
}

bool ReadClass(const ZORMtkSimReader& reader, const cow_String& name, TargetClass& out) {
  out.name = name;
  out.points = ZORMtkElementData::GetNumIntPt(name);
  if (!HasPointTable(name, out.points)) return false;
  const int* perElement = reader.nodesPerElementByClass.Find(name);
  out.nodesPerElement = perElement ? *perElement : 0;
  if (out.nodesPerElement > ZORMtkSourceElements::kMaxNodes) return false;
  // The table may have more rows than the element has nodes ("STRI3" uses the first three rows of
  // the 6-node table), so it is sized for the largest element.
  out.shapeValues.assign(static_cast<std::size_t>(ZORMtkSourceElements::kMaxNodes * out.points),
                         0.0);
  ZORMtkElementData::GetIntPtShapeValues(name, out.shapeValues.data());
  const int count = reader.GetElementClassCount(name);
  out.members.resize(static_cast<std::size_t>(count));
  out.connectivity.resize(static_cast<std::size_t>(count) *
                          static_cast<std::size_t>(out.nodesPerElement));
  reader.GetElementClassMembers(name, count, out.members.data());
  reader.GetElementClassConnectivity(name, static_cast<int>(out.connectivity.size()),
                                     out.connectivity.data());
  return true;
}

// p = sum over the element's nodes k of N[k * P + q] x_k.
void PointCoordinates(const TargetClass& block, const ZORReaderPoints& nodes, const int* positions,
                      int q, double* p) {
  p[0] = p[1] = p[2] = 0.0;
  for (int k = 0; k < block.nodesPerElement; ++k) {
    if (positions[k] < 0) continue;
    const double N = block.shapeValues[static_cast<std::size_t>(k * block.points + q)];
    const double* x = nodes.At(positions[k]);
    for (int a = 0; a < 3; ++a) p[a] += N * x[a];
  }
}

// Searches the points of one target class, element by element in the class's order.
void SearchClass(const TargetClass& block, const ZORReaderPoints& nodes,
                 const ZORMtkMeshElemB& grid, const ZORMtkPointLocator& locator,
                 ZORMtkSearchTrace* trace, ZORMtkElementWeights& weights, ZORSearchMisses& misses,
                 ZORSearchProgress::Counter& progress) {
  ZORMtkPointLocator::Scratch scratch(grid);
  ZORPointMatch match;
  int positions[ZORMtkSourceElements::kMaxNodes];
  for (std::size_t e = 0; e < block.members.size(); ++e) {
    const int element = block.members[e];
    const int* connectivity =
        block.connectivity.data() + e * static_cast<std::size_t>(block.nodesPerElement);
    for (int k = 0; k < block.nodesPerElement; ++k)
      positions[k] = nodes.PositionOf(connectivity[k]);
    weights.BeginElement(element);
    for (int q = 0; q < block.points; ++q) {
      double p[3];
      PointCoordinates(block, nodes, positions, q, p);
      if (trace) trace->TargetPoint(element, q, p);
      if (locator.Locate(p, scratch, match, trace)) {
        weights.AddPoint(grid.ElementMember(match.element), match.weights, match.nodeCount);
      } else {
        weights.AddUnplacedPoint();
        misses.misses.push_back(
            ZORSearchMiss{ZORSearchMiss::Kind::PointNotPlaced, element, {p[0], p[1], p[2]}, 0.0});
      }
    }
    progress.Next();
  }
}

}  // namespace

void ZORMtkIntPtSearch::SearchPointsInElements(
    ZORMtkElementWeights& weights, const ZORMtkMeshElemB& grid, const ZORMtkSimReader& sourceReader,
    const ZORMtkSimReader& targetReader, const ZORSearchOptions& options, ZORSearchMisses& misses) {
  const std::unique_ptr<ZORMtkSearchTrace> trace =
      ZORMtkSearchTrace::Requested() ? std::make_unique<ZORMtkSearchTrace>(false) : nullptr;
  const ZORMtkSourceElements mesh(sourceReader, grid);
  const ZORMtkPointLocator locator(mesh, grid, options.tolerances, false);
  const ZORReaderPoints nodes = ZORReaderPoints::Read(targetReader);
  cow_List<cow_String> names;
  targetReader.GetElementClassNames(names);
  ZORSearchProgress::Counter progress(options.progress, targetReader.numElements);
  for (const cow_String& name : names) {
    TargetClass block;
    if (!ReadClass(targetReader, name, block)) {
      aio_cerr << " Integration-point search skips element class " << name
               << ": it has no integration-point table"
               << "\n";
      continue;
    }
    SearchClass(block, nodes, grid, locator, trace.get(), weights, misses, progress);
  }
  weights.Finish();
  progress.Finish();
}
