#include <cstdio>
#include <vector>

#include "ZORGfmApi.h"

// One tetrahedron as the source, two target points, the field 4 + x + 2y + 3z.
int main() {
  const std::vector<double> sourcePoints = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
  const std::vector<int> tetrahedra = {0, 1, 2, 3};
  const std::vector<double> targetPoints = {0.1, 0.2, 0.3, 0.25, 0.25, 0.25};
  const std::vector<double> temperature = {4, 5, 6, 7};

  ZORMtkMeshArrays source;
  source.coordinates = sourcePoints.data();
  source.nodeCount = 4;
  source.blocks.push_back({"C3D4", 4, tetrahedra.data(), 1});
  ZORMtkMeshArrays target;
  target.coordinates = targetPoints.data();
  target.nodeCount = 2;

  ZORMtkArrayMapper mapper;  // weights are searched once, then reused for every field
  std::vector<double> mapped(2);
  ZORMtkArrayStatus status = mapper.SetSource(source);
  if (status) status = mapper.SetTarget(target);
  if (status) status = mapper.Map(temperature.data(), 4, 1, mapped.data());
  if (!status) {
    std::fprintf(stderr, "%s\n", status.Message().c_str());
    return 1;
  }
  std::printf("%.3f %.3f\n", mapped[0], mapped[1]);  // 5.400 5.500
  return 0;
}
