#include "mapper/impl/ZORMtkTransferDispatch.h"

#include <cstdlib>

#include "mapper/impl/ZORMtkElementTransfer.h"
#include "mapper/impl/ZORMtkIntPtToNodeTransfer.h"
#include "mapper/impl/ZORMtkNodalTransfer.h"

namespace {

constexpr ZORMtkTransferChoice kNothing{true, nullptr, nullptr};
constexpr ZORMtkTransferChoice kUnsupported{false, nullptr, nullptr};

constexpr ZORMtkTransferChoice Run(ZORMtkTransferRoutine transfer,
                                   ZORMtkTransferRoutine check = nullptr) {
  return {true, transfer, check};
}

}  // namespace

ZORMtkTransferChoice ZORMtkTransferDispatch::Choose(Map_Tag mapTag, Conserve_Tag conserve,
                                                    bool conserveGlobally) {
  switch (mapTag) {
    case MapNodeToNode:
    case MapNodeToNodeAlt:
      return NodalChoice(conserve);
    case MapNodeToIntPt:
      return Run(&ZORMtkElementTransfer::NodeToIntPt);
    case MapIntPtToNode:
      return IntPtToNodeChoice(conserve, conserveGlobally);
    case MapIntPtToIntPt:
      return conserve == ConserveNone ? Run(&ZORMtkElementTransfer::IntPtToIntPt) : kNothing;
    case MapNodalRatio:
      return Run(&ZORMtkNodalTransfer::NodalRatio);
    default:
      return kUnsupported;
  }
}

ZORMtkTransferChoice ZORMtkTransferDispatch::Matrix() {
  return Run(&ZORMtkNodalTransfer::MatrixTransfer);
}

bool ZORMtkTransferDispatch::ConserveGloballyFromEnvironment() {
  return std::getenv("ZORMTK_CONSERVE_GLOBAL") != nullptr;
}

ZORMtkTransferChoice ZORMtkTransferDispatch::NodalChoice(Conserve_Tag conserve) {
  switch (conserve) {
    case ConserveNone:
      return Run(&ZORMtkNodalTransfer::Interpolate);
    case ConserveNodal:
      return Run(&ZORMtkNodalTransfer::ConservativeTransfer,
                 &ZORMtkNodalTransfer::CheckConservation);
    default:
      return kNothing;
  }
}

ZORMtkTransferChoice ZORMtkTransferDispatch::IntPtToNodeChoice(Conserve_Tag conserve,
                                                               bool conserveGlobally) {
  switch (conserve) {
    case ConserveNone:
      return Run(&ZORMtkIntPtToNodeTransfer::Averaged);
    case ConserveIntPt:
      return Run(conserveGlobally ? &ZORMtkIntPtToNodeTransfer::GlobalConservative
                                  : &ZORMtkIntPtToNodeTransfer::LocalConservative);
    default:
      return kNothing;
  }
}
