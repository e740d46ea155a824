#pragma once

class ZORMtkMapper;
class ZORMtkMapSpecs;

// The transfers that produce values at target integration points, class by class of the target
// mesh, from the integration-point weights. Arguments as for every transfer: the mapper, the
// request, then source step, source increment, target step and target increment.
//
// Not built yet: every routine here returns without reading or writing anything.
class ZORMtkElementTransfer {
 public:
  // Map tag 1: a nodal source field interpolated at the target integration points.
  static void NodeToIntPt(ZORMtkMapper& mapper, const ZORMtkMapSpecs& request, int sourceStep,
                          int sourceIncrement, int targetStep, int targetIncrement);
  // Map tag 3 without conservation: source point values extrapolated to the source element's
  // nodes, then interpolated at the target points.
  static void IntPtToIntPt(ZORMtkMapper& mapper, const ZORMtkMapSpecs& request, int sourceStep,
                           int sourceIncrement, int targetStep, int targetIncrement);
};
