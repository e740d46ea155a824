#pragma once

class ZORMtkMapper;
class ZORMtkMapSpecs;

// The transfers of map tag 2, which turn an integration-point source field into a nodal target
// field. Arguments as for every transfer: the mapper, the request, then source step, source
// increment, target step and target increment.
class ZORMtkIntPtToNodeTransfer {
 public:
  // Without conservation: extrapolated to the source nodes, averaged there, interpolated.
  static void Averaged(ZORMtkMapper& mapper, const ZORMtkMapSpecs& request, int sourceStep,
                       int sourceIncrement, int targetStep, int targetIncrement);
  // Conserving the global sum: integrated over the source elements, spread to the target nodes,
  // then the totals are compared.
  static void GlobalConservative(ZORMtkMapper& mapper, const ZORMtkMapSpecs& request,
                                 int sourceStep, int sourceIncrement, int targetStep,
                                 int targetIncrement);
  // Conserving locally: carried to the target points, then integrated over the target elements.
  static void LocalConservative(ZORMtkMapper& mapper, const ZORMtkMapSpecs& request, int sourceStep,
                                int sourceIncrement, int targetStep, int targetIncrement);
};
