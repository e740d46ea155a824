#include "DemoAccuracy.h"

#include <algorithm>
#include <cmath>

#include "DemoModel.h"

std::vector<double> DemoAccuracy::PointPositions(const ZORMtkSimReader& reader,
                                                 const cow_String& elementClass) {
  const int elements = reader.GetElementClassCount(elementClass);
  const int nodes = *reader.nodesPerElementByClass.Find(elementClass);
  const int points = ZORMtkElementData::GetNumIntPt(elementClass);
  const int dims = reader.numCoordComponents;
  std::vector<int> connectivity(static_cast<std::size_t>(elements * nodes));
  reader.GetElementClassConnectivity(elementClass, static_cast<int>(connectivity.size()),
                                     connectivity.data());
  std::vector<double> xyz(static_cast<std::size_t>(reader.numNodes * dims));
  reader.FillCoordinates(static_cast<int>(xyz.size()), xyz.data());
  std::vector<double> shape(static_cast<std::size_t>(nodes * points));
  ZORMtkElementData::GetIntPtShapeValues(elementClass, shape.data());
  std::vector<double> positions(static_cast<std::size_t>(elements * points * dims), 0.0);
  for (int e = 0; e < elements; ++e)
    for (int p = 0; p < points; ++p)
      for (int n = 0; n < nodes; ++n) {
        // The whole mesh is the region, so a node member is its row in the coordinates.
        const int node = connectivity[static_cast<std::size_t>(e * nodes + n)];
        for (int d = 0; d < dims; ++d)
          positions[static_cast<std::size_t>((e * points + p) * dims + d)] +=
              shape[static_cast<std::size_t>(n * points + p)] *
              xyz[static_cast<std::size_t>(node * dims + d)];
      }
  return positions;
}

double DemoAccuracy::LargestNodalError(const ZORMtkSimReader& reader, const ZORSimDynamicID& field,
                                       int components,
                                       std::vector<double> (*exact)(const std::vector<double>&)) {
  std::vector<double> xyz(static_cast<std::size_t>(reader.numNodes * reader.numCoordComponents));
  reader.FillCoordinates(static_cast<int>(xyz.size()), xyz.data());
  const std::vector<double> expected = exact(xyz);
  std::vector<double> values(static_cast<std::size_t>(reader.numNodes * components), 0.0);
  reader.GetSimpleNodeField(field, 1, 1, static_cast<int>(values.size()), values.data());
  double largest = 0.0;
  for (std::size_t i = 0; i < values.size() && i < expected.size(); ++i)
    largest = std::max(largest, std::fabs(values[i] - expected[i]));
  return largest;
}

double DemoAccuracy::LargestStrainError(const ZORMtkSimReader& reader,
                                        const ZORSimDynamicID& field) {
  double largest = 0.0;
  cow_List<cow_String> classes;
  reader.GetElementClassNames(classes);
  for (const cow_String& name : classes) {
    const std::vector<double> expected = DemoModel::StrainAt(PointPositions(reader, name));
    const cow_List<int>& elements = *reader.elementClasses.Find(name);
    std::vector<double> values(expected.size(), 0.0);
    reader.ReadElementRows(field, 1, 1, elements.Data(), elements.Size(),
                           ZORMtkElementData::GetNumIntPt(name), DemoModel::kStrainComponents,
                           values.data());
    for (std::size_t i = 0; i < values.size(); ++i)
      largest = std::max(largest, std::fabs(values[i] - expected[i]));
  }
  return largest;
}
