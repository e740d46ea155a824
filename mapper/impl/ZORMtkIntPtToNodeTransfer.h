#pragma once

class ZORMtkTransferFrame;

// The transfers of map tag 2, which turn an integration-point source field into a nodal target
// field. Each takes the frame of the
// request: its context, steps and increments.
class ZORMtkIntPtToNodeTransfer {
 public:
  // Without conservation: extrapolated to the source nodes, averaged there, interpolated.
  static void Averaged(const ZORMtkTransferFrame& frame);
  // Conserving the global sum: integrated over the source elements, spread to the target nodes,
  // then the totals are compared.
  static void GlobalConservative(const ZORMtkTransferFrame& frame);
  // Conserving locally: carried to the target points, then integrated over the target elements.
  static void LocalConservative(const ZORMtkTransferFrame& frame);
};
