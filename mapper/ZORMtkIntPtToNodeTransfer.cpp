#include "mapper/ZORMtkIntPtToNodeTransfer.h"

void ZORMtkIntPtToNodeTransfer::Averaged(ZORMtkMapper&, const ZORMtkMapSpecs&, int, int, int, int) {
}

void ZORMtkIntPtToNodeTransfer::GlobalConservative(ZORMtkMapper&, const ZORMtkMapSpecs&, int, int,
                                                   int, int) {}

void ZORMtkIntPtToNodeTransfer::LocalConservative(ZORMtkMapper&, const ZORMtkMapSpecs&, int, int,
                                                  int, int) {}
