#pragma once

class ZORMtkTransferFrame;

// The transfers between nodal fields: plain interpolation, the conservative transfer with its
// conservation check, the nodal ratio and the matrix transfer. Each takes the frame of the request
// (its context with readers, writer slot 0, weights, diagnostics and host buffers, and its steps
// and increments), and reports problems through the diagnostics.
class ZORMtkNodalTransfer {
 public:
  // Map tag 0 or 5 without conservation: each target row is the weighted sum of its partner
  // source rows (gather weights); a target node the search did not place gets the fill value
  // (zero unless set), or its nearest source node's value with the fallback.
  static void Interpolate(const ZORMtkTransferFrame& frame);
  // Map tag 0 or 5 with nodal conservation: each source row is spread over its partner target
  // rows (scatter weights).
  static void ConservativeTransfer(const ZORMtkTransferFrame& frame);
  // Compares source and target field sums per component and records code 32 when they differ
  // by more than a tenth.
  static void CheckConservation(const ZORMtkTransferFrame& frame);
  // Map tag 9: F1 / (F3 - F2) of three one-component fields on the target mesh.
  static void NodalRatio(const ZORMtkTransferFrame& frame);
  // MapFieldMatrix: the target-by-target matrix of a one-component field. Its arrays are dense;
  // when they would exceed 1 GiB it writes one line on aio_cerr and maps nothing.
  static void MatrixTransfer(const ZORMtkTransferFrame& frame);
};
