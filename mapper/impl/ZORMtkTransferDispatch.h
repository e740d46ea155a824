#pragma once

#include "mapper/ZORMtkMapSpecs.h"

class ZORMtkTransferFrame;

// The shape every field transfer shares: it runs on the frame of one request, step and
// increment.
using ZORMtkTransferRoutine = void (*)(const ZORMtkTransferFrame& frame);

// What MapField runs for a request: the transfer, then the check (null when there is none). A
// supported map tag with a conservation option it does not serve runs nothing; an unsupported
// map tag runs nothing and is reported as code 1.
struct ZORMtkTransferChoice {
  bool supported;
  ZORMtkTransferRoutine transfer;
  ZORMtkTransferRoutine check;
};

// Chooses the transfer routine of a request from its map tag and conservation option. Kept
// apart from the mapper so that the table can be checked against every tag and option.
class ZORMtkTransferDispatch {
 public:
  // conserveGlobally picks the global variant of the conservative integration-point-to-node
  // transfer over the local one; it matters for no other request.
  static ZORMtkTransferChoice Choose(Map_Tag mapTag, Conserve_Tag conserve, bool conserveGlobally);
  // What MapFieldMatrix runs, whatever the request's tags: the matrix transfer.
  static ZORMtkTransferChoice Matrix();
  // True when ZORMTK_CONSERVE_GLOBAL is set, whatever its value (an empty one too).
  static bool ConserveGloballyFromEnvironment();

 private:
  static ZORMtkTransferChoice NodalChoice(Conserve_Tag conserve);
  static ZORMtkTransferChoice IntPtToNodeChoice(Conserve_Tag conserve, bool conserveGlobally);
};
