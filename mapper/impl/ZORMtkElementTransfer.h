#pragma once

class ZORMtkTransferFrame;

// The transfers that produce values at target integration points, class by class of the target
// mesh, from the integration-point weights. Each takes the frame of
// the request: its context, steps and increments.
//
// Points the search did not place get the fill value (zero by default). Element classes without
// integration points are skipped, source and target alike, with one line on aio_cerr each time they
// are met.
class ZORMtkElementTransfer {
 public:
  // Map tag 1: a nodal source field interpolated at the target integration points.
  static void NodeToIntPt(const ZORMtkTransferFrame& frame);
  // Map tag 3 without conservation: source point values extrapolated to the source element's
  // nodes, then interpolated at the target points.
  static void IntPtToIntPt(const ZORMtkTransferFrame& frame);
};
