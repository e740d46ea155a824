#pragma once

class ZORMtkMapper;
class ZORMtkMapSpecs;

// The transfers that produce values at target integration points, class by class of the target
// mesh, from the integration-point weights. Arguments as for every transfer: the mapper, the
// request, then source step, source increment, target step and target increment.
//
// Points the search did not place keep zero. Element classes without integration points are
// skipped, source and target alike, with one line on aio_cerr each time they are met.
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
