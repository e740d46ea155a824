#include "mapper/ZORMtkElementTransfer.h"

void ZORMtkElementTransfer::NodeToIntPt(ZORMtkMapper&, const ZORMtkMapSpecs&, int, int, int, int) {}

void ZORMtkElementTransfer::IntPtToIntPt(ZORMtkMapper&, const ZORMtkMapSpecs&, int, int, int, int) {
}
