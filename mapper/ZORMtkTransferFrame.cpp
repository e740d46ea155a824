#include "mapper/impl/ZORMtkTransferFrame.h"

#include <algorithm>
#include <cstddef>
#include <ostream>

#include "element/ZORMtkElementData.h"
#include "mapper/ZORMtkMapSpecs.h"
#include "mapper/impl/ZORMtkMappingContext.h"
#include "mapper/impl/ZORMtkRowMajor.h"
#include "mapper/impl/ZORMtkWeightLinks.h"
#include "platform/ZORStream.h"
#include "platform/impl/ZORParallelFor.h"
#include "reader/ZORMtkSimReader.h"
#include "writer/ZORMtkSimWriter.h"

using ZORMtkRowMajor::Product;

ZORMtkTransferFrame::ZORMtkTransferFrame(ZORMtkMappingContext& context,
                                         const ZORMtkMapSpecs& request, int sourceStep,
                                         int sourceIncrement, int targetStep, int targetIncrement)
    : context_(context),
      request_(request),
      source_(request.sourceMeshIDs.Size() > 0 ? context.FindReader(request.sourceMeshIDs[0])
                                               : nullptr),
      target_(context.FindReader(request.targetMeshID)),
      sourceStep_(sourceStep),
      sourceIncrement_(sourceIncrement),
      targetStep_(targetStep),
      targetIncrement_(targetIncrement) {}

const ZORMtkHostBuffers& ZORMtkTransferFrame::Buffers() const { return context_.buffers; }

bool ZORMtkTransferFrame::IsComplete() const { return source_ != nullptr && HasTargetAndFields(1); }

bool ZORMtkTransferFrame::HasTargetAndFields(int fieldCount) const {
  return target_ != nullptr && request_.sourceFieldIDs.Size() >= fieldCount;
}

ZORMtkNodeLinkView ZORMtkTransferFrame::GatherLinks(ZORMtkNodeLinks& built) const {
  const ZORMtkNodalWeights* weights = ZORMtkWeightLinks::NodalWeights(context_, request_, false);
  return ZORMtkWeightLinks::RowLinks(context_, weights, target_->nodeRegion, source_->nodeRegion,
                                     built);
}

ZORMtkNodeLinkView ZORMtkTransferFrame::ScatterLinks(ZORMtkNodeLinks& built) const {
  const ZORMtkNodalWeights* weights = ZORMtkWeightLinks::NodalWeights(context_, request_, true);
  return ZORMtkWeightLinks::RowLinks(context_, weights, source_->nodeRegion, target_->nodeRegion,
                                     built);
}

int ZORMtkTransferFrame::Threads() const {
  return ZORParallelFor::ResolveThreads(context_.options.threads);
}

int ZORMtkTransferFrame::SourceComponents() const {
  return source_->GetSimpleFieldSize(request_.sourceFieldIDs[0], sourceStep_, sourceIncrement_);
}

std::vector<int> ZORMtkTransferFrame::NodeMembers(const ZORMtkSimReader& reader) {
  std::vector<int> members(static_cast<std::size_t>(reader.numNodes));
  reader.GetNodes(reader.numNodes, members.data());
  return members;
}

void ZORMtkTransferFrame::NodeRows(const ZORMtkSimReader& reader, const int* members, int count,
                                   int* rows) {
  const ZORSimCSet region(reader.nodeRegion);
  for (int i = 0; i < count; ++i) rows[i] = region.SeekMember(members[i]);
}

std::vector<double> ZORMtkTransferFrame::NodeCoordinates3D(const ZORMtkSimReader& reader) {
  const int n = reader.numNodes;
  const int d = reader.numCoordComponents;
  std::vector<double> given(Product(n, d));
  reader.FillCoordinates(n * d, given.data());
  std::vector<double> coordinates(Product(n, 3), 0.0);
  for (int i = 0; i < n; ++i) {
    for (int k = 0; k < std::min(d, 3); ++k)
      coordinates[Product(i, 3) + static_cast<std::size_t>(k)] =
          given[Product(i, d) + static_cast<std::size_t>(k)];
  }
  return coordinates;
}

std::vector<int> ZORMtkTransferFrame::ClassMembers(const ZORMtkSimReader& reader,
                                                   const cow_String& name) {
  const int count = reader.GetElementClassCount(name);
  std::vector<int> members(static_cast<std::size_t>(count));
  reader.GetElementClassMembers(name, count, members.data());
  return members;
}

int ZORMtkTransferFrame::NodesPerElement(const ZORMtkSimReader& reader, const cow_String& name) {
  const int* nodes = reader.nodesPerElementByClass.Find(name);
  return nodes ? *nodes : 0;
}

std::vector<int> ZORMtkTransferFrame::ClassConnectivity(const ZORMtkSimReader& reader,
                                                        const cow_String& name, int elements,
                                                        int nodesPerElement) {
  std::vector<int> connectivity(Product(elements, nodesPerElement));
  reader.GetElementClassConnectivity(name, static_cast<int>(connectivity.size()),
                                     connectivity.data());
  return connectivity;
}

int ZORMtkTransferFrame::PointsOrSkip(const cow_String& className) {
  const int points = ZORMtkElementData::GetNumIntPt(className);
  if (points < 0) {
    aio_cerr << " ZORMtkMapper: element class " << className
             << " has no integration points; its elements are skipped" << std::endl;
  }
  return points;
}

// Rows of `components` values whatever the field keeps: a field given where one component is
// asked for (the ratio's inputs) gives its first.
std::vector<double> ZORMtkTransferFrame::ReadNodes(const ZORMtkSimReader& reader, int entry,
                                                   int components) const {
  std::vector<double> values(Product(reader.numNodes, components), 0.0);
  reader.ReadNodeRows(request_.sourceFieldIDs[entry], sourceStep_, sourceIncrement_, components,
                      values.data());
  return values;
}

std::vector<double> ZORMtkTransferFrame::ReadSourcePoints(const ZORMtkSimReader& reader,
                                                          const std::vector<int>& elements,
                                                          int points, int components) const {
  const int count = static_cast<int>(elements.size());
  std::vector<double> values(Product(count, points) * static_cast<std::size_t>(components), 0.0);
  reader.ReadElementRows(request_.sourceFieldIDs[0], sourceStep_, sourceIncrement_, elements.data(),
                         count, points, components, values.data());
  return values;
}

void ZORMtkTransferFrame::SumSourceNodes(int components, double* sums) const {
  source_->SumSimpleNodeField(request_.sourceFieldIDs[0], sourceStep_, sourceIncrement_, sums,
                              components);
}

void ZORMtkTransferFrame::SumTargetNodes(int components, double* sums) const {
  target_->SumSimpleNodeField(request_.targetFieldID, targetStep_, targetIncrement_, sums,
                              components);
}

void ZORMtkTransferFrame::WriteNodes(int components, const std::vector<int>& members,
                                     double* values) const {
  ZORMtkSimWriter* writer = context_.Writer();
  if (writer == nullptr) return;
  cow_List<int> points(members);
  writer->WriteSimpleNodeField(request_.targetFieldID, request_.targetMeshID, targetStep_,
                               targetIncrement_, components, points, values);
}

void ZORMtkTransferFrame::WriteClass(int points, int components, const std::vector<int>& members,
                                     double* values) const {
  ZORMtkSimWriter* writer = context_.Writer();
  if (writer == nullptr) return;
  cow_List<int> elements(members);
  writer->WriteSimpleElementClassField(request_.targetFieldID, request_.targetMeshID, targetStep_,
                                       targetIncrement_, points, components, elements, values);
}
