#include "mapper/ZORMtkNodalTransfer.h"

void ZORMtkNodalTransfer::Interpolate(ZORMtkMapper&, const ZORMtkMapSpecs&, int, int, int, int) {}

void ZORMtkNodalTransfer::ConservativeTransfer(ZORMtkMapper&, const ZORMtkMapSpecs&, int, int, int,
                                               int) {}

void ZORMtkNodalTransfer::CheckConservation(ZORMtkMapper&, const ZORMtkMapSpecs&, int, int, int,
                                            int) {}

void ZORMtkNodalTransfer::NodalRatio(ZORMtkMapper&, const ZORMtkMapSpecs&, int, int, int, int) {}

void ZORMtkNodalTransfer::MatrixTransfer(ZORMtkMapper&, const ZORMtkMapSpecs&, int, int, int, int) {
}
