#pragma once

#include "mapper/ZORMtkMapSpecs.h"

class ZORMtkMapper;

// The shape every field transfer shares: the mapper, the request, then source step, source
// increment, target step and target increment.
using ZORMtkTransferRoutine = void (*)(ZORMtkMapper& mapper, const ZORMtkMapSpecs& request,
                                       int sourceStep, int sourceIncrement, int targetStep,
                                       int targetIncrement);

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
  // True when ZORMTK_CONSERVE_GLOBAL is set, whatever its value (an empty one too).
  static bool ConserveGloballyFromEnvironment();

 private:
  static ZORMtkTransferChoice NodalChoice(Conserve_Tag conserve);
  static ZORMtkTransferChoice IntPtToNodeChoice(Conserve_Tag conserve, bool conserveGlobally);
};
