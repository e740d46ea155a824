#pragma once

#include "platform/ZORSimContext.h"

// The associations of one type, as a value to select from.
struct ZORMTK_EXPORT ZORSimAssociation {
  ZORSimContext context;
  int type = 0;
  ZORSimAssociation(ZORSimContext associationContext, int associationType)
      : context(std::move(associationContext)), type(associationType) {}
};
